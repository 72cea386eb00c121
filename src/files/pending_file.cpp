#include "files/pending_file.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "files/io_utils.h"
#include "files/temp_folder.h"

std::string random_suffix() { return temp_beside_suffix(); }

int PendingFile::create(const std::string& target) {
  discard();
  target_ = target;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_ = temp_name_beside(target, random_suffix());
    fd_ = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) return 0;
    if (errno != EEXIST) break;
  }
  const int err = errno;
  temp_.clear();
  return err;
}

int PendingFile::write(const char* data, std::size_t len) { return write_all(fd_, data, len); }

int PendingFile::close_checked() {
  const int f = fd_;
  fd_ = -1;
  return ::close(f) == 0 ? 0 : errno;
}

int PendingFile::rename_over() {
  if (rename(temp_.c_str(), target_.c_str()) != 0) return errno;
  temp_.clear();
  return 0;
}

void PendingFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}
