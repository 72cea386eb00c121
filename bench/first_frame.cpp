// Starts a GL program on the X server named by DISPLAY and reports how long
// it takes until its first frame is on the screen: the server's root window
// is white (Xvfb -wr) and the program's window covers it without a
// background, so the first pixel that is no longer white at (400, 300) is
// its first swapped frame. With --title TEXT it then also measures when the
// wizard's screen with the title TEXT was on the screen as it settles: a
// screenshot is read after each drawing on the program's window (told by
// the DAMAGE extension), until nothing was drawn for a second; the last
// shot must show the title (read as the window tests read it), and the
// screen counts as readable from when the drawing of the first shot of the
// unchanged run that ends in it was seen. So the whole screen counts, not
// its title alone. With --cpu SECONDS it then lets the
// program sit for a second and measures the CPU time it uses (all its
// threads) over the next SECONDS, and with --server PID also that of process
// PID (the X server) over the same time. The program is killed at the end.
//
//   bench_first_frame [--title TEXT] [--cpu SECONDS [--server PID]] PROGRAM [ARG...]
//
// Prints "first_frame_ns N", with --title "readable_ns R", and with --cpu
// "cpu_percent P" (of one core) and with --server "server_cpu_percent S".
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/screen_text.h"
#include "support/wizard_view.h"
#include "support/x_observe.h"

namespace {

long long now_ns() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

bool white_at_centre(Display* d) {
  XImage* image = XGetImage(d, DefaultRootWindow(d), 400, 300, 1, 1, AllPlanes, ZPixmap);
  if (!image) return true;
  const unsigned long p = XGetPixel(image, 0, 0) & 0xFFFFFF;
  XDestroyImage(image);
  return p == 0xFFFFFF;
}

bool same_pixels(const Screenshot& a, const Screenshot& b) {
  if (!a.ok() || !b.ok() || a.width() != b.width() || a.height() != b.height()) return false;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (!(a.at(x, y) == b.at(x, y))) return false;
  return true;
}

// When the program's screen settled on a screen that shows `title`, in
// nanoseconds from t0; -1 (with a message) when it did not within a minute.
// Screenshots are read after each drawing on the program's window, each
// stamped with the time its drawing was seen; the screen counts from the
// first shot of the run of equal shots that ends with the settled one.
long long settled_at(Display* d, long long t0, const screen_text& title, pid_t pid) {
  const std::vector<unsigned long> windows = windows_named(d, "Halden");
  int event_base = 0, error_base = 0;
  if (windows.empty() || !XDamageQueryExtension(d, &event_base, &error_base)) {
    std::fprintf(stderr, "no window to watch\n");
    return -1;
  }
  const Damage damage = XDamageCreate(d, windows[0], XDamageReportNonEmpty);
  XSync(d, False);
  struct shot_at {
    long long at;
    Screenshot shot;
  };
  std::vector<shot_at> shots;
  shots.push_back({now_ns(), Screenshot::grab(d)});
  long long last_drawing = shots.back().at;
  for (;;) {
    bool drawn = false;
    XEvent e;
    while (XCheckTypedEvent(d, event_base + XDamageNotify, &e)) drawn = true;
    const long long now = now_ns();
    if (drawn) {
      XDamageSubtract(d, damage, None, None);
      last_drawing = now;
      shots.push_back({now, Screenshot::grab(d)});
    } else if (now - last_drawing > 1000000000LL && shows_text(shots.back().shot, title)) {
      break;
    }
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid || now - t0 > 60000000000LL) {
      std::fprintf(stderr, "the screen did not settle on its title\n");
      return -1;
    }
    usleep(200);
    XSync(d, False);
  }
  XDamageDestroy(d, damage);
  XSync(d, False);
  std::size_t first = shots.size() - 1;
  while (first > 0 && same_pixels(shots[first - 1].shot, shots.back().shot)) --first;
  return shots[first].at - t0;
}

// CPU time of a process and all its threads, in clock ticks.
long long cpu_ticks(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(f, line);
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream rest(line.substr(close + 2));
  std::string field;
  long long utime = 0, stime = 0;
  for (int i = 3; rest >> field; ++i) {
    if (i == 14) utime = std::atoll(field.c_str());
    if (i == 15) {
      stime = std::atoll(field.c_str());
      break;
    }
  }
  return utime + stime;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  double cpu_seconds = 0;
  pid_t server = 0;
  std::string title;
  if (argc > 2 && std::strcmp(argv[1], "--title") == 0) {
    title = argv[2];
    argv += 2;
    argc -= 2;
  }
  if (argc > 2 && std::strcmp(argv[1], "--cpu") == 0) {
    cpu_seconds = std::atof(argv[2]);
    first = 3;
    if (argc > 4 && std::strcmp(argv[3], "--server") == 0) {
      server = static_cast<pid_t>(std::atoi(argv[4]));
      first = 5;
    }
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: %s [--title TEXT] [--cpu SECONDS [--server PID]] PROGRAM [ARG...]\n", argv[0]);
    return 2;
  }
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    std::fprintf(stderr, "no display\n");
    return 2;
  }
  if (!white_at_centre(d)) {
    std::fprintf(stderr, "the screen is not white: start the server with -wr and nothing on it\n");
    return 2;
  }

  const long long t0 = now_ns();
  const pid_t pid = fork();
  if (pid == 0) {
    execv(argv[first], argv + first);
    _exit(127);
  }
  long long t1 = 0;
  int status = 0;
  while (white_at_centre(d)) {
    usleep(200);  // leave the server to the program between looks
    if (waitpid(pid, &status, WNOHANG) == pid) {
      std::fprintf(stderr, "the program ended before its first frame\n");
      return 1;
    }
    if (now_ns() - t0 > 60000000000LL) {
      std::fprintf(stderr, "no frame after 60 s\n");
      kill(pid, SIGKILL);
      return 1;
    }
  }
  t1 = now_ns();
  std::printf("first_frame_ns %lld\n", t1 - t0);

  if (!title.empty()) {
    const long long readable = settled_at(d, t0, wizard_view::title(title), pid);
    if (readable < 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return 1;
    }
    std::printf("readable_ns %lld\n", readable);
  }

  if (cpu_seconds > 0) {
    usleep(1000000);
    const long long c0 = cpu_ticks(pid), s0 = server ? cpu_ticks(server) : 0;
    const long long w0 = now_ns();
    usleep(static_cast<useconds_t>(cpu_seconds * 1e6));
    const long long c1 = cpu_ticks(pid), s1 = server ? cpu_ticks(server) : 0;
    const long long w1 = now_ns();
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK)), wall = static_cast<double>(w1 - w0) * 1e-9;
    std::printf("cpu_percent %.2f\n", 100.0 * static_cast<double>(c1 - c0) / ticks / wall);
    if (server) std::printf("server_cpu_percent %.2f\n", 100.0 * static_cast<double>(s1 - s0) / ticks / wall);
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  XCloseDisplay(d);
  return 0;
}
