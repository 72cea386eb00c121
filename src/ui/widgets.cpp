// Labels, push buttons, check boxes and radio buttons.
#include "ui/widgets.h"

#include <cstdlib>

#include "runtime/globals.h"
#include "ui/draw.h"
#include "ui/draw_list.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "window/mnw.h"

int (*BTN_click_script)(const std::string& label) = nullptr;

namespace {

// Atlas pieces of the check box and the radio button: s and t ranges.
struct box_piece {
  float s0, s1, t0, t1;
};
const box_piece kCheckEmpty = {139, 157, 178, 196};
const box_piece kCheckMark = {139, 157, 197, 215};
const box_piece kRadioEmpty = {83, 101, 123, 141};
const box_piece kRadioMark = {83, 101, 142, 160};

void draw_piece(const box_piece& p, float x, float y) {
  const float k = 1.0f / 512.0f;
  const float x0 = x - 9.0f, x1 = x + 9.0f, y0 = y - 6.0f, y1 = y + 12.0f;
  OGL_2dquad(t_interface, 0, 1.0f, x0, y0, p.s0 * k, p.t0 * k, x0, y1, p.s0 * k, p.t1 * k, x1, y1, p.s1 * k,
             p.t1 * k, x1, y0, p.s1 * k, p.t0 * k, 1, gl_alpha_blend);
}

bool breaks_caption(char c) { return c == ' ' || c == '-' || c == '/'; }

}  // namespace

// ---------------------------------------------------------------------------
// Labels

void BTN_expand_label(const std::string& label, std::string* caption, std::string* second, std::string* help) {
  const std::size_t bar = label.rfind('|');
  const std::size_t brace = label.rfind('{');
  if (bar != std::string::npos)
    *caption = label.substr(0, bar);
  else if (brace != std::string::npos)
    *caption = label.substr(0, brace);
  else
    *caption = label;

  second->clear();
  if (bar != std::string::npos && (brace == std::string::npos || bar < brace)) {
    const std::size_t end = brace == std::string::npos ? label.size() : brace;
    *second = label.substr(bar + 1, end - bar - 1);
  }

  help->clear();
  if (brace != std::string::npos && brace + 2 < label.size()) *help = label.substr(brace + 2);
}

int BTN_label_lines(const std::string& text, int placement, std::string* first, std::string* second) {
  first->clear();
  second->clear();
  if (text.empty() || placement < 0 || placement > 2) return 0;
  const bool dashed = text[0] == '-';
  const std::size_t limit = dashed ? 9999 : 12;
  const std::string line = dashed ? text.substr(1) : text;
  const std::size_t n = line.size();
  if (placement != 1 && n > limit) {
    const std::size_t m = n / 2;
    std::size_t best = 0;
    std::size_t best_distance = std::string::npos;
    for (std::size_t p = 1; p < n; ++p) {
      if (!breaks_caption(line[p])) continue;
      const std::size_t d = p > m ? p - m : m - p;
      if (d < best_distance) {
        best = p;
        best_distance = d;
      }
    }
    if (best > 0 && best < n - 1) {
      *first = line.substr(0, best);
      *second = line.substr(best + 1);
      return 2;
    }
  }
  *first = line;
  return 1;
}

void BTN_util_draw_label(float x, float y, int placement, const std::string& text, int highlight) {
  std::string first, second;
  const int lines = BTN_label_lines(text, placement, &first, &second);
  if (lines == 0) return;
  const int colour = highlight ? 81 : 43;
  const int align = placement == 0 ? 2 : placement == 1 ? 1 : 0;
  if (lines == 2) y += 5.0f;
  OGL_string(colour, x, y, first, 9999.0f, charset_prop, align);
  if (lines == 2) OGL_string(colour, x, y - 10.0f, second, 9999.0f, charset_prop, align);
}

// ---------------------------------------------------------------------------
// Push button

float BTN_action_width(const std::string& label) { return 21.0f + OGL_text_width(label); }

int BTN_action(float x, float y, float w, int on, int style, std::string label, std::string key_label) {
  std::string caption, second, help;
  BTN_expand_label(label, &caption, &second, &help);
  if (w <= 0.0f) w = BTN_action_width(label);

  BTN_frame1(2, x, y, w, 0);
  if (on) BTN_frame1(3, x, y, w, 0);
  BTN_util_draw_label(x, y - 3.0f, 1, caption, style == 2 && on);
  if (key_label != "-") OGL_string(45, x + w / 2.0f + 10.0f, y + 7.0f, key_label, 500.0f, charset_prop, 0);

  bool hit = mnw.open_menu == -1 && mnw.click && mnw.mouse_x >= x - w / 2.0f && mnw.mouse_x <= x + w / 2.0f &&
             mnw.mouse_y >= y - 10.0f && mnw.mouse_y <= y + 10.0f;
  if (!hit && BTN_click_script && BTN_click_script(label)) hit = true;
  if (!hit) return 0;

  if (!on && style != 0) {
    // The pressed look goes on screen before the caller acts on the click,
    // over the whole of what the user clicked on.
    OGL_overlay_begin();
    BTN_frame1(3, x, y, w, 0);
    BTN_util_draw_label(x, y - 3.0f, 1, caption, 0);
    OGL_overlay_show();
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Check box and radio button

int BTN_bool(float x, float y, int* value, std::string label, int radio) {
  std::string caption, second, help;
  BTN_expand_label(label, &caption, &second, &help);
  draw_piece(radio ? kRadioEmpty : kCheckEmpty, x, y);
  if (*value) draw_piece(radio ? kRadioMark : kCheckMark, x, y);
  BTN_util_draw_label(x - 12.0f, y, 0, caption, 0);
  BTN_util_draw_label(x + 12.0f, y, 2, second, 0);

  if (mnw.open_menu != -1) return 0;
  if (mnw.mouse_x < x - 8.0f || mnw.mouse_x > x + 8.0f || mnw.mouse_y < y - 4.0f || mnw.mouse_y > y + 12.0f)
    return 0;
  stls.mouse_help = help;
  if (!mnw.click) return 0;
  *value = *value == 0 ? 1 : 0;
  return 1;
}

int BTN_is_int(float x, float y, int* value, int n, std::string label) {
  int on = *value == n ? 1 : 0;
  const int r = BTN_bool(x, y, &on, label, 1);
  if (on) *value = n;
  return r;
}

int BTN_xbyt(float x, float y, unsigned char* value, std::string label) {
  int v = *value;
  const int r = BTN_bool(x, y, &v, label, 0);
  *value = static_cast<unsigned char>(v);
  return r;
}

int BTN_xchr(float x, float y, char* value, std::string label) {
  int v = *value;
  const int r = BTN_bool(x, y, &v, label, 0);
  *value = static_cast<char>(v);
  return r;
}

int BTN_xbol(float x, float y, bool* value, std::string label) {
  int v = *value ? 1 : 0;
  const int r = BTN_bool(x, y, &v, label, 0);
  *value = v != 0;
  return r;
}
