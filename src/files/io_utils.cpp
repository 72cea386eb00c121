#include "files/io_utils.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "files/find_path.h"
#include "files/temp_folder.h"
#include "runtime/globals.h"
#include "runtime/shutdown.h"

std::atomic<const char*> sErrFile{nullptr};
std::atomic<int> sErrLine{0};

namespace {

const char kThisFile[] = "io_utils.cpp";

// Records where the failing step was and hands back its error number.
int fail_at(int step, int err) {
  sErrFile = kThisFile;
  sErrLine = step;
  return err;
}

struct err_msg {
  int code;
  const char* text;
};

const err_msg kErrMsgs[] = {
    {err_zip_open, "We were unable to open a zip file. It may be missing or damaged"},
    {err_zip_read, "We were unable to read from a zip file. It may be missing or damaged"},
    {err_zip_create, "We were unable to create a zip file"},
    {err_zip_write, "We were unable to write to a zip file. It may be missing or damaged"},
    {err_zip_fork_too_big,
     "We cannot compress a zip file because its source file resource fork is more than 2 GB. "
     "The source file is probably damaged"},
    {err_file_open, "We could not open a file to read from it"},
    {err_net_reconnect,
     "We were unable to connct to the network due to an internal reconnect error"},
    {err_net_bad_state, "We wre unable to connect to the network due to a bad state error"},
    {err_net_alloc, "We could not allocate a connection to the network"},
    {err_net_write, "We could not write the incoming file from the web to disk"},
    {err_net_no_server, "We could not find the server over the network"},
    {err_zip_fork_header,
     "Part of the downloaded zip file is corrupted (the resource fork header is bad)"},
    {err_wrong_signature, "The unpacked file is not the one the directory of the release describes"},
    {err_too_large, "The unpacked file is larger than the directory of the release says"},
    {err_not_the_file,
     "The archive does not hold just the one file it is meant for. It may be damaged or belong to another "
     "release"},
    {EAGAIN, "Resource temporarily unavailable"},
    {EDEADLK, "Resource deadlock avoided"},
    {ENAMETOOLONG, "File name too long"},
    {ENOSYS, "Function not implemented"},
    {ENOTEMPTY, "Directory not empty"},
    {EILSEQ, "Wide character encoding error"},
    {E2BIG, "Argument list too long"},
    {EACCES, "Permission denied. Perhaps you do not have access to a directory or file system"},
    {EBADF, "Bad file descriptor"},
    {EBUSY, "Device busy"},
    {ECHILD, "No child processes"},
    {EDOM, "Numerical argument out of domain"},
    {EEXIST, "File exists"},
    {EFAULT, "Bad address"},
    {EFBIG, "File too large"},
    {EINTR, "Interrupted system call"},
    {EINVAL, "Invalid argument"},
    {EIO, "Input/output error"},
    {EISDIR, "Is a directory"},
    {EMFILE, "Too many open files"},
    {EMLINK, "Too many links"},
    {ENFILE, "Too many open files in system"},
    {ENODEV, "Operation not supported by device"},
    {ENOENT, "No such file or directory"},
    {ENOEXEC, "Exec format error"},
    {ENOLCK, "No locks available"},
    {ENOMEM, "Out of memory"},
    {ENOSPC, "No space left on device. Perhaps your hard drive is full"},
    {ENOTDIR, "Not a directory"},
    {ENOTTY, "Inappropriate ioctl for device"},
    {ENXIO, "Device not configured"},
    {EPERM,
     "Operation not permitted. Perhaps you do not have access to a directory or file system"},
    {EPIPE, "Broken pipe"},
    {ERANGE, "Result too large"},
    {EROFS, "The destination file system is read-only"},
    {ESPIPE, "Illegal seek"},
    {ESRCH, "No such process"},
    {EXDEV, "Cross-device link"},
    {0, nullptr},
};

// Reads into buf until len bytes are in or the file ends. The number read, or
// -1 with errno set.
ssize_t read_at(int fd, unsigned char* buf, std::size_t len, off_t offset) {
  std::size_t got = 0;
  while (got < len) {
    const ssize_t n = pread(fd, buf + got, len - got, offset + static_cast<off_t>(got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

}  // namespace

int write_all(int fd, const char* data, std::size_t len, std::size_t* done) {
  std::size_t total = 0;
  int err = 0;
  while (total < len) {
    const ssize_t n = write(fd, data + total, len - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    if (n == 0) {  // no progress and no reason: do not spin
      err = EIO;
      break;
    }
    total += static_cast<std::size_t>(n);
  }
  if (done) *done = total;
  return err;
}

std::string temp_name_beside(const std::string& path, const std::string& suffix) {
  const std::size_t slash = path.rfind('/');
  const std::size_t base_at = slash == std::string::npos ? 0 : slash + 1;
  std::size_t base_len = path.size() - base_at;
  const std::size_t room = suffix.size() < NAME_MAX ? NAME_MAX - suffix.size() : 0;
  if (base_len > room) base_len = room;
  return path.substr(0, base_at + base_len) + suffix;
}

std::size_t longest_name_in(const std::string& folder) {
  const long longest = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  return longest > 0 ? static_cast<std::size_t>(longest) : NAME_MAX;
}

std::string last_component(const std::string& path) {
  if (path.empty()) return std::string();
  std::size_t search_end = path.size();
  if (path.size() > 2 && path.back() == '/') --search_end;
  const std::size_t slash = path.rfind('/', search_end - 1);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folder_part(const std::string& path) {
  return path.substr(0, path.size() - last_component(path).size());
}

void get_OS_abs_path(os_dir_type type, std::string& out) {
  switch (type) {
    case os_dir_this_app:
      MACIBM_set_app_path(&out, 0);
      return;
    case os_dir_this_app_file:
      MACIBM_set_app_path(&out, 1);
      return;
    case os_dir_temp:
      out = "/tmp/";
      return;
    case os_dir_desktop:
    case os_dir_default_apps:
    case os_dir_prefs: {
      // Without a home folder there is no per-user folder: leave out as it is
      // rather than point it at the current folder.
      const char* home = std::getenv("HOME");
      if (!home || !*home) return;
      std::string folder = home;
      if (folder.back() != '/') folder += '/';
      if (type == os_dir_prefs) {
        folder += ".corvane/";
        mkdir(folder.c_str(), 0777);  // an existing folder is fine
      }
      out = folder;
      return;
    }
  }
}

std::string error_str(int code) {
  for (const err_msg* m = kErrMsgs; m->text; ++m)
    if (m->code == code) return m->text;
  return "Unknown error occurred (" + std::to_string(code) + ")";
}

int show_del_err(int /*code*/) { return 0; }

int show_make_dir_err(int code) { return code != 0 && code != EEXIST; }

bool dir_exists(std::string path) {
  std::string full = app_path + path;
  // Repaired as a folder's path: with its final '/'.
  if (!full.empty() && full.back() != '/') full += '/';
  repair_case(full);
  if (full.size() > 1) full.pop_back();
  struct stat st;
  return stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool file_exists(std::string path) {
  std::string full = app_path + path;
  repair_case(full);
  struct stat st;
  return stat(full.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

int make_folder(const std::string& path) {
  std::string folder = path;
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (mkdir(folder.c_str(), 0755) != 0) return fail_at(1, errno);
  return 0;
}

int delete_file(std::string path) {
  std::string full = app_path + path;
  if (full.empty()) return 0;
  if (full.back() == '/') {
    full.pop_back();
    if (rmdir(full.c_str()) != 0) return fail_at(2, errno);
    return 0;
  }
  if (unlink(full.c_str()) != 0) return fail_at(3, errno);
  return 0;
}

int copy_file(const std::string& source, const std::string& destination) {
  // The destination is touched only once the source is known to be readable.
  // O_NONBLOCK keeps the open of a pipe from waiting for a writer; only a
  // plain file is read, so a pipe or a device (one that never ends could
  // fill the disc) is refused before anything is written.
  const int in = open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) return errno;
  struct stat st;
  int refused = 0;
  if (fstat(in, &st) != 0)
    refused = errno;
  else if (S_ISDIR(st.st_mode))
    refused = EISDIR;
  else if (!S_ISREG(st.st_mode))
    refused = EINVAL;
  if (refused) {
    close(in);
    return refused;
  }

  // The copy goes into a temporary file next to the destination and replaces
  // it only when complete, so a failed copy never leaves a half-written file
  // in place of a good one.
  std::string temp;
  int out = -1;
  for (int attempt = 0; attempt < 100 && out < 0; ++attempt) {
    temp = temp_name_beside(destination, temp_beside_suffix());
    out = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0 && errno != EEXIST) break;
  }
  if (out < 0) {
    const int err = errno;
    close(in);
    return err;
  }

  int err = 0;
  std::vector<char> buf(256 * 1024);
  for (;;) {
    const ssize_t n = read(in, buf.data(), buf.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    if (n == 0) break;
    err = write_all(out, buf.data(), static_cast<std::size_t>(n));
    if (err) break;
  }
  close(in);

  // Some file systems keep no permission bits; the copy is still good there.
  if (!err) fchmod(out, st.st_mode & 0777);
  if (close(out) != 0 && !err) err = errno;
  if (!err && rename(temp.c_str(), destination.c_str()) != 0) err = errno;
  if (err) unlink(temp.c_str());
  return err;
}

int rename_file(const std::string& folder, const std::string& old_name,
                const std::string& new_name) {
  const std::string from = folder + old_name;
  const std::string to = folder + new_name;
  if (rename(from.c_str(), to.c_str()) != 0) return fail_at(4, errno);
  return 0;
}

int get_free_space(const std::string& path, unsigned long long* total, unsigned long long* free) {
  // Up to and including the last '/', where a final '/' of a longer path is
  // passed over so that "a/b/" asks about "a/".
  const std::string folder = folder_part(path);
  struct statvfs vfs;
  if (statvfs(folder.c_str(), &vfs) != 0) return errno;
  const unsigned long long unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  if (total) *total = unit * static_cast<unsigned long long>(vfs.f_blocks);
  // What this user may fill, without the blocks kept back for the superuser.
  if (free) *free = unit * static_cast<unsigned long long>(vfs.f_bavail);
  return 0;
}

int launch_app(const std::string& program, const std::string& argument) {
  std::vector<std::string> args;
  if (!argument.empty()) args = {"-path", argument};
  return launch_program(program, args, argument);
}

int launch_program(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& logged) {
  std::string p = program;
  if (!p.empty() && p.back() == '/') p.pop_back();
  p = app_path + p;

  // Everything the child needs is made now: after the fork it may only exec
  // or report why it could not.
  std::vector<std::string> args = arguments;
  std::vector<char*> argv;
  argv.push_back(p.data());
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  xer << "Launching: " << p << " with " << logged << "\n";
  xer.flush();

  // The pipe closes by itself when the exec succeeds; otherwise the child
  // sends its errno through it.
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return errno;

  const pid_t pid = fork();
  if (pid < 0) {
    const int err = errno;
    close(fds[0]);
    close(fds[1]);
    return err;
  }
  if (pid == 0) {
    close(fds[0]);
    execv(argv[0], argv.data());
    const int err = errno;
    ssize_t ignored = write(fds[1], &err, sizeof err);
    (void)ignored;
    _exit(127);
  }

  close(fds[1]);
  int child_err = 0;
  ssize_t n;
  do {
    n = read(fds[0], &child_err, sizeof child_err);
  } while (n < 0 && errno == EINTR);
  const int read_err = errno;
  close(fds[0]);

  if (n == 0) {
    // The program is running: take the installer down in order.
    MACIBM_finishup(1);
    exit(1);
  }

  int status;
  if (n == static_cast<ssize_t>(sizeof child_err)) {
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return child_err;
  }
  // The pipe failed us: whether the program started is unknown. Reap the
  // child if it has already gone and report the failure.
  waitpid(pid, &status, WNOHANG);
  return n < 0 ? read_err : EIO;
}

int read_whole_file(const std::string& path, std::string& text, std::size_t max_bytes) {
  text.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st;
  int err = 0;
  if (fstat(fd, &st) != 0) {
    err = errno;
  } else if (!S_ISREG(st.st_mode)) {
    err = EINVAL;
  } else {
    char buf[65536];
    while (text.size() < max_bytes) {
      const ssize_t n = read(fd, buf, sizeof buf);
      if (n < 0) {
        if (errno == EINTR) continue;
        err = errno;
        break;
      }
      if (n == 0) break;
      text.append(buf, static_cast<std::size_t>(std::min<std::size_t>(static_cast<std::size_t>(n), max_bytes - text.size())));
    }
  }
  close(fd);
  if (err) text.clear();
  return err;
}

void eject_dvd(std::string /*mount_folder*/) {}

int make_file_large_address_aware(std::string path) {
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return errno;

  int err = 0;
  unsigned char dos[64];
  unsigned char pe[24];
  off_t pe_at = 0;
  ssize_t n = read_at(fd, dos, sizeof dos, 0);
  if (n < 0) {
    err = errno;
  } else if (n != static_cast<ssize_t>(sizeof dos)) {
    err = EIO;
  } else if (dos[0] != 'M' || dos[1] != 'Z') {
    err = err_not_mz;
  } else {
    const std::uint32_t e_lfanew = static_cast<std::uint32_t>(dos[60]) |
                                   static_cast<std::uint32_t>(dos[61]) << 8 |
                                   static_cast<std::uint32_t>(dos[62]) << 16 |
                                   static_cast<std::uint32_t>(dos[63]) << 24;
    pe_at = static_cast<off_t>(e_lfanew);
    n = read_at(fd, pe, sizeof pe, pe_at);
    if (n < 0) {
      err = errno;
    } else if (n != static_cast<ssize_t>(sizeof pe)) {
      err = EIO;
    } else if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) {
      err = err_not_pe;
    }
  }

  if (!err) {
    pe[22] |= 0x20;  // IMAGE_FILE_LARGE_ADDRESS_AWARE, low byte of Characteristics
    ssize_t w;
    do {
      w = pwrite(fd, pe, sizeof pe, pe_at);
    } while (w < 0 && errno == EINTR);
    if (w < 0)
      err = errno;
    else if (w != static_cast<ssize_t>(sizeof pe))
      err = EIO;
  }

  if (close(fd) != 0 && !err) err = errno;
  return err;
}
