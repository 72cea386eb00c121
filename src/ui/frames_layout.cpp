// Geometry of the atlas frames: which source rectangle goes where. No GL.
#include <cmath>

#include "ui/font.h"
#include "ui/frames.h"

namespace {

struct bar_row {
  int style;
  bar_style s;
};

const bar_row kBars[] = {
    {0, {1, 487, 26, 10, 90, 100, 80, 10, 0, -3}},   {1, {102, 487, 26, 20, 80, 100, 60, 20, 0, -3}},
    {2, {304, 486, 26, 10, 42, 52, 32, 10, 0, 0}},   {3, {304, 459, 26, 10, 42, 52, 32, 10, 0, 0}},
    {4, {112, 161, 16, 10, 18, 28, 8, 10, 0, 0}},    {5, {83, 161, 16, 10, 18, 28, 8, 10, 0, 0}},
    {7, {240, 242, 24, 10, 55, 65, 45, 10, 0, 0}},   {8, {289, 219, 16, 7, 9, 16, 2, 7, 0, 0}},
    {9, {262, 133, 26, 10, 41, 51, 31, 10, 4, 0}},   {10, {357, 488, 24, 26, 42, 68, 16, 26, 4, 0}},
};

struct panel_row {
  int style;
  panel_style p;
};

const panel_row kPanels[] = {
    {11, {t_interface, 1, 358, 100, 35, 30, 30, 30, 40, 9, 14, 4, 40}},
    {12, {t_interface, 102, 358, 100, 35, 30, 30, 30, 40, 9, 14, 4, 43}},
    {13, {t_interface, 203, 358, 100, 35, 30, 30, 30, 40, 9, 14, 4, 43}},
    {14, {t_interface, 304, 358, 100, 35, 30, 30, 30, 40, 9, 14, 4, 43}},
    {15, {t_interface, 405, 358, 100, 35, 30, 30, 30, 40, 9, 14, 4, 47}},
    {16, {t_interface, 1, 289, 68, 23.8f, 20.4f, 20.4f, 20.4f, 27.2f, 2, 2, 2, 43}},
    {17, {t_interface, 70, 315, 42, 20, 26, 14, 2, 2, 8, 13, 2, 43}},
    {18, {t_interface, 113, 315, 42, 14.7f, 12.6f, 12.6f, 12.6f, 16.8f, 8, 13, 2, 43}},
    {19, {t_interface, 440, 12, 44, 15.4f, 13.2f, 13.2f, 13.2f, 17.6f, 6, 9, 4, 43}},
    {20, {t_elements, 982, 2, 41, 14.35f, 12.3f, 12.3f, 12.3f, 16.4f, 1, 1, 1, 43}},
};

// A quad from (x0, y0) to (x1, y1) showing the source (s0, t0)-(s1, t1),
// the texture coordinates scaled by (ks, kt).
void piece(quad_sink& out, float x0, float y0, float x1, float y1, float s0, float t0, float s1, float t1,
           float ks, float kt) {
  out.quad(quad_corners{{{x0, y0, s0 * ks, t0 * kt},
                         {x0, y1, s0 * ks, t1 * kt},
                         {x1, y1, s1 * ks, t1 * kt},
                         {x1, y0, s1 * ks, t0 * kt}}});
}

float clampf(float v, float lo, float hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

bool BTN_bar_style(int style, bar_style* out) {
  for (const bar_row& r : kBars)
    if (r.style == style) {
      *out = r.s;
      return true;
    }
  return false;
}

bool BTN_panel_style(int style, panel_style* out) {
  for (const panel_row& r : kPanels)
    if (r.style == style) {
      *out = r.p;
      return true;
    }
  return false;
}

bool BTN_frame1_quads(int style, float x_centre, float y_centre, float width, float ox, float oy, quad_sink& out) {
  bar_style b;
  if (!BTN_bar_style(style, &b)) return false;
  const float X = OGL_round(x_centre);
  const float W = 2.0f * OGL_round(width / 2.0f) + b.extra;
  const float Y = y_centre + b.y_shift;
  const float left = X + ox - W / 2.0f;
  const float y0 = Y + oy - b.height / 2.0f, y1 = Y + oy + b.height / 2.0f;
  const float t0 = b.t0, t1 = b.t0 + b.height;
  const float k = 1.0f / 512.0f;
  const int n = static_cast<int>((W - 2.0f * b.cap) / b.step);
  if (n < -2) return true;
  const float cut = left + W - b.cap;
  for (int i = -1; i <= n + 1; ++i) {
    if (i == n + 1) {
      piece(out, cut, y0, left + W, y1, b.s0 + b.mid_end, t0, b.s0 + b.total, t1, k, k);
    } else if (i == -1) {
      piece(out, left, y0, left + b.cap, y1, b.s0, t0, b.s0 + b.cap, t1, k, k);
    } else {
      const float xa = left + b.cap + i * b.step;
      float xb = xa + b.step;
      float s_end = b.s0 + b.mid_end;
      if (xb > cut) {
        const float visible = cut - xa;
        xb = cut;
        s_end = clampf(b.s0 + b.cap + (b.mid_end - b.cap) * visible / b.mid_end, b.s0 + b.cap, b.s0 + b.mid_end);
      }
      piece(out, xa, y0, xb, y1, b.s0 + b.cap, t0, s_end, t1, k, k);
    }
  }
  return true;
}

bool BTN_frame0_quads(float x_centre, float y_centre, float length, float ox, float oy, quad_sink& out) {
  const float H = 2.0f * OGL_round(length / 2.0f) + 8.0f;
  const int n = static_cast<int>((H - 20.0f) / 20.0f);
  const float x0 = x_centre + ox - 10.0f, x1 = x_centre + ox + 10.0f;
  const float bottom = y_centre + oy - H / 2.0f;
  const float k = 1.0f / 512.0f;
  if (n < -2) return true;
  for (int i = -1; i <= n + 1; ++i) {
    if (i == n + 1) {
      piece(out, x0, bottom + H - 10.0f, x1, bottom + H, 102, 278, 122, 288, k, k);
    } else if (i == -1) {
      piece(out, x0, bottom, x1, bottom + 10.0f, 102, 248, 122, 258, k, k);
    } else {
      const float ya = bottom + 10.0f + 20.0f * i;
      float yb = ya + 20.0f;
      float t_end = 278.0f;
      if (yb > bottom + H - 10.0f) {
        const float visible = bottom + H - 10.0f - ya;
        yb = bottom + H - 10.0f;
        t_end = clampf(258.0f + visible * 2.0f / 3.0f, 258.0f, 278.0f);
      }
      piece(out, x0, ya, x1, yb, 102, 258, 122, t_end, k, k);
    }
  }
  return true;
}

bool BTN_frame2_quads(int style, float x, float y, float width, float height, float ox, float oy, quad_sink& out) {
  panel_style p;
  if (!BTN_panel_style(style, &p)) return false;
  const float X0 = x + ox - p.over_lr;
  const float Y0 = y + oy - p.over_bottom;
  const float W = width + 2.0f * p.over_lr;
  const float H = height + p.over_bottom + p.over_top;
  const float ks = p.texture == t_elements ? 1.0f / 1024.0f : 1.0f / 512.0f;
  const float kt = p.texture == t_elements ? 1.0f / 128.0f : 1.0f / 512.0f;
  int m = static_cast<int>((H - p.top - p.bottom) / p.v_step);
  if (m < 0) m = 0;
  const int k = static_cast<int>((W - 2.0f * p.col) / p.h_step) + 1;
  const float row_cut = Y0 + H - p.top;
  const float col_cut = X0 + W - p.col;
  for (int r = -1; r <= m + 1; ++r) {
    float ya, yb, ta, tb;
    if (r == -1) {
      ya = Y0, yb = Y0 + p.bottom, ta = p.t0, tb = p.t0 + p.bottom;
    } else if (r == m + 1) {
      ya = row_cut, yb = Y0 + H, ta = p.t0 + p.size - p.top, tb = p.t0 + p.size;
    } else {
      ya = Y0 + p.bottom + r * p.v_step;
      yb = ya + p.v_step;
      ta = p.t0 + p.bottom;
      tb = p.t0 + p.size - p.top;
      if (yb > row_cut) {
        const float visible = row_cut - ya;
        yb = row_cut;
        tb = clampf(ta + (tb - ta) * visible / p.v_step, ta, tb);
      }
    }
    if (k < -1) continue;
    for (int c = -1; c <= k; ++c) {
      if (c == -1) {
        piece(out, X0, ya, X0 + p.col, yb, p.s0, ta, p.s0 + p.col, tb, ks, kt);
        if (k == -1) break;
      } else if (c == k) {
        piece(out, col_cut, ya, X0 + W, yb, p.s0 + p.size - p.col, ta, p.s0 + p.size, tb, ks, kt);
      } else {
        const float xa = X0 + p.col + c * p.h_step;
        float xb = xa + p.h_step;
        const float sa = p.s0 + p.col;
        float sb = p.s0 + p.size - p.col;
        if (xb > col_cut) {
          const float visible = col_cut - xa;
          xb = col_cut;
          sb = clampf(sa + (sb - sa) * visible / p.h_step, sa, sb);
        }
        piece(out, xa, ya, xb, yb, sa, ta, sb, tb, ks, kt);
      }
    }
  }
  return true;
}

void BTN_frame2_title_pos(int style, float x, float y, float width, float height, const std::string& title,
                          float* tx, float* ty) {
  if (style == 20) {
    *tx = x + 10.0f;
    *ty = y + height - 16.0f;
    return;
  }
  const float tw = OGL_text_width(title);
  *tx = x + width / 2.0f - tw / 2.0f;
  *ty = y + height - (style == 11 ? 13.0f : 16.0f);
}
