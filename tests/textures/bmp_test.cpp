#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "files/xmap.h"
#include "support/temp_dir.h"
#include "textures/image_fixtures.h"
#include "textures/tex_bmp.h"
#include "ui/colr.h"

namespace {

using bgr = std::array<unsigned char, 3>;

struct read_back {
  int result = 0;
  TEX_image_desc desc;
  std::vector<unsigned char> px;
};

read_back read(const std::string& file, unsigned int format, int row_pixels = 0, int pow2 = 0) {
  TempDir dir;
  write_file(dir / "a.bmp", file);
  xmap_class map(dir / "a.bmp");
  read_back r;
  unsigned char* data = nullptr;
  r.result = TEX_load_bmp(dir / "a.bmp", &map, data, format, row_pixels, pow2, r.desc, 0);
  if (r.result != 1) return r;
  const int bpp = format == GL_RGBA ? 4 : (format == GL_RGB ? 3 : 1);
  const int rows = pow2 ? TEX_next_pow2(r.desc.height) : r.desc.height;
  r.px.assign(data, data + rows * (bpp * r.desc.width + r.desc.pad));
  free(data);
  return r;
}

}  // namespace

TEST(BmpRead, RowsGammaMagentaAndGrey) {
  ASSERT_EQ(colr.gamma_on, 1);
  // 2 x 2: file rows of 8 bytes (6 of pixels, 2 of padding).
  const std::string two = fixture::make_bmp(2, 2, [](int x, int y) {
    return bgr{static_cast<unsigned char>(x == 0 ? 0 : 255), static_cast<unsigned char>(128),
               static_cast<unsigned char>(y == 0 ? 0 : 128)};
  });
  ASSERT_EQ(two.size(), 54u + 16);
  read_back r = read(two, GL_RGB);
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(r.desc.width, 2);
  EXPECT_EQ(r.desc.height, 2);
  EXPECT_EQ(r.desc.pad, 0);
  // R, G, B through the gamma table (0 stays 0, 255 stays 255, 128 is 145);
  // the file's first row is the bottom one, as in the buffer.
  EXPECT_EQ(r.px, (std::vector<unsigned char>{0, 145, 0, 0, 145, 255, 145, 145, 0, 145, 145, 255}));

  const std::string magenta = fixture::make_bmp(1, 1, [](int, int) { return bgr{255, 0, 255}; });
  r = read(magenta, GL_RGBA);
  EXPECT_EQ(r.px, (std::vector<unsigned char>{0, 0, 0, 0}));
  r = read(magenta, GL_RGB);
  EXPECT_EQ(r.px, (std::vector<unsigned char>{255, 0, 255}));
  r = read(fixture::make_bmp(1, 1, [](int, int) { return bgr{254, 0, 255}; }), GL_RGBA);
  EXPECT_EQ(r.px, (std::vector<unsigned char>{255, 0, 254, 255}));

  r = read(fixture::make_bmp(1, 1, [](int, int) { return bgr{30, 60, 90}; }), GL_ALPHA);
  EXPECT_EQ(r.px, (std::vector<unsigned char>{60}));

  // Without the gamma switch the bytes pass unchanged.
  colr.gamma_on = 0;
  r = read(two, GL_RGB);
  colr.gamma_on = 1;
  EXPECT_EQ(r.px[1], 128);
}

TEST(BmpRead, PaddingToARowLengthOrToPowersOfTwo) {
  const std::string three = fixture::make_bmp(3, 3, [](int x, int y) {
    return bgr{static_cast<unsigned char>(x), static_cast<unsigned char>(y), 255};
  });
  read_back r = read(three, GL_RGBA, 0, 1);
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(r.desc.pad, 4);
  ASSERT_EQ(r.px.size(), 4u * 16);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const unsigned char* p = &r.px[(y * 4 + x) * 4];
      if (x < 3 && y < 3) {
        EXPECT_EQ(p[0], 255);
        EXPECT_EQ(p[3], 255);
      } else {
        EXPECT_EQ(p[0] | p[1] | p[2] | p[3], 0) << "padding is zero at " << x << "," << y;
      }
    }

  // Into the caller's buffer, rows of 8 pixels.
  TempDir dir;
  write_file(dir / "t.bmp", three);
  xmap_class map(dir / "t.bmp");
  std::vector<unsigned char> buf(8 * 3 * 3, 0xEE);
  unsigned char* data = buf.data();
  TEX_image_desc desc;
  ASSERT_EQ(TEX_load_bmp(dir / "t.bmp", &map, data, GL_RGB, 8, 0, desc, buf.size()), 1);
  EXPECT_EQ(desc.pad, 15);
  EXPECT_EQ(buf[24 + 9], 0xEE) << "the pad is not written";
  EXPECT_EQ(buf[24 + 2], colr.gamma_table[0]);
  EXPECT_EQ(buf[24 + 1], colr.gamma_table[1]);
}

TEST(BmpReadDeathTest, RefusalsNameThePath) {
  TempDir dir;
  auto run = [&](const std::string& file, unsigned int format, std::int64_t size) {
    write_file(dir / "bad.bmp", file);
    xmap_class map(dir / "bad.bmp");
    std::vector<unsigned char> buf(size > 0 ? size : 1);
    unsigned char* data = size > 0 ? buf.data() : nullptr;
    TEX_image_desc desc;
    TEX_load_bmp(dir / "bad.bmp", &map, data, format, 0, 0, desc, size);
  };
  auto grey = [](int, int) { return bgr{1, 2, 3}; };
  const std::string good = fixture::make_bmp(4, 4, grey);
  EXPECT_EXIT(run(good, GL_BGR, 0), ::testing::ExitedWithCode(1), "Illegal desired format for bmp.");
  EXPECT_EXIT(run(fixture::make_bmp(4, 4, grey, 16), GL_RGB, 0), ::testing::ExitedWithCode(1),
              "Wrong bitmap color depth for texture!\n\nWe need 24-bit color.\n\n\n\n.*bad.bmp");
  EXPECT_EXIT(run(good.substr(0, 27), GL_RGB, 0), ::testing::ExitedWithCode(1), "Wrong bitmap color depth");
  EXPECT_EXIT(run(fixture::make_bmp(4, 4, grey, 24, 1), GL_RGB, 0), ::testing::ExitedWithCode(1),
              "Bitmap is compressed!(.|\n)*bad.bmp");

  std::string neg = good;
  fixture::put32(neg, 22, static_cast<std::uint32_t>(-4));
  EXPECT_EXIT(run(neg, GL_RGB, 0), ::testing::ExitedWithCode(1), "Bitmap cannot be read!(.|\n)*bad.bmp");
  std::string huge = good;
  fixture::put32(huge, 18, 1u << 30);
  EXPECT_EXIT(run(huge, GL_RGB, 0), ::testing::ExitedWithCode(1), "Bitmap cannot be read!");
  std::string far = good;
  fixture::put32(far, 10, 0xFFFFFFF0u);
  EXPECT_EXIT(run(far, GL_RGB, 0), ::testing::ExitedWithCode(1), "pixel rows past the end of the file");
  EXPECT_EXIT(run(good.substr(0, good.size() - 1), GL_RGB, 0), ::testing::ExitedWithCode(1),
              "pixel rows past the end of the file");
  EXPECT_EXIT(run(good, GL_RGBA, 63), ::testing::ExitedWithCode(1), "image too large for its buffer");
}
