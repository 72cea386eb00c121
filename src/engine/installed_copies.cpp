#include "engine/installed_copies.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "engine/installer_state.h"
#include "files/folder_list.h"
#include "files/io_utils.h"
#include "files/pending_file.h"
#include "files/temp_folder.h"
#include "runtime/globals.h"

namespace {

// The list holds folder paths, one per line; no real list comes near this.
constexpr std::size_t kMaxListBytes = 64 * 1024 * 1024;

const char kListName[] = "corvane_install.txt";

// The lock file beside the file the list leads to: that name and this.
const char kLockSuffix[] = ".lock";

// The log line of a folder that cannot be registered; reading the list
// without a preferences folder writes it too.
const char kRegistrationFailed[] = "WARNING: registration of this halden folder failed!\n";

// The list's path in the preferences folder. Without a preferences folder
// (no HOME) the list is neither read nor written: empty, after the
// registration warning.
std::string list_path() {
  std::string prefs;
  get_OS_abs_path(os_dir_prefs, prefs);
  if (prefs.empty()) {
    xer << kRegistrationFailed;
    return std::string();
  }
  return prefs + kListName;
}

// The lines of the list, whatever their length, each cut at its first CR or
// LF. A final line without its LF counts as a line.
std::vector<std::string> list_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    const std::size_t cr = line.find('\r');
    if (cr != std::string::npos) line.erase(cr);
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// A list that cannot be locked (a file system that refuses locks, as some
// network and FUSE file systems do, or a lock file that cannot be opened)
// is told in the log once in a run, with the cause in words; the list is
// then changed without a lock.
void tell_no_lock(const std::string& path, const std::string& cause) {
  static bool told = false;
  if (told) return;
  told = true;
  xer << "The list of installed copies " << path << " cannot be locked (" << cause
      << "): it is changed without a lock.\n";
}

// The file the list's path leads to: a list that is a link is rewritten
// where it points, and the link stays. The path itself when it leads
// nowhere: a list not made yet is made at the path, or where a link there
// points, as open does. A change follows the list's link this once, and its
// lock, its reading and its writing all act on what it found: a link
// pointed elsewhere meanwhile cannot make it read one list and write
// another.
std::string list_target(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string target = real;
  free(real);
  return target;
}

// Opens path for writing, else (one left by another user, or on a
// read-only file system) for reading; never creates it then. -1 with the
// errno of the first try in err.
int open_for_lock(const std::string& path, int flags, int& err) {
  int fd = open(path.c_str(), O_WRONLY | flags, 0644);
  err = errno;
  if (fd < 0 && (err == EACCES || err == EPERM || err == EROFS))
    fd = open(path.c_str(), O_RDONLY | (flags & ~O_CREAT));
  return fd;
}

// What open_lock_file returns when a link in the lock file's place led to
// another file by the time that file was opened: nothing is open, and the
// caller tries again.
constexpr int kLockFileMoved = -2;

// Opens the lock file (see ListLock), made where there is none; -1 and the
// cause in words when it cannot. A link in its place is followed, but
// only to a file that is there: nothing is made where a link points, and
// nothing but a plain file is opened through one (opening a FIFO or a
// device has effects on others).
int open_lock_file(const std::string& lock_path, std::string& cause) {
  // O_NONBLOCK keeps a FIFO put in its place from stalling the open.
  constexpr int kFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int err = 0;
  int fd = open_for_lock(lock_path, O_NOFOLLOW | O_CREAT | kFlags, err);
  if (fd >= 0) return fd;
  if (err != ELOOP) {
    cause = err == EISDIR ? "it is a folder" : std::strerror(err);
    return -1;
  }
  struct stat st;
  if (stat(lock_path.c_str(), &st) != 0) {
    cause = errno == ENOENT ? "it is a link to nothing" : std::strerror(errno);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    cause = S_ISDIR(st.st_mode) ? "it is a link to a folder" : "it is a link to something other than a file";
    return -1;
  }
  fd = open_for_lock(lock_path, kFlags, err);
  if (fd < 0) {
    cause = std::strerror(err);
    return -1;
  }
  struct stat opened;
  if (fstat(fd, &opened) == 0 && opened.st_dev == st.st_dev && opened.st_ino == st.st_ino) return fd;
  close(fd);
  return kLockFileMoved;
}

// Whether the lock file's place still leads to the file fd has open (through
// a link there, as open_lock_file went). A lock taken on a file that a rename
// or a removal took from that place meanwhile locks out no one who comes
// after.
bool still_the_lock_file(const std::string& lock_path, int fd) {
  struct stat there, locked;
  return stat(lock_path.c_str(), &there) == 0 && fstat(fd, &locked) == 0 && there.st_dev == locked.st_dev &&
         there.st_ino == locked.st_ino;
}

// An advisory lock (flock) held from the reading of the list until a change
// to it is in place, so that installers running at once change the list one
// after the other, each in its turn however long the others go on, and none
// loses another's line. A rewrite puts a new file in the list's place, so
// the lock is taken on a file beside the list that is never renamed nor
// deleted; beside the file the list's path leads to (target), so that lists
// that are links to one file share one lock. A link in the lock file's
// place that leads to a file locks that file, which is neither made nor
// written through the link. The file is opened for writing where it can be
// (some file systems, NFS, give an exclusive lock only on such a file),
// else for reading, which a local lock needs no more than. Without the
// lock (a lock file that cannot be opened, a file system without locks)
// the log says so and the caller goes on as before locks were taken.
class ListLock {
 public:
  enum Mode { wait_turn, try_once };
  // The log names the list by its path.
  ListLock(const std::string& target, const std::string& path, Mode mode) {
    // A list whose link leads to something other than a file (a device)
    // is locked beside the link: nothing is made in that thing's folder.
    struct stat st;
    const bool beside_target = target == path || stat(target.c_str(), &st) != 0 || S_ISREG(st.st_mode);
    const std::string lock_path = (beside_target ? target : path) + kLockSuffix;
    // The lock is the lock only while its place leads to the file locked:
    // one put in its place meanwhile (a link there led to a file that
    // another was renamed over) is opened and locked in its turn.
    for (;;) {
      std::string cause;
      const int fd = open_lock_file(lock_path, cause);
      if (fd == kLockFileMoved) continue;
      if (fd < 0) {
        tell_no_lock(path, cause);
        return;
      }
      int locked;
      do {
        locked = flock(fd, mode == wait_turn ? LOCK_EX : LOCK_EX | LOCK_NB);
      } while (locked != 0 && errno == EINTR);
      if (locked != 0) {
        busy_ = errno == EWOULDBLOCK;
        if (!busy_) tell_no_lock(path, std::strerror(errno));
        close(fd);
        return;
      }
      if (still_the_lock_file(lock_path, fd)) {
        fd_ = fd;
        return;
      }
      close(fd);
    }
  }
  ~ListLock() {
    if (fd_ >= 0) close(fd_);  // gives up the lock; nothing was written
  }
  ListLock(const ListLock&) = delete;
  ListLock& operator=(const ListLock&) = delete;

