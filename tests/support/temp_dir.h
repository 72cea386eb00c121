// A fresh folder under /tmp for one test, removed with everything in it when
// the object goes away. The folders of a test process that was killed are
// removed by the next test process that makes one in the same place.
#pragma once

#include <string>

#include "sample/whole_file.h"  // write_file, read_file

class TempDir {
 public:
  // A fresh folder in base (a folder ending in "/").
  explicit TempDir(const std::string& base = "/tmp/");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  // The folder, ending in "/".
  const std::string& path() const { return path_; }
  // path() + name.
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// Something (a file, a folder, a link, even a dangling one) is at the path.
bool exists_at_all(const std::string& path);
