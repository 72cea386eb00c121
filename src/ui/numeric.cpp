// Numeric entry fields. Sections: arithmetic; the engine BTN_flt_range; the
// front ends; the read-only number and the degree editor; the character
// field.
#include "ui/numeric.h"

#include <climits>
#include <cmath>

#include "runtime/globals.h"
#include "ui/draw.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/key_queue.h"
#include "ui/widget_parts.h"
#include "ui/widgets.h"
#include "window/keys.h"
#include "window/mnw.h"

// ---- arithmetic ----

double num_cell_step(int digits, int decimals, int k) { return std::pow(10.0, digits - decimals - 1 - k); }

double num_set_digit(double value, double step, int d) {
  const double v = std::fabs(value);
  const double old_digit = std::fmod(std::floor(v / step), 10.0);
  const double nv = v + (d - old_digit) * step;
  return value < 0.0 ? -nv : nv;
}

double num_normalise(double value, double min, double max, int decimals) {
  if (std::isnan(value) || value < min) value = min;
  if (value > max) value = max;
  if (!std::isfinite(value)) return value;
  const double scale = std::pow(10.0, decimals);
  const double p = value * scale;
  return std::trunc(p < 0.0 ? p - 0.5 : p + 0.5) / scale;
}

double num_all_nines(int digits, int decimals) {
  digits = digits < 1 ? 1 : (digits > 10 ? 10 : digits);
  return (std::pow(10.0, digits) - 1.0) / std::pow(10.0, decimals);
}

namespace {

BTN_key_queue num_keys;
int hot_digit = 0;

constexpr float kCell = 10.0f;

// Digits of the atlas: the small arrows above and below each cell.
void draw_arrows(float x, float y, int cells) {
  for (int k = 0; k < cells; ++k) {
    const float left = x + kCell * k - 1.0f;
    BTN_atlas_quad(left, y - 19.0f, left + 14.0f, y - 1.0f, 83, 178, 97, 196, 0);
    BTN_atlas_quad(left, y + 9.0f, left + 14.0f, y + 27.0f, 83, 197, 97, 215, 0);
  }
}

int wrap_cell(int k, int cells) { return k < 0 ? cells - 1 : (k >= cells ? 0 : k); }

int float_to_int(float f) {
  if (!(f > static_cast<float>(INT_MIN))) return INT_MIN;
  if (f >= 2147483648.0f) return INT_MAX;
  return static_cast<int>(f);
}

}  // namespace

// ---- the engine ----

int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float min, float max,
                  std::string label) {
  std::string caption, second, help;
  BTN_expand_label(label, &caption, &second, &help);
  const int cells = digits < 1 ? 1 : digits;
  const float width = kCell * static_cast<float>(digits);
  const float mx = mnw.mouse_x, my = mnw.mouse_y;

  const bool on_strip = BTN_inside(mx, my, x, y - 2.0f, x + width, y + 8.0f);
  if (on_strip) stls.mouse_help = help;
  const bool clicked = mnw.open_menu == -1 && mnw.click && on_strip;
  if (clicked) hot_digit = static_cast<int>((mx - x - 2.0f) * 0.1f);

  const int id = BTN_field_id(x, y);
  const int focused = num_keys.enter(id, 0xD0, clicked ? 1 : 0);
  if (focused) hot_digit = hot_digit < 0 ? 0 : (hot_digit >= cells ? cells - 1 : hot_digit);

  double v = *value;
  bool changed = false;
  int hot = hot_digit;
  num_keys.consume(id, [&](int ch, int vkey, int) {
    if (vkey == KVRM_VK_LEFT) hot = wrap_cell(hot - 1, cells);
    if (vkey == KVRM_VK_RIGHT) hot = wrap_cell(hot + 1, cells);
    const double step = num_cell_step(digits, decimals, hot);
    if (vkey == KVRM_VK_DOWN || vkey == KVRM_VK_UP) {
      v += vkey == KVRM_VK_UP ? step : -step;
      changed = true;
    }
    if (ch >= '0' && ch <= '9') {
      v = num_set_digit(v, step, ch - '0');
      hot = wrap_cell(hot + 1, cells);
      changed = true;
    }
    if (ch == '+' && min < 0.0f) {
      v = std::fabs(v);
      changed = true;
    }
    if (ch == '-' && max >= 0.0f) {
      v = -std::fabs(v);
      changed = true;
    }
  });
  hot_digit = hot;

  if (mnw.open_menu == -1 && !on_strip && BTN_inside(mx, my, x, y - 18.0f, x + width, y + 24.0f)) {
    const bool up = my > y + 3.0f;
    mnw.cursor_type = up ? 13 : 14;
    if (mnw.click) {
      for (int k = 0; k < 10 && k < digits; ++k) {
        if (mx < x + kCell * k || mx > x + kCell * k + kCell) continue;
        const double step = num_cell_step(digits, decimals, k);
        v += up ? step : -step;
        changed = true;
      }
    }
  }

  *value = static_cast<float>(num_normalise(v, min, max, decimals));

  BTN_frame1(9, x + 5.0f * digits - 1.0f, y + 3.0f, width + 15.0f, 0);
  draw_arrows(x, y, digits);
  BTN_util_draw_label(x - 12.0f, y, 0, caption, 0);
  BTN_util_draw_label(x + width + 12.0f, y, 2, second, 0);
  if (focused) OGL_fillrect(8, 1.0f, x + 2.0f + kCell * hot_digit, y - 2.0f, 9.0f, 11.0f);
  OGL_number(45, x + 3.0f, y, *value, digits, decimals, 102);
  return changed ? 1 : 0;
}

