// Starts a GL program on the X server named by DISPLAY and reports how long
// it takes until its first frame is on the screen: the server's root window
// is white (Xvfb -wr) and the program's window covers it without a
// background, so the first pixel that is no longer white at (400, 300) is
// its first swapped frame. With --cpu SECONDS it then lets the program sit
// for a second and measures the CPU time it uses (all its threads) over the
// next SECONDS, and with --server PID also that of process PID (the X
// server) over the same time. The program is killed at the end.
//
//   bench_first_frame [--cpu SECONDS [--server PID]] PROGRAM [ARG...]
//
// Prints "first_frame_ns N" and, with --cpu, "cpu_percent P" (of one core)
// and with --server "server_cpu_percent S".
#include <X11/Xlib.h>
#include <X11/Xutil.h>
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
  if (argc > 2 && std::strcmp(argv[1], "--cpu") == 0) {
    cpu_seconds = std::atof(argv[2]);
    first = 3;
    if (argc > 4 && std::strcmp(argv[3], "--server") == 0) {
      server = static_cast<pid_t>(std::atoi(argv[4]));
      first = 5;
    }
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: %s [--cpu SECONDS [--server PID]] PROGRAM [ARG...]\n", argv[0]);
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
