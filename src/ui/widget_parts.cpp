#include "ui/widget_parts.h"

#include <cmath>

#include "ui/draw.h"

void BTN_atlas_quad(float x1, float y1, float x2, float y2, float s1, float t1, float s2, float t2, int colour) {
  constexpr float k = 1.0f / 512.0f;
  OGL_2dquad(t_interface, colour, 1.0f, x1, y1, s1 * k, t1 * k, x1, y2, s1 * k, t2 * k, x2, y2, s2 * k, t2 * k, x2, y1,
             s2 * k, t1 * k, 1, gl_alpha_blend);
}

float BTN_round_half_away(float v) {
  return std::trunc(v < 0.0f ? v - 0.5f : v + 0.5f);
}
