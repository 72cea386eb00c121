// Review sheets: the wizard's screens and boxes mocked up from the four
// images with the slicing, glyph and placement rules of the drawing code, so
// that the artwork can be judged as a user will see it before it reaches a
// window. Nothing here goes into the program.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "../../src/textures/builtin_images.h"
#include "images.h"

namespace gen {

namespace {

// ---------------------------------------------------------------------------
// Sampling the images as textures

struct Texture {
  const Canvas* image;
  int width, height;  // texture size: the image sits at its lower-left corner
};

RGBA texel(const Texture& t, int s, int r) {
  s = ((s % t.width) + t.width) % t.width;
  r = ((r % t.height) + t.height) % t.height;
  if (s >= t.image->width() || r >= t.image->height()) return {};
  return t.image->at(s, r);
}

// One textured quad, nearest texel, tinted and faded like a GL quad drawn in
// colour `tint` at `alpha`.
void quad(Canvas& dst, float x0, float y0, float x1, float y1, const Texture& t, float s0, float t0, float s1,
          float t1, RGBA tint = rgb(255, 255, 255), float alpha = 1.0f) {
  if (x1 <= x0 || y1 <= y0) return;
  for (int y = static_cast<int>(std::ceil(y0 - 0.5f)); y + 0.5f < y1; ++y) {
    for (int x = static_cast<int>(std::ceil(x0 - 0.5f)); x + 0.5f < x1; ++x) {
      const float s = s0 + (x + 0.5f - x0) / (x1 - x0) * (s1 - s0);
      const float r = t0 + (y + 0.5f - y0) / (y1 - y0) * (t1 - t0);
      const RGBA c = texel(t, static_cast<int>(std::floor(s)), static_cast<int>(std::floor(r)));
      dst.blend(x, y, {c.r * tint.r, c.g * tint.g, c.b * tint.b, c.a * tint.a * alpha});
    }
  }
}

float round_away(float v) { return v < 0 ? std::trunc(v - 0.5f) : std::trunc(v + 0.5f); }

// The colour-table entries the mock screens use.
RGBA colour(int index) {
  for (const interface_swatch& s : kInterfaceSwatches)
    if (s.entry == index) return rgb(s.r, s.g, s.b);
  switch (index) {
    case 8: return {1.0f, 0.8f, 0.2f, 1};
    case 12: return {0, 0, 0, 1};
    case 36: return rgb(13, 27, 44);
    case 41: return rgb(13, 27, 44);
    case 49: return {1, 1, 1, 1};
    case 61: return {0.5f, 0.5f, 0.5f, 1};
    case 65: return {0.2f, 0.2f, 0.8f, 1};
    case 69: return {1, 0, 0, 1};
    default: return {1, 1, 1, 1};
  }
}

void fill_rect(Canvas& dst, RGBA c, float alpha, float x, float y, float w, float h) {
  dst.paint(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)), static_cast<int>(std::ceil(x + w)),
            static_cast<int>(std::ceil(y + h)), [&](float px, float py) {
              const bool in = px >= x && px < x + w && py >= y && py < y + h;
              return with_alpha(c, in ? alpha : 0.0f);
            });
}

// ---------------------------------------------------------------------------
// The screen: a current window with an origin

struct Screen {
  Canvas canvas{800, 600};
  Texture interface, elements, map;
  float ox = 0, oy = 0, ww = 800, wh = 600;  // current window

  void window(float w, float h) {
    ww = w;
    wh = h;
    ox = round_away((800 - w) / 2);
    oy = std::trunc((600 - h) / 2);
  }
  void main_window() {
    ox = oy = 0;
    ww = 800;
    wh = 600;
  }
};

// ---------------------------------------------------------------------------
// Text

int advance(unsigned char c) {
  static const char* const by_width[] = {
      nullptr, nullptr, ",.", " '/:;I\\`ijl|\xFB", "!()-J[]frst", "c",
      "#$*0123456789?EFLPSTZ^_aekvxyz\xBF\xC1\xC9\xCD\xD1\xD3\xDA\xE1\xE9\xED\xF1\xF3\xFA", "+<=>BCKRVXYbdghnopqu",
      "&ADGHNU", "@OQw", "Mm", "%W"};
  for (int w = 2; w <= 11; ++w)
    if (std::strchr(by_width[w], c) && c) return w;
  return 0;
}

