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
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_RGBA, 1, 1, 0, 1)), 4);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_BGRA, 3, 2, 1)), (12 + 1) * 2);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_BGR, 3, 2, 1)), (9 + 1) * 2);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_ALPHA, 5, 3, 3)), 8 * 3);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_DEPTH_COMPONENT, 5, 3, 3)), 60) << "depth ignores pad";
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 2, 2)), 8);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 2, 2, 0, 1)), 16);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(0x1234, 8, 8)), 0);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(0x1234, 8, 8, 0, 1)), 0);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_RGB, -4, 8)), 0);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_RGB, 0, 8, 0, 1)), 0) << "a zero side ends the chain";
  // Sizes are 64-bit; one beyond even that is held at the largest.
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_RGBA, 0x7FFFFFFF, 4)), std::int64_t{0x7FFFFFFF} * 16);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_RGBA, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF)), INT64_MAX);

  // The DXT sizes agree with the compression library, level by level.
  const int formats[] = {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT,
                         GL_COMPRESSED_RGBA_S3TC_DXT5_EXT};
  const int flags[] = {squish::kDxt1, squish::kDxt3, squish::kDxt5};
  for (int f = 0; f < 3; ++f) {
    for (int w : {1, 3, 4, 5, 64, 2048}) {
      for (int h : {1, 2, 7, 8, 100}) {
        std::int64_t chain = 0;
        for (int lw = w, lh = h;; lw = lw > 1 ? lw / 2 : 1, lh = lh > 1 ? lh / 2 : 1) {
          chain += squish::GetStorageRequirements(lw, lh, flags[f]);
          if (lw == 1 && lh == 1) break;
        }
        EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(formats[f], w, h)),
                  squish::GetStorageRequirements(w, h, flags[f]));
        EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(formats[f], w, h, 0, 1)), chain) << w << "x" << h;
      }
    }
  }
}

TEST(ImageDownscale, BoxMeansInPlace) {
  // 4 x 4 RGBA, each byte distinct; 2 x 2 boxes.
  std::vector<unsigned char> px(64);
  for (int i = 0; i < 64; ++i) px[i] = static_cast<unsigned char>(i * 3 + (i % 5));
  const std::vector<unsigned char> src = px;
  TEX_image_desc d = desc_of(GL_RGBA, 4, 4);
  TEX_downscale(d, px.data(), 2, 2);
  ASSERT_EQ(d.width, 2);
  ASSERT_EQ(d.height, 2);
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i)
      for (int c = 0; c < 4; ++c) {
        const int s = src[((2 * j) * 4 + 2 * i) * 4 + c] + src[((2 * j) * 4 + 2 * i + 1) * 4 + c] +
                      src[((2 * j + 1) * 4 + 2 * i) * 4 + c] + src[((2 * j + 1) * 4 + 2 * i + 1) * 4 + c];
        EXPECT_EQ(px[(j * 2 + i) * 4 + c], s / 4) << i << "," << j << "," << c;
      }
  EXPECT_TRUE(std::equal(px.begin() + 16, px.end(), src.begin() + 16)) << "bytes after the image stay";
}

