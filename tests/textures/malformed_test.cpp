// Damaged image files: every reader is given each one in a heap block of
// exactly its size (and, where it writes into the caller's buffer, a buffer
// of exactly the size it says it needs), so that AddressSanitizer catches
// any read or write past the end. The readers must refuse or read them,
// never crash.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <vector>

#include "textures/image_fixtures.h"
#include "textures/tex_bmp.h"
#include "textures/tex_dds.h"
#include "textures/tex_png.h"

namespace {

using bgr = std::array<unsigned char, 3>;

int decode_png(const std::string& file, unsigned int format = GL_RGBA, int pow2 = 1) {
  std::vector<unsigned char> bytes(file.begin(), file.end());
  unsigned char* data = nullptr;
  TEX_image_desc desc;
  image_refusal why;
  const int r = TEX_decode_png(bytes.data(), static_cast<std::int64_t>(bytes.size()), "x.png", data, 0, format, 0,
                               pow2, 1, desc, why);
  if (r == 1) {
    EXPECT_TRUE(desc.width >= 1 && desc.width <= 2048 && desc.height >= 1 && desc.height <= 2048);
    free(data);
  } else {
    EXPECT_EQ(data, nullptr) << "a refused decode frees its buffer";
    if (r < 0) {
      EXPECT_FALSE(why.lines[0].empty());
    }
  }
  return r;
}

int decode_bmp(const std::string& file, unsigned int format = GL_RGB) {
  std::vector<unsigned char> bytes(file.begin(), file.end());
  unsigned char* data = nullptr;
  TEX_image_desc desc;
  image_refusal why;
  const int r =
      TEX_decode_bmp(bytes.data(), static_cast<std::int64_t>(bytes.size()), "x.bmp", data, 0, format, 0, 1, desc, why);
  if (r == 1) free(data);
  if (r != 1) {
    EXPECT_EQ(data, nullptr);
  }
  return r;
}

int parse_dds(const std::string& file) {
  std::vector<unsigned char> bytes(file.begin(), file.end());
  const unsigned char* data = nullptr;
  TEX_image_desc desc;
  const int r = TEX_parse_dds(bytes.data(), static_cast<std::int64_t>(bytes.size()), data, desc);
  if (r == 1) {
    // Touch every byte the descriptor claims.
    const std::int64_t n = TEX_bytes_needed_for_image(desc);
    unsigned sum = 0;
    for (std::int64_t i = 0; i < n; ++i) sum += data[i];
    EXPECT_GE(sum, 0u);
  }
  return r;
}

std::string noisy_png(int w, int h, int type, bool interlace) {
  fixture::png_spec s;
  s.width = w;
  s.height = h;
  s.color_type = type;
  s.interlace = interlace;
  const int ch = type == PNG_COLOR_TYPE_RGBA ? 4 : (type == PNG_COLOR_TYPE_RGB ? 3 : 1);
  if (type == PNG_COLOR_TYPE_PALETTE) {
    s.bit_depth = 8;
    for (int i = 0; i < 16; ++i)
      s.palette.push_back(png_color{static_cast<png_byte>(i * 16), static_cast<png_byte>(255 - i), 7});
    s.trns = {0, 50, 100};
  }
  s.rows = fixture::rows_of(w, h, ch, [type](int x, int y, int c) {
    const int v = x * 31 + y * 17 + c * 5;
    return type == PNG_COLOR_TYPE_PALETTE ? v % 16 : v;
  });
  return fixture::make_png(s);
}

// Overwrites a 4-byte big-endian PNG field and fixes the chunk's CRC, so
// that the changed value, not a bad checksum, is what the reader meets.
std::string with_ihdr_field(std::string png, int offset_in_ihdr, std::uint32_t value) {
  const std::size_t at = 16 + offset_in_ihdr;
  for (int i = 0; i < 4; ++i) png[at + i] = static_cast<char>(value >> (24 - 8 * i));
  const std::uint32_t crc =
      static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const unsigned char*>(png.data()) + 12, 17));
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
  return png;
}

}  // namespace