bool glyph_cell(unsigned char c, int* col, int* row) {
  static const char* const grid[5] = {" 0123456789AaBbCcDdEe", "FfGgHhIiJjKkLlMmNnOoP", "pQqRrSsTtUuVvWwXxYyZz",
                                      "!@#$%^&*()-_+=[]|\\':;", "<.>,?/`\xFB\xC1\xE1\xC9\xE9\xCD\xED\xD3\xF3\xDA\xFA\xD1\xF1\xBF"};
  for (int r = 0; r < 5; ++r)
    for (int k = 0; k < 21; ++k)
      if (static_cast<unsigned char>(grid[r][k]) == c) {
        *col = k;
        *row = r;
        return true;
      }
  *col = *row = 0;
  return false;
}

float text_width(const std::string& s) {
  float w = 0;
  for (unsigned char c : s) w += advance(c);
  return w;
}

void one_line(Screen& sc, int colour_index, float x, float y, const std::string& text, int fixed, int align) {
  if (align == 1) x -= 0.5f * text_width(text);
  if (align == 2) x -= text_width(text);
  for (unsigned char c : text) {
    if (c == 13 || c == 10 || c == 9) continue;
    int col, row;
    glyph_cell(c, &col, &row);
    const float X = std::trunc(x), Y = std::trunc(y) - 4;
    quad(sc.canvas, X, Y, X + 14, Y + 15, sc.interface, 14.0f * col, 15.0f * row, 14.0f * col + 14, 15.0f * row + 15,
         colour(colour_index));
    x += fixed > 0 ? fixed : advance(c);
  }
}

