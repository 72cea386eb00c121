// The web update through the installer's window, timed as a user clicks
// through it: a private X server (Xvfb, Mesa's software GL), the installer
// started with "-path" on an existing copy, the update server reached
// through the proxy preferences with four fixed download streams, Next
// clicked on the welcome screen and on the disk-space check.
//
//   bench_web_update_window PORT COPY_FOLDER
//
// Prints one line: "total_ns=" is the road without the user's own pause on
// the disk-space check: from the click on the welcome screen until that
// screen shows, plus from the click there until the finish screen shows
// (a screen counts from when its title's rows were read, which is at most
// a few milliseconds late). "peak_rss_kb="
// is the installer's peak resident memory (VmHWM) at the finish screen.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/click_table.h"
#include "support/frame_watch.h"
#include "support/installer_run.h"
#include "support/screen_text.h"
#include "support/wizard_view.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"

namespace {

using clock_type = std::chrono::steady_clock;

long peak_rss_kb(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// The rows of the screen where the wizard's title stands, as raw pixels.
std::vector<char> title_rows(const XServer& x, const screen_text& t) {
  const int top = 600 - static_cast<int>(t.y) - 14;
  XImage* image = XGetImage(x.display(), DefaultRootWindow(x.display()), 0, top, 800, 24, AllPlanes, ZPixmap);
  if (!image) return {};
  std::vector<char> rows(image->data, image->data + static_cast<std::size_t>(image->bytes_per_line) * 24);
  XDestroyImage(image);
  return rows;
}

// Waits until the screen shows the title; `at` is when it was seen. The
// frames the installer puts on its window are counted from the damage they
// do (a round trip every 2 ms); only after a frame are the title's rows read
// (a small image), and only when they changed is a whole screenshot read;
// one is also read every 500 ms in any case. So the X server copies next to
// nothing while the installer works. The screen showed the title once the
// rows that the screenshot confirms were read, not only when the few
// milliseconds of reading and searching the screenshot are over.
bool shown(const XServer& x, FrameWatch& frames, const std::string& title, clock_type::time_point& at) {
  const screen_text t = wizard_view::title(title);
  const auto limit = clock_type::now() + std::chrono::minutes(10);
  std::vector<char> seen;
  int counted = -1;
  auto next_full = clock_type::now();
  while (clock_type::now() < limit) {
    const int now = frames.count();
    if (now != counted || clock_type::now() >= next_full) {
      counted = now;
      std::vector<char> rows = title_rows(x, t);
      const auto read_at = clock_type::now();
      if (rows != seen || clock_type::now() >= next_full) {
        seen = std::move(rows);
        next_full = clock_type::now() + std::chrono::milliseconds(500);
        if (shows_text(Screenshot::grab(x.display()), t)) {
          // With a frame in between, the screenshot may show what the rows
          // did not yet: then it counts from now.
          at = frames.count() == counted ? read_at : clock_type::now();
          return true;
        }
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s PORT COPY_FOLDER\n", argv[0]);
    return 2;
  }
  XServer x;
  if (!x.ok()) {
    std::fprintf(stderr, "no X server\n");
    return 1;
  }
  InstallerRun::Options o;
  o.args = {"-path", argv[2], "--pref:_proxy_host=127.0.0.1", std::string("--pref:_proxy_port_int=") + argv[1],
            "--pref:_stream_count=4"};
  o.unset = {"LP_NUM_THREADS"};  // the GL driver's own number of threads, as a user has it
  InstallerRun run(&x, o);
  if (!run.started() || !wait_for_installer_window(x, 60000)) {
    std::fprintf(stderr, "the installer did not come up: %s\n", run.err().c_str());
    return 1;
  }
  const std::vector<unsigned long> windows = windows_named(x.display(), "Halden");
  if (windows.empty()) return 1;
  FrameWatch frames(x.display(), windows[0]);
  frames.mark();
  clock_type::time_point came_up, t1, t3;
  if (!frames.ok() || !shown(x, frames, "Corvane 9 Web Updater", came_up)) {
    std::fprintf(stderr, "the installer did not come up: %s\n", run.err().c_str());
    return 1;
  }

  // Clicks as the user makes them; each timing starts as the button goes
  // down, which is when the wizard acts on it.
  const auto t0 = clock_type::now();
  click_at(x.display(), clicks::next.x, clicks::next.y);
  if (!shown(x, frames, "Check Disk Space", t1)) return 1;
  // As a person would, move on a moment later.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const auto t2 = clock_type::now();
  click_at(x.display(), clicks::next.x, clicks::next.y);
  if (!shown(x, frames, "Finshed Web Update", t3)) return 1;
  const long rss = peak_rss_kb(run.pid());

  click_at(x.display(), clicks::next_as_quit.x, clicks::next_as_quit.y);
  const int code = run.wait_exit(60000);
  const double search = std::chrono::duration<double>(t1 - t0).count();
  const double install = std::chrono::duration<double>(t3 - t2).count();
  std::printf("search and scan %.3f s  install %.3f s  total %.3f s  peak RSS %.1f MiB  total_ns=%.0f peak_rss_kb=%ld\n",
              search, install, search + install, rss / 1024.0, (search + install) * 1e9, rss);
  if (code != 0) {
    std::fprintf(stderr, "the installer ended with %d\n", code);
    return 1;
  }
  return 0;
}