  bool held() const { return fd_ >= 0; }
  // Tried once, and another process holds it.
  bool busy() const { return busy_; }

 private:
  int fd_ = -1;
  bool busy_ = false;
};

}  // namespace

int path_is_to_a_sim() {
  if (dest_dir_path.empty()) return 0;
  // The listing wants a folder path with its final '/'.
  std::string folder = dest_dir_path;
  if (folder.back() != '/') folder += '/';

  std::vector<std::string> names;
  std::vector<int> types;
  if (opensave_getitems(folder, 0, names, types) == 0) return 0;

  static const char* const kParts[] = {"Airfoils", "Instructions", "Output", "Resources"};
  bool seen[4] = {false, false, false, false};
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (types[i] != ftype_folder) continue;
    for (int k = 0; k < 4; ++k)
      if (names[i].find(kParts[k]) != std::string::npos) seen[k] = true;
  }
  return seen[0] && seen[1] && seen[2] && seen[3] ? 1 : 0;
}

bool register_new_corvane() {
  const std::string path = list_path();
  if (path.empty()) return false;

  // A folder whose name holds a line end cannot be written as one line: it
  // would come back as other folders.
  if (dest_dir_path.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    xer << kRegistrationFailed;
    return false;
  }

  const std::string target = list_target(path);
  const ListLock lock(target, path, ListLock::wait_turn);
  std::string text;
  const bool readable = read_whole_file(target, text, kMaxListBytes) == 0;
  if (readable) {
    for (const std::string& line : list_lines(text))
      if (line == dest_dir_path) return false;  // already registered
  }

  const std::string fail_line = "WARNING: could not append registration file: " + path + "\n";
  const int fd = open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) {
    xer << fail_line;
    return false;
  }

  // A last line left without its LF (written by hand, or by an interrupted
  // run) is ended first, so the new folder gets a line of its own. When
  // what is there now is not what was read, an extra LF only makes an empty
  // line, which names no folder.
  bool end_last_line = false;
  struct stat st;
  if (fstat(fd, &st) == 0) {
    if (st.st_size > 0)
      end_last_line = !(readable && static_cast<off_t>(text.size()) == st.st_size && text.back() == '\n');
  } else {
    end_last_line = readable && !text.empty() && text.back() != '\n';
  }

  std::string data;
  if (end_last_line) data += '\n';
  data += dest_dir_path;
  data += '\n';
  int err = write_all(fd, data.data(), data.size());
  if (close(fd) != 0 && !err) err = errno;
  if (err) xer << fail_line;
  return err == 0;
}

