#include <gtest/gtest.h>
#include <squish.h>

#include <cstdlib>
#include <vector>

#include "textures/dxt_flip.h"
#include "textures/image_fixtures.h"
#include "ui/colr.h"

namespace {

// Sets the colour table's gamma switch for one test.
class GammaSwitch {
 public:
  explicit GammaSwitch(int on) : saved_(colr.gamma_on) { colr.gamma_on = on; }
  ~GammaSwitch() { colr.gamma_on = saved_; }

 private:
  int saved_;
};

// A noisy picture with smooth parts, top-down RGBA; alpha < 128 in a few
// spots when transparent is set.
std::vector<unsigned char> picture(int w, int h, bool transparent, unsigned seed) {
  std::vector<unsigned char> px(static_cast<std::size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      unsigned char* p = &px[(static_cast<std::size_t>(y) * w + x) * 4];
      p[0] = static_cast<unsigned char>(x * 255 / (w > 1 ? w - 1 : 1));
      p[1] = static_cast<unsigned char>(y * 255 / (h > 1 ? h - 1 : 1));
      p[2] = static_cast<unsigned char>(seed >> 24);
      p[3] = static_cast<unsigned char>(transparent && (x + 2 * y) % 7 == 0 ? 0 : 128 + ((seed >> 16) & 127));
    }
  return px;
}

// The whole chain of a picture compressed level by level with libsquish,
// stored top-down as a DDS would hold it, with each level's size.
struct chain {
  std::vector<unsigned char> bytes;
  std::vector<std::pair<int, int>> sizes;
};

chain compress_chain(int format, int w, int h, bool mips, bool transparent) {
  chain c;
  for (unsigned level = 0;; ++level) {
    std::vector<unsigned char> px = picture(w, h, transparent, 7 + level);
    std::vector<unsigned char> out(squish::GetStorageRequirements(w, h, fixture::squish_flags(format)));
    squish::CompressImage(px.data(), w, h, out.data(), fixture::squish_flags(format));
    c.bytes.insert(c.bytes.end(), out.begin(), out.end());
    c.sizes.emplace_back(w, h);
    if (!mips || (w == 1 && h == 1)) break;
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  return c;
}

// Checks, level by level, that the flipped data decodes to the original's
// decoded rows in the other order.
void expect_flipped(const chain& before, const std::vector<unsigned char>& after, int format) {
  std::size_t at = 0;
  for (auto [w, h] : before.sizes) {
    const std::vector<unsigned char> want = fixture::flipped_rows(fixture::decode_dxt(&before.bytes[at], w, h, format), w, h);
    EXPECT_EQ(fixture::decode_dxt(&after[at], w, h, format), want) << "level " << w << "x" << h;
    at += squish::GetStorageRequirements(w, h, fixture::squish_flags(format));
  }
}

unsigned short gamma565(unsigned short c) {
  const int r5 = c >> 11, g6 = (c >> 5) & 63, b5 = c & 31;
  const int r = colr.gamma_table[(r5 << 3) | (r5 >> 2)];
  const int g = colr.gamma_table[(g6 << 2) | (g6 >> 4)];
  const int b = colr.gamma_table[(b5 << 3) | (b5 >> 2)];
  return static_cast<unsigned short>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

void set565(unsigned char* p, unsigned short c) {
  p[0] = static_cast<unsigned char>(c & 0xFF);
  p[1] = static_cast<unsigned char>(c >> 8);
}
unsigned short get565(const unsigned char* p) { return static_cast<unsigned short>(p[0] | (p[1] << 8)); }

}  // namespace

TEST(FlipRows, UncompressedRowsSwapWithTheirPad) {
  // 2 x 3 RGB with pad 2: rows of 8 bytes.
  std::vector<unsigned char> px(24);
  for (int i = 0; i < 24; ++i) px[i] = static_cast<unsigned char>(i);
  TEX_image_desc d;
  d.format = GL_RGB;
  d.width = 2;
  d.height = 3;
  d.pad = 2;
  EXPECT_EQ(TEX_flip_y(d, px.data()), 0);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(px[i], 16 + i);
    EXPECT_EQ(px[8 + i], 8 + i) << "the middle row stays";
    EXPECT_EQ(px[16 + i], i);
  }

  // A chain of RGBA levels (4 x 2, 2 x 1, 1 x 1), each flipped on its own.
  std::vector<unsigned char> m(32 + 8 + 4);
  for (std::size_t i = 0; i < m.size(); ++i) m[i] = static_cast<unsigned char>(i);
  d.format = GL_RGBA;
  d.width = 4;
  d.height = 2;
  d.pad = 0;
  d.has_mipmaps = 1;
  TEX_flip_y(d, m.data());
  EXPECT_EQ(m[0], 16);
  EXPECT_EQ(m[16], 0);
  EXPECT_EQ(m[32], 32) << "a one-row level stays";

  // A zero-height image is left alone.
  d.height = 0;
  d.has_mipmaps = 0;
  std::vector<unsigned char> z = {1, 2, 3};
  EXPECT_EQ(TEX_flip_y(d, z.data()), 0);
  EXPECT_EQ(z, (std::vector<unsigned char>{1, 2, 3}));
}

TEST(FlipDxt, EveryFormatEveryLevelDecodesFlipped) {
  GammaSwitch off(0);
  const int formats[] = {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT,
                         GL_COMPRESSED_RGBA_S3TC_DXT5_EXT};
  // A square chain down to 1 x 1, a chain narrower than a block, an odd
  // number of block rows, and a single block row.
  const int sides[][3] = {{16, 16, 1}, {2, 16, 1}, {8, 12, 0}, {12, 4, 0}, {8, 2, 1}};
  for (int format : formats) {
    for (const auto& s : sides) {
      const chain c = compress_chain(format, s[0], s[1], s[2] != 0, false);
      std::vector<unsigned char> data = c.bytes;
      TEX_image_desc d;
      d.format = format;
      d.width = s[0];
      d.height = s[1];
      d.has_mipmaps = s[2];
      ASSERT_EQ(TEX_bytes_needed_for_image(d), static_cast<std::int64_t>(data.size()));
      TEX_flip_y(d, data.data());
      SCOPED_TRACE(testing::Message() << std::hex << format << std::dec << " " << s[0] << "x" << s[1]);
      expect_flipped(c, data, format);
    }
  }
}

TEST(FlipDxt, TransparencyFlagComesFromDxt1BlocksOnly) {
  GammaSwitch off(0);
  TEX_image_desc d;
  d.format = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
  d.width = 8;
  d.height = 8;
  d.has_mipmaps = 1;
  chain see_through = compress_chain(d.format, 8, 8, true, true);
  EXPECT_EQ(TEX_flip_y(d, see_through.bytes.data()), 1);
  chain opaque = compress_chain(d.format, 8, 8, true, false);
  EXPECT_EQ(TEX_flip_y(d, opaque.bytes.data()), 0);
  d.format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
  chain dxt5 = compress_chain(d.format, 8, 8, true, true);
  EXPECT_EQ(TEX_flip_y(d, dxt5.bytes.data()), 0);

  // Index 3 means transparent only in three-colour mode.
  DXTColBlock b[2] = {};
  set565(b[0].col0, 0x1234);
  set565(b[0].col1, 0x1234);
  b[0].row[2] = 0x0C;  // pixel 1 of row 2 uses index 3
  set565(b[1].col0, 0x8000);
  set565(b[1].col1, 0x0001);
  b[1].row[0] = 0xFF;
  EXPECT_EQ(nv_flip_blocks_dxtc1(&b[1], 1, 0), 0);
  EXPECT_EQ(nv_flip_blocks_dxtc1(b, 1, 0), 1);
  EXPECT_EQ(b[0].row[1], 0x0C) << "rows reversed: 2 became 1";
  EXPECT_EQ(nv_flip_blocks_dxtc1(&b[1], 1, 1), 1) << "a flag already found stays";
}

TEST(FlipDxt, GammaKeepsModesBlackWhiteAndWhatIndicesMean) {
  GammaSwitch on(1);
  ASSERT_EQ(colr.gamma_table[0], 0);
  ASSERT_EQ(colr.gamma_table[128], 145);
  ASSERT_EQ(colr.gamma_table[255], 255);

  // Black and white endpoints stay where they are; a three-colour block
  // stays three-colour.
  DXTColBlock bw = {};
  set565(bw.col0, 0x0000);
  set565(bw.col1, 0xFFFF);
  bw.row[0] = 0xE4;  // indices 0, 1, 2, 3
  nv_gamma_correct(&bw);
  EXPECT_EQ(get565(bw.col0), 0x0000);
  EXPECT_EQ(get565(bw.col1), 0xFFFF);
  EXPECT_EQ(bw.row[0], 0xE4);

  // A four-colour block whose endpoints map to one value: colour 0 goes one
  // step above colour 1 and the indices are remapped (0<->1, 2<->3).
  unsigned short lo = 0, hi = 0;
  for (unsigned c = 1; c < 0xFFFF && !hi; ++c) {
    if (gamma565(static_cast<unsigned short>(c)) == gamma565(static_cast<unsigned short>(c - 1))) {
      hi = static_cast<unsigned short>(c);
      lo = static_cast<unsigned short>(c - 1);
    }
  }
  ASSERT_NE(hi, 0);
  DXTColBlock same = {};
  set565(same.col0, hi);
  set565(same.col1, lo);
  same.row[0] = 0xE4;
  nv_gamma_correct(&same);
  unsigned short g = gamma565(lo);
  ASSERT_TRUE(IncColor565(g));
  EXPECT_EQ(get565(same.col0), g);
  EXPECT_EQ(get565(same.col1), gamma565(lo));
  EXPECT_EQ(same.row[0], 0xB1) << "indices 1, 0, 3, 2";

  // A DXT5 block whose endpoints change order under the gamma table decodes
  // (always with four colours) to the gamma-mapped colours: indices 2 and 3
  // are remapped too.
  unsigned short c0 = 0, c1 = 0;
  for (unsigned a = 0; a < 0x10000 && !c1; a += 7) {
    for (unsigned b = a + 1; b < 0x10000; b += 97) {
      if (gamma565(static_cast<unsigned short>(a)) > gamma565(static_cast<unsigned short>(b)) &&
          ((a >> 5) & 63) > ((b >> 5) & 63) + 30) {
        c0 = static_cast<unsigned short>(a);
        c1 = static_cast<unsigned short>(b);
        break;
      }
    }
  }
  ASSERT_NE(c1, 0) << "no endpoint pair changes order";
  unsigned char block[16] = {255, 255};  // opaque alpha, all alpha indices 0
  set565(block + 8, c0);
  set565(block + 10, c1);
  for (int r = 0; r < 4; ++r) block[12 + r] = 0xE4;
  const std::vector<unsigned char> before = fixture::decode_dxt(block, 4, 4, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT);
  TEX_image_desc d;
  d.format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
  d.width = 4;
  d.height = 4;
  TEX_flip_y(d, block);
  EXPECT_EQ(get565(block + 8), gamma565(c1)) << "endpoints exchanged";
  EXPECT_EQ(get565(block + 10), gamma565(c0));
  const std::vector<unsigned char> after = fixture::decode_dxt(block, 4, 4, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT);
  for (int i = 0; i < 16; ++i)
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(after[i * 4 + c], colr.gamma_table[before[i * 4 + c]], 12) << "pixel " << i << " channel " << c;

  // Transparent DXT1 pixels stay transparent and every colour follows the
  // gamma table, through a whole flipped chain.
  chain c = compress_chain(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 16, 16, false, true);
  std::vector<unsigned char> data = c.bytes;
  d.format = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
  d.width = 16;
  d.height = 16;
  EXPECT_EQ(TEX_flip_y(d, data.data()), 1);
  const std::vector<unsigned char> want =
      fixture::flipped_rows(fixture::decode_dxt(c.bytes.data(), 16, 16, d.format), 16, 16);
  const std::vector<unsigned char> got = fixture::decode_dxt(data.data(), 16, 16, d.format);
  for (std::size_t i = 0; i < want.size(); i += 4) {
    EXPECT_EQ(got[i + 3], want[i + 3]);
    for (int ch = 0; ch < 3; ++ch) EXPECT_NEAR(got[i + ch], colr.gamma_table[want[i + ch]], 12);
  }
}

TEST(FlipDxt, ColourSteps) {
  unsigned short c = 0x0001;
  EXPECT_EQ(DecColor565(c), 1);
  EXPECT_EQ(c, 0x0000);
  c = 0x0800;
  EXPECT_EQ(DecColor565(c), 1);
  EXPECT_EQ(c, 0x0000);
  c = 0x0000;
  EXPECT_EQ(DecColor565(c), 0);
  EXPECT_EQ(c, 0x0000);
  c = 0x07FF;
  EXPECT_EQ(IncColor565(c), 1);
  EXPECT_EQ(c, 0x0FFF);
  c = 0x0020;
  EXPECT_EQ(IncColor565(c), 1);
  EXPECT_EQ(c, 0x0040);
  c = 0xFFFF;
  EXPECT_EQ(IncColor565(c), 0);
  EXPECT_EQ(c, 0xFFFF);

  DXT5AlphaBlock a = {1, 2, {0x01, 0x20, 0x03, 0x45, 0x60, 0x07}};
  nv_flip_dxt5_alpha(&a);
  // Rows 0..3 were 0x001, 0x032, 0x045, 0x076; now 0x076, 0x045, 0x032, 0x001.
  EXPECT_EQ(a.alpha0, 1);
  EXPECT_EQ(a.row[0], 0x76);
  EXPECT_EQ(a.row[1], 0x50);
  EXPECT_EQ(a.row[2], 0x04);
  EXPECT_EQ(a.row[3], 0x32);
  EXPECT_EQ(a.row[4], 0x10);
  EXPECT_EQ(a.row[5], 0x00);
}

TEST(FlipDxtDeathTest, DepthImageIsAnIllegalFormat) {
  TEX_image_desc d;
  d.format = GL_DEPTH_COMPONENT;
  d.width = 4;
  d.height = 4;
  std::vector<unsigned char> px(64);
  EXPECT_EXIT(TEX_flip_y(d, px.data()), ::testing::ExitedWithCode(1), "Illegal format!");
}
