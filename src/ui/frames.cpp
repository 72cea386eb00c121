// The atlas frames, drawn through the frame list.
#include <cmath>

#include "ui/alert.h"
#include "ui/colr.h"
#include "ui/draw_list.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "runtime/globals.h"
#include "window/mnw.h"

float wx = 0.0f;
float wy = 0.0f;

namespace {

void begin_frame(int colour, int texture) {
  OGL_setstate(gl_fog_off, 1, gl_lit_off, gl_alpha_blend, gl_depth_off, gl_dwrite_off);
  OGL_setcolor(colour, 1.0f);
  OGL_bind_tex(texture, 0);
  DL_begin(dl_quads);
}

bool is_whole(float v) { return v == OGL_round(v); }

void frame_alert(const char* line1, const std::string& line4, int line) {
  __MACIBM_alert(0, line1, "", "", line4, t_exit, "butn", line);
}

}  // namespace

void BTN_frame1(int style, float x_centre, float y_centre, float width, int colour) {
  bar_style b;
  if (!BTN_bar_style(style, &b)) {
    frame_alert("Bad BTN_frame1 call!", "", __LINE__);
    return;
  }
  begin_frame(colour, t_interface);
  gl_quad_sink sink;
  BTN_frame1_quads(style, x_centre, y_centre, width, mnw.wind_x, mnw.wind_y, sink);
  DL_end();
}

void BTN_frame0(int style, float x_centre, float y_centre, float length) {
  if (style != 6) {
    frame_alert("Bad BTN_frame0 call!", "", __LINE__);
    return;
  }
  if (!is_whole(x_centre)) {
    frame_alert("BTN_frame0 non-int x_center!", "", __LINE__);
    return;
  }
  if (!is_whole(y_centre)) {
    frame_alert("BTN_frame0 non-int y_center!", "", __LINE__);
    return;
  }
  begin_frame(0, t_interface);
  gl_quad_sink sink;
  BTN_frame0_quads(x_centre, y_centre, length, mnw.wind_x, mnw.wind_y, sink);
  DL_end();
}

void BTN_frame2(int style, float x, float y, float width, float height, std::string title) {
  float tx, ty;
  BTN_frame2_title_pos(style, x, y, width, height, title, &tx, &ty);
  panel_style p;
  if (!BTN_panel_style(style, &p)) {
    frame_alert("Bad BTN_frame2 call!", title, __LINE__);
    return;
  }
  begin_frame(0, p.texture);
  gl_quad_sink sink;
  BTN_frame2_quads(style, x, y, width, height, mnw.wind_x, mnw.wind_y, sink);
  DL_end();
  OGL_string(p.title_colour, tx, ty, title, 9999.0f, charset_prop, 0);

  if (style != 11) return;
  const int w = mnw.cur_wind;
  if (w == 0 || (w >= 994 && w <= 999)) return;
  const float W = mnw.wind_w, H = mnw.wind_h;
  const float lefts[2] = {7.0f, W - 25.0f};
  const float k = 1.0f / 512.0f;
  for (float bx : lefts) {
    OGL_2dquad(t_interface, 0, 1.0f, bx, H - 19.0f, 120 * k, 178 * k, bx, H - 1.0f, 120 * k, 196 * k, bx + 18.0f,
               H - 1.0f, 138 * k, 196 * k, bx + 18.0f, H - 19.0f, 138 * k, 178 * k, 1, gl_alpha_blend);
    if (mnw.click && mnw.mouse_x >= bx && mnw.mouse_x <= bx + 18.0f && mnw.mouse_y >= H - 19.0f &&
        mnw.mouse_y <= H - 1.0f)
      break;
  }
}

void BTN_subwin(float top_reserve, int style, float x, float y, float width, float height, std::string title,
                float* out_right, float* out_top) {
  if (x < 0.0f) x = 10.0f;
  if (y < 0.0f) y = 10.0f;
  if (width < 0.0f) width = mnw.wind_w - x - 10.0f;
  if (height < 0.0f) height = mnw.wind_h - y - top_reserve - 28.0f;
  BTN_frame2(style, x, y, width, height, title);
  if (out_right) *out_right = x + width + 10.0f;
  if (out_top) *out_top = y + height + 10.0f;
}

void BTN_fillwin(int outer, int inner) {
  const float W = mnw.wind_w, H = mnw.wind_h;
  BTN_frame2(outer ? 11 : 12, 0.0f, 0.0f, W, H, stls.window_title);
  if (inner == 1)
    BTN_frame1(1, W / 2.0f, H - 50.0f, W, 0);
  else if (inner != 21)
    BTN_frame2(inner, 10.0f, 10.0f, W - 20.0f, H - 40.0f, "");
}

void BTN_util_element(float x_centre, float y_centre, float s_centre, float t_centre, float half_width,
                      float half_height, int colour) {
  const float k = 1.0f / 512.0f;
  const float x0 = x_centre - half_width, x1 = x_centre + half_width;
  const float y0 = y_centre - half_height, y1 = y_centre + half_height;
  const float s0 = (s_centre - half_width) * k, s1 = (s_centre + half_width) * k;
  const float t0 = (t_centre - half_height) * k, t1 = (t_centre + half_height) * k;
  OGL_2dquad(t_interface, colour, 1.0f, x0, y0, s0, t0, x0, y1, s0, t1, x1, y1, s1, t1, x1, y0, s1, t0, 1,
             gl_alpha_blend);
}
