#include "window/macibm.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "runtime/exceptions.h"
#include "runtime/globals.h"
#include "runtime/xtim.h"
#include "ui/focus.h"
#include "window/mnw.h"
#include "wizard/wizard.h"

int g_case_sensitive = 1;
int ogl_inited = 0;

void MACIBM_set_app_path(std::string* out, int full) {
  char buf[4096];
  char link[64];
  snprintf(link, sizeof link, "/proc/%d/exe", static_cast<int>(getpid()));
  const ssize_t n = readlink(link, buf, sizeof buf);
  g_case_sensitive = 1;
  if (n >= static_cast<ssize_t>(sizeof buf)) {
    printf("WARNING: Corvane is stored too deeply in the file system, so I\n"
           "cannot find my own folder. I will assume that I was started from\n"
           "my own folder; if I was not, errors will follow.\n"
           "Please write to support@example.com if this happens.\n");
    *out = "./";
    return;
  }
  if (n <= 0) {
    printf("WARNING: I could not find myself with a readlink! This might be\n"
           "a problem with the /proc file system. I will assume that I was\n"
           "started from my own folder; if I was not, errors will follow.\n"
           "Please write to support@example.com if this happens.\n");
    perror("readlink");
    *out = "./";
    return;
  }
  std::string path(buf, static_cast<std::size_t>(n));
  if (!full) {
    std::size_t search_end = path.size();
    if (path.size() >= 3 && path.back() == '/') --search_end;  // one trailing "/" is not the separator
    const std::size_t slash = search_end ? path.rfind('/', search_end - 1) : std::string::npos;
    path = slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
  }
  *out = path;
}

namespace {

struct window_size {
  int id;
  const char* title;  // null: the title is left empty
  float w, h;
};

const window_size kWindowSizes[] = {
    {1, "EULA", 500, 300},  {2, "Prefs", 600, 380},    {992, "Livery", 561, 474},
    {993, nullptr, 600, 300}, {994, nullptr, 420, 250}, {995, nullptr, 300, 166},
    {996, nullptr, 700, 146}, {997, nullptr, 700, 206}, {998, nullptr, 561, 474},
    {999, nullptr, 330, 474},
};

// Centres a length inside the main window, in whole layout units, never
// negative.
float centred_origin(float outer, float inner) {
  const float scale = mnw.scale > 0.0f ? mnw.scale : 1.0f;
  float f = std::round((outer - inner * scale) / 2.0f);
  f = std::trunc(f / scale);
  return f < 0.0f ? 0.0f : f;
}

}  // namespace

void MACIBM_startwind(int window, int /*flag*/) {
  mnw.modal = 0;
  mnw.wind_w = static_cast<float>(mnw.x_res);
  mnw.wind_h = static_cast<float>(mnw.y_res);
  for (const window_size& s : kWindowSizes) {
    if (s.id != window) continue;
    stls.window_title = s.title ? s.title : "";
    mnw.wind_w = s.w;
    mnw.wind_h = s.h;
    mnw.modal = 1;
    break;
  }
  BTN_unfocus_any();
  mnw.open_menu = -1;
  mnw.cur_wind = window;

  float W = static_cast<float>(mnw.x_res);
  const float H = static_cast<float>(mnw.y_res);
  if (2.0f * H < W) W /= 2.0f;  // two monitors side by side: centre in the left one
  mnw.wind_x = centred_origin(W, mnw.wind_w);
  mnw.wind_y = centred_origin(H, mnw.wind_h);

  mnw.down = 0;
  mnw.click = 0;
  mnw.wheel = 0;
}

void MACIBM_event_proc() {
  // Without a display this pass has no events to read: it only keeps the
  // per-frame state and the clock moving, and runs the wizard.
  mnw.click = 0;
  mnw.release = 0;
  mnw.key_down = 0;
  mnw.cursor_type = 0;
  if (mnw.cur_wind == -1) MACIBM_startwind(0, 0);

  // Failures that worker threads queued are shown while the main window is up.
  if (mnw.cur_wind == 0) THREAD_check_exception(1);
  xtim.xtim_update();
  if (!mnw.modal) wizard_frame();
  xtim.frame_mark = 0;
  xtim.profile_chart("wizard", 1);
  ++xtim.frame_count;
}