TEST(MalformedImages, EveryTruncationOfEveryKind) {
  for (const std::string& png : {noisy_png(9, 7, PNG_COLOR_TYPE_RGB, false), noisy_png(9, 7, PNG_COLOR_TYPE_RGBA, true),
                                 noisy_png(9, 7, PNG_COLOR_TYPE_PALETTE, false)}) {
    ASSERT_FALSE(png.empty());
    EXPECT_EQ(decode_png(png), 1);
    for (std::size_t n = 0; n + 12 < png.size(); ++n) {
      // Only the closing chunk may go: the rows end before it.
      EXPECT_EQ(decode_png(png.substr(0, n)), n < 8 ? 0 : -1) << n;
    }
  }

  const std::string bmp = fixture::make_bmp(5, 3, [](int x, int y) {
    return bgr{static_cast<unsigned char>(x), static_cast<unsigned char>(y), 9};
  });
  EXPECT_EQ(decode_bmp(bmp), 1);
  // The last row's padding (1 byte) is not needed.
  EXPECT_EQ(decode_bmp(bmp.substr(0, bmp.size() - 1)), 1);
  for (std::size_t n = 1; n + 1 < bmp.size(); ++n) EXPECT_EQ(decode_bmp(bmp.substr(0, n)), -1) << n;

  const std::string dds = fixture::make_dds("DXT5", 0x4, 16, 8, 0xA1007, 0x401008, 128 + 32 + 16 + 16 + 16);
  EXPECT_EQ(parse_dds(dds), 1);
  for (std::size_t n = 0; n < dds.size(); ++n) EXPECT_EQ(parse_dds(dds.substr(0, n)), 0) << n;
}

