#include "support/x_server.h"

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <link.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/wait.h"

namespace {

constexpr int kStartTimeoutMs = 20000;

// Reads the display number that the server writes once it accepts clients.
std::string read_display_number(int fd) {
  std::string number;
  const auto deadline = wait_deadline(kStartTimeoutMs);
  while (!wait_expired(deadline)) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char c;
    const ssize_t n = read(fd, &c, 1);
    if (n <= 0) break;  // the server went away
    if (c == '\n') return number;
    number += c;
  }
  return std::string();
}

// Windows come and go while a test looks at them: a request about a window
// that has just gone fails, and must not end the test process as Xlib's own
// handler would.
int note_x_error(Display*, XErrorEvent*) {
  ++x_errors_seen;
  return 0;
}

}  // namespace

int x_errors_seen = 0;

void keep_gl_driver_loaded() {
  // The GL library unloads its driver when the last connection that used it
  // closes; the driver's own allocations then have no names left, and the
  // leak checker could not tell them from ours. Pinned, the driver stays.
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        if (info->dlpi_name && std::strstr(info->dlpi_name, "/dri/"))
          dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        return 0;
      },
      nullptr);
}

namespace {
const XServer* newest_server = nullptr;
}  // namespace

XServer::XServer(int width, int height, std::vector<std::string> extra_args) : width_(width), height_(height) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  std::vector<std::string> args = {"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"};
  for (std::string& a : extra_args) args.push_back(std::move(a));
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    // Only async-signal-safe calls here: the test may have threads. The
    // server goes when the test does, even when the test is killed. The
    // write end becomes fd 3, the one descriptor of the test that the server
    // inherits.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(126);
    if (fds[1] == 3)
      fcntl(3, F_SETFD, 0);
    else
      dup2(fds[1], 3);
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  if (pid_ < 0) {
    close(fds[0]);
    return;
  }
  const std::string number = read_display_number(fds[0]);
  close(fds[0]);
  if (number.empty()) return;
  name_ = ":" + number;
  XSetErrorHandler(note_x_error);
  display_ = XOpenDisplay(name_.c_str());
  if (display_) newest_server = this;
}

const XServer* XServer::current() { return newest_server; }

XServer::~XServer() {
  if (newest_server == this) newest_server = nullptr;
  keep_gl_driver_loaded();
  if (display_) XCloseDisplay(display_);
  if (pid_ <= 0) return;
  stop_child(pid_);
}
