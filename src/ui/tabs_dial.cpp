// Tabs and the direction dial.
#include "ui/tabs_dial.h"

#include <cmath>

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
