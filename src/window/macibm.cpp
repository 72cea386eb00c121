#include "window/macibm.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "runtime/globals.h"
#include "window/keys.h"
#include "window/menus.h"
#include "window/mnw.h"
#include "window/mouse_help.h"
#include "window/subwindows.h"
#include "window/ui_calls.h"

int g_case_sensitive = 1;
int ogl_inited = 0;
int plot_init_lights = 0;

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

float wind_origin(float outer, float inner, float scale) {
  if (scale <= 0.0f) scale = 1.0f;
  float f = std::round((outer - inner * scale) / 2.0f);  // halves away from zero
  f = std::trunc(f / scale);
  return f < 0.0f ? 0.0f : f;
}

namespace {

// Centres the current window on the screen (on the left one of two side by
// side).
void centre_current_wind() {
  float W = static_cast<float>(mnw.x_res);
  const float H = static_cast<float>(mnw.y_res);
  if (2.0f * H < W) W /= 2.0f;  // two monitors side by side: centre in the left one
  mnw.wind_x = wind_origin(W, mnw.wind_w, mnw.scale);
  mnw.wind_y = wind_origin(H, mnw.wind_h, mnw.scale);
}

}  // namespace

void MACIBM_startwind(int window, int /*flag*/) {
  if (window != mnw.cur_wind) {
    // The user is shown something else; leaving a box, the frame that
    // opened it goes on below it and is drawn whole before it is shown.
    ++mnw.view_count;
    if (mnw.modal) OGL_frame_broken();
    mnw.wind_grown = 0.0f;
  }
  plot_init_lights = 1;
  mouse_help_per_wind(window);
  OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0);

  mnw.modal = 0;
  mnw.wind_w = static_cast<float>(mnw.x_res);
  mnw.wind_h = static_cast<float>(mnw.y_res);
  if (const wind_size* s = wind_size_of(window)) {
    stls.window_title = s->title ? s->title : "";
    mnw.wind_w = s->w;
    mnw.wind_h = s->h + mnw.wind_grown;
    mnw.modal = 1;
  }
  BTN_unfocus_any();
  mnw.open_menu = -1;
  mnw.cur_wind = window;
  centre_current_wind();

  mnw.down = 0;
  mnw.click = 0;
  mnw.wheel = 0;

  // The pop-up list cannot be hit until its widget fills it again.
  if (static_cast<int>(menu.size()) > kPopupSlot) {
    menu_struct& popup = menu[kPopupSlot];
    popup.l = popup.b = popup.r = popup.t = -1;
  }
}

void MACIBM_grow_wind(float grown) {
  const wind_size* s = wind_size_of(mnw.cur_wind);
  if (!s || grown == mnw.wind_grown) return;
  const float old_x = mnw.wind_x, old_y = mnw.wind_y;
  mnw.wind_grown = grown;
  mnw.wind_h = s->h + grown;
  centre_current_wind();
  // The pointer stays where it is on the screen.
  mnw.mouse_x += old_x - mnw.wind_x;
  mnw.mouse_y += old_y - mnw.wind_y;
}

namespace {

bool inside(const menu_struct& m, float x, float y) { return m.l <= x && x <= m.r && m.b <= y && y <= m.t; }

bool choosable(const item_struct& item) { return !item.text.empty() && item.text[0] != '-' && item.text[0] != '='; }

}  // namespace

void MACIBM_handleclick(int forced) {
  const int w = mnw.cur_wind;
  const wind_size* size = wind_size_of(w);
  const bool closable = w != 0 && (size ? size->closable != 0 : true);
  if (closable) {
    const bool top = mnw.wind_h - kCloseCornerHeight <= mnw.mouse_y && mnw.mouse_y <= mnw.wind_h;
    const bool left = 0.0f <= mnw.mouse_x && mnw.mouse_x <= kCloseCornerWidth;
    const bool right = mnw.wind_w - kCloseCornerWidth <= mnw.mouse_x && mnw.mouse_x <= mnw.wind_w;
    if (forced || (top && (left || right))) {
      BTN_zap_boxes(1);
      OGL_sbuff();
      return_hit = 0;
      MACIBM_startwind(0, forced);
      return;
    }
  }

  // A menu title of the bar opens, switches or closes its menu.
  if (w == 0) {
    const int n = std::min(static_cast<int>(menu.size()), kPopupSlot);
    for (int i = 0; i < n; ++i) {
      const menu_struct& m = menu[static_cast<std::size_t>(i)];
      const bool sub_menu = m.parent != -1 && m.parent == mnw.open_menu;
      if ((menu_is_bar_title(m) || sub_menu) && inside(m, mnw.mouse_x, mnw.mouse_y)) {
        mnw.open_menu = mnw.open_menu == i ? -1 : i;
        mnw.click = 0;
        return;
      }
    }
  }

  // An item of the open menu is chosen.
  if (mnw.open_menu >= 0 && mnw.open_menu < static_cast<int>(menu.size())) {
    const menu_struct& m = menu[static_cast<std::size_t>(mnw.open_menu)];
    for (std::size_t k = 0; k < m.items.size(); ++k) {
      const item_struct& item = m.items[k];
      if (!choosable(item)) continue;
      if (item.l <= mnw.mouse_x && mnw.mouse_x <= item.r && item.b <= mnw.mouse_y && mnw.mouse_y <= item.t) {
        if (mnw.open_menu == kPopupSlot) {
          select_popup_code = active_popup_code;
          active_popup_code = 0;
          popup_menu_select = static_cast<int>(k);
        } else {
          APP_handlemenu(item.id);
        }
        mnw.open_menu = -1;
        mnw.click = 0;
        return;
      }
    }
  }
  mnw.open_menu = -1;
}

