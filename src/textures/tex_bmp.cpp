#include "textures/tex_bmp.h"

#include <cstdlib>

#include "files/xmap.h"
#include "runtime/colr.h"

namespace {

const char kSource[] = "RAdorud/TEX/TEX_bmp";

// Reads the header's little-endian fields one after another. A field that
// does not lie wholly inside the data reads as 0, and so does every field
// after it.
class field_reader {
 public:
  field_reader(const unsigned char* p, std::int64_t size) : p_(p), size_(size) {}
  std::uint32_t next(int bytes) {
    std::uint32_t v = 0;
    if (!short_ && pos_ + bytes <= size_) {
      for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p_[pos_ + i];
    } else {
      short_ = true;
    }
    pos_ += bytes;
    return v;
  }

 private:
  const unsigned char* p_;
  std::int64_t size_;
  std::int64_t pos_ = 0;
  bool short_ = false;
};

image_refusal refusal(const std::string& l1, const std::string& l2, const std::string& l3, const std::string& l4,
                      int line) {
  image_refusal why;
  why.lines[0] = l1;
  why.lines[1] = l2;
  why.lines[2] = l3;
  why.lines[3] = l4;
  why.source = kSource;
  why.source_line = line;
  return why;
}

}  // namespace

int TEX_decode_bmp(const unsigned char* bytes, std::int64_t size, const std::string& path, unsigned char*& data,
                   std::int64_t data_size, unsigned int desired_format, int row_pixels, int pow2,
                   TEX_image_desc& desc, image_refusal& why) {
  if (!bytes) return 0;
  int bpp = 0;
  switch (desired_format) {
    case GL_RGB:
      bpp = 3;
      break;
    case GL_RGBA:
      bpp = 4;
      break;
    case GL_ALPHA:
      bpp = 1;
      break;
    default:
      why = refusal("Illegal desired format for bmp.", path, "", "", __LINE__);
      return -1;
  }

  field_reader in(bytes, size);
  in.next(2);  // signature, checked by the callers
  in.next(4);  // file size
  in.next(2);  // reserved
  in.next(2);
  const std::int64_t offset = in.next(4);
  in.next(4);  // header size
  const std::int32_t width = static_cast<std::int32_t>(in.next(4));
  const std::int32_t height = static_cast<std::int32_t>(in.next(4));
  in.next(2);  // planes
  const std::uint32_t bits = in.next(2);
  const std::uint32_t compression = in.next(4);

  if (bits != 24) {
    why = refusal("Wrong bitmap color depth for texture!", "We need 24-bit color.", "", path, __LINE__);
    return -1;
  }
  if (compression != 0) {
    why = refusal("Bitmap is compressed!", "", "", path, __LINE__);
    return -1;
  }
  image_layout layout;
  std::string reason;
  if (!TEX_plan_layout(width, height, bpp, row_pixels, pow2, layout, reason)) {
    why = refusal("Bitmap cannot be read!", reason, "", path, __LINE__);
    return -1;
  }
  const std::int64_t stride = (3 * static_cast<std::int64_t>(width) + 3) & ~static_cast<std::int64_t>(3);
  // The last row needs only its pixels, not its padding.
  if (offset > size || (size - offset) < stride * (height - 1) + 3 * static_cast<std::int64_t>(width)) {
    why = refusal("Bitmap cannot be read!", "pixel rows past the end of the file", "", path, __LINE__);
    return -1;
  }
  int owned = 0;
  if (!TEX_prepare_destination(data, data_size, layout, owned, reason)) {
    why = refusal("Bitmap cannot be read!", reason, "", path, __LINE__);
    return -1;
  }

  desc.format = static_cast<int>(desired_format);
  desc.width = width;
  desc.height = height;
  desc.pad = layout.pad;
  desc.has_mipmaps = 0;

  const unsigned char* gamma = colr.gamma_table;
  const bool gamma_on = colr.gamma_on != 0;
  for (std::int32_t y = 0; y < height; ++y) {
    const unsigned char* s = bytes + offset + y * stride;
    unsigned char* d = data + y * layout.row_bytes;
    for (std::int32_t x = 0; x < width; ++x, s += 3) {
      const unsigned char b = s[0];
      const unsigned char g = s[1];
      const unsigned char r = s[2];
      if (bpp == 1) {
        *d++ = static_cast<unsigned char>((b + g + r) / 3);
        continue;
      }
      if (bpp == 4 && b == 255 && g == 0 && r == 255) {
        d[0] = d[1] = d[2] = d[3] = 0;
        d += 4;
        continue;
      }
      d[0] = gamma_on ? gamma[r] : r;
      d[1] = gamma_on ? gamma[g] : g;
      d[2] = gamma_on ? gamma[b] : b;
      if (bpp == 4) d[3] = 255;
      d += bpp;
    }
  }
  return 1;
}

int TEX_load_bmp(const std::string& path, xmap_class* file, unsigned char*& data, unsigned int desired_format,
                 int row_pixels, int pow2, TEX_image_desc& desc, std::int64_t data_size) {
  if (!file || !file->start) return 0;
  file->swap = 0;
  image_refusal why;
  const int r = TEX_decode_bmp(reinterpret_cast<const unsigned char*>(file->start), file->end - file->start, path,
                               data, data_size, desired_format, row_pixels, pow2, desc, why);
  if (r < 0) TEX_raise_refusal(why);
  return r;
}