TEST(ImageDownscale, OddSidesPadFactorsOfThreeAndClampedFactors) {
  // 5 x 3 RGB with pad 2, shrunk by (2, 1): the fifth column is dropped and
  // every output row starts at its own source row.
  const int row = 5 * 3 + 2;
  std::vector<unsigned char> px(row * 3);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = static_cast<unsigned char>(i * 7);
  std::vector<unsigned char> src = px;
  TEX_image_desc d = desc_of(GL_RGB, 5, 3, 2);
  TEX_downscale(d, px.data(), 2, 1);
  ASSERT_EQ(d.width, 2);
  ASSERT_EQ(d.height, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x)
      for (int c = 0; c < 3; ++c)
        EXPECT_EQ(px[y * (6 + 2) + x * 3 + c], (src[y * row + 2 * x * 3 + c] + src[y * row + (2 * x + 1) * 3 + c]) / 2);

  // A factor of 3 divides by 3 (not by 4); (1, 1) changes nothing.
  std::vector<unsigned char> a = {30, 60, 90, 200, 201, 202, 1, 2, 3};
  d = desc_of(GL_ALPHA, 9, 1);
  TEX_downscale(d, a.data(), 3, 1);
  EXPECT_EQ(d.width, 3);
  EXPECT_EQ(a[0], 60);
  EXPECT_EQ(a[1], 201);
  EXPECT_EQ(a[2], 2);
  std::vector<unsigned char> same = {9, 8, 7, 6};
  d = desc_of(GL_ALPHA, 2, 2);
  TEX_downscale(d, same.data(), 1, 1);
  EXPECT_EQ(same, (std::vector<unsigned char>{9, 8, 7, 6}));
  EXPECT_EQ(d.width, 2);

  // Factors past the side are held to it; below 1 to 1.
  std::vector<unsigned char> b = {10, 20, 30, 40};
  d = desc_of(GL_ALPHA, 4, 1);
  TEX_downscale(d, b.data(), 100, 0);
  EXPECT_EQ(d.width, 1);
  EXPECT_EQ(d.height, 1);
  EXPECT_EQ(b[0], 25);

  // A compressed image is not touched.
  std::vector<unsigned char> blocks(8, 0x5A);
  d = desc_of(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 4, 4);
  TEX_downscale(d, blocks.data(), 2, 2);
  EXPECT_EQ(d.width, 4);
  EXPECT_EQ(blocks, std::vector<unsigned char>(8, 0x5A));
}

