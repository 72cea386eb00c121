#include "window/mouse_help.h"

#include <X11/Xlib.h>

#include "runtime/globals.h"
#include "runtime/xtim.h"
#include "window/mnw.h"
#include "window/ui_calls.h"

mouse_help_shown mouse_help_last;
int OS_mouse_showing = 1;
int mouse_was_plugin = 0;

namespace {

constexpr float kHelpDelay = 1.0f;     // seconds of rest before a tooltip
constexpr float kIdleCursor = 10.0f;   // seconds of rest before the cursor hides
constexpr float kCellSize = 30.0f / 512.0f;

Cursor dot = 0;  // the invisible cursor, made on first use
Display* dot_display = nullptr;  // the connection it belongs to

Display* dpy() { return static_cast<Display*>(mnw.display); }

void show_system_cursor() {
  if (OS_mouse_showing) return;
  OS_mouse_showing = 1;
  if (!dpy()) return;
  XUndefineCursor(dpy(), static_cast<Window>(mnw.window[0]));
  XFlush(dpy());
}

void hide_system_cursor() {
  if (!OS_mouse_showing) return;
  OS_mouse_showing = 0;
  if (!dpy()) return;
  if (!dot || dot_display != dpy()) {
    dot = LIN_create_null_cursor(dpy(), mnw.window[0]);
    dot_display = dpy();
  }
  XDefineCursor(dpy(), static_cast<Window>(mnw.window[0]), dot);
  XFlush(dpy());
}

}  // namespace

mouse_help_box mouse_help_place(std::size_t text_length, float mouse_x, float mouse_y, float wind_x, float wind_y,
                                int x_res, int y_res) {
  float h = static_cast<float>(text_length / 50) * 10.0f + 20.0f;
  if (h < 60.0f) h = 60.0f;
  if (h > 300.0f) h = 300.0f;
  float x = mouse_x - 415.0f;
  if (x < 10.0f - wind_x)
    x = 10.0f - wind_x;
  else if (x > static_cast<float>(x_res) - wind_x - 410.0f)
    x = static_cast<float>(x_res) - wind_x - 410.0f;
  float y = mouse_y + 15.0f;
  if (y < 10.0f - wind_y)
    y = 10.0f - wind_y;
  else if (y > static_cast<float>(y_res) - wind_y - h - 20.0f)
    y = static_cast<float>(y_res) - wind_y - h - 20.0f;
  return {x, y, h};
}

cursor_cell cursor_sprite_cell(int type, int button_down) {
  int i = -1, j = 1;  // 13 and any other type above 12
  switch (type) {
    case 3: i = 0; j = 1; break;
    case 4: i = 1; j = 1; break;
    case 5: i = 0; j = 0; break;
    case 6: i = 1; j = 0; break;
    case 7: i = 2; j = 1; break;
    case 8: i = 3; j = 1; break;
    case 9: i = 2; j = 0; break;
    case 10: i = 3; j = 0; break;
    case 11: i = button_down ? 5 : 4; j = 1; break;
    case 12: i = button_down ? 5 : 4; j = 0; break;
    case 14: i = -1; j = 0; break;
    default: break;
  }
  const float u0 = (32.0f * static_cast<float>(i) + 200.0f) / 512.0f;
  const float v0 = (32.0f * static_cast<float>(j) + 293.0f) / 512.0f;
  return {u0, v0, u0 + kCellSize, v0 + kCellSize};
}

void mouse_help_per_wind(int wind) {
  const float rest = xtim.elapsed - mnw.last_move_time;

  mouse_help_last.text.clear();
  if (!stls.mouse_help.empty() && rest > kHelpDelay) {
    const mouse_help_box box = mouse_help_place(stls.mouse_help.size(), mnw.mouse_x, mnw.mouse_y, mnw.wind_x,
                                                mnw.wind_y, mnw.x_res, mnw.y_res);
    BTN_frame2(14, box.x - 10.0f, box.y - 10.0f, 420.0f, box.h + 20.0f, "");
    OGL_string(47, box.x + 3.0f, box.y + box.h - 10.0f, stls.mouse_help, 394.0f, 100, 0);
    mouse_help_last.text.swap(stls.mouse_help);
    mouse_help_last.box = box;
  }
  stls.mouse_help.clear();
  xtim.profile_chart("help", 0);

  if (rest > kIdleCursor && mnw.cur_wind == 0) mnw.cursor_type = 2;

  if (wind >= 992 && wind <= 999) {
    mnw.cursor_type = 0;
    show_system_cursor();
  } else if (mnw.cursor_type < 2) {
    show_system_cursor();
  } else {
    hide_system_cursor();
  }
  if (mnw.cursor_type == 1) {
    mouse_was_plugin = 1;
    return;
  }
  if (mouse_was_plugin) {
    mouse_was_plugin = 0;
    if (dpy()) {
      XUndefineCursor(dpy(), static_cast<Window>(mnw.window[0]));
      XFlush(dpy());
    }
  }

  if (mnw.cursor_type >= 3) {
    const cursor_cell c = cursor_sprite_cell(mnw.cursor_type, mnw.down);
    const float x = mnw.mouse_x, y = mnw.mouse_y;
    OGL_2dquad(392, 49, 1.0f, x - 15.0f, y - 15.0f, c.u0, c.v0, x - 15.0f, y + 15.0f, c.u0, c.v1, x + 15.0f,
               y + 15.0f, c.u1, c.v1, x + 15.0f, y - 15.0f, c.u1, c.v0, 1, 5);
  }
}

void mouse_help_end() {
  if (dot && dot_display) XFreeCursor(dot_display, dot);
  dot = 0;
  dot_display = nullptr;
  OS_mouse_showing = 1;
  mouse_was_plugin = 0;
}

unsigned long LIN_create_null_cursor(Display* display, unsigned long window) {
  Pixmap pixmap = XCreatePixmap(display, static_cast<Window>(window), 1, 1, 1);
  XGCValues values;
  values.function = GXclear;
  GC gc = XCreateGC(display, pixmap, GCFunction, &values);
  XFillRectangle(display, pixmap, gc, 0, 0, 1, 1);
  XColor black{};
  Cursor cursor = XCreatePixmapCursor(display, pixmap, pixmap, &black, &black, 0, 0);
  XFreePixmap(display, pixmap);
  XFreeGC(display, gc);
  return cursor;
}
