// The colour table that every drawing call indexes: 105 RGB colours with
// built-in defaults, the lighting factors that tint the first 46, the blink
// value the frame timer animates, the gamma table of the image readers and a
// colour spectrum. The interface palette (34 to 47) comes from swatches of
// the interface image at start-up. Defined by the interface layer
// (ui/colr.cpp).
#pragma once

constexpr int kNumColours = 105;
constexpr int kLitColours = 46;  // indices below this are tinted by the lighting factors

class colr_class {
 public:
  colr_class();

  double image_gamma;             // gamma the images were authored for, 1.8
  double display_gamma;           // gamma of the display, 2.2
  int gamma_on;                   // 1 when the display gamma is not 1.8
  unsigned char gamma_table[256];
  float rgb[kNumColours][3];
  float lites[3];                 // red, green and blue factors for indices below 46
  float blink;                    // 0.4 .. 1.0, animated by the frame timer
  float spectrum_min, spectrum_max, spectrum_range;
  float spectrum[1000][3];

  // Sets one entry; indices outside the table are ignored.
  void assign(int index, float r, float g, float b);
  // Raises each lighting factor to at least 0.75.
  void set_lites_for_interface();
  // Fills the spectrum: 0 a rainbow, 1 red, 2 green, 3 blue; other modes
  // change nothing.
  void spectrum_init(int mode);
  // Draws a vertical spectrum scale 1000 units high with its two bounds.
  void spectrum_plotscale(float x, float y, float minimum, float maximum, int decimals);

  // The GL colour of an entry: lighting factors, the monochrome rule and the
  // global alpha factor applied. Returns 1 when the colour is drawn with its
  // alpha (glColor4f), 0 when opaque (glColor3fv, alpha untouched).
  int gl_colour(int index, float alpha, int monochrome, float alpha_factor, float out[4]) const;
};

extern colr_class colr;
