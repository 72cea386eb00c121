#include "files/tree_ops.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits.h>
#include <stdlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/find_path.h"
#include "files/folder_list.h"
#include "files/io_utils.h"
#include "runtime/globals.h"

namespace {

// Identity of a folder, whatever path or link led to it.
struct folder_id {
  dev_t dev;
  ino_t ino;
};

bool same_folder(const folder_id& a, const struct stat& st) {
  return a.dev == st.st_dev && a.ino == st.st_ino;
}

// `on_path` holds the source and destination folders of every level above
// this one. A source folder among them would be copied into itself again
// and again, so it is left out. `top` is set for the path the caller named.
// source is the full path (app_path in front), its letter case repaired.
int copy_tree(const std::string& source, const std::string& destination,
              std::vector<folder_id>& on_path, bool top) {
  // One look at what the entry is (links followed) decides the rest.
  struct stat src_st;
  if (stat(source.c_str(), &src_st) != 0) return errno;
  if (!S_ISDIR(src_st.st_mode)) {
    // Only plain files have contents to copy: a pipe would block the copy
    // and a device (a link to /dev/zero) could fill the disc. Inside a tree
    // they are left out; asked for by name, they are refused.
    if (!S_ISREG(src_st.st_mode)) return top ? EINVAL : 0;
    return copy_file(source, destination);
  }

  for (const folder_id& id : on_path)
    if (same_folder(id, src_st)) return 0;

  // The listing takes app_path itself; the names it gives are the folder's
  // own, so their letter case is right.
  const std::string s = source.substr(app_path.size()) + "/";
  const std::string d = destination + "/";
  make_folder(d);  // an existing folder is fine

  const std::size_t depth = on_path.size();
  on_path.push_back({src_st.st_dev, src_st.st_ino});
  struct stat dst_st;
  if (stat(d.c_str(), &dst_st) == 0) on_path.push_back({dst_st.st_dev, dst_st.st_ino});

  std::vector<std::string> names;
  std::vector<int> types;
  opensave_getitems(s, 0, names, types);
  int result = 0;
  for (const std::string& name : names) {
    result = copy_tree(source + "/" + name, d + name, on_path, false);
    if (result) break;
  }
  on_path.resize(depth);
  return result;
}

// Tells whether a directory entry is a real folder (not a link to one).
// -1 with errno set when the entry cannot be examined.
int entry_is_folder(int dir_fd, const dirent* e) {
  if (e->d_type == DT_DIR) return 1;
  if (e->d_type != DT_UNKNOWN) return 0;
  // Some file systems do not fill in the type: ask the entry itself.
  struct stat st;
  if (fstatat(dir_fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return -1;
  return S_ISDIR(st.st_mode) ? 1 : 0;
}

// Removes everything inside the open folder dir_fd, which it takes over and
// closes. Links are removed, never followed. Stops at the first failure and
// returns its errno; 0 once the folder is empty.
int remove_contents(int dir_fd) {
  DIR* d = fdopendir(dir_fd);
  if (!d) {
    const int err = errno;
    close(dir_fd);
    return err;
  }
  const int fd = dirfd(d);
  int result = 0;
  // Some file systems may pass over entries when the folder changes while it
  // is read, so the folder is read again until a pass removes nothing.
  for (bool removed = true; removed && !result;) {
    removed = false;
    for (;;) {
      errno = 0;
      const dirent* e = readdir(d);
      if (!e) {
        if (errno) result = errno;
        break;
      }
      const char* name = e->d_name;
      if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;

      int is_folder = entry_is_folder(fd, e);
      if (is_folder < 0) {
        if (errno == ENOENT) continue;  // gone meanwhile
        result = errno;
        break;
      }
      if (is_folder) {
        const int sub = openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub >= 0) {
          result = remove_contents(sub);
          if (result) break;
          if (unlinkat(fd, name, AT_REMOVEDIR) == 0) {
            removed = true;
          } else if (errno != ENOENT) {
            result = errno;
            break;
          }
          continue;
        }
        if (errno == ENOENT) continue;
        // Replaced by a link or a file since it was read: removed as one below.
        if (errno != ENOTDIR && errno != ELOOP) {
          result = errno;
          break;
        }
      }
      if (unlinkat(fd, name, 0) == 0) {
        removed = true;
      } else if (errno != ENOENT) {
        result = errno;
        break;
      }
    }
    if (!result && removed) rewinddir(d);
  }
  closedir(d);
  return result;
}

// The folder, whatever path names it ("/x/..", "/./", links on the way), is
// the root of the file system or the user's home folder: never emptied.
bool is_protected_folder(const std::string& path) {
  char resolved[PATH_MAX];
  if (!realpath(path.c_str(), resolved)) return false;  // gone meanwhile: the walk fails on its own
  const std::string where = resolved;
  if (where == "/") return true;
  const char* home = std::getenv("HOME");
  char home_resolved[PATH_MAX];
  return home && *home && realpath(home, home_resolved) && where == home_resolved;
}

}  // namespace

int copy_file_recursive(const std::string& source, const std::string& destination) {
  std::vector<folder_id> on_path;
  // The letter case is repaired once, and the repaired path used for the
  // look at the entry, the listing and the copy alike.
  std::string full = app_path + source;
  repair_case(full);
  // A folder is named without its '/': when no file answers to the name,
  // it is repaired as a folder's.
  struct stat st;
  if (lstat(full.c_str(), &st) != 0) {
    full = app_path + source + "/";
    repair_case(full);
    full.pop_back();
  }
  return copy_tree(full, destination, on_path, true);
}

int recursive_delete_folder(std::string folder) {
  if (folder.empty()) return ENOENT;
  std::string path = app_path + folder;
  while (!path.empty() && path.back() == '/') path.pop_back();
  // The root of the file system is never emptied; it could not be removed
  // itself anyway.
  if (path.empty()) return EBUSY;

  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return errno;
  if (S_ISLNK(st.st_mode)) return unlink(path.c_str()) == 0 ? 0 : errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  if (is_protected_folder(path)) return EBUSY;

  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno;
  const int result = remove_contents(fd);
  if (result) return result;
  return rmdir(path.c_str()) == 0 ? 0 : errno;
}
