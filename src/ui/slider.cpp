#include "ui/slider.h"

#include <algorithm>
#include <cmath>

#include "runtime/globals.h"
#include "runtime/xtim.h"
#include "ui/alert.h"
#include "ui/draw.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/widget_parts.h"
#include "ui/widgets.h"
#include "window/mnw.h"

namespace {

int slider_grabbed[4] = {};
int horz_grabbed = 0;

int clamp_int(double v, int lo, int hi) {
  if (!(v > lo)) return lo;
  if (v >= hi) return hi;
  return static_cast<int>(v);
}

}  // namespace

float vert_slider_thumb_y(float y_bottom, float y_top, int lo, int hi, int pos) {
  const float a = y_bottom + 9.0f, b = y_top - 10.0f;
  if (a == b) return (a + b) / 2.0f;
  const double t = b + (static_cast<double>(pos) - lo) * (a - b) / (static_cast<double>(hi) - lo);
  return static_cast<float>(std::clamp(t, static_cast<double>(std::min(a, b)), static_cast<double>(std::max(a, b))));
}

int vert_slider_drag_pos(float y_bottom, float y_top, int lo, int hi, float mouse_y) {
  const float top = y_top - 11.0f, bottom = y_bottom + 11.0f;
  if (top == bottom) return static_cast<int>((static_cast<double>(lo) + hi) / 2.0);
  const double p = lo + (static_cast<double>(hi) - lo) * (mouse_y - top) / (bottom - top);
  return clamp_int(std::trunc(p), lo, hi);
}

int BTN_vert_slider(int slot, float x, float y_bottom, float y_top, int lo, int hi, int* pos) {
  BTN_frame0(6, x, (y_bottom + y_top) / 2.0f, y_top - y_bottom);
  if (hi <= lo) return 0;
  const float thumb_y = vert_slider_thumb_y(y_bottom, y_top, lo, hi, *pos);
  if (slot < 0 || slot > 3) {
    MACIBM_alert(0, "Too many sliders!", "", "", "", t_exit);
    return 0;
  }
  int& grabbed = slider_grabbed[slot];
  const float mx = mnw.mouse_x, my = mnw.mouse_y;
  double p = *pos;

  if (mnw.down) {
    if (BTN_inside(mx, my, x - 11.0f, thumb_y - 11.0f, x + 11.0f, thumb_y + 11.0f)) grabbed = 1;
    if (grabbed) p = vert_slider_drag_pos(y_bottom, y_top, lo, hi, my);
  } else {
    grabbed = 0;
  }
  if (!grabbed && (mnw.click || (mnw.held && xtim.act_ot[5])) && x - 11.0f <= mx && mx <= x + 11.0f) {
    if (y_top <= my && my <= y_top + 20.0f) p -= 1;
    if (y_bottom - 20.0f <= my && my <= y_bottom) p += 1;
    if (y_bottom <= my && my <= y_top) p += my < thumb_y ? 10 : -10;
  }
  *pos = clamp_int(p, lo, hi);

  const int colour = grabbed ? 47 : 0;
  BTN_atlas_quad(x - 9.0f, y_top - 3.0f, x + 9.0f, y_top + 19.0f, 83, 266, 101, 288, colour);
  BTN_atlas_quad(x - 9.0f, thumb_y - 12.0f, x + 9.0f, thumb_y + 12.0f, 83, 240, 101, 264, colour);
  BTN_atlas_quad(x - 9.0f, y_bottom - 21.0f, x + 9.0f, y_bottom + 1.0f, 83, 216, 101, 238, colour);
  return grabbed;
}

int BTN_horz_slider(float x, float y, float w, int fill_colour, float lo, float hi, float* value, int draggable,
                    std::string label, std::string text) {
  std::string caption, second, help;
  BTN_expand_label(label, &caption, &second, &help);
  if (lo < hi && hi - lo < 0.01f) hi = lo + 0.01f;
  if (!(hi > lo) && lo - hi < 0.01f) lo = hi + 0.01f;

  BTN_frame1(7, x + w / 2.0f, y, w, 0);
  BTN_util_draw_label(x - 8.0f, y, 0, caption, 0);
  BTN_util_draw_label(x + w + 8.0f, y, 2, second, 0);
  const float mx = mnw.mouse_x, my = mnw.mouse_y;
  if (BTN_inside(mx, my, x, y - 7.0f, x + w, y + 7.0f)) stls.mouse_help = help;
  OGL_string(43, x + w / 2.0f, y + 10.0f, text, 9999.0f, 100, 1);

  float fill = hi == lo ? w / 2.0f : (*value - lo) * w / (hi - lo);
  fill = std::clamp(fill, 0.0f, std::max(w, 0.0f));

  const float r0 = std::min(lo, hi), r1 = std::max(lo, hi);
  int result = 0;
  if (draggable) {
    if (mnw.down) {
      if (BTN_inside(mx, my, x - 20.0f, y - 20.0f, x + w + 20.0f, y + 20.0f)) {
        *value = w == 0.0f ? (r0 + r1) / 2.0f : std::clamp(r0 + (mx - x) * (r1 - r0) / w, r0, r1);
        horz_grabbed = 1;
        result = 1;
      }
    } else {
      horz_grabbed = 0;
    }
  }

  if (fill_colour != 12 && fill > 0.0f) {
    const float whole = std::trunc(fill);
    const float width = 2.0f * BTN_round_half_away(whole / 2.0f);
    BTN_frame1(8, x + width / 2.0f, y + 4.0f, width, fill_colour);
  }
  if (draggable) {
    float tx = r0 == r1 ? x + w / 2.0f : x + (*value - r0) * w / (r1 - r0);
    tx = std::clamp(tx, std::min(x, x + w), std::max(x, x + w));
    BTN_atlas_quad(tx - 10.0f, y - 9.0f, tx + 10.0f, y + 13.0f, 262, 267, 282, 289, 0);
  }
  return result;
}