TEST(ImageChromaKey, OnlyNearKeyPixelsOfFourByteImages) {
  const unsigned char key[3] = {255, 0, 255};
  std::vector<unsigned char> px = {255, 0, 255, 200,  // exactly the key
                                   250, 2, 253, 200,  // distance 9
                                   240, 0, 255, 200,  // distance 15
                                   0,   0, 0,   7,    // pad
                                   0,   0, 0,   200, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  TEX_image_desc d = desc_of(GL_RGBA, 3, 2, 4);
  std::vector<unsigned char> none = px;
  TEX_chroma_key(d, none.data(), key, 0);
  EXPECT_EQ(none, px) << "threshold 0 changes nothing";
  TEX_chroma_key(d, px.data(), key, 10);
  EXPECT_EQ(px[3], 0);
  EXPECT_EQ(px[7], 0);
  EXPECT_EQ(px[11], 200);
  EXPECT_EQ(px[15], 7) << "the pad is not a pixel";
  EXPECT_EQ(px[19], 200);

  // BGRA holds the key's channels the other way round; RGB is left alone.
  std::vector<unsigned char> bgra = {10, 20, 30, 99};
  const unsigned char rgb_key[3] = {30, 20, 10};
  TEX_chroma_key(desc_of(GL_BGRA, 1, 1), bgra.data(), rgb_key, 1);
  EXPECT_EQ(bgra[3], 0);
  std::vector<unsigned char> rgb = {30, 20, 10, 99, 99, 99};
  TEX_chroma_key(desc_of(GL_RGB, 2, 1), rgb.data(), rgb_key, 1000);
  EXPECT_EQ(rgb, (std::vector<unsigned char>{30, 20, 10, 99, 99, 99}));
}

TEST(ImageComposite, OpaqueCopyBlendAlphaAndClipping) {
  // A 2 x 2 opaque RGB source drawn 1:1 at (1, 1) of a 4 x 4 RGBA image.
  std::vector<unsigned char> src = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
  std::vector<unsigned char> dst(64, 0);
  TEX_composite(desc_of(GL_RGB, 2, 2), desc_of(GL_RGBA, 4, 4), src.data(), dst.data(), 1, 1, 3, 3);
  auto at = [&](int x, int y, int c) { return dst[(y * 4 + x) * 4 + c]; };
  EXPECT_EQ(at(1, 1, 0), 10);
  EXPECT_EQ(at(1, 1, 3), 255);
  // Pixel (2, 1) samples u = 1: weight 1 on source column 1.
  EXPECT_EQ(at(2, 1, 0), 40);
  EXPECT_EQ(at(1, 2, 2), 90);
  EXPECT_EQ(at(2, 2, 1), 110);
  EXPECT_EQ(at(0, 0, 3), 0) << "outside the rectangle";
  EXPECT_EQ(at(3, 3, 0), 0);

  // A half-transparent RGBA source over an RGB destination blends halfway.
  std::vector<unsigned char> s2 = {200, 100, 0, 128};
  std::vector<unsigned char> d2 = {0, 100, 200};
  TEX_composite(desc_of(GL_RGBA, 1, 1), desc_of(GL_RGB, 1, 1), s2.data(), d2.data(), 0, 0, 1, 1);
  EXPECT_NEAR(d2[0], 100, 1);
  EXPECT_NEAR(d2[1], 100, 1);
  EXPECT_NEAR(d2[2], 99, 1);

  // Wholly outside, empty or inverted rectangles change nothing.
  std::vector<unsigned char> before = dst;
  TEX_composite(desc_of(GL_RGB, 2, 2), desc_of(GL_RGBA, 4, 4), src.data(), dst.data(), 10, 10, 12, 12);
  TEX_composite(desc_of(GL_RGB, 2, 2), desc_of(GL_RGBA, 4, 4), src.data(), dst.data(), -5, -5, -1, -1);
  TEX_composite(desc_of(GL_RGB, 2, 2), desc_of(GL_RGBA, 4, 4), src.data(), dst.data(), 2, 0, 2, 4);
  TEX_composite(desc_of(GL_RGB, 2, 2), desc_of(GL_RGBA, 4, 4), src.data(), dst.data(), 0, 3, 4, 1);
  EXPECT_EQ(dst, before);

  // A rectangle far larger than the destination is clipped to it.
  std::vector<unsigned char> big(16, 0);
  TEX_composite(desc_of(GL_RGB, 2, 2), desc_of(GL_RGBA, 2, 2), src.data(), big.data(), -1e30f, -1e30f, 1e30f,
                1e30f);
  EXPECT_EQ(big[3], 255);
}

TEST(ImageLayout, SidesRowLengthAndBuffer) {
  image_layout l;
  std::string why;
  ASSERT_TRUE(TEX_plan_layout(3, 2, 3, 0, 1, l, why));
  EXPECT_EQ(l.pad, 3);
  EXPECT_EQ(l.rows, 2);
  EXPECT_EQ(l.total, 24);
  EXPECT_TRUE(l.clear);
  ASSERT_TRUE(TEX_plan_layout(3, 2, 4, 2048, 0, l, why));
  EXPECT_EQ(l.pad, (2048 - 3) * 4);
  EXPECT_FALSE(l.clear);
  EXPECT_FALSE(TEX_plan_layout(3, 2, 4, 2, 0, l, why)) << "row shorter than the image";
  EXPECT_FALSE(TEX_plan_layout(0, 2, 4, 0, 0, l, why));
  EXPECT_FALSE(TEX_plan_layout(2049, 2, 4, 0, 0, l, why));
  EXPECT_FALSE(TEX_plan_layout(4, -4, 4, 0, 0, l, why));

  ASSERT_TRUE(TEX_plan_layout(4, 4, 4, 0, 0, l, why));
  unsigned char small[63];
  unsigned char* p = small;
  int owned = 0;
  EXPECT_FALSE(TEX_prepare_destination(p, sizeof small, l, owned, why));
  EXPECT_EQ(why, "image too large for its buffer");
  p = nullptr;
  ASSERT_TRUE(TEX_prepare_destination(p, 0, l, owned, why));
  EXPECT_EQ(owned, 1);
  free(p);
}