// ---- front ends ----

int BTN_flt_rangeij(float i, float j, float* value, int digits, int decimals, float min, float max,
                    std::string label) {
  return BTN_flt_range(75.0f * i + 75.0f - 10.0f * digits, 50.0f * j + 25.0f, value, digits, decimals, min, max,
                       label);
}

int BTN_int_range(float x, float y, int* value, int digits, float min, float max, std::string label) {
  float f = static_cast<float>(*value);
  const int r = BTN_flt_range(x, y, &f, digits, 0, min, max, label);
  *value = float_to_int(f);
  return r;
}

int BTN_int(float x, float y, int* value, int digits, int negative, std::string label) {
  const float max = static_cast<float>(num_all_nines(digits, 0));
  return BTN_int_range(x, y, value, digits, negative ? -max : 0.0f, max, label);
}

int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float min, float max,
                  std::string label) {
  float f = static_cast<float>(*value);
  const int r = BTN_flt_range(x, y, &f, digits, decimals, min, max, label);
  if (r) *value = f;
  return r;
}

int BTN_flt(float x, float y, float* value, int digits, int decimals, int negative, std::string label) {
  const float max = static_cast<float>(num_all_nines(digits, decimals));
  return BTN_flt_range(x, y, value, digits, decimals, negative ? -max : 0.0f, max, label);
}

int BTN_fltij(float i, float j, float* value, int digits, int decimals, int negative, std::string label) {
  return BTN_flt(75.0f * i + 75.0f - 10.0f * digits, 50.0f * j + 25.0f, value, digits, decimals, negative, label);
}

// ---- the read-only number and the degree editor ----

void BTN_display_number(float x, float y, float value, int digits, int decimals, const std::string& label) {
  std::string caption, second, help;
  BTN_expand_label(label, &caption, &second, &help);
  BTN_frame1(9, x + 5.0f * digits - 1.0f, y + 3.0f, kCell * digits + 15.0f, 0);
  BTN_util_draw_label(x - 12.0f, y, 0, caption, 0);
  BTN_util_draw_label(x + 12.0f + kCell * digits, y, 2, second, 0);
  OGL_number(45, x + 4.0f, y, value, digits, decimals, 102);
}

namespace {

// One angle as a degrees field and a minutes field on one row.
bool angle_fields(float x_deg, float x_min, float y, float* angle, int deg_digits, const char* caption) {
  float degrees = std::trunc(*angle);
  float minutes;
  float lo = 0.0f;
  if (degrees == 0.0f) {
    minutes = *angle * 60.0f;
    lo = -60.0f;
  } else {
    minutes = std::fabs(*angle - degrees) * 60.0f;
  }
  bool changed = BTN_flt(x_deg, y, &degrees, deg_digits, 0, 1, caption) != 0;
  changed = BTN_flt_range(x_min, y, &minutes, 5, 3, lo, 60.0f, "") != 0 || changed;
  if (degrees == 0.0f)
    *angle = minutes / 60.0f;
  else
    *angle = degrees + (degrees > 0.0f ? 1.0f : -1.0f) * minutes * (1.0f / 60.0f);
  return changed;
}

}  // namespace

