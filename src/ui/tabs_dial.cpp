// Tabs and the direction dial.
#include "ui/tabs_dial.h"

#include <cmath>

#include "textures/tman.h"
#include "ui/draw.h"
#include "ui/draw_list.h"
#include "ui/font.h"
#include "window/mnw.h"

namespace {

// Atlas pieces, in pixels of the 512 x 512 interface atlas.
struct piece {
  float s1, t1, s2, t2;
};
constexpr piece kTabOff = {204, 459, 302, 485};
constexpr piece kTabOn = {204, 486, 302, 512};
constexpr piece kDialFace = {178, 160, 234, 218};
constexpr piece kNeedleWide = {156, 315, 166, 357};
constexpr piece kNeedleThin = {156, 272, 166, 314};

// A piece drawn over (x1, y1) to (x2, y2), its lower t at the lower edge.
void piece_quad(const piece& p, float x1, float y1, float x2, float y2) {
  constexpr float k = 1.0f / 512.0f;
  OGL_2dquad(t_interface, 0, 1.0f, x1, y1, p.s1 * k, p.t1 * k, x1, y2, p.s1 * k, p.t2 * k, x2, y2, p.s2 * k, p.t2 * k,
             x2, y1, p.s2 * k, p.t1 * k, 1, gl_alpha_blend);
}

}  // namespace

int BTN_tab(int column, int row, int* current, int n, std::string label) {
  float cx, cy;
  tab_centre(column, row, mnw.wind_h, &cx, &cy);
  int result = 0;
  if (mnw.click && tab_hit(cx, cy, mnw.mouse_x, mnw.mouse_y)) {
    *current = n;
    result = 1;
  }
  const bool selected = *current == n;
  piece_quad(selected ? kTabOn : kTabOff, cx - kTabHalfW, cy - kTabHalfH, cx + kTabHalfW, cy + kTabHalfH);
  OGL_string(selected ? 41 : 42, cx + kTabTextDX, cy + kTabTextDY, label, 9999.0f, charset_prop, 0);
  return result;
}

void plot_dir(float x, float y, float* heading, int style) {
  // The needle turns about the centre; the quad adds the window's origin.
  DL_push_matrix();
  DL_translate(x + mnw.wind_x, y + mnw.wind_y, 0.0f);
  DL_rotate(-*heading, 0.0f, 0.0f, 1.0f);
  DL_translate(-mnw.wind_x, -mnw.wind_y, 0.0f);
  piece_quad(style == 0 ? kNeedleWide : kNeedleThin, -kDialNeedleW / 2, -kDialNeedleH / 2, kDialNeedleW / 2,
             kDialNeedleH / 2);
  DL_pop_matrix();

  piece_quad(kDialFace, x - kDialFaceHalfW, y - kDialFaceHalfH, x + kDialFaceHalfW, y + kDialFaceHalfH);
  OGL_number(45, x + kDialNumberDX, y + kDialNumberDY, *heading, 3, 0, charset_fixed);

  if (mnw.down && dial_hit(x, y, mnw.mouse_x, mnw.mouse_y)) *heading = dial_heading(mnw.mouse_x - x, mnw.mouse_y - y);
}

void tab_centre(int column, int row, float window_h, float* cx, float* cy) {
  *cx = kTabPitchX * static_cast<float>(column) + kTabLeft;
  *cy = window_h - kTabTop - kTabPitchY * static_cast<float>(row);
}

bool tab_hit(float cx, float cy, float mx, float my) {
  return cx - kTabHitLeft <= mx && mx <= cx + kTabHitRight && cy - kTabHalfH <= my && my <= cy + kTabHalfH;
}

float dial_heading(float dx, float dy) {
  float heading = std::atan2(dx, dy) * 57.295776f;
  // atan2 stays within -180..180, so one turn brings it into range.
  if (heading < 0.0f) heading += 360.0f;
  if (heading > 360.0f) heading -= 360.0f;
  return heading;
}

bool dial_hit(float x, float y, float mx, float my) {
  return x - kDialReach <= mx && mx <= x + kDialReach && y - kDialReach <= my && my <= y + kDialReach;
}
