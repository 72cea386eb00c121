// Fuzzes the PNG reader. The first byte chooses the decode's options and a
// mode:
// - raw: the rest of the input is the file, optionally with the CRC of every
//   whole chunk put right, so that the fuzzer's changes reach the chunk
//   parsers instead of the checksum test;
// - built: the input is a recipe (sides, colour type, bit depth, interlace,
//   gamma, transparency, pixel bytes) for a valid PNG written with libpng,
//   which is then damaged at places the input names. This reaches every
//   transformation with no image file in the repository.
// The file sits in a heap block of exactly its size, and the decode goes
// either to a buffer the reader allocates or to a caller's buffer whose size
// the input chooses (exactly that size too), so AddressSanitizer catches any
// read or write past the end. The reader's own refusals come back as result
// codes; the fatal alert of the public entry point is never reached here.

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "textures/tex_png.h"

namespace {

struct reader {
  const std::uint8_t* p;
  std::size_t n;
  std::size_t at = 0;
  unsigned byte() { return at < n ? p[at++] : 0; }
};

void append(png_structp png, png_bytep data, png_size_t n) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), n);
}
void no_flush(png_structp) {}
void quiet(png_structp, png_const_charp) {}

// A valid PNG from the recipe, or "" when libpng will not write it.
std::string build(reader& in) {
  static const int kTypes[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_PALETTE,
                               PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB_ALPHA};
  const int w = 1 + static_cast<int>(in.byte() % 40);
  const int h = 1 + static_cast<int>(in.byte() % 40);
  const int type = kTypes[in.byte() % 5];
  static const int kDepths[] = {1, 2, 4, 8, 16};
  int depth = kDepths[in.byte() % 5];
  if (type == PNG_COLOR_TYPE_PALETTE && depth == 16) depth = 8;
  if ((type & PNG_COLOR_MASK_COLOR || type & PNG_COLOR_MASK_ALPHA) && type != PNG_COLOR_TYPE_PALETTE && depth < 8)
    depth = 8;
  const unsigned flags = in.byte();
  const int channels = type == PNG_COLOR_TYPE_RGB ? 3 : type == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                       : type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
  const std::size_t row_bytes = (static_cast<std::size_t>(w) * channels * depth + 7) / 8;
  std::vector<std::vector<png_byte>> rows(h, std::vector<png_byte>(row_bytes));
  for (auto& r : rows)
    for (auto& b : r) b = static_cast<png_byte>(in.byte() * 37 + (&b - r.data()));

  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet, quiet);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> pointers;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return "";
  }
  png_set_write_fn(png, &out, append, no_flush);
  png_set_IHDR(png, info, w, h, depth, type, flags & 1 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (flags & 2) png_set_gAMA(png, info, 0.2 + (flags >> 4) * 0.05);
  if (type == PNG_COLOR_TYPE_PALETTE) {
    png_color palette[256];
    const int entries = 1 << depth;
    for (int i = 0; i < entries; ++i) palette[i] = {static_cast<png_byte>(i * 7), static_cast<png_byte>(i), 3};
    png_set_PLTE(png, info, palette, entries);
    if (flags & 4) {
      png_byte alpha[4] = {0, 64, 128, 200};
      png_set_tRNS(png, info, alpha, entries < 4 ? entries : 4, nullptr);
    }
  } else if ((flags & 4) && !(type & PNG_COLOR_MASK_ALPHA)) {
    png_color_16 key{};
    key.gray = key.red = 1;
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_write_info(png, info);
  for (auto& r : rows) pointers.push_back(r.data());
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);

  // Damage: a few bytes changed, perhaps a cut.
  const unsigned changes = in.byte() % 4;
  for (unsigned i = 0; i < changes && !out.empty(); ++i) {
    const std::size_t at = (in.byte() << 8 | in.byte()) % out.size();
    out[at] = static_cast<char>(in.byte());
  }
  if (in.byte() % 8 == 0 && !out.empty()) out.resize((in.byte() << 8 | in.byte()) % out.size());
  return out;
}

// Puts right the CRC of every whole chunk after the signature.
void fix_crcs(std::string& f) {
  std::size_t at = 8;
  while (at + 12 <= f.size()) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(f.data()) + at;
    const std::uint64_t len = (std::uint64_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    if (len > f.size() - at - 12) break;
    const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, p + 4, static_cast<uInt>(len + 4)));
    for (int i = 0; i < 4; ++i) f[at + 8 + len + i] = static_cast<char>(crc >> (24 - 8 * i));
    at += 12 + len;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  reader in{data, size};
  const unsigned mode = in.byte();
  static const unsigned int kFormats[] = {GL_RGB, GL_RGBA, GL_ALPHA, GL_RGBA};
  const unsigned int format = kFormats[mode & 3];
  const int pow2 = (mode >> 2) & 1;
  const int follow = (mode >> 3) & 1;
  const int row_pixels = (mode >> 4) & 1 ? static_cast<int>(in.byte() << 4) : 0;
  const bool callers_buffer = (mode >> 5) & 1;
  // A caller's buffer is never empty: a null one asks the reader to allocate.
  const std::int64_t buffer_size =
      callers_buffer ? std::max<std::int64_t>(1, static_cast<std::int64_t>(in.byte() << 8 | in.byte()) * 4) : 0;

  std::string file;
  if (mode & 0x80) {
    file = build(in);
  } else {
    file.assign(reinterpret_cast<const char*>(data) + in.at, size - in.at);
    if (mode & 0x40) fix_crcs(file);
  }

  std::vector<unsigned char> bytes(file.begin(), file.end());
  std::vector<unsigned char> buffer(callers_buffer ? static_cast<std::size_t>(buffer_size) : 0);
  unsigned char* out = callers_buffer ? buffer.data() : nullptr;
  unsigned char* const given = out;
  TEX_image_desc desc;
  image_refusal why;
  const int r = TEX_decode_png(bytes.data(), static_cast<std::int64_t>(bytes.size()), "fuzz.png", out, buffer_size,
                               format, row_pixels, pow2, follow, desc, why);
  if (r == 1) {
    if (desc.width < 1 || desc.width > kMaxImageSide || desc.height < 1 || desc.height > kMaxImageSide) abort();
    if (desc.pad < 0 || desc.has_mipmaps != 0) abort();
    if (follow == 0 && desc.format != static_cast<int>(format)) abort();
    const int bpp = TEX_bytes_per_pixel(desc.format);
    const std::int64_t rows = pow2 ? TEX_next_pow2(desc.height) : desc.height;
    const std::int64_t total = (static_cast<std::int64_t>(bpp) * desc.width + desc.pad) * rows;
    if (callers_buffer && (out != given || total > buffer_size)) abort();
    // Every byte of the image must be there to read.
    unsigned sum = 0;
    for (std::int64_t i = 0; i < total; ++i) sum += out[i];
    if (sum == 0xFFFFFFFFu) abort();
  } else if (r == -1) {
    if (why.lines[0].empty()) abort();
    if (out != given) abort();
  } else if (r != 0 || bytes.size() >= 8) {
    abort();
  }
  if (!callers_buffer && r == 1) free(out);
  return 0;
}
