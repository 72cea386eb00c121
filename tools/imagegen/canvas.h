// A float RGBA canvas and the drawing helpers the image generator paints
// with: signed-distance shapes with anti-aliased edges, gradients, noise,
// and export to the program's byte layout and to PNG.
//
// Coordinates follow the program's images: x from the left, y (the row) from
// the BOTTOM row, which is the first row of the exported bytes. A pixel's
// centre is at (x + 0.5, y + 0.5).
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace gen {

struct RGBA {
  float r = 0, g = 0, b = 0, a = 0;  // straight alpha, 0..1
};

// A colour from 0..255 bytes.
inline RGBA rgb(int r, int g, int b, float a = 1.0f) { return {r / 255.0f, g / 255.0f, b / 255.0f, a}; }
inline RGBA with_alpha(RGBA c, float a) { return {c.r, c.g, c.b, c.a * a}; }
RGBA mix(RGBA a, RGBA b, float t);

inline float clampf(float v, float lo, float hi) { return v < lo ? lo : v > hi ? hi : v; }
inline float smoothstep(float e0, float e1, float x) {
  const float t = clampf((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3.0f - 2.0f * t);
}
// Coverage of a pixel by a shape whose signed distance at its centre is d.
inline float cover(float d) { return clampf(0.5f - d, 0.0f, 1.0f); }

// Signed distances (negative inside).
float sd_round_rect(float px, float py, float x0, float y0, float x1, float y1, float radius);
float sd_circle(float px, float py, float cx, float cy, float radius);
float sd_segment(float px, float py, float ax, float ay, float bx, float by);
float sd_triangle(float px, float py, float ax, float ay, float bx, float by, float cx, float cy);

// Smooth value noise in 0..1 and a sum of octaves of it; deterministic.
float value_noise(float x, float y, uint32_t seed);
float fbm(float x, float y, int octaves, uint32_t seed);

class Canvas {
 public:
  Canvas(int width, int height);

  int width() const { return w_; }
  int height() const { return h_; }
  RGBA& at(int x, int y) { return px_[static_cast<size_t>(y) * w_ + x]; }
  const RGBA& at(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }

  // Lays colour c (its alpha already holding coverage) over pixel (x, y);
  // pixels outside the canvas or the clip rectangle are ignored.
  void blend(int x, int y, RGBA c);
  void set(int x, int y, RGBA c);

  // Calls f(cx, cy) for every pixel centre of the rectangle [x0, x1) x
  // [y0, y1) and lays the colour it returns over the pixel.
  template <class F>
  void paint(int x0, int y0, int x1, int y1, F f) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) blend(x, y, f(x + 0.5f, y + 0.5f));
  }

  // Restricts drawing to [x0, x1) x [y0, y1) until clear_clip().
  void clip(int x0, int y0, int x1, int y1);
  void clear_clip();

  // Fills a rectangle of whole pixels with one colour, replacing what is there.
  void fill_rect(int x0, int y0, int x1, int y1, RGBA c);

  // Shapes, laid over the canvas with anti-aliased edges.
  void round_rect(float x0, float y0, float x1, float y1, float radius, RGBA c);
  // A vertical gradient from `bottom` to `top` inside a rounded rectangle.
  void round_rect_vgrad(float x0, float y0, float x1, float y1, float radius, RGBA bottom, RGBA top);
  // A ring of the given width just inside the rounded rectangle's edge.
  void round_rect_stroke(float x0, float y0, float x1, float y1, float radius, float width, RGBA c);
  void circle(float cx, float cy, float radius, RGBA c);
  void line(float ax, float ay, float bx, float by, float width, RGBA c);
  void triangle(float ax, float ay, float bx, float by, float cx, float cy, RGBA c);
  // A soft shadow: a blurred rounded rectangle of the given blur radius.
  void shadow(float x0, float y0, float x1, float y1, float radius, float blur, RGBA c);

  // Copies a region of another canvas to (dx, dy), replacing what is there.
  void copy_from(const Canvas& src, int sx, int sy, int w, int h, int dx, int dy);

  // Bytes in the program's layout: rows from the bottom, R G B (A), no
  // padding. `dither` adds an ordered dither of less than one step to hide
  // banding in smooth gradients.
  std::vector<uint8_t> bytes(int channels, bool dither = false) const;

 private:
  int w_, h_;
  int cx0_, cy0_, cx1_, cy1_;  // clip rectangle
  std::vector<RGBA> px_;
};

// Writes RGB (3) or RGBA (4) bytes in the program's layout to a PNG file,
// top row first. Returns false when the file cannot be written.
bool write_png(const std::string& path, const std::vector<uint8_t>& bytes, int width, int height, int channels);

}  // namespace gen
