#include <gtest/gtest.h>
#include <squish.h>

#include <utility>
#include <vector>

#include "textures/dxt_flip.h"
#include "textures/image_fixtures.h"
#include "ui/colr.h"

namespace {

struct GammaSwitch {
  explicit GammaSwitch(int on) : saved(colr.gamma_on) { colr.gamma_on = on; }
  ~GammaSwitch() { colr.gamma_on = saved; }
  int saved;
};

TEX_image_desc desc_of(int format, int w, int h, int mips = 0) {
  TEX_image_desc d;
  d.format = format;
  d.width = w;
  d.height = h;
  d.has_mipmaps = mips;
  return d;
}

unsigned short gamma565(unsigned short c) {
  const int r5 = c >> 11, g6 = (c >> 5) & 63, b5 = c & 31;
  return static_cast<unsigned short>(((colr.gamma_table[(r5 << 3) | (r5 >> 2)] >> 3) << 11) |
                                     ((colr.gamma_table[(g6 << 2) | (g6 >> 4)] >> 2) << 5) |
                                     (colr.gamma_table[(b5 << 3) | (b5 >> 2)] >> 3));
}
void set565(unsigned char* p, unsigned short c) {
  p[0] = static_cast<unsigned char>(c & 0xFF);
  p[1] = static_cast<unsigned char>(c >> 8);
}
unsigned short get565(const unsigned char* p) { return static_cast<unsigned short>(p[0] | (p[1] << 8)); }

}  // namespace

