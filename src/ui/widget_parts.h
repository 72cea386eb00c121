// Small drawing pieces shared by the widgets of this folder.
#pragma once

// A quad of the interface atlas between (x1, y1) and (x2, y2), cut from the
// atlas pixels s1..s2 by t1..t2 (the lower t at the lower edge), textured and
// blended, alpha 1.
void BTN_atlas_quad(float x1, float y1, float x2, float y2, float s1, float t1, float s2, float t2, int colour);

// A rectangle test that includes its bounds.
inline bool BTN_inside(float x, float y, float left, float bottom, float right, float top) {
  return left <= x && x <= right && bottom <= y && y <= top;
}

// Rounded half away from zero.
float BTN_round_half_away(float v);
