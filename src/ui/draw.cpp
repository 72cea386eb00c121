#include "ui/draw.h"

void OGL_plot_back_col() {}

void BTN_fillwin(int /*outer*/, int /*inner*/) {}

void BTN_subwin(float x, int y, std::string /*title*/, float* right, float* top) {
  // Nothing is drawn, so the panel takes no room.
  if (right) *right = x;
  if (top) *top = static_cast<float>(y);
}

float OGL_string(int /*colour*/, float /*x*/, float y, const std::string& /*text*/, float /*wrap_width*/,
                 int /*charset*/, int /*align*/) {
  return y;
}
