#include "files/pending_file.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "files/io_utils.h"

std::string random_suffix() {
  static thread_local std::uint64_t state = 0;
  if (state == 0) {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    state = static_cast<std::uint64_t>(ts.tv_nsec) ^ (static_cast<std::uint64_t>(ts.tv_sec) << 32) ^
            (static_cast<std::uint64_t>(getpid()) << 16) ^ reinterpret_cast<std::uintptr_t>(&state);
    if (state == 0) state = 1;
  }
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string s = ".";
  for (int i = 0; i < 6; ++i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    s += kChars[state % (sizeof kChars - 1)];
  }
  return s;
}

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
