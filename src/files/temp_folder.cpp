#include "files/temp_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "files/tree_ops.h"

namespace {

const char kRunPrefix[] = "corvane-";
const char kDiscPrefix[] = "corvane-disc-";
// The file in a disc copy's folder on which the copy's hold (a shared lock)
// is taken.
const char kDiscHold[] = ".in-use";
// What follows kDiscPrefix in a disc copy's folder until it is held.
const char kDiscStaging[] = "new-";
const char kBesideMark[] = ".cvpart-";
constexpr std::size_t kRandomChars = 6;

// The folder this run made; empty when none. Only the process that made it
// removes it: a forked child that ends goes without touching it.
std::string this_runs_folder;
pid_t this_runs_folder_owner = 0;

bool is_name_char(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The process id in a run folder's name "corvane-<pid>-XXXXXX"; 0 when the
// name has another form.
long run_folder_pid(const std::string& name) {
  const std::size_t prefix = sizeof kRunPrefix - 1;
  if (name.compare(0, prefix, kRunPrefix) != 0) return 0;
  std::size_t i = prefix;
  long pid = 0;
  while (i < name.size() && name[i] >= '0' && name[i] <= '9' && i - prefix < 10) pid = pid * 10 + (name[i++] - '0');
  if (i == prefix || i >= name.size() || name[i] != '-') return 0;
  if (name.size() - i - 1 != kRandomChars) return 0;
  for (std::size_t k = i + 1; k < name.size(); ++k)
    if (!is_name_char(name[k])) return 0;
  return pid;
}

// The name has the form "corvane-disc-XXXXXX".
bool is_disc_copy_folder_name(const std::string& name) {
  const std::size_t prefix = sizeof kDiscPrefix - 1;
  if (name.size() != prefix + kRandomChars || name.compare(0, prefix, kDiscPrefix) != 0) return false;
  for (std::size_t k = prefix; k < name.size(); ++k)
    if (!is_name_char(name[k])) return false;
  return true;
}

// The name has a form that a disc copy's folder has while it is being made:
// "corvane-disc-new-<pid>-XXXXXX", with the id of the process making it
// (*pid); or "corvane-disc-new-XXXXXX", as earlier builds named it (*pid 0).
bool is_staged_disc_copy_folder_name(const std::string& name, long* pid) {
  const std::string prefix = std::string(kDiscPrefix) + kDiscStaging;
  if (name.size() < prefix.size() + kRandomChars || name.compare(0, prefix.size(), prefix) != 0) return false;
  for (std::size_t k = name.size() - kRandomChars; k < name.size(); ++k)
    if (!is_name_char(name[k])) return false;
  *pid = 0;
  if (name.size() == prefix.size() + kRandomChars) return true;
  std::size_t i = prefix.size();
  while (i < name.size() && name[i] >= '0' && name[i] <= '9' && i - prefix.size() < 10) *pid = *pid * 10 + (name[i++] - '0');
  return i > prefix.size() && *pid > 0 && i < name.size() && name[i] == '-' && i + 1 + kRandomChars == name.size();
}

// No running process holds the disc copy's folder: its hold file is missing
// (the folder was never held, or held by a build before holds were taken),
// or it can be locked alone.
bool disc_copy_folder_is_free(const std::string& folder) {
  const int fd = open((folder + kDiscHold).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return errno == ENOENT;
  const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);  // lets the lock go again
  return free;
}

// Keeps an inherited hold on a disc copy's folder in base from the programs
// this process starts: the hold is the copy's, which ends before them.
void keep_inherited_hold(const std::string& base) {
  DIR* d = opendir("/proc/self/fd");
  if (!d) return;
  std::vector<int> fds;
  while (const dirent* e = readdir(d)) {
    char* end = nullptr;
    const long fd = std::strtol(e->d_name, &end, 10);
    if (end == e->d_name || *end != '\0' || fd < 3 || fd == dirfd(d)) continue;
    char target[4096];
    const ssize_t n = readlink(("/proc/self/fd/" + std::string(e->d_name)).c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    const std::string path(target, static_cast<std::size_t>(n));
    const std::size_t hold = sizeof kDiscHold - 1;
    if (path.size() <= base.size() + hold + 1 || path.compare(0, base.size(), base) != 0) continue;
    if (path.compare(path.size() - hold - 1, hold + 1, std::string("/") + kDiscHold) != 0) continue;
    if (!is_disc_copy_folder_name(path.substr(base.size(), path.size() - hold - 1 - base.size()))) continue;
    fds.push_back(static_cast<int>(fd));
  }
  closedir(d);
  for (const int fd : fds) fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

}  // namespace

std::string make_disc_copy_folder(const std::string& base, int* hold) {
  *hold = -1;
  // The folder is made and held under a name of its own, and only then
  // takes its final name: a start of the program that sweeps the base
  // meanwhile never takes it for a copy's folder before its hold is taken.
  // That name carries this process's id, so that a sweep leaves it alone
  // while this run goes on, and removes it once the run has ended (killed
  // before the folder was done) and nothing holds it.
  std::string pattern = base + kDiscPrefix + kDiscStaging + std::to_string(static_cast<long>(getpid())) + "-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) return std::string();
  const std::string staged = std::string(buf.data()) + "/";
  // Not closed on exec: the copy started from the folder holds it on.
  const int fd = open((staged + kDiscHold).c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
  if (fd < 0 || flock(fd, LOCK_SH) != 0) {
    if (fd >= 0) close(fd);
    remove_run_temp_folder(staged);
    return std::string();
  }
  const std::string folder = base + kDiscPrefix + std::string(buf.data()).substr(buf.size() - 1 - kRandomChars) + "/";
  const std::string target = folder.substr(0, folder.size() - 1);
  int renamed = renameat2(AT_FDCWD, buf.data(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
  // A file system that cannot refuse to replace: a folder of that random
  // name is all but never there, and a plain rename would not replace one
  // that holds anything.
  if (renamed != 0 && (errno == EINVAL || errno == ENOSYS)) renamed = std::rename(buf.data(), target.c_str());
  if (renamed != 0) {
    close(fd);
    remove_run_temp_folder(staged);
    return std::string();
  }
  *hold = fd;
  return folder;
}

std::string make_run_temp_folder(const std::string& base) {
  std::string pattern = base + kRunPrefix + std::to_string(static_cast<long>(getpid())) + "-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) return std::string();
  this_runs_folder = std::string(buf.data()) + "/";
  this_runs_folder_owner = getpid();
  // An end through exit() (a lost display, a failed GL start-up) takes the
  // folder along as well.
  static const bool at_exit = std::atexit(remove_this_runs_temp_folder) == 0;
  (void)at_exit;
  return this_runs_folder;
}

int remove_run_temp_folder(const std::string& folder) {
  if (folder.empty()) return 0;
  std::string path = folder;
  if (path.back() != '/') path += '/';
  // Removed like any other tree: links inside are removed, never followed.
  const int result = recursive_delete_folder(path);
  return result == ENOENT ? 0 : result;
}

void remove_this_runs_temp_folder() {
  if (this_runs_folder.empty() || this_runs_folder_owner != getpid()) return;
  remove_run_temp_folder(this_runs_folder);
  this_runs_folder.clear();
}

int remove_stale_run_temp_folders(const std::string& base) {
  keep_inherited_hold(base);
  DIR* d = opendir(base.c_str());
  if (!d) return 0;
  std::vector<std::string> stale;
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    long pid = 0;
    const bool staged = is_staged_disc_copy_folder_name(name, &pid);
    const bool disc_copy = staged || is_disc_copy_folder_name(name);
    if (!disc_copy) pid = run_folder_pid(name);
    if (!disc_copy && pid <= 0) continue;
    if (pid == static_cast<long>(getpid())) continue;
    struct stat st;
    if (lstat((base + name).c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) continue;
    // A disc copy's folder being made is not held yet: while the run making
    // it goes on, it is left alone.
    if (staged && pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)) continue;
    if (disc_copy) {
      // Still held by the copy running from it: left alone.
      if (!disc_copy_folder_is_free(base + name + "/")) continue;
    } else if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) {
      // Still running (or not ours to ask about): left alone.
      continue;
    }
    stale.push_back(base + name + "/");
  }
  closedir(d);
  int removed = 0;
  for (const std::string& folder : stale)
    if (remove_run_temp_folder(folder) == 0) ++removed;
  return removed;
}

std::string temp_beside_suffix() {
  // The state is per thread, so workers writing side by side need no lock;
  // the files are made with O_EXCL, so a collision is harmless.
  static thread_local std::uint64_t state = 0;
  if (state == 0) {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    state = static_cast<std::uint64_t>(ts.tv_nsec) ^ (static_cast<std::uint64_t>(ts.tv_sec) << 32) ^
            (static_cast<std::uint64_t>(getpid()) << 16) ^ reinterpret_cast<std::uintptr_t>(&state);
    if (state == 0) state = 1;
  }
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string s = kBesideMark;
  for (std::size_t i = 0; i < kRandomChars; ++i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    s += kChars[state % (sizeof kChars - 1)];
  }
  return s;
}

bool is_temp_beside_name(const std::string& name) {
  const std::size_t mark = sizeof kBesideMark - 1;
  if (name.size() < mark + kRandomChars) return false;
  const std::size_t at = name.size() - kRandomChars - mark;
  if (name.compare(at, mark, kBesideMark) != 0) return false;
  for (std::size_t k = name.size() - kRandomChars; k < name.size(); ++k)
    if (!is_name_char(name[k])) return false;
  return true;
}

int remove_temp_beside_files(const std::string* folders, std::size_t count) {
  int removed = 0;
  std::vector<std::string> names;
  for (std::size_t f = 0; f < count; ++f) {
    const int fd = open(folders[f].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) continue;
    DIR* d = fdopendir(fd);
    if (!d) {
      close(fd);
      continue;
    }
    names.clear();
    while (const dirent* e = readdir(d))
      if (is_temp_beside_name(e->d_name)) names.push_back(e->d_name);
    for (const std::string& name : names) {
      struct stat st;
      if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) continue;
      if (unlinkat(fd, name.c_str(), 0) == 0) ++removed;
    }
    closedir(d);
  }
  return removed;
}
