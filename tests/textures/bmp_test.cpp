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
using bytes = std::vector<unsigned char>;

// Reads the file at path into a buffer of row_pixels-long rows (0: its own)
// that holds size bytes (0: the reader allocates); the whole buffer.
bytes read_at(const std::string& path, unsigned int format, int pow2 = 0, int row_pixels = 0, std::int64_t size = 0) {
  xmap_class map(path);
  bytes buf(size ? size : 1, 0xEE);
  unsigned char* data = size ? buf.data() : nullptr;
  TEX_image_desc desc;
  if (TEX_load_bmp(path, &map, data, format, row_pixels, pow2, desc, size) != 1) return {};
  if (size) return buf;
  const int rows = pow2 ? TEX_next_pow2(desc.height) : desc.height;
  bytes px(data, data + rows * (TEX_bytes_per_pixel(format) * desc.width + desc.pad));
  free(data);
  return px;
}

bytes read(const std::string& file, unsigned int format, int pow2 = 0, int row_pixels = 0, std::int64_t size = 0) {
  TempDir dir;
  write_file(dir / "a.bmp", file);
  return read_at(dir / "a.bmp", format, pow2, row_pixels, size);
}

std::string one(unsigned char b, unsigned char g, unsigned char r) {
  return fixture::make_bmp(1, 1, [=](int, int) { return bgr{b, g, r}; });
}

}  // namespace

TEST(BmpRead, RowsGammaMagentaGreyAndPadding) {
  // 2 x 2: file rows of 8 bytes, the first the bottom one; R, G, B through
  // the gamma table (0 stays 0, 255 stays 255, 128 becomes 145).
  const std::string two = fixture::make_bmp(2, 2, [](int x, int y) {
    return bgr{static_cast<unsigned char>(x * 255), 128, static_cast<unsigned char>(y * 128)};
  });
  ASSERT_EQ(two.size(), 54u + 16);
  EXPECT_EQ(read(two, GL_RGB), (bytes{0, 145, 0, 0, 145, 255, 145, 145, 0, 145, 145, 255}));
  colr.gamma_on = 0;
  EXPECT_EQ(read(two, GL_RGB)[1], 128);
  colr.gamma_on = 1;
  EXPECT_EQ(read(one(255, 0, 255), GL_RGBA), (bytes{0, 0, 0, 0}));
  EXPECT_EQ(read(one(255, 0, 255), GL_RGB), (bytes{255, 0, 255}));
  EXPECT_EQ(read(one(254, 0, 255), GL_RGBA), (bytes{255, 0, 254, 255}));
  EXPECT_EQ(read(one(30, 60, 90), GL_ALPHA), (bytes{60}));

  // 3 x 3 padded to 4 x 4 (zeros), and into rows of 8 pixels (pad untouched).
  const std::string three = fixture::make_bmp(3, 3, [](int, int) { return bgr{0, 0, 255}; });
  bytes p = read(three, GL_RGBA, 1);
  ASSERT_EQ(p.size(), 64u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(p[i * 4 + 3], i % 4 < 3 && i < 12 ? 255 : 0) << i;
  p = read(three, GL_RGB, 0, 8, 8 * 3 * 3);
  EXPECT_EQ(bytes(p.begin() + 24, p.begin() + 34), (bytes{255, 0, 0, 255, 0, 0, 255, 0, 0, 0xEE}));
}

TEST(BmpReadDeathTest, RefusalsNameThePath) {
  auto px = [](int, int) { return bgr{1, 2, 3}; };
  const std::string good = fixture::make_bmp(4, 4, px);
  std::string neg = good, huge = good, far = good;
  fixture::put32(neg, 22, static_cast<std::uint32_t>(-4));
  fixture::put32(huge, 18, 1u << 30);
  fixture::put32(far, 10, 0xFFFFFFF0u);
  // The children write into this folder, which the parent removes: a child
  // that ends in the alert cannot clean up after itself.
  TempDir dir;
  auto at = [&](const std::string& file) {
    write_file(dir / "bad.bmp", file);
    return dir / "bad.bmp";
  };
  EXPECT_EXIT(read_at(at(good), GL_BGR), ::testing::ExitedWithCode(1), "Illegal desired format for bmp.");
  EXPECT_EXIT(read_at(at(fixture::make_bmp(4, 4, px, 16)), GL_RGB), ::testing::ExitedWithCode(1),
              "Wrong bitmap color depth for texture!\n\nWe need 24-bit color.\n\n\n\n.*bad.bmp");
  EXPECT_EXIT(read_at(at(good.substr(0, 27)), GL_RGB), ::testing::ExitedWithCode(1), "Wrong bitmap color depth");
  EXPECT_EXIT(read_at(at(fixture::make_bmp(4, 4, px, 24, 1)), GL_RGB), ::testing::ExitedWithCode(1),
              "Bitmap is compressed!(.|\n)*bad.bmp");
  EXPECT_EXIT(read_at(at(neg), GL_RGB), ::testing::ExitedWithCode(1), "Bitmap cannot be read!(.|\n)*bad.bmp");
  EXPECT_EXIT(read_at(at(huge), GL_RGB), ::testing::ExitedWithCode(1),
              "image too large: 1073741824 x 4 pixels, at most 2048 x 2048 can be read");
  EXPECT_EXIT(read_at(at(far), GL_RGB), ::testing::ExitedWithCode(1), "pixel rows past the end of the file");
  EXPECT_EXIT(read_at(at(good.substr(0, good.size() - 1)), GL_RGB), ::testing::ExitedWithCode(1), "past the end");
  EXPECT_EXIT(read_at(at(good), GL_RGBA, 0, 0, 63), ::testing::ExitedWithCode(1), "image too large for its buffer");
}