TEST(MalformedImages, ZeroNegativeAndHugeSizesAndOffsets) {
  const std::string png = noisy_png(4, 4, PNG_COLOR_TYPE_RGB, false);
  for (std::uint32_t w : {0u, 2049u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(decode_png(with_ihdr_field(png, 0, w)), -1) << w;
    EXPECT_EQ(decode_png(with_ihdr_field(png, 4, w)), -1) << w;
  }
  // A larger IHDR than the rows hold: the rows run out.
  EXPECT_EQ(decode_png(with_ihdr_field(png, 4, 2000)), -1);

  auto px = [](int, int) { return bgr{1, 2, 3}; };
  const std::string bmp = fixture::make_bmp(4, 4, px);
  for (std::uint32_t v : {0u, 2049u, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFCu}) {
    std::string w = bmp, h = bmp;
    fixture::put32(w, 18, v);
    fixture::put32(h, 22, v);
    EXPECT_EQ(decode_bmp(w), -1) << v;
    EXPECT_EQ(decode_bmp(h), -1) << v;
  }
  for (std::uint32_t off : {55u, 70u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    std::string o = bmp;
    fixture::put32(o, 10, off);
    EXPECT_EQ(decode_bmp(o), -1) << off;
  }
  // An offset inside the header is allowed while the rows fit the file.
  std::string early = bmp;
  fixture::put32(early, 10, 0);
  EXPECT_EQ(decode_bmp(early), 1);

  for (std::uint32_t v : {0u, 2049u, 0x80000000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(parse_dds(fixture::make_dds("DXT1", 0x4, static_cast<int>(v), 8, 0, 0, 4096)), 0) << v;
    EXPECT_EQ(parse_dds(fixture::make_dds("DXT1", 0x4, 8, static_cast<int>(v), 0, 0, 4096)), 0) << v;
  }
  // Chains one byte short, for every format and a few shapes.
  for (const char* four : {"DXT1", "DXT3", "DXT5"}) {
    for (int w : {1, 3, 64}) {
      for (int h : {1, 5, 64}) {
        TEX_image_desc d;
        d.format = four[3] == '1' ? GL_COMPRESSED_RGB_S3TC_DXT1_EXT
                                  : (four[3] == '3' ? GL_COMPRESSED_RGBA_S3TC_DXT3_EXT : GL_COMPRESSED_RGBA_S3TC_DXT5_EXT);
        d.width = w;
        d.height = h;
        d.has_mipmaps = 1;
        const std::size_t need = static_cast<std::size_t>(TEX_bytes_needed_for_image(d));
        EXPECT_EQ(parse_dds(fixture::make_dds(four, 0x4, w, h, 0xA1007, 0x401008, need)), 1);
        EXPECT_EQ(parse_dds(fixture::make_dds(four, 0x4, w, h, 0xA1007, 0x401008, need - 1)), 0);
      }
    }
  }
  EXPECT_EQ(parse_dds(fixture::make_dds(nullptr, 0x41, 2048, 2048, 0, 0, 2048 * 2048 * 4)), 1);
  EXPECT_EQ(parse_dds(fixture::make_dds(nullptr, 0x41, 2048, 2048, 0, 0, 2048 * 2048 * 4 - 1)), 0);
}

TEST(MalformedImages, DamagedBytesAnywhere) {
  // Deterministic damage: each round changes a few bytes of a good file.
  const std::string files[] = {noisy_png(13, 9, PNG_COLOR_TYPE_RGBA, true), noisy_png(8, 8, PNG_COLOR_TYPE_PALETTE, false),
                               fixture::make_bmp(6, 5, [](int x, int y) {
                                 return bgr{static_cast<unsigned char>(x), static_cast<unsigned char>(y), 0};
                               }),
                               fixture::make_dds("DXT1", 0x4, 8, 8, 0xA1007, 0x401008, 56)};
  unsigned seed = 12345;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
  int decoded = 0;
  for (int k = 0; k < 4; ++k) {
    for (int round = 0; round < 400; ++round) {
      std::string f = files[k];
      const int changes = 1 + next() % 4;
      for (int c = 0; c < changes; ++c) f[next() % f.size()] = static_cast<char>(next());
      if (next() % 4 == 0) f.resize(next() % f.size());
      int r = 0;
      if (k < 2) r = decode_png(f, next() % 2 ? GL_RGB : GL_ALPHA, next() % 2);
      if (k == 2) r = decode_bmp(f, next() % 2 ? GL_RGBA : GL_ALPHA);
      if (k == 3) r = parse_dds(f);
      EXPECT_TRUE(r == 1 || r == 0 || r == -1);
      decoded += r == 1;
    }
  }
  EXPECT_GT(decoded, 0) << "some damage is harmless";
}

TEST(MalformedImages, TheCallersBufferIsNeverOverrun) {
  // Each reader into a caller's buffer of exactly the bytes it needs, then
  // one byte less (refused before any write).
  const std::string png = noisy_png(7, 5, PNG_COLOR_TYPE_RGB, true);
  const std::string bmp = fixture::make_bmp(7, 5, [](int, int) { return bgr{5, 6, 7}; });
  for (int pow2 : {0, 1}) {
    for (int row_pixels : {0, 7, 11}) {
      image_layout l;
      std::string why;
      ASSERT_TRUE(TEX_plan_layout(7, 5, 4, row_pixels, pow2, l, why));
      for (std::int64_t size : {l.total, l.total - 1}) {
        std::vector<unsigned char> buf(static_cast<std::size_t>(size));
        unsigned char* data = buf.data();
        TEX_image_desc desc;
        image_refusal refusal;
        EXPECT_EQ(TEX_decode_png(reinterpret_cast<const unsigned char*>(png.data()), png.size(), "x", data, size,
                                 GL_RGBA, row_pixels, pow2, 0, desc, refusal),
                  size == l.total ? 1 : -1);
        EXPECT_EQ(data, buf.data());
        EXPECT_EQ(TEX_decode_bmp(reinterpret_cast<const unsigned char*>(bmp.data()), bmp.size(), "x", data, size,
                                 GL_RGBA, row_pixels, pow2, desc, refusal),
                  size == l.total ? 1 : -1);
      }
    }
  }
}