TEST(Flip, UncompressedRowsSwapWithTheirPad) {
  std::vector<unsigned char> px(24 + 3);  // 2 x 3 RGB, pad 2; then a 1 x 1 level
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = static_cast<unsigned char>(i);
  TEX_image_desc d = desc_of(GL_RGB, 2, 3, 1);
  d.pad = 2;
  EXPECT_EQ(TEX_flip_y(d, px.data()), 0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ((std::vector<int>{px[i], px[8 + i], px[16 + i]}), (std::vector<int>{16 + i, 8 + i, i}));
  EXPECT_EQ(px[24], 24);
  d.height = 0;
  EXPECT_EQ(TEX_flip_y(d, px.data()), 0);
  EXPECT_EQ(px[0], 16) << "a zero-height image is left alone";
}

TEST(Flip, EveryDxtFormatAndLevelDecodesUpsideDown) {
  GammaSwitch off(0);
  // A square chain, one narrower than a block, an odd number of block rows,
  // one block row, and levels under 4 pixels high.
  const int sides[][3] = {{16, 16, 1}, {2, 16, 1}, {8, 12, 0}, {12, 4, 0}, {8, 2, 1}};
  for (int format : {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT}) {
    for (const auto& s : sides) {
      const fixture::chain c = fixture::compress_chain(format, s[0], s[1], s[2] != 0, format != GL_COMPRESSED_RGB_S3TC_DXT1_EXT);
      std::vector<unsigned char> data = c.bytes;
      ASSERT_EQ(TEX_bytes_needed_for_image(desc_of(format, s[0], s[1], s[2])), static_cast<std::int64_t>(data.size()));
      EXPECT_EQ(TEX_flip_y(desc_of(format, s[0], s[1], s[2]), data.data()), 0);
      std::size_t at = 0;
      for (auto [w, h] : c.sizes) {
        EXPECT_EQ(fixture::decode_dxt(&data[at], w, h, format),
                  fixture::flipped_rows(fixture::decode_dxt(&c.bytes[at], w, h, format), w, h))
            << std::hex << format << std::dec << " level " << w << "x" << h;
        at += squish::GetStorageRequirements(w, h, fixture::squish_flags(format));
      }
    }
  }

  // Over 4 pixels high, a height that is not a multiple of 4 moves rows into
  // other block rows: a chain with such a level anywhere is left as it is by
  // the flip and decoded instead, exactly, bottom-up. An opaque DXT1 chain
  // decodes to RGB (the index 3 that its partial blocks give to pixels
  // outside the image does not count), the others to RGBA.
  EXPECT_EQ(TEX_dxt_flips_in_place(desc_of(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 16, 24, 0)), 1);
  EXPECT_EQ(TEX_dxt_flips_in_place(desc_of(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 16, 24, 1)), 0) << "its 16 x 6 level";
  const int dxt1 = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
  for (auto [format, alpha] : {std::pair{dxt1, false}, {dxt1, true}, {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, true},
                               {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, true}}) {
    const fixture::chain c = fixture::compress_chain(format, 12, 10, true, alpha);
    const TEX_image_desc d = desc_of(format, 12, 10, 1);
    std::vector<unsigned char> data = c.bytes;
    EXPECT_EQ(TEX_flip_y(d, data.data()), -1);
    EXPECT_EQ(data, c.bytes);
    const int to = TEX_dxt_decoded_format(d, c.bytes.data());
    ASSERT_EQ(to, alpha ? GL_RGBA : GL_RGB) << format;
    const int bpp = alpha ? 4 : 3;
    std::vector<unsigned char> out(static_cast<std::size_t>(TEX_bytes_needed_for_image(desc_of(to, 12, 10, 1))));
    TEX_decode_dxt_flipped(d, c.bytes.data(), to, out.data());
    std::size_t at = 0, out_at = 0;
    for (auto [w, h] : c.sizes) {
      std::vector<unsigned char> got;
      for (int i = 0; i < w * h * 4; ++i) got.push_back(i % 4 < bpp ? out[out_at + i / 4 * bpp + i % 4] : 255);
      EXPECT_EQ(got, fixture::flipped_rows(fixture::decode_dxt(&c.bytes[at], w, h, format), w, h))
          << std::hex << format << std::dec << " level " << w << "x" << h;
      at += squish::GetStorageRequirements(w, h, fixture::squish_flags(format));
      out_at += static_cast<std::size_t>(w) * h * bpp;
    }
    EXPECT_EQ(out_at, out.size());
  }
}

TEST(Flip, TransparencyFlagFromDxt1BlocksInsideTheImage) {
  GammaSwitch off(0);
  const int dxt1 = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
  fixture::chain see_through = fixture::compress_chain(dxt1, 8, 8, true, true);
  EXPECT_EQ(TEX_flip_y(desc_of(dxt1, 8, 8, 1), see_through.bytes.data()), 1);
  // The compressor marks the unused pixels of the 2 x 2 and 1 x 1 levels
  // with index 3: they do not count.
  fixture::chain opaque = fixture::compress_chain(dxt1, 8, 8, true, false);
  EXPECT_EQ(TEX_flip_y(desc_of(dxt1, 8, 8, 1), opaque.bytes.data()), 0);
  DXTColBlock b[2] = {};
  set565(b[0].col0, 0x1234);  // three colours, index 3 used: transparent
  set565(b[0].col1, 0x1234);
  b[0].row[2] = 0x0C;
  set565(b[1].col0, 0x8000);  // four colours: index 3 is a colour
  b[1].row[0] = 0xFF;
  EXPECT_EQ(nv_flip_blocks_dxtc1(&b[1], 1, 0), 0);
  EXPECT_EQ(nv_flip_blocks_dxtc1(b, 1, 0), 1);
  EXPECT_EQ(b[0].row[1], 0x0C) << "rows reversed";
}

TEST(Flip, GammaKeepsWhatEveryIndexMeans) {
  GammaSwitch on(1);
  EXPECT_EQ((std::vector<int>{colr.gamma_table[0], colr.gamma_table[128], colr.gamma_table[255]}),
            (std::vector<int>{0, 145, 255}));
  DXTColBlock bw = {{0, 0}, {0xFF, 0xFF}, {0xE4}};  // black and white stay
  nv_gamma_correct(&bw);
  EXPECT_EQ(get565(bw.col0) | (get565(bw.col1) ^ 0xFFFF) | (bw.row[0] ^ 0xE4), 0);
  // Endpoints that map to one value: colour 0 one step above colour 1, and
  // the indices remapped (0<->1, 2<->3).
  unsigned short lo = 0;
  while (gamma565(lo) != gamma565(static_cast<unsigned short>(lo + 1))) ++lo;
  DXTColBlock same = {};
  set565(same.col0, static_cast<unsigned short>(lo + 1));
  set565(same.col1, lo);
  same.row[0] = 0xE4;
  nv_gamma_correct(&same);
  unsigned short up = gamma565(lo);
  IncColor565(up);
  EXPECT_EQ(get565(same.col0), up);
  EXPECT_EQ(get565(same.col1), gamma565(lo));
  EXPECT_EQ(same.row[0], 0xB1);

  // A DXT5 block whose endpoints change order under the table (decoded with
  // four colours whatever the order) and a transparent DXT1 chain: every
  // pixel decodes to the gamma of its old colour.
  unsigned short c0 = 0, c1 = 0;
  for (unsigned a = 0; a < 0x10000 && !c1; a += 7)
    for (unsigned b = a + 1; b < 0x10000 && !c1; b += 97)
      if (gamma565(static_cast<unsigned short>(a)) > gamma565(static_cast<unsigned short>(b)) &&
          ((a >> 5) & 63) > ((b >> 5) & 63) + 30) {
        c0 = static_cast<unsigned short>(a);
        c1 = static_cast<unsigned short>(b);
      }
  ASSERT_NE(c1, 0);
  fixture::chain dxt5;
  dxt5.bytes.assign(16, 0xE4);
  dxt5.bytes[0] = dxt5.bytes[1] = 255;
  set565(&dxt5.bytes[8], c0);
  set565(&dxt5.bytes[10], c1);
  dxt5.sizes = {{4, 4}};
  fixture::chain dxt1 = fixture::compress_chain(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 16, 16, false, true);
  for (auto [format, c] : {std::pair<int, fixture::chain*>{GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, &dxt5},
                           std::pair<int, fixture::chain*>{GL_COMPRESSED_RGB_S3TC_DXT1_EXT, &dxt1}}) {
    const int side = c->sizes[0].first;
    std::vector<unsigned char> data = c->bytes;
    TEX_flip_y(desc_of(format, side, side), data.data());
    const auto want = fixture::flipped_rows(fixture::decode_dxt(c->bytes.data(), side, side, format), side, side);
    const auto got = fixture::decode_dxt(data.data(), side, side, format);
    std::vector<unsigned char> decoded(got.size());
    TEX_decode_dxt_flipped(desc_of(format, side, side), c->bytes.data(), GL_RGBA, decoded.data());
    EXPECT_EQ(decoded, got) << "the decode applies the same gamma";
    for (std::size_t i = 0; i < want.size(); ++i)
      EXPECT_NEAR(got[i], i % 4 == 3 ? want[i] : colr.gamma_table[want[i]], i % 4 == 3 ? 0 : 12) << format << " " << i;
  }
}

TEST(Flip, ColourStepsAndAlphaRows) {
  // (colour, step up?) -> (result, changed)
  const unsigned short cases[][4] = {{0x0001, 0, 0x0000, 1}, {0x0800, 0, 0x0000, 1}, {0x0000, 0, 0x0000, 0},
                                     {0x07FF, 1, 0x0FFF, 1}, {0xFFFF, 1, 0xFFFF, 0}};
  for (const auto& c : cases) {
    unsigned short v = c[0];
    EXPECT_EQ(c[1] ? IncColor565(v) : DecColor565(v), c[3]) << c[0];
    EXPECT_EQ(v, c[2]);
  }
  // Alpha rows 0x001, 0x032, 0x045, 0x076 become 0x076, 0x045, 0x032, 0x001.
  DXT5AlphaBlock a = {1, 2, {0x01, 0x20, 0x03, 0x45, 0x60, 0x07}};
  nv_flip_dxt5_alpha(&a);
  EXPECT_EQ(std::vector<unsigned char>(a.row, a.row + 6), (std::vector<unsigned char>{0x76, 0x50, 0x04, 0x32, 0x10, 0x00}));
}

TEST(FlipDeathTest, DepthImageIsAnIllegalFormat) {
  std::vector<unsigned char> px(64);
  EXPECT_EXIT(TEX_flip_y(desc_of(GL_DEPTH_COMPONENT, 4, 4), px.data()), ::testing::ExitedWithCode(1), "Illegal format!");
}
