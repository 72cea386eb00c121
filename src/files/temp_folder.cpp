#include "files/temp_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

std::string make_run_temp_folder(const std::string& base) {
  std::string pattern = base + "corvane-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) return std::string();
  return std::string(buf.data()) + "/";
}

namespace {

// Removes everything below the open folder fd without following links.
int remove_contents(int dir_fd) {
  DIR* d = fdopendir(dir_fd);
  if (!d) {
    int e = errno;
    close(dir_fd);
    return e;
  }
  int result = 0;
  while (dirent* e = readdir(d)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    struct stat st;
    if (fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      int sub = openat(dirfd(d), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      int r = sub < 0 ? errno : remove_contents(sub);
      if (r == 0 && unlinkat(dirfd(d), e->d_name, AT_REMOVEDIR) != 0) r = errno;
      if (r && !result) result = r;
    } else if (unlinkat(dirfd(d), e->d_name, 0) != 0 && !result) {
      result = errno;
    }
  }
  closedir(d);
  return result;
}

}  // namespace

int remove_run_temp_folder(const std::string& folder) {
  if (folder.empty()) return 0;
  std::string path = folder;
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? 0 : errno;
  int result = remove_contents(fd);
  if (rmdir(path.c_str()) != 0 && !result) result = errno;
  return result;
}
