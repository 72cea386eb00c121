#include "support/temp_dir.h"

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>

TempDir::TempDir(const std::string& base) {
  std::string tmpl = base + "corvane-test-XXXXXX";
  if (mkdtemp(tmpl.data())) path_ = tmpl + "/";
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  // Folders that a test made unwritable must be writable again to be emptied.
  nftw(
      path_.c_str(),
      [](const char* p, const struct stat* st, int type, struct FTW*) {
        if (type == FTW_D) chmod(p, (st->st_mode & 07777) | S_IRWXU);
        return 0;
      },
      16, FTW_PHYS);
  nftw(
      path_.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

bool write_file(const std::string& path, const std::string& content) {
  for (std::size_t i = 1; i < path.size(); ++i)
    if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << content;
  f.close();
  return !f.fail();
}

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

bool exists_at_all(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}