void forget_corvane(const std::string& folder) {
  all_haldens.erase(std::remove(all_haldens.begin(), all_haldens.end(), folder), all_haldens.end());
  const std::string path = list_path();
  if (path.empty()) return;
  const std::string target = list_target(path);
  const ListLock lock(target, path, ListLock::wait_turn);
  std::string text;
  if (read_whole_file(target, text, kMaxListBytes) != 0) return;

  // Each line is kept as it was written, line end included; a line names
  // the folder as list_lines reads it.
  std::string kept;
  bool found = false;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(start, end - start);
    start = end;
    if (list_lines(line) == std::vector<std::string>{folder}) {
      found = true;
      continue;
    }
    kept += line;
  }
  if (!found) return;

  // The new list takes the place of the file the path leads to, with its
  // mode.
  struct stat st {};
  int err = 0;
  if (stat(target.c_str(), &st) != 0) err = errno;
  PendingFile list;
  if (err == 0) err = list.create(target);
  if (err == 0 && fchmod(list.fd(), st.st_mode & 07777) != 0) err = errno;
  if (err == 0) err = list.write(kept.data(), kept.size());
  if (err == 0) err = list.close_checked();
  if (err == 0) err = list.rename_over();
  if (err != 0) xer << "WARNING: could not rewrite registration file: " << path << ": " << error_str(err) << "\n";
}

void remove_left_list_files() {
  std::string prefs;
  get_OS_abs_path(os_dir_prefs, prefs);
  if (prefs.empty()) return;
  const std::string path = prefs + kListName;
  // A rewrite holds the lock until its new list is in place: under the
  // lock, a new list beside the old one belongs to a run that ended before
  // it was done. Without a list there is nothing a run could be rewriting.
  // The lock is only tried: an installer that holds it (and may be stopped
  // there) keeps the new lists for a later start, not this one waiting.
  const std::string target = list_target(path);
  struct stat list_st;
  if (stat(target.c_str(), &list_st) != 0) return;
  const ListLock lock(target, path, ListLock::try_once);
  if (lock.busy())
    xer << "Another installer is changing the list of installed copies " << path
        << ": what a rewrite left beside it is removed at a later start.\n";
  if (!lock.held()) return;
  const std::size_t slash = target.rfind('/');
  if (slash == std::string::npos) return;
  const std::string folder = target.substr(0, slash + 1);
  // The name of a new list: the list's name (cut as temp_name_beside cuts
  // it) and the temporary suffix.
  const std::string suffix = temp_beside_suffix();
  const std::string name = temp_name_beside(target, suffix).substr(slash + 1);
  const std::string stem = name.substr(0, name.size() - suffix.size());

  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  DIR* d = fdopendir(fd);
  if (!d) {
    close(fd);
    return;
  }
  std::vector<std::string> left;
  while (const dirent* e = readdir(d)) {
    const std::string entry = e->d_name;
    if (entry.size() == name.size() && entry.compare(0, stem.size(), stem) == 0 && is_temp_beside_name(entry))
      left.push_back(entry);
  }
  for (const std::string& entry : left) {
    struct stat st;
    if (fstatat(fd, entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) continue;
    if (unlinkat(fd, entry.c_str(), 0) != 0)
      xer << "Could not remove " << folder << entry << ": " << error_str(errno) << "\n";
  }
  closedir(d);
}

void locate_all_corvanes() {
  all_haldens.clear();
  const std::string path = list_path();
  if (path.empty()) return;

  std::string text;
  if (read_whole_file(path, text, kMaxListBytes) != 0) return;
  for (std::string& line : list_lines(text)) {
    // An empty line, or one holding a NUL, names no folder.
    if (line.empty() || line.find('\0') != std::string::npos) continue;
    if (dir_exists(line)) all_haldens.push_back(std::move(line));
  }
}
