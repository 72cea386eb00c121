// Fuzzes the DDS reader and the flip that loading applies to what it reads.
// The input is the file, in a heap block of exactly its size. When the
// reader accepts it, every byte its descriptor claims is copied into a
// buffer of exactly that size, which is then turned upside down with and
// without the endpoint gamma (or, for a DXT chain that cannot be turned in
// place, decoded into a buffer of exactly the size it needs), so
// AddressSanitizer catches any read or write past the end of any of them.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "textures/dxt_flip.h"
#include "textures/tex_dds.h"
#include "ui/colr.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<unsigned char> file(data, data + size);
  const unsigned char* pixels = nullptr;
  TEX_image_desc desc;
  const unsigned char* bytes = file.empty() ? reinterpret_cast<const unsigned char*>("") : file.data();
  const int r = TEX_parse_dds(bytes, static_cast<std::int64_t>(file.size()), pixels, desc);
  if (r == 0) return 0;
  if (r != 1) abort();
  if (desc.width < 1 || desc.width > kMaxImageSide || desc.height < 1 || desc.height > kMaxImageSide) abort();
  if (pixels != bytes + kDdsHeaderBytes) abort();
  const std::int64_t n = TEX_bytes_needed_for_image(desc);
  if (n <= 0 || n > static_cast<std::int64_t>(size) - kDdsHeaderBytes) abort();
  std::vector<unsigned char> chain(pixels, pixels + n);
  colr.gamma_on = size & 1;
  if (TEX_flip_y(desc, chain.data()) == -1) {
    TEX_image_desc decoded = desc;
    decoded.format = TEX_dxt_decoded_format(desc, chain.data());
    std::vector<unsigned char> out(static_cast<std::size_t>(TEX_bytes_needed_for_image(decoded)));
    TEX_decode_dxt_flipped(desc, chain.data(), decoded.format, out.data());
  }
  return 0;
}
