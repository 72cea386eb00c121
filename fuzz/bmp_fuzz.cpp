// Fuzzes the BMP reader. The first byte chooses the wanted format, the
// power-of-two padding, a row length and whether the decode goes to a
// caller's buffer (whose size the next bytes choose); the rest is the file.
// The file and the caller's buffer are heap blocks of exactly their size, so
// AddressSanitizer catches any read or write past either end. Refusals come
// back as result codes; the fatal alert of the public entry point is never
// reached here.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "textures/tex_bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::size_t at = 0;
  auto byte = [&]() -> unsigned { return at < size ? data[at++] : 0; };
  const unsigned mode = byte();
  static const unsigned int kFormats[] = {GL_RGB, GL_RGBA, GL_ALPHA, GL_BGR};
  const unsigned int format = kFormats[mode & 3];
  const int pow2 = (mode >> 2) & 1;
  const int row_pixels = (mode >> 3) & 1 ? static_cast<int>(byte() << 3) : 0;
  const bool callers_buffer = (mode >> 4) & 1;
  // A caller's buffer is never empty: a null one asks the reader to allocate.
  const std::int64_t buffer_size =
      callers_buffer ? std::max<std::int64_t>(1, static_cast<std::int64_t>(byte() << 8 | byte()) * 3) : 0;

  std::vector<unsigned char> file(data + at, data + size);
  std::vector<unsigned char> buffer(static_cast<std::size_t>(buffer_size));
  unsigned char* out = callers_buffer ? buffer.data() : nullptr;
  unsigned char* const given = out;
  TEX_image_desc desc;
  image_refusal why;
  // An empty vector may have no data pointer; the reader takes that as no
  // file, which the mapped-file entry point never passes.
  const unsigned char* bytes = file.empty() ? reinterpret_cast<const unsigned char*>("") : file.data();
  const int r = TEX_decode_bmp(bytes, static_cast<std::int64_t>(file.size()), "fuzz.bmp", out, buffer_size, format,
                               row_pixels, pow2, desc, why);
  if (r == 1) {
    if (format == GL_BGR) abort();
    if (desc.width < 1 || desc.width > kMaxImageSide || desc.height < 1 || desc.height > kMaxImageSide) abort();
    const std::int64_t rows = pow2 ? TEX_next_pow2(desc.height) : desc.height;
    const std::int64_t total = (static_cast<std::int64_t>(TEX_bytes_per_pixel(desc.format)) * desc.width + desc.pad) * rows;
    if (callers_buffer && (out != given || total > buffer_size)) abort();
    unsigned sum = 0;
    for (std::int64_t i = 0; i < total; ++i) sum += out[i];
    if (sum == 0xFFFFFFFFu) abort();
    if (!callers_buffer) free(out);
  } else if (r != -1 || why.lines[0].empty() || out != given) {
    abort();
  }
  return 0;
}