// The program's text call: wraps when 0 < wrap < 9999.
void string(Screen& sc, int colour_index, float x, float y, const std::string& text, float wrap = 9999, int align = 0,
            int fixed = 0) {
  const float X = round_away(x + sc.ox);
  float Y = round_away(y + sc.oy) - 2;
  if (wrap <= 0 || wrap >= 9999) {
    one_line(sc, colour_index, X, Y, text, fixed, align);
    return;
  }
  const float right = X + wrap;
  std::string line;
  float pen = X;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = text[i];
    line += static_cast<char>(c);
    if (c == 10) {
      one_line(sc, colour_index, X, Y, line, fixed, align);
      Y -= 10;
      line.clear();
      pen = X;
      continue;
    }
    pen += advance(c);
    if (i + 1 == text.size()) {
      one_line(sc, colour_index, X, Y, line, fixed, align);
      Y -= 10;
    } else if (c == ' ' || c == '-' || c == '/') {
      size_t n = 0;
      for (size_t j = i + 1; j < text.size() && text[j] != ' ' && text[j] != '-' && text[j] != '/'; ++j) ++n;
      if (pen + 6.0f * n > right) {
        one_line(sc, colour_index, X, Y, line, fixed, align);
        Y -= 10;
        line.clear();
        pen = X;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Frames

struct Bar {
  int s0, t0, height;
  float cap, mid_end, total;
  int extra;
  float y_shift;
};

Bar bar_style(int style) {
  switch (style) {
    case 0: return {1, 487, 26, 10, 90, 100, 0, -3};
    case 1: return {102, 487, 26, 20, 80, 100, 0, -3};
    case 2: return {304, 486, 26, 10, 42, 52, 0, 0};
    case 3: return {304, 459, 26, 10, 42, 52, 0, 0};
    case 4: return {112, 161, 16, 10, 18, 28, 0, 0};
    case 5: return {83, 161, 16, 10, 18, 28, 0, 0};
    case 7: return {240, 242, 24, 10, 55, 65, 0, 0};
    case 8: return {289, 219, 16, 7, 9, 16, 0, 0};
    case 9: return {262, 133, 26, 10, 41, 51, 4, 0};
    default: return {357, 488, 24, 26, 42, 68, 4, 0};  // 10
  }
}

void frame1(Screen& sc, int style, float xc, float yc, float width, int colour_index = 0) {
  const Bar b = bar_style(style);
  const float X = round_away(xc), W = 2 * round_away(width / 2) + b.extra, Y = yc + b.y_shift;
  const float left = X + sc.ox - W / 2, y0 = Y + sc.oy - b.height / 2.0f, y1 = Y + sc.oy + b.height / 2.0f;
  const float step = b.mid_end - b.cap;
  const int n = static_cast<int>((W - 2 * b.cap) / step);
  if (n < -2) return;
  const RGBA tint = colour(colour_index);
  const float t0 = static_cast<float>(b.t0), t1 = static_cast<float>(b.t0 + b.height);
  for (int i = -1; i <= n + 1; ++i) {
    if (i == -1 && n + 1 != -1) {
      quad(sc.canvas, left, y0, left + b.cap, y1, sc.interface, b.s0, t0, b.s0 + b.cap, t1, tint);
    } else if (i == n + 1) {
      quad(sc.canvas, left + W - b.cap, y0, left + W, y1, sc.interface, b.s0 + b.mid_end, t0, b.s0 + b.total, t1, tint);
    } else if (i >= 0) {
      float xa = left + b.cap + i * step, xb = left + b.cap + (i + 1) * step;
      float s_end = b.s0 + b.mid_end;
      if (xb > left + W - b.cap) {
        xb = left + W - b.cap;
        const float visible = xb - xa;
        s_end = clampf(b.s0 + b.cap + (b.mid_end - b.cap) * visible / b.mid_end, b.s0 + b.cap, b.s0 + b.mid_end);
      }
      quad(sc.canvas, xa, y0, xb, y1, sc.interface, b.s0 + b.cap, t0, s_end, t1, tint);
    }
  }
}

void frame0(Screen& sc, float xc, float yc, float length) {
  const float H = 2 * round_away(length / 2) + 8;
  const int n = static_cast<int>((H - 20) / 20);
  const float x0 = xc + sc.ox - 10, x1 = xc + sc.ox + 10, bottom = yc + sc.oy - H / 2;
  for (int i = -1; i <= n + 1; ++i) {
    if (i == -1) quad(sc.canvas, x0, bottom, x1, bottom + 10, sc.interface, 102, 248, 122, 258);
    else if (i == n + 1) quad(sc.canvas, x0, bottom + H - 10, x1, bottom + H, sc.interface, 102, 278, 122, 288);
    else {
      float ya = bottom + 10 + 20 * i, yb = ya + 20, t_end = 278;
      if (yb > bottom + H - 10) {
        yb = bottom + H - 10;
        t_end = clampf(258 + (yb - ya) * 2.0f / 3.0f, 258, 278);
      }
      quad(sc.canvas, x0, ya, x1, yb, sc.interface, 102, 258, 122, t_end);
    }
  }
}

struct Panel {
  bool elements;
  float s0, t0, size, col, bottom, top, ol, ob, ot;
  int title_colour;
};

Panel panel_style(int style) {
  switch (style) {
    case 11: return {false, 1, 358, 100, 35, 30, 30, 9, 14, 4, 40};
    case 12: return {false, 102, 358, 100, 35, 30, 30, 9, 14, 4, 43};
    case 13: return {false, 203, 358, 100, 35, 30, 30, 9, 14, 4, 43};
    case 14: return {false, 304, 358, 100, 35, 30, 30, 9, 14, 4, 43};
    case 15: return {false, 405, 358, 100, 35, 30, 30, 9, 14, 4, 47};
    case 16: return {false, 1, 289, 68, 23.8f, 20.4f, 20.4f, 2, 2, 2, 43};
    case 17: return {false, 70, 315, 42, 20, 26, 14, 8, 13, 2, 43};
    case 18: return {false, 113, 315, 42, 14.7f, 12.6f, 12.6f, 8, 13, 2, 43};
    case 19: return {false, 440, 12, 44, 15.4f, 13.2f, 13.2f, 6, 9, 4, 43};
    default: return {true, 982, 2, 41, 14.35f, 12.3f, 12.3f, 1, 1, 1, 43};  // 20
  }
}

void frame2(Screen& sc, int style, float x, float y, float w, float h, const std::string& title = "",
            int window_id = 0) {
  const Panel p = panel_style(style);
  float tx, ty;
  if (style == 20) {
    tx = x + 10;
    ty = y + h - 16;
  } else {
    tx = x + w / 2 - text_width(title) / 2;
    ty = y + h - (style == 11 ? 13 : 16);
  }
  const Texture& tex = p.elements ? sc.elements : sc.interface;
  const float X0 = x + sc.ox - p.ol, Y0 = y + sc.oy - p.ob, W = w + 2 * p.ol, H = h + p.ob + p.ot;
  const float hstep = p.size - 2 * p.col, vstep = p.size - p.bottom - p.top;
  const int m = std::max(0, static_cast<int>((H - p.top - p.bottom) / vstep));
  const int k = static_cast<int>((W - 2 * p.col) / hstep) + 1;
  for (int r = -1; r <= m + 1; ++r) {
    float ya, yb, ta, tb;
    if (r == -1) {
      ya = Y0; yb = Y0 + p.bottom; ta = p.t0; tb = p.t0 + p.bottom;
    } else if (r == m + 1) {
      ya = Y0 + H - p.top; yb = Y0 + H; ta = p.t0 + p.size - p.top; tb = p.t0 + p.size;
    } else {
      ya = Y0 + p.bottom + r * vstep; yb = Y0 + p.bottom + (r + 1) * vstep; ta = p.t0 + p.bottom; tb = p.t0 + p.size - p.top;
      if (yb > Y0 + H - p.top) {
        const float visible = Y0 + H - p.top - ya;
        yb = Y0 + H - p.top;
        tb = clampf(ta + (tb - ta) * visible / vstep, ta, tb);
      }
    }
    for (int c = -1; c <= k; ++c) {
      float xa, xb, sa, sb;
      if (c == -1) {
        xa = X0; xb = X0 + p.col; sa = p.s0; sb = p.s0 + p.col;
      } else if (c == k) {
        xa = X0 + W - p.col; xb = X0 + W; sa = p.s0 + p.size - p.col; sb = p.s0 + p.size;
      } else {
        xa = X0 + p.col + c * hstep; xb = X0 + p.col + (c + 1) * hstep; sa = p.s0 + p.col; sb = p.s0 + p.size - p.col;
        if (xb > X0 + W - p.col) {
          const float visible = X0 + W - p.col - xa;
          xb = X0 + W - p.col;
          sb = clampf(sa + (sb - sa) * visible / hstep, sa, sb);
        }
      }
      quad(sc.canvas, xa, ya, xb, yb, tex, sa, ta, sb, tb);
    }
  }
  string(sc, p.title_colour, tx, ty, title);
  if (style == 11 && window_id != 0 && (window_id < 994 || window_id > 999)) {
    quad(sc.canvas, sc.ox + 7, sc.oy + sc.wh - 19, sc.ox + 25, sc.oy + sc.wh - 1, sc.interface, 120, 178, 138, 196);
    quad(sc.canvas, sc.ox + sc.ww - 25, sc.oy + sc.wh - 19, sc.ox + sc.ww - 7, sc.oy + sc.wh - 1, sc.interface, 120, 178,
         138, 196);
  }
}

// An atlas piece as a window-relative quad.
void piece(Screen& sc, float x0, float y0, float x1, float y1, float s0, float t0, float s1, float t1,
           int colour_index = 0, float alpha = 1) {
  quad(sc.canvas, x0 + sc.ox, y0 + sc.oy, x1 + sc.ox, y1 + sc.oy, sc.interface, s0, t0, s1, t1, colour(colour_index),
       alpha);
}

// ---------------------------------------------------------------------------
// Widgets

void action(Screen& sc, float x, float y, float w, const std::string& label, bool pressed = false) {
  if (w <= 0) w = 21 + text_width(label);
  frame1(sc, 2, x, y, w);
  if (pressed) frame1(sc, 3, x, y, w);
  string(sc, 43, x, y - 3, label, 9999, 1);
}

void check(Screen& sc, float x, float y, bool on, const std::string& second, bool radio = false) {
  const float s0 = radio ? 83 : 139, t0 = radio ? 123 : 178, t1 = radio ? 142 : 197;
  piece(sc, x - 9, y - 6, x + 9, y + 12, s0, t0, s0 + 18, t0 + 18);
  if (on) piece(sc, x - 9, y - 6, x + 9, y + 12, s0, t1, s0 + 18, t1 + 18);
  if (!second.empty()) string(sc, 43, x + 12, y, second, 9999, 0);
}

void text_list(Screen& sc, float x, float y, const std::string& entry, float w, const std::string& left) {
  frame1(sc, 10, x + 10, y + 5, w + 28);
  string(sc, 45, x - w / 2 - 5, y, left, 9999, 2);
  string(sc, 38, x, y, entry, 9999, 1);
}

void field(Screen& sc, float x, float y, float w, const std::string& text, bool caret) {
  frame1(sc, 9, x + w / 2, y + 3, w);
  string(sc, 45, x + 3, y, text);
  if (caret) fill_rect(sc.canvas, colour(45), 1, sc.ox + x + 4 + text_width(text), sc.oy + y - 2, 1, 9);
}

void number_field(Screen& sc, float x, float y, int digits, int value, int hot) {
  frame1(sc, 9, x + 5 * digits - 1, y + 3, 10 * digits + 15);
  for (int k = 0; k < digits; ++k) {
    piece(sc, x + 10 * k - 1, y - 19, x + 10 * k + 13, y - 1, 83, 178, 97, 196);
    piece(sc, x + 10 * k - 1, y + 9, x + 10 * k + 13, y + 27, 83, 197, 97, 215);
  }
  if (hot >= 0) fill_rect(sc.canvas, colour(8), 1, sc.ox + x + 2 + 10 * hot, sc.oy + y - 2, 9, 11);
  std::string digits_text;
  for (int k = digits - 1; k >= 0; --k) digits_text += static_cast<char>('0' + (value / static_cast<int>(std::pow(10, k))) % 10);
  string(sc, 45, x + 3, y, digits_text, 9999, 0, 10);
}

void vertical_slider(Screen& sc, float x, float y_bottom, float y_top, float frac) {
  frame0(sc, x, (y_bottom + y_top) / 2, y_top - y_bottom);
  const float a = y_bottom + 9, b = y_top - 10, thumb = b + frac * (a - b);
  piece(sc, x - 9, y_top - 3, x + 9, y_top + 19, 83, 266, 101, 288);
  piece(sc, x - 9, thumb - 12, x + 9, thumb + 12, 83, 240, 101, 264);
  piece(sc, x - 9, y_bottom - 21, x + 9, y_bottom + 1, 83, 216, 101, 238);
}

void list_box(Screen& sc, float x0, float y0, float W, const std::vector<std::string>& rows, int selection, int icon_type) {
  const float H = 220;
  const int R = 10;
  frame2(sc, 16, x0, y0 - H / 2, W, H);
  vertical_slider(sc, x0 + W + 16, y0 - H / 2, y0 + H / 2, 0.3f);
  static const int icon_s[12] = {0, 34, 0, 48, 62, 90, 0, 146, 0, 104, 118, 132};
  for (int k = -R; k <= R; ++k) {
    const int i = k + R;
    if (i >= static_cast<int>(rows.size())) break;
    const float yr = y0 - 10 * k;
    string(sc, 45, x0 + 20, yr - 3, rows[i]);
    const int type = icon_type > 0 ? icon_type : 1 + (i % 11);
    if (icon_s[type]) piece(sc, x0 + 4, yr - 6, x0 + 16, yr + 6, icon_s[type], 82, icon_s[type] + 12, 94);
    if (i == selection) fill_rect(sc.canvas, colour(12), 0.25f, sc.ox + x0 + 18, sc.oy + yr - 5, W - 22, 10);
  }
}

void tooltip(Screen& sc, float x, float y, const std::string& text) {
  const float h = std::clamp(static_cast<float>(text.size() / 50 * 10 + 20), 60.0f, 300.0f);
  frame2(sc, 14, x - 10, y - 10, 420, h + 20);
  string(sc, 47, x + 3, y + h - 10, text, 394);
}

void popup(Screen& sc, float l, float r, float y, const std::vector<std::string>& items, int current, int hover) {
  const float bottom = y - 12 * (items.size() - 1 - current) - 3 - 2, top = y + 9 + 12 * current + 2;
  frame2(sc, 17, l, bottom, r - l, top - bottom);
  for (size_t i = 0; i < items.size(); ++i) {
    const float b = std::trunc(y - 12 * (static_cast<float>(i) - current) - 3);
    if (static_cast<int>(i) == hover) fill_rect(sc.canvas, colour(36), 0.25f, sc.ox + l, sc.oy + b, r - l, 12);
    string(sc, 38, l + 3, b + 3, items[i]);
  }
}

void interface_rect(Screen& sc, float x, float y, float s, float t, float w, float h, int look, bool greyed) {
  const float row = t - look * (h + 1);
  quad(sc.canvas, x, y, x + w, y + h, sc.elements, s, row, s + w, row + h, rgb(255, 255, 255), greyed ? 0.5f : 1.0f);
}

// ---------------------------------------------------------------------------
// Screens

void background(Screen& sc, const Canvas& bg) {
  Texture t{&bg, 1024, 1024};
  quad(sc.canvas, 0, 0, 800, 600, t, 0, 0, 800, 600);
}

void progress(Screen& sc, float fraction, const std::string& caption) {
  const float f = clampf(fraction * 0.96f + 0.04f, 0.04f, 1.0f), X = 240 + 520 * f;
  frame1(sc, 4, 500, 155, 520);
  frame1(sc, 5, (240 + X) / 2, 155, X - 240);
  string(sc, 12, 242, 120, caption, 520);
}

void wizard_buttons(Screen& sc, bool back, bool next_is_quit, int hover_button) {
  if (!next_is_quit) interface_rect(sc, 30, 12, 1, 46, 50, 22, hover_button == 0 ? 2 : 0, false);
  interface_rect(sc, 100, 12, 628, 46, 90, 22, 0, true);
  interface_rect(sc, 560, 12, 54, 46, 89, 22, 0, !back);
  if (next_is_quit) interface_rect(sc, 670, 12, 1, 46, 50, 22, hover_button == 3 ? 2 : 0, false);
  else interface_rect(sc, 670, 12, 150, 46, 100, 22, hover_button == 3 ? 2 : 0, false);
}

const std::vector<std::string> kWebSteps = {"Welcome", "Pick the copy to update", "Search for updates",
                                            "Check disk space", "Install updates", "Done"};

Canvas screen_search(const Canvas& bg, Screen sc) {
  background(sc, bg);
  sc.main_window();
  frame2(sc, 20, 10, 50, 190, 453);
  frame2(sc, 20, 210, 50, 580, 453);
  for (size_t i = 0; i < kWebSteps.size(); ++i)
    string(sc, i == 2 ? 65 : 45, 30, 480 - 20.0f * i, kWebSteps[i], 180);
  string(sc, 12, 500, 480, "Searching for Updates", 540, 1);
  string(sc, 12, 230, 440,
         "The installer is comparing every file of your copy with the newest release on the update server. "
         "This can take a few minutes on a large copy.\n\nYou can keep working while it runs: nothing is "
         "changed until you click Next on the following screen. Files you changed yourself are never "
         "replaced without asking first.",
         540);
  for (int i = 0; i < 3; ++i) {
    const float y = 40.0f * (3 - i) + 38;
    check(sc, 30, y, i == 1, "", true);
    string(sc, 45, 50, y, i == 0 ? "North America (East)" : i == 1 ? "Europe (Frankfurt)" : "Asia (Tokyo)", 130);
  }
  action(sc, 500, 350, 250, "Scan again");
  action(sc, 500, 325, 250, "Choose another copy", true);
  progress(sc, 0.45f, "Checking: Resources/default scenery/+40-080/+44-075.dsf  (12,408 of 27,530 files)");
  wizard_buttons(sc, true, false, 3);
  return sc.canvas;
}

Canvas screen_map(const Canvas& bg, const Canvas& map, Screen sc) {
  background(sc, bg);
  sc.main_window();
  frame2(sc, 20, 10, 50, 190, 453);
  frame2(sc, 20, 210, 50, 580, 453);
  const std::vector<std::string> steps = {"Welcome", "Licence", "Destination", "Scenery", "Install", "Done"};
  for (size_t i = 0; i < steps.size(); ++i) string(sc, i == 3 ? 65 : 45, 30, 480 - 20.0f * i, steps[i], 180);
  string(sc, 12, 500, 480, "Choose Your Scenery", 540, 1);
  string(sc, 12, 230, 440, "Click or drag over the map to choose the areas to install. Bright tiles will be installed.", 540);
  Texture t{&map, 512, 512};
  quad(sc.canvas, 248, 150, 752, 402, t, 0, 0, 504, 252);
  for (int c = 0; c < 36; ++c)
    for (int r = 0; r < 18; ++r) {
      // Tiles with land are available; a block over Europe and North America is chosen.
      bool land = false;
      for (int y = 0; y < 14 && !land; ++y)
        for (int x = 0; x < 14 && !land; ++x) land = map.at(14 * c + x, 252 + 14 * r + y).g > map.at(14 * c + x, 252 + 14 * r + y).b;
      if (!land || r < 2) continue;
      const bool chosen = (c >= 17 && c <= 21 && r >= 12 && r <= 15) || (c >= 5 && c <= 11 && r >= 11 && r <= 14);
      quad(sc.canvas, 248 + 14.0f * c, 150 + 14.0f * r, 262 + 14.0f * c, 164 + 14.0f * r, t, 14.0f * c, 252 + 14.0f * r,
           14.0f * c + 14, 266 + 14.0f * r, rgb(255, 255, 255), chosen ? 1.0f : 0.5f);
    }
  interface_rect(sc, 470, 120, 255, 46, 114, 22, 1, false);
  interface_rect(sc, 620, 120, 374, 46, 132, 22, 0, false);
  string(sc, 12, 242, 95, "To download: 1,284 MB in 28 tiles.   Free on this disk: 48,120 MB.", 520);
  wizard_buttons(sc, true, true, 3);
  return sc.canvas;
}

Canvas screen_options(Screen sc) {
  fill_rect(sc.canvas, colour(34), 1, 0, 0, 800, 600);
  sc.window(600, 380);
  frame2(sc, 11, 0, 0, 600, 380, "Prefs", 2);
  frame2(sc, 13, 10, 10, 580, 70, "Proxy (if you are behind a firewall with a Proxy)");
  frame2(sc, 13, 10, 90, 580, 262, "General Preferences");
  text_list(sc, 200, 310, "Linux", 53, "Operating System to download Corvane for:");
  string(sc, 45, 251.5f, 310, "(Install and copy the entire Corvane folder to another computer if you like)", 9999);
  check(sc, 30, 265, true, "log installer actions... turn this on to output the installer file downloads and stuff to the file log.txt.");
  check(sc, 30, 190, false, "check for new betas as well as updates.  Leave this off unless you want to participate in the beta program!");
  check(sc, 30, 150, true, "manually set the number of download streams...");
  number_field(sc, 400, 150, 1, 3, 0);
  string(sc, 45, 80, 40, "proxy host", 9999, 2);
  field(sc, 85, 40, 455, "proxy.example.com", true);
  string(sc, 45, 80, 20, "proxy port", 9999, 2);
  field(sc, 85, 20, 455, "8080", false);
  popup(sc, 171, 230, 310, {"Macintosh", "Windows", "Linux"}, 2, 1);
  sc.main_window();
  tooltip(sc, 330, 40, "Turn this on to choose how many files are fetched at once. Leave it off and the installer finds the best number for you.");
  return sc.canvas;
}

Canvas screen_chooser(Screen sc) {
  fill_rect(sc.canvas, colour(34), 1, 0, 0, 800, 600);
  sc.window(561, 474);
  frame2(sc, 11, 0, 0, 561, 474, "", 998);
  list_box(sc, 10, 180, 520,
           {"Airfoils", "Aircraft", "Custom Scenery", "Documentation", "Global Scenery", "Instructions", "Output",
            "Plugins", "Resources", "Weapons", "airport data", "backups", "cache", "logs", "sounds", "textures",
            "tools", "translations", "updates", "user files", "zz old"},
           8, 1);
  frame2(sc, 15, 10, 300, 520, 120);
  const char* levels[] = {"home", "pilot", "Corvane 9"};
  for (int L = 2; L <= 4; ++L) string(sc, 47, 20 + 10.0f * L, 415 - 10.0f * L, levels[L - 2]);
  text_list(sc, 280.5f, 438, "Corvane 9", 56, "");
  frame1(sc, 9, 270, 52, 520);
  string(sc, 45, 25, 49, "New Scenery");
  fill_rect(sc.canvas, colour(45), 1, sc.ox + 26 + text_width("New Scenery"), sc.oy + 48, 1, 7);
  action(sc, 430, 28, 0, "New Folder");
  action(sc, 35, 28, 0, "Cancel");
  action(sc, 510, 28, 0, "Select");
  return sc.canvas;
}

Canvas screen_alert(const Canvas& bg, Screen sc) {
  fill_rect(sc.canvas, colour(34), 1, 0, 0, 800, 600);
  (void)bg;
  sc.window(420, 250);
  frame2(sc, 11, 0, 0, 420, 250, "", 994);
  frame2(sc, 13, 10, 35, 400, 187);
  const char* lines[] = {"The installer could not reach the update server.", "Check your network connection",
                         "and your proxy settings under Options,", "then try again."};
  for (int i = 0; i < 4; ++i) string(sc, 43, 210, 205 - 40.0f * i, lines[i], 378, 1);
  action(sc, 210, 18, 0, "OK");
  return sc.canvas;
}

Canvas screen_splash(Screen sc) {
  fill_rect(sc.canvas, colour(34), 1, 0, 0, 800, 600);
  sc.main_window();
  frame2(sc, 15, 10, 31, 460, 200);
  string(sc, 49, 22, 210, "www.example.com", 440);
  frame1(sc, 4, 512, 15, 1008);
  frame1(sc, 5, 8 + 0.3f * 1008 / 2, 15, 0.3f * 1008);
  string(sc, 61, 22, 60, "Starting application.", 440);
  // The pieces no screen of the program shows, for review.
  sc.ox = 500;
  sc.oy = 300;
  for (int i = 0; i < 3; ++i) {
    piece(sc, 88.0f * i + 4, 200, 88.0f * i + 102, 226, 204, i == 1 ? 486 : 459, 302, i == 1 ? 512 : 485);
    string(sc, i == 1 ? 41 : 42, 88.0f * i + 13, 209, i == 0 ? "General" : i == 1 ? "Network" : "Display");
  }
  piece(sc, 40, 100, 50, 142, 156, 315, 166, 357);
  piece(sc, 17, 92, 73, 150, 178, 160, 234, 218);
  string(sc, 45, 31, 119, "045", 9999, 0, 10);
  frame1(sc, 7, 190, 120, 100);
  frame1(sc, 8, 170, 124, 60, 47);
  piece(sc, 210, 111, 230, 133, 262, 267, 282, 289);
  for (int i = -1; i <= 5; ++i)
    for (int j = 0; j < 2; ++j)
      piece(sc, 20 + 34.0f * (i + 1), 20 + 34.0f * j, 50 + 34.0f * (i + 1), 50 + 34.0f * j, 200 + 32.0f * i, 293 + 32.0f * j,
            230 + 32.0f * i, 323 + 32.0f * j, 49);
  return sc.canvas;
}

}  // namespace

std::vector<Sheet> draw_previews(const Canvas& background_image, const Canvas& elements, const Canvas& map,
                                 const Canvas& interface) {
  Screen sc;
  sc.interface = {&interface, 512, 512};
  sc.elements = {&elements, 1024, 128};
  sc.map = {&map, 512, 512};
  std::vector<Sheet> sheets;
  sheets.push_back({"preview_search", screen_search(background_image, sc)});
  sheets.push_back({"preview_map", screen_map(background_image, map, sc)});
  sheets.push_back({"preview_options", screen_options(sc)});
  sheets.push_back({"preview_chooser", screen_chooser(sc)});
  sheets.push_back({"preview_alert", screen_alert(background_image, sc)});
  sheets.push_back({"preview_splash", screen_splash(sc)});
  return sheets;
}

}  // namespace gen
