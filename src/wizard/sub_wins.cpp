// The options window, the image buttons of the wizard and the two text
// helpers of this module.
#include "wizard/sub_wins.h"

#include "files/http.h"
#include "engine/installer_state.h"
#include "runtime/globals.h"
#include "textures/tman.h"
#include "ui/colr.h"
#include "ui/draw.h"
#include "wizard/layout.h"
#include "window/mnw.h"

int str_to_int(const std::string& text) {
  if (text.empty()) return -1;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || c == '+' || c == '-')) return -1;

  std::size_t start = 0;
  int sign = 1;
  if (text[0] == '+' || text[0] == '-') {
    sign = text[0] == '-' ? -1 : 1;
    start = 1;
  }
  const std::size_t n = text.size() - start;
  if (n == 0 || n > 9) return -1;

  // A sign after the first character counts as the digit +1 or -1 in its place.
  int value = 0;
  for (std::size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    const int digit = c == '+' ? 1 : c == '-' ? -1 : c - '0';
    value = value * 10 + digit;
  }
  return sign * value;
}

void set_size_str(float kb, std::string* out) {
  const double mb = static_cast<double>(kb) * 0.001;
  if (mb < 1000.0) {
    flt_to_str(static_cast<float>(mb), out, 2, 1, 0);
    *out += " Meg";
  } else {
    flt_to_str(static_cast<float>(mb * 0.001), out, 2, 1, 0);
    *out += " Gig";
  }
}

int interface_rect(float x, float y, float s, float t, float w, float h, int enabled, int mode) {
  constexpr int kWhite = 103;
  colr.assign(kWhite, 1, 1, 1);
  const bool inside = mnw.mouse_x >= x && mnw.mouse_x <= x + w && mnw.mouse_y >= y && mnw.mouse_y <= y + h;
  if (enabled && inside) t -= mnw.down ? (h + 1.0f) : 2.0f * (h + 1.0f);
  const float s0 = s / kStripTextureW, s1 = (s + w) / kStripTextureW;
  const float t0 = t / kStripTextureH, t1 = (t + h) / kStripTextureH;
  OGL_2dquad(t_elements, kWhite, mode == 2 ? 0.5f : 1.0f, x, y, s0, t0, x, y + h, s0, t1, x + w, y + h, s1, t1,
             x + w, y, s1, t0, 1, gl_alpha_blend);
  return mnw.click && inside ? 1 : 0;
}
