// The built-in images: the generator draws the same bytes on every run, the
// program embeds exactly those bytes, and the artwork keeps the rectangles
// the drawing code reads (swatch colours, transparent gutters, glyph cells,
// panels whose repeated middles tile without seams).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/temp_dir.h"
#include "textures/builtin_images.h"

namespace {

struct Pixels {
  const unsigned char* data;
  int width, bpp;
  const unsigned char* at(int x, int row) const { return data + (static_cast<size_t>(row) * width + x) * bpp; }
  bool same(int x0, int r0, int x1, int r1) const { return memcmp(at(x0, r0), at(x1, r1), bpp) == 0; }
};

const Pixels kInterface{g_tex_interface, 512, 4};
const Pixels kElements{g_tex_elements, 1024, 4};
const Pixels kMap{g_tex_map, 504, 4};

uint64_t fnv1a(const std::string& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  return h;
}

bool generate(const std::string& out) {
  const std::string cmd = std::string("'") + CORVANE_IMAGEGEN_EXE + "' --fonts '" + CORVANE_FONT_DIR +
                          "' --land-mask '" + CORVANE_LAND_MASK + "' --out '" + out + "'";
  return system(cmd.c_str()) == 0;
}

const builtin_image kAll[] = {kBackgroundImage, kElementsImage, kMapImage, kInterfaceImage};
const unsigned char* const kEmbedded[] = {g_tex_background, g_tex_elements, g_tex_map, g_tex_interface};

}  // namespace

TEST(BuiltinImages, GeneratorIsDeterministicAndItsOutputIsEmbedded) {
  TempDir first, second;
  ASSERT_TRUE(generate(first.path()));
  ASSERT_TRUE(generate(second.path()));
  for (size_t i = 0; i < 4; ++i) {
    const std::string file = std::string(kAll[i].name) + (kAll[i].bytes_per_pixel == 3 ? ".rgb" : ".rgba");
    const std::string a = read_file(first / file), b = read_file(second / file);
    ASSERT_EQ(a.size(), builtin_image_bytes(kAll[i])) << file;
    EXPECT_EQ(fnv1a(a), fnv1a(b)) << file;
    const std::string embedded(reinterpret_cast<const char*>(kEmbedded[i]), builtin_image_bytes(kAll[i]));
    EXPECT_EQ(fnv1a(embedded), fnv1a(a)) << file << " differs from the embedded image";
  }
  EXPECT_NE(system((std::string("'") + CORVANE_IMAGEGEN_EXE + "' --fonts /nonexistent --land-mask x --out /tmp").c_str()), 0);
}

TEST(BuiltinImages, SwatchesHoldTheInterfaceColours) {
  for (const interface_swatch& s : kInterfaceSwatches) {
    // The whole 7 x 7 square, so a one-pixel slip in reading still finds it.
    for (int dy = -3; dy <= 3; ++dy)
      for (int dx = -3; dx <= 3; ++dx) {
        const unsigned char* p = kInterface.at(s.x + dx, s.row + dy);
        ASSERT_EQ(p[0], s.r) << "entry " << s.entry;
        ASSERT_EQ(p[1], s.g) << "entry " << s.entry;
        ASSERT_EQ(p[2], s.b) << "entry " << s.entry;
      }
  }
}

TEST(BuiltinImages, ButtonStripKeepsItsGuttersAndPanelBlock) {
  for (int row : {22, 45, 68, 69})
    for (int x = 0; x < 982; ++x) ASSERT_EQ(kElements.at(x, row)[3], 0) << "x " << x << " row " << row;
  // Each button is opaque in the middle of all three looks, clear between.
  const int buttons[][2] = {{1, 50}, {54, 89}, {150, 100}, {255, 114}, {374, 132}, {628, 90}};
  for (const auto& b : buttons)
    for (int row : {11, 34, 57}) {
      EXPECT_EQ(kElements.at(b[0] + b[1] / 2, row)[3], 255);
      EXPECT_EQ(kElements.at(b[0] - 1, row)[3], 0);
    }
  // The wizard panels' block: its middle repeats in both directions.
  for (int row = 15; row <= 30; ++row)
    for (int x = 997; x <= 1008; ++x) ASSERT_TRUE(kElements.same(x, row, 1002, 22)) << x << "," << row;
}

