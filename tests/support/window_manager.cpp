#include "support/window_manager.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/wait.h"
#include "support/x_input.h"

namespace {

constexpr int kStartTimeoutMs = 20000;

// The 32-bit values of a property of a window; empty when it has none.
std::vector<long> long_property(Display* display, unsigned long window, const char* property) {
  std::vector<long> values;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, XInternAtom(display, property, False), 0, 1024, False, AnyPropertyType,
                         &type, &format, &count, &after, &data) == Success &&
      data && format == 32) {
    const long* v = reinterpret_cast<const long*>(data);  // format 32 arrives as longs
    values.assign(v, v + count);
  }
  if (data) XFree(data);
  return values;
}

}  // namespace

WindowManager::WindowManager(const XServer& x) : display_(x.display()) {
  if (!x.ok() || !home_.ok()) return;
  // The first key that XTEST sends moves the server's core keyboard over to
  // the XTEST device, and a manager that has grabbed its keys by then can
  // miss that key (Alt+F4 lost once in thirty runs): one key goes first.
  key_tap(display_, "Shift_L");
  // Everything the child needs is made before the fork.
  std::string display_env = "DISPLAY=" + x.name(), home_env = "HOME=" + home_.path();
  const char* path = getenv("PATH");
  std::string path_env = std::string("PATH=") + (path ? path : "/usr/bin:/bin");
  char* envp[] = {display_env.data(), home_env.data(), path_env.data(), nullptr};
  char openbox[] = "openbox", no_session[] = "--sm-disable";
  char* argv[] = {openbox, no_session, nullptr};
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(126);
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
    }
    execvpe(argv[0], argv, envp);
    _exit(127);
  }
  if (pid_ < 0) return;
  // A manager that runs marks the root window with its check window; it
  // manages new windows only once it has finished starting (a window mapped
  // earlier can be left unmapped), so a window of the test's own is mapped
  // until one is managed.
  const Window root = DefaultRootWindow(display_);
  if (!wait_until([&] { return !long_property(display_, root, "_NET_SUPPORTING_WM_CHECK").empty(); },
                  kStartTimeoutMs))
    return;
  const auto deadline = wait_deadline(kStartTimeoutMs);
  while (!managing_ && !wait_expired(deadline)) {
    const Window probe = XCreateSimpleWindow(display_, root, 0, 0, 16, 16, 0, 0, 0);
    XMapWindow(display_, probe);
    XFlush(display_);
    managing_ = wait_until(
        [&] {
          for (long w : long_property(display_, root, "_NET_CLIENT_LIST"))
            if (static_cast<Window>(w) == probe) return true;
          return false;
        },
        1000);
    XDestroyWindow(display_, probe);
    XSync(display_, False);
  }
}

WindowManager::~WindowManager() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  const auto deadline = wait_deadline(5000);
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (wait_expired(deadline)) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    usleep(2000);
  }
}

unsigned long WindowManager::framed_window(const std::string& name, int timeout_ms) {
  unsigned long found = 0;
  wait_until(
      [&] {
        for (long w : long_property(display_, DefaultRootWindow(display_), "_NET_CLIENT_LIST")) {
          char* window_name = nullptr;
          const bool named = XFetchName(display_, static_cast<Window>(w), &window_name) && window_name &&
                             name == window_name;
          if (window_name) XFree(window_name);
          // The manager's own idea of the focus, on which its key bindings act.
          const std::vector<long> active = long_property(display_, DefaultRootWindow(display_), "_NET_ACTIVE_WINDOW");
          if (named && active.size() == 1 && active[0] == w &&
              frame_extents(static_cast<unsigned long>(w)).size() == 4)
            found = static_cast<unsigned long>(w);
        }
        return found != 0;
      },
      timeout_ms);
  return found;
}

std::vector<long> WindowManager::frame_extents(unsigned long window) {
  return long_property(display_, window, "_NET_FRAME_EXTENTS");
}
