// The colour table that every drawing call indexes.
#pragma once

constexpr int kNumColours = 105;

class colr_class {
 public:
  float rgb[kNumColours][3] = {};
  float blink = 0.0f;  // pulse value animated by the frame timer

  // Sets entry index to the RGB triple; indices outside the table are ignored.
  void assign(int index, float r, float g, float b);
};

extern colr_class colr;