TEST(BuiltinImages, MapIsOpaqueWithMatchingGridsInBothHalves) {
  for (int row = 0; row < 504; ++row)
    for (int x = 0; x < 504; ++x) ASSERT_EQ(kMap.at(x, row)[3], 255);
  // Grid lines lie at the same offsets: in each half, every pixel of column
  // 14c differs from its right neighbour far more often than not.
  for (int half : {0, 252}) {
    int lines = 0;
    for (int row = half + 1; row < half + 251; ++row)
      if (row % 14 != 0 && !kMap.same(28, row, 29, row)) ++lines;
    EXPECT_GT(lines, 200) << "half at " << half;
  }
}

namespace {

// The pen advances of the text drawing.
int advance_of(unsigned char c) {
  static const char* const widths[] = {"", "", ",.", " '/:;I\\`ijl|\xFB", "!()-J[]frst", "c",
                                       "#$*0123456789?EFLPSTZ^_aekvxyz\xBF\xC1\xC9\xCD\xD1\xD3\xDA\xE1\xE9\xED\xF1\xF3\xFA",
                                       "+<=>BCKRVXYbdghnopqu", "&ADGHNU", "@OQw", "Mm", "%W"};
  for (int w = 2; w <= 11; ++w)
    if (strchr(widths[w], c)) return w;
  return 0;
}

const char* const kGrid[5] = {" 0123456789AaBbCcDdEe", "FfGgHhIiJjKkLlMmNnOoP", "pQqRrSsTtUuVvWwXxYyZz",
                              "!@#$%^&*()-_+=[]|\\':;", "<.>,?/`\xFB\xC1\xE1\xC9\xE9\xCD\xED\xD3\xF3\xDA\xFA\xD1\xF1\xBF"};

}  // namespace

TEST(BuiltinImages, GlyphsSitInTheirCellsWithinTheirAdvance) {
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 21; ++c) {
      const unsigned char ch = static_cast<unsigned char>(kGrid[r][c]);
      int ink = 0, right = -1, lowest = 99;
      for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 14; ++x) {
          const unsigned char* p = kInterface.at(14 * c + x, 15 * r + y);
          if (p[3] == 0) continue;
          ++ink;
          right = std::max(right, x);
          lowest = std::min(lowest, y);
          ASSERT_TRUE(p[0] == 255 && p[1] == 255 && p[2] == 255) << "glyph ink is white";
        }
      if (ch == ' ') {
        EXPECT_EQ(ink, 0) << "the blank cell";
        continue;
      }
      EXPECT_GT(ink, 0) << "no glyph for " << ch;
      // The text drawing gives u-circumflex only 3 pixels; its glyph keeps a
      // fourth column rather than become unreadable.
      EXPECT_LT(right, advance_of(ch) + (ch == 0xFB ? 1 : 0)) << "ink past the advance of " << kGrid[r][c];
      EXPECT_GE(lowest, 1) << "ink in the bottom row of the cell of " << ch;
    }
  // Letters stand on row 4 of their cells.
  for (int c : {11, 13, 17})  // A B D
    for (int x = 0; x < 14; ++x) EXPECT_EQ(kInterface.at(14 * c + x, 3)[3], 0);
}

TEST(BuiltinImages, PanelAndBarMiddlesTile) {
  // Nine-slice panels 11 to 15: columns 35-65 and rows 30-70 of each block
  // repeat, so every pixel there equals the block's centre in its row and
  // column direction.
  for (int block = 0; block < 5; ++block) {
    const int x0 = 1 + 101 * block, y0 = 358;
    for (int row = y0 + 30; row < y0 + 70; ++row)
      for (int x = x0 + 35; x < x0 + 65; ++x) ASSERT_TRUE(kInterface.same(x, row, x0 + 50, y0 + 50)) << block;
    for (int row = y0 + 30; row < y0 + 70; ++row)  // the side columns repeat downwards
      for (int x = x0; x < x0 + 35; ++x) ASSERT_TRUE(kInterface.same(x, row, x, y0 + 50)) << block;
  }
  // Three-slice bars: the middle repeats across.
  struct bar { int x0, x1, r0, r1; };
  const bar bars[] = {{11, 91, 487, 512}, {122, 182, 487, 512}, {314, 346, 486, 512}, {314, 346, 459, 485},
                      {122, 130, 161, 177}, {93, 101, 161, 177}, {250, 295, 242, 266}, {272, 303, 133, 159},
                      {383, 399, 488, 512}};
  for (const bar& b : bars)
    for (int row = b.r0; row < b.r1; ++row)
      for (int x = b.x0; x < b.x1; ++x) ASSERT_TRUE(kInterface.same(x, row, b.x0, row)) << b.x0 << "," << row;
}
