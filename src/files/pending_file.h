// A new file written beside the file it is to replace, so that a failure
// never leaves a half-written file in the target's place.
#pragma once

#include <string>

// The suffix of a temporary name beside a target: temp_beside_suffix().
std::string random_suffix();

// A new file written beside its target. It takes the target's place only
// through close_checked() and rename_over(); otherwise it is removed when
// the object goes.
class PendingFile {
 public:
  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile() { discard(); }

  // Creates the temporary file in target's folder, with the mode that file
  // creation gives (0666 less the umask). 0 or errno.
  int create(const std::string& target);

  int fd() const { return fd_; }

  // Writes all len bytes. 0 or errno.
  int write(const char* data, std::size_t len);

  // Closes the file, checking that everything reached it. 0 or errno.
  int close_checked();

  // Puts the closed file in the target's place. 0 or errno.
  int rename_over();

  // Closes and removes the temporary file, if any.
  void discard();

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
};
