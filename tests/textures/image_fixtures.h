// Image files made by the tests themselves: PNGs written with libpng, 24-bit
// bitmaps and DDS headers built byte by byte, and DXT decoding through
// libsquish for comparisons.
#pragma once

#include <png.h>
#include <squish.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "textures/image_ops.h"

namespace fixture {

struct png_spec {
  int width = 1;
  int height = 1;
  int color_type = PNG_COLOR_TYPE_RGB;
  int bit_depth = 8;
  bool interlace = false;
  double gamma = 1.0 / 2.2;                        // 0: no gAMA chunk
  std::vector<std::vector<unsigned char>> rows;  // top-down, packed as the file stores them
  std::vector<png_color> palette;
  std::vector<unsigned char> trns;  // palette alphas
  int grey_key = -1;                // grey value made transparent by tRNS
};

inline void append(png_structp png, png_bytep data, png_size_t n) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), n);
}
inline void no_flush(png_structp) {}

inline std::string make_png(const png_spec& s) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return "";
  }
  png_set_write_fn(png, &out, append, no_flush);
  png_set_IHDR(png, info, s.width, s.height, s.bit_depth, s.color_type,
               s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (s.gamma > 0) png_set_gAMA(png, info, s.gamma);
  if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
  if (!s.trns.empty()) png_set_tRNS(png, info, s.trns.data(), static_cast<int>(s.trns.size()), nullptr);
  png_color_16 key{};
  key.gray = static_cast<png_uint_16>(s.grey_key);
  if (s.grey_key >= 0) png_set_tRNS(png, info, nullptr, 0, &key);
  png_write_info(png, info);
  for (const auto& r : s.rows) rows.push_back(const_cast<png_bytep>(r.data()));
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// Rows top-down of an 8-bit image whose byte (x, y, channel c) is value(x, y, c).
template <typename F>
std::vector<std::vector<unsigned char>> rows_of(int width, int height, int channels, F value) {
  std::vector<std::vector<unsigned char>> rows(height, std::vector<unsigned char>(width * channels));
  for (int y = 0; y < height; ++y)
    for (int i = 0; i < width * channels; ++i) rows[y][i] = static_cast<unsigned char>(value(i / channels, y, i % channels));
  return rows;
}

inline void put32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A bitmap with a 40-byte header; pixel(x, y) gives B, G, R of file row y
// (the first row in the file is the bottom of the picture).
template <typename F>
std::string make_bmp(int width, int height, F pixel, int bits = 24, int compression = 0) {
  const int stride = (3 * width + 3) & ~3;
  std::string s(54 + static_cast<std::size_t>(stride) * height, '\0');
  s[0] = 'B';
  s[1] = 'M';
  const std::uint32_t fields[][2] = {{2, static_cast<std::uint32_t>(s.size())}, {10, 54}, {14, 40},
                                     {18, static_cast<std::uint32_t>(width)},    {22, static_cast<std::uint32_t>(height)},
                                     {26, 1u | static_cast<std::uint32_t>(bits) << 16}, {30, static_cast<std::uint32_t>(compression)}};
  for (const auto& f : fields) put32(s, f[0], f[1]);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::array<unsigned char, 3> c = pixel(x, y);
      std::memcpy(&s[54 + static_cast<std::size_t>(y) * stride + 3 * x], c.data(), 3);
    }
  return s;
}

// A DDS header followed by payload bytes.
inline std::string make_dds(const char* fourcc, std::uint32_t pixel_flags, int width, int height, std::uint32_t flags,
                            std::uint32_t caps, std::size_t payload) {
  std::string s(128 + payload, 0x11);
  std::memset(&s[0], 0, 128);
  std::memcpy(&s[0], "DDS ", 4);
  const std::uint32_t fields[][2] = {{4, 124}, {8, flags}, {12, static_cast<std::uint32_t>(height)}, {16, static_cast<std::uint32_t>(width)},
                                     {76, 32}, {80, pixel_flags}, {108, caps}};
  for (const auto& f : fields) put32(s, f[0], f[1]);
  if (fourcc) std::memcpy(&s[84], fourcc, 4);
  return s;
}

inline int squish_flags(int format) {
  return format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT   ? squish::kDxt3
         : format == GL_COMPRESSED_RGBA_S3TC_DXT5_EXT ? squish::kDxt5
                                                      : squish::kDxt1;
}

// One DXT level decoded to RGBA rows in stored order.
inline std::vector<unsigned char> decode_dxt(const unsigned char* blocks, int width, int height, int format) {
  std::vector<unsigned char> rgba(static_cast<std::size_t>(width) * height * 4);
  squish::DecompressImage(rgba.data(), width, height, blocks, squish_flags(format));
  return rgba;
}

inline std::vector<unsigned char> flipped_rows(const std::vector<unsigned char>& rgba, int width, int height) {
  std::vector<unsigned char> out(rgba.size());
  const std::size_t row = static_cast<std::size_t>(width) * 4;
  for (int y = 0; y < height; ++y) std::memcpy(&out[y * row], &rgba[(height - 1 - y) * row], row);
  return out;
}

// Each level of a chain compressed with libsquish from a noisy picture
// (alpha below 128 in places when transparent), stored top-down.
struct chain {
  std::vector<unsigned char> bytes;
  std::vector<std::pair<int, int>> sizes;
};

inline chain compress_chain(int format, int w, int h, bool mips, bool transparent) {
  chain c;
  unsigned seed = 7;
  for (;;) {
    std::vector<unsigned char> px(static_cast<std::size_t>(w) * h * 4);
    for (std::size_t i = 0; i < px.size(); ++i) {
      seed = seed * 1103515245u + 12345u;
      if (i % 4 == 3) {
        px[i] = transparent && (i / 4) % 7 == 0 ? 0 : 255;
      } else {
        px[i] = static_cast<unsigned char>(i * 3 + (seed >> 28));
      }
    }
    std::vector<unsigned char> out(squish::GetStorageRequirements(w, h, squish_flags(format)));
    squish::CompressImage(px.data(), w, h, out.data(), squish_flags(format));
    c.bytes.insert(c.bytes.end(), out.begin(), out.end());
    c.sizes.emplace_back(w, h);
    if (!mips || (w == 1 && h == 1)) return c;
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
}

}  // namespace fixture
