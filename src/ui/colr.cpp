#include "ui/colr.h"

#include <cmath>

colr_class colr;

colr_class::colr_class() {
  gamma_on = display_gamma != 1.8 ? 1 : 0;
  // The exponent is fixed at 1.8 / 2.2: it does not follow later changes of
  // the two gamma fields.
  const float exponent = 0.8181818f;
  for (int i = 0; i < 256; ++i) {
    gamma_table[i] = static_cast<unsigned char>(
        static_cast<int>(255.0f * std::pow(static_cast<float>(i) / 255.0f, exponent) + 0.5f));
  }
}

void colr_class::assign(int index, float r, float g, float b) {
  if (index < 0 || index >= kNumColours) return;
  rgb[index][0] = r;
  rgb[index][1] = g;
  rgb[index][2] = b;
}
