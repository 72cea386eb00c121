#include "font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>

namespace gen {

namespace {

// Decodes UTF-8 into code points (invalid bytes read as Latin-1).
std::vector<unsigned> decode(const std::string& s) {
  std::vector<unsigned> out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0xC0 && c < 0xE0 && i + 1 < s.size()) {
      out.push_back(((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu));
      i += 2;
    } else {
      out.push_back(c);
      i += 1;
    }
  }
  return out;
}

}  // namespace

Font::Font(const std::string& path, float pixel_size, bool hinted) : hinted_(hinted) {
  if (FT_Init_FreeType(&lib_) != 0) return;
  if (FT_New_Face(lib_, path.c_str(), 0, &face_) != 0) {
    face_ = nullptr;
    return;
  }
  FT_Set_Char_Size(face_, 0, static_cast<FT_F26Dot6>(std::lround(pixel_size * 64)), 72, 72);
}

Font::~Font() {
  if (face_) FT_Done_Face(face_);
  if (lib_) FT_Done_FreeType(lib_);
}

Glyph Font::glyph(unsigned code, float x_scale) const {
  Glyph g;
  FT_Matrix narrow = {static_cast<FT_Fixed>(std::lround(x_scale * 65536.0)), 0, 0, 0x10000};
  FT_Set_Transform(face_, &narrow, nullptr);
  const FT_UInt index = FT_Get_Char_Index(face_, code);
  const FT_Int32 flags = hinted_ ? FT_LOAD_TARGET_LIGHT : FT_LOAD_NO_HINTING;
  if (FT_Load_Glyph(face_, index, flags) != 0) return g;
  if (FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_NORMAL) != 0) return g;
  const FT_Bitmap& bm = face_->glyph->bitmap;
  g.width = static_cast<int>(bm.width);
  g.rows = static_cast<int>(bm.rows);
  g.left = face_->glyph->bitmap_left;
  g.top = face_->glyph->bitmap_top;
  g.advance = face_->glyph->advance.x / 64.0f;
  g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
  for (int r = 0; r < g.rows; ++r)
    for (int c = 0; c < g.width; ++c) g.coverage[static_cast<size_t>(r) * g.width + c] = bm.buffer[r * bm.pitch + c];
  return g;
}

float Font::measure(const std::string& utf8) const {
  float x = 0;
  FT_UInt previous = 0;
  for (unsigned code : decode(utf8)) {
    const FT_UInt index = FT_Get_Char_Index(face_, code);
    if (previous && FT_HAS_KERNING(face_)) {
      FT_Vector k;
      FT_Get_Kerning(face_, previous, index, FT_KERNING_DEFAULT, &k);
      x += k.x / 64.0f;
    }
    x += glyph(code).advance;
    previous = index;
  }
  return x;
}

void Font::draw(Canvas& canvas, const std::string& utf8, float x, int baseline, RGBA colour) const {
  FT_UInt previous = 0;
  for (unsigned code : decode(utf8)) {
    const FT_UInt index = FT_Get_Char_Index(face_, code);
    if (previous && FT_HAS_KERNING(face_)) {
      FT_Vector k;
      FT_Get_Kerning(face_, previous, index, FT_KERNING_DEFAULT, &k);
      x += k.x / 64.0f;
    }
    const Glyph g = glyph(code);
    blit(canvas, g, static_cast<int>(std::lround(x)), baseline, colour);
    x += g.advance;
    previous = index;
  }
}

void Font::blit(Canvas& canvas, const Glyph& g, int x, int baseline, RGBA colour, float gamma) {
  for (int r = 0; r < g.rows; ++r) {
    const int row = baseline + g.top - 1 - r;
    for (int c = 0; c < g.width; ++c) {
      float a = g.coverage[static_cast<size_t>(r) * g.width + c] / 255.0f;
      if (a <= 0) continue;
      if (gamma != 1.0f) a = std::pow(a, gamma);
      canvas.blend(x + g.left + c, row, with_alpha(colour, a));
    }
  }
}

}  // namespace gen
