// Image files made by the tests themselves: PNGs written with libpng in
// every colour type the readers meet, 24-bit bitmaps and DDS headers built
// byte by byte, and helpers to decode DXT data for comparisons.
#pragma once

#include <png.h>
#include <squish.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "textures/image_ops.h"

namespace fixture {

struct png_spec {
  int width = 1;
  int height = 1;
  int color_type = PNG_COLOR_TYPE_RGB;
  int bit_depth = 8;
  bool interlace = false;
  double gamma = 1.0 / 2.2;  // 0: no gAMA chunk
  // Rows top-down, packed as the PNG stores them (bytes per row as libpng
  // counts them for the type and depth).
  std::vector<std::vector<unsigned char>> rows;
  std::vector<png_color> palette;
  std::vector<unsigned char> trns;  // palette alphas
  bool grey_trns = false;
  int grey_trns_value = 0;
};

inline void append(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::string*>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char*>(data), n);
}
inline void no_flush(png_structp) {}

// The PNG file of the spec, or "" when libpng refused it.
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
  if (s.grey_trns) {
    png_color_16 c{};
    c.gray = static_cast<png_uint_16>(s.grey_trns_value);
    png_set_tRNS(png, info, nullptr, 0, &c);
  }
  png_write_info(png, info);
  for (const auto& r : s.rows) rows.push_back(const_cast<png_bytep>(r.data()));
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// An 8-bit image whose byte at (x, y, channel c) is value(x, y, c), rows
// top-down.
template <typename F>
std::vector<std::vector<unsigned char>> rows_of(int width, int height, int channels, F value) {
  std::vector<std::vector<unsigned char>> rows(height, std::vector<unsigned char>(width * channels));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) rows[y][x * channels + c] = static_cast<unsigned char>(value(x, y, c));
  return rows;
}

inline void put16(std::string& s, std::size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A 24-bit bitmap with a 40-byte header; pixel(x, y) gives B, G, R of file
// row y (the first row in the file is the bottom of the picture).
template <typename F>
std::string make_bmp(int width, int height, F pixel, int bits = 24, int compression = 0) {
  const int stride = (3 * width + 3) & ~3;
  std::string s(54 + static_cast<std::size_t>(stride) * height, '\0');
  s[0] = 'B';
  s[1] = 'M';
  put32(s, 2, static_cast<std::uint32_t>(s.size()));
  put32(s, 10, 54);
  put32(s, 14, 40);
  put32(s, 18, static_cast<std::uint32_t>(width));
  put32(s, 22, static_cast<std::uint32_t>(height));
  put16(s, 26, 1);
  put16(s, 28, static_cast<std::uint32_t>(bits));
  put32(s, 30, static_cast<std::uint32_t>(compression));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::array<unsigned char, 3> bgr = pixel(x, y);
      for (int c = 0; c < 3; ++c) s[54 + static_cast<std::size_t>(y) * stride + 3 * x + c] = static_cast<char>(bgr[c]);
    }
  }
  return s;
}

// A DDS header followed by payload bytes of value fill.
inline std::string make_dds(const char* fourcc, std::uint32_t pixel_flags, int width, int height,
                            std::uint32_t flags, std::uint32_t caps, std::size_t payload, char fill = 0x11) {
  std::string s(128 + payload, fill);
  std::memset(&s[0], 0, 128);
  std::memcpy(&s[0], "DDS ", 4);
  put32(s, 4, 124);
  put32(s, 8, flags);
  put32(s, 12, static_cast<std::uint32_t>(height));
  put32(s, 16, static_cast<std::uint32_t>(width));
  put32(s, 76, 32);
  put32(s, 80, pixel_flags);
  if (fourcc) std::memcpy(&s[84], fourcc, 4);
  put32(s, 108, caps);
  return s;
}

// squish flags of a DXT pixel format.
inline int squish_flags(int format) {
  switch (format) {
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
      return squish::kDxt3;
    case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT:
      return squish::kDxt5;
    default:
      return squish::kDxt1;
  }
}

// Decodes one DXT level to top-down RGBA rows, as stored.
inline std::vector<unsigned char> decode_dxt(const unsigned char* blocks, int width, int height, int format) {
  std::vector<unsigned char> rgba(static_cast<std::size_t>(width) * height * 4);
  squish::DecompressImage(rgba.data(), width, height, blocks, squish_flags(format));
  return rgba;
}

// The RGBA rows in the other order.
inline std::vector<unsigned char> flipped_rows(const std::vector<unsigned char>& rgba, int width, int height) {
  std::vector<unsigned char> out(rgba.size());
  const std::size_t row = static_cast<std::size_t>(width) * 4;
  for (int y = 0; y < height; ++y) std::memcpy(&out[y * row], &rgba[(height - 1 - y) * row], row);
  return out;
}

}  // namespace fixture
