#include <gtest/gtest.h>
#include <squish.h>

#include <vector>

#include "textures/image_ops.h"

namespace {

TEX_image_desc desc_of(int format, int w, int h, int pad = 0, int mips = 0) {
  TEX_image_desc d;
  d.format = format;
  d.width = w;
  d.height = h;
  d.pad = pad;
  d.has_mipmaps = mips;
  return d;
}

}  // namespace

TEST(ImageBytes, EveryFormatWithAndWithoutItsMipChain) {
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_RGB, 4, 1, 2, 1)), (12 + 2) + (6 + 2) + (3 + 2));
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_BGRA, 3, 2, 1)), 26);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_ALPHA, 5, 3, 3, 0)), 24);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_DEPTH_COMPONENT, 5, 3, 3)), 60) << "depth ignores pad";
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 2, 2, 0, 1)), 16);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(0x1234, 8, 8, 0, 1)), 0);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_RGB, 0, 8, 0, 1)), 0) << "a zero side ends the chain";
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_RGBA, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF)), INT64_MAX);
  // The DXT sizes agree with the compression library, level by level.
  const int formats[] = {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT,
                         GL_COMPRESSED_RGBA_S3TC_DXT5_EXT};
  const int flags[] = {squish::kDxt1, squish::kDxt3, squish::kDxt5};
  for (int f = 0; f < 3; ++f)
    for (int w : {1, 3, 5, 64, 2048})
      for (int h : {1, 7, 100}) {
        std::int64_t chain = 0;
        for (int lw = w, lh = h;; lw = lw > 1 ? lw / 2 : 1, lh = lh > 1 ? lh / 2 : 1) {
          chain += squish::GetStorageRequirements(lw, lh, flags[f]);
          if (lw == 1 && lh == 1) break;
        }
        EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(formats[f], w, h, 0, 1)), chain) << w << "x" << h;
      }
}

TEST(ImageOps, DownscaleMeansOddSidesAndClampedFactors) {
  // 5 x 3 RGB with pad 2, shrunk by (2, 3): the fifth column is dropped.
  std::vector<unsigned char> px(17 * 3);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = static_cast<unsigned char>(i * 7);
  const std::vector<unsigned char> src = px;
  TEX_image_desc d = desc_of(GL_RGB, 5, 3, 2);
  TEX_downscale(d, px.data(), 2, 3);
  ASSERT_EQ(d.width, 2);
  ASSERT_EQ(d.height, 1);
  for (int x = 0; x < 2; ++x)
    for (int c = 0; c < 3; ++c) {
      int sum = 0;
      for (int y = 0; y < 3; ++y)
        for (int i = 0; i < 2; ++i) sum += src[y * 17 + (2 * x + i) * 3 + c];
      EXPECT_EQ(px[x * 3 + c], sum / 6) << "the mean of six, not a shift";
    }
  EXPECT_TRUE(std::equal(px.begin() + 6, px.end(), src.begin() + 6)) << "bytes after the image stay";
  // Factors past the side are held to it, below 1 to 1; (1, 1) changes nothing.
  std::vector<unsigned char> a = {10, 20, 30, 40};
  d = desc_of(GL_ALPHA, 4, 1);
  TEX_downscale(d, a.data(), 1, 1);
  EXPECT_EQ(a[0], 10);
  TEX_downscale(d, a.data(), 100, 0);
  EXPECT_EQ(d.width, 1);
  EXPECT_EQ(a[0], 25);
}

TEST(ImageOps, ChromaKeyOnFourByteImagesOnly) {
  const unsigned char key[3] = {255, 0, 255};
  std::vector<unsigned char> px = {255, 0, 255, 200, 250, 2, 253, 200, 240, 0, 255, 200, 9, 9, 9, 7};
  TEX_image_desc d = desc_of(GL_RGBA, 3, 1, 4);
  TEX_chroma_key(d, px.data(), key, 0);
  EXPECT_EQ(px[3], 200) << "threshold 0 changes nothing";
  TEX_chroma_key(d, px.data(), key, 10);
  EXPECT_EQ((std::vector<int>{px[3], px[7], px[11], px[15]}), (std::vector<int>{0, 0, 200, 7}));
  std::vector<unsigned char> bgra = {255, 0, 250, 99};  // B, G, R, A
  TEX_chroma_key(desc_of(GL_BGRA, 1, 1), bgra.data(), key, 6);
  EXPECT_EQ(bgra[3], 0);
  std::vector<unsigned char> rgb = {255, 0, 255, 9, 9, 9};
  TEX_chroma_key(desc_of(GL_RGB, 2, 1), rgb.data(), key, 1000);
  EXPECT_EQ(rgb, (std::vector<unsigned char>{255, 0, 255, 9, 9, 9}));
}

TEST(ImageOps, CompositeCopiesBlendsAndClips) {
  std::vector<unsigned char> src = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};  // 2 x 2 RGB
  std::vector<unsigned char> dst(64, 0);                                            // 4 x 4 RGBA
  TEX_composite(desc_of(GL_RGB, 2, 2), desc_of(GL_RGBA, 4, 4), src.data(), dst.data(), 1, 1, 3, 3);
  auto at = [&](int x, int y, int c) { return dst[(y * 4 + x) * 4 + c]; };
  EXPECT_EQ((std::vector<int>{at(1, 1, 0), at(2, 1, 0), at(1, 2, 2), at(2, 2, 1), at(1, 1, 3)}),
            (std::vector<int>{10, 40, 90, 110, 255}));
  EXPECT_EQ(at(0, 0, 3) + at(3, 3, 0), 0) << "outside the rectangle";
  // Half-transparent RGBA over RGB blends halfway.
  std::vector<unsigned char> s2 = {200, 100, 0, 128}, d2 = {0, 100, 200};
  TEX_composite(desc_of(GL_RGBA, 1, 1), desc_of(GL_RGB, 1, 1), s2.data(), d2.data(), 0, 0, 1, 1);
  EXPECT_NEAR(d2[0], 100, 1);
  EXPECT_NEAR(d2[2], 99, 1);
  // Outside, empty or inverted rectangles change nothing; a huge one clips.
  const std::vector<unsigned char> before = dst;
  for (float r : {-1.0f, 2.0f}) {
    TEX_composite(desc_of(GL_RGB, 2, 2), desc_of(GL_RGBA, 4, 4), src.data(), dst.data(), 10, 10, 12, 12);
    TEX_composite(desc_of(GL_RGB, 2, 2), desc_of(GL_RGBA, 4, 4), src.data(), dst.data(), 2, 0, r, 4);
  }
  EXPECT_EQ(dst, before);
  std::vector<unsigned char> big(16, 0);
  TEX_composite(desc_of(GL_RGB, 2, 2), desc_of(GL_RGBA, 2, 2), src.data(), big.data(), -1e30f, -1e30f, 1e30f, 1e30f);
  EXPECT_EQ(big[15], 255);
}
