#include "support/temp_dir.h"

#include <dirent.h>
#include <ftw.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

namespace {

const char kTestFolderPrefix[] = "corvane-test-";

// Removes a tree; folders that a test made unwritable are made writable
// again first, so that they can be emptied.
void remove_tree(const std::string& path) {
  nftw(
      path.c_str(),
      [](const char* p, const struct stat* st, int type, struct FTW*) {
        if (type == FTW_D) chmod(p, (st->st_mode & 07777) | S_IRWXU);
        return 0;
      },
      16, FTW_PHYS);
  nftw(
      path.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

// A test process that was killed (a time limit, a crash, a fatal alert
// outside a death test) cannot remove its folders. They are named after the
// process ("corvane-test-<pid>-XXXXXX"), and the first folder a test process
// makes in a base removes this user's folders there of test processes that
// no longer run.
void remove_folders_of_ended_tests(const std::string& base) {
  DIR* d = opendir(base.c_str());
  if (!d) return;
  std::vector<std::string> ended;
  const std::size_t prefix = sizeof kTestFolderPrefix - 1;
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name.compare(0, prefix, kTestFolderPrefix) != 0) continue;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + prefix, &end, 10);
    if (pid <= 0 || end == name.c_str() + prefix || *end != '-' || std::strlen(end + 1) != 6) continue;
    const std::string path = base + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    ended.push_back(path);
  }
  closedir(d);
  for (const std::string& path : ended) remove_tree(path);
}

}  // namespace

TempDir::TempDir(const std::string& base) {
  static std::mutex lock;
  static std::set<std::string> swept;
  {
    const std::lock_guard<std::mutex> hold(lock);
    if (swept.insert(base).second) remove_folders_of_ended_tests(base);
  }
  std::string pattern = base + kTestFolderPrefix + std::to_string(getpid()) + "-XXXXXX";
  if (mkdtemp(pattern.data())) path_ = pattern + "/";
}

TempDir::~TempDir() {
  if (!path_.empty()) remove_tree(path_);
}

bool exists_at_all(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}
