#include "files/temp_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "files/tree_ops.h"

namespace {

const char kRunPrefix[] = "corvane-";
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

}  // namespace

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
  DIR* d = opendir(base.c_str());
  if (!d) return 0;
  std::vector<std::string> stale;
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    const long pid = run_folder_pid(name);
    if (pid <= 0 || pid == static_cast<long>(getpid())) continue;
    struct stat st;
    if (lstat((base + name).c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) continue;
    // Still running (or not ours to ask about): left alone.
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
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
