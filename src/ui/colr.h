// The colour table that every drawing call indexes.
#pragma once

constexpr int kNumColours = 105;

class colr_class {
 public:
  colr_class();

  // Gamma of the artwork and of the display, and the table that maps an
  // 8-bit value of the one to the other. The image readers use them; they
  // never change after construction.
  double image_gamma = 1.8;
  double display_gamma = 2.2;
  int gamma_on = 1;  // the display gamma is not the artwork's
  unsigned char gamma_table[256] = {};

  float rgb[kNumColours][3] = {};
  float blink = 0.0f;  // pulse value animated by the frame timer

  // Sets entry index to the RGB triple; indices outside the table are ignored.
  void assign(int index, float r, float g, float b);
};

extern colr_class colr;
