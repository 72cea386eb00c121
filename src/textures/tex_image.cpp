#include "textures/tex_image.h"

#include "textures/ogl_extensions.h"

namespace {

int one_level_bytes(const TEX_image_desc& d, int w, int h) {
  const int blocks = ((w + 3) / 4) * ((h + 3) / 4);
  switch (d.format) {
    case GL_DEPTH_COMPONENT: return w * 4 * h;
    case GL_ALPHA: return (w + d.pad) * h;
    case GL_RGB:
    case GL_BGR: return (3 * w + d.pad) * h;
    case GL_RGBA:
    case GL_BGRA: return (4 * w + d.pad) * h;
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT: return blocks * 8;
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT: return blocks * 16;
    default: return -1;
  }
}

// Smallest k with 2^k >= n; 0 for n <= 1.
int shift_for(int n) {
  int k = 0;
  while (n > 1 && (1 << k) < n) ++k;
  return k;
}

}  // namespace

int TEX_bytes_needed_for_image(const TEX_image_desc& desc) {
  int total = 0;
  int w = desc.width, h = desc.height;
  for (;;) {
    const int level = one_level_bytes(desc, w, h);
    if (level < 0) return 0;
    total += level;
    if ((w <= 1 && h <= 1) || !desc.has_mipmaps) return total;
    if (w >= 2) w /= 2;
    if (h >= 2) h /= 2;
  }
}

void TEX_downscale(TEX_image_desc& desc, unsigned char* data, int fx, int fy) {
  const int bpp = desc.format == GL_RGBA ? 4 : desc.format == GL_RGB ? 3 : 1;
  const int nw = desc.width / fx, nh = desc.height / fy;
  const int shift = shift_for(fx) + shift_for(fy);
  const long src_row = static_cast<long>(desc.width) * bpp + desc.pad;
  const long dst_row = static_cast<long>(nw) * bpp + desc.pad;
  for (int j = 0; j < nh; ++j) {
    unsigned char* out = data + j * dst_row;
    for (int i = 0; i < nw; ++i) {
      for (int c = 0; c < bpp; ++c) {
        unsigned sum = 0;
        for (int y = 0; y < fy; ++y) {
          const unsigned char* in = data + (static_cast<long>(j) * fy + y) * src_row + static_cast<long>(i) * fx * bpp + c;
          for (int x = 0; x < fx; ++x) sum += in[x * bpp];
        }
        out[i * bpp + c] = static_cast<unsigned char>(sum >> shift);
      }
    }
  }
  desc.width = nw;
  desc.height = nh;
}
