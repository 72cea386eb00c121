// Text for the image generator, rasterised by FreeType from a font file of
// a Debian package.
#pragma once

#include <string>

#include "canvas.h"

typedef struct FT_LibraryRec_* FT_Library;
typedef struct FT_FaceRec_* FT_Face;

namespace gen {

// One glyph's coverage, rows top-down as FreeType gives them.
struct Glyph {
  int width = 0, rows = 0;
  int left = 0;       // pen to the left edge of the ink
  int top = 0;        // baseline to the top row of the ink
  float advance = 0;  // natural advance in pixels
  std::vector<uint8_t> coverage;
};

class Font {
 public:
  // Opens the font at `path` at `pixel_size` pixels per em. `hinted` uses
  // FreeType's light (vertical-only) hinting.
  Font(const std::string& path, float pixel_size, bool hinted = true);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  bool ok() const { return face_ != nullptr; }
  // The glyph of a Unicode code point, narrowed by x_scale (1: as designed).
  Glyph glyph(unsigned code, float x_scale = 1.0f) const;
  // Width of a text in pixels at the natural advances, with kerning.
  float measure(const std::string& utf8) const;
  // Draws a UTF-8 text with its baseline at row `baseline` (rows counted
  // upward), starting at pen position x.
  void draw(Canvas& canvas, const std::string& utf8, float x, int baseline, RGBA colour) const;
  // Lays one glyph's coverage at pen (x, baseline) in the colour.
  static void blit(Canvas& canvas, const Glyph& g, int x, int baseline, RGBA colour, float gamma = 1.0f);

 private:
  FT_Library lib_ = nullptr;
  FT_Face face_ = nullptr;
  bool hinted_;
};

}  // namespace gen