bool enter_lat_lon(float* x, float* y, float* lon, float* lat) {
  *y -= 50.0f;
  bool changed = angle_fields(*x, *x + 50.0f, *y, lon, 3, "lon:");
  *y -= 50.0f;
  changed = angle_fields(*x + 10.0f, *x + 50.0f, *y, lat, 2, "lat:") || changed;
  return changed;
}

// ---- the character field ----

namespace {

const char kAlphabet[] = " 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-";
constexpr int kAlphabetSize = 38;

BTN_key_queue chr_keys;
int chr_hot = 0;

}  // namespace

int chars_alphabet_index(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (int i = 0; i < kAlphabetSize; ++i)
    if (kAlphabet[i] == c) return i;
  return 1;  // '0'
}

char chars_alphabet_at(int index) {
  index %= kAlphabetSize;
  if (index < 0) index += kAlphabetSize;
  return kAlphabet[index];
}

void BTN_chars(float x, float y, char* text, int n, std::string label) {
  if (n < 1) return;
  const float mx = mnw.mouse_x, my = mnw.mouse_y;
  const bool strip_click = mnw.open_menu == -1 && mnw.click && BTN_inside(mx, my, x, y - 2.0f, x + kCell * n, y + 8.0f);
  if (strip_click) chr_hot = static_cast<int>((mx - x) * 0.1f);

  const int id = BTN_field_id(x, y);
  const int focused = chr_keys.enter(id, 0x1F0, strip_click ? 1 : 0);
  if (focused) chr_hot = chr_hot < 0 ? 0 : (chr_hot >= n ? n - 1 : chr_hot);

  int hot = chr_hot < 0 ? 0 : (chr_hot >= n ? n - 1 : chr_hot);
  chr_keys.consume(id, [&](int ch, int vkey, int) {
    if (vkey == KVRM_VK_LEFT) hot = wrap_cell(hot - 1, n);
    if (vkey == KVRM_VK_RIGHT) hot = wrap_cell(hot + 1, n);
    if (vkey == KVRM_VK_DOWN) text[hot] = chars_alphabet_at(chars_alphabet_index(text[hot]) + 1);
    if (vkey == KVRM_VK_UP) text[hot] = chars_alphabet_at(chars_alphabet_index(text[hot]) - 1);
    const bool letter = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
    if (letter || (ch >= '0' && ch <= '9') || ch == '-' || ch == ' ') {
      text[hot] = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
      hot = wrap_cell(hot + 1, n);
    }
  });
  chr_hot = hot;

  std::string caption, second, help;
  BTN_expand_label(label, &caption, &second, &help);
  BTN_frame1(9, x + 1.0f + 5.0f * n, y + 3.0f, kCell * n + 11.0f, 0);
  draw_arrows(x, y, n);
  BTN_util_draw_label(x - 6.0f, y, 0, caption, 0);
  if (focused) OGL_fillrect(8, 1.0f, x + 2.0f + kCell * chr_hot, y - 2.0f, 9.0f, 11.0f);
  for (int k = 0; k < n; ++k) {
    const float left = x + kCell * k;
    OGL_string(45, left + 2.0f, y, std::string(1, text[k]), 9999.0f, 100, 0);
    if (BTN_inside(mx, my, left, y - 2.0f, left + kCell, y + 8.0f)) stls.mouse_help = help;
    if (!strip_click && mnw.click && BTN_inside(mx, my, left, y - 18.0f, left + kCell, y + 24.0f)) {
      const bool up = my > y + 3.0f;
      mnw.cursor_type = up ? 13 : 14;
      text[k] = chars_alphabet_at(chars_alphabet_index(text[k]) + (up ? -1 : 1));
    }
  }
}
