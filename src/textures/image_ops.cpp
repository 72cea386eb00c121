#include "textures/image_ops.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "runtime/alert.h"

int TEX_bytes_per_pixel(int format) {
  switch (format) {
    case GL_ALPHA:
      return 1;
    case GL_RGB:
    case GL_BGR:
      return 3;
    case GL_RGBA:
    case GL_BGRA:
    case GL_DEPTH_COMPONENT:
      return 4;
    default:
      return 0;
  }
}

namespace {

// Bytes of one level, or -1 for an unknown format. Sides and pad are
// ints, so 128 bits hold any product.
__int128 level_bytes(int format, __int128 w, __int128 h, __int128 pad) {
  const __int128 blocks = ((w + 3) / 4) * ((h + 3) / 4);
  switch (format) {
    case GL_DEPTH_COMPONENT:
      return w * 4 * h;
    case GL_ALPHA:
      return (w + pad) * h;
    case GL_RGB:
    case GL_BGR:
      return (3 * w + pad) * h;
    case GL_RGBA:
    case GL_BGRA:
      return (4 * w + pad) * h;
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
      return blocks * 8;
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT:
      return blocks * 16;
    default:
      return -1;
  }
}

}  // namespace

std::int64_t TEX_bytes_needed_for_image(const TEX_image_desc& desc) {
  if (desc.width < 0 || desc.height < 0 || desc.pad < 0) return 0;
  int w = desc.width;
  int h = desc.height;
  __int128 total = 0;
  for (;;) {
    const __int128 n = level_bytes(desc.format, w, h, desc.pad);
    if (n < 0) return 0;
    total += n;
    // A zero side never halves to 1: a chain stops at such a level too.
    if (!desc.has_mipmaps || (w <= 1 && h <= 1)) break;
    if (w >= 2) w /= 2;
    if (h >= 2) h /= 2;
  }
  // Beyond any memory: held at the largest size.
  return total > INT64_MAX ? INT64_MAX : static_cast<std::int64_t>(total);
}

void TEX_downscale(TEX_image_desc& desc, unsigned char* data, int fx, int fy) {
  int bpp = 0;
  switch (desc.format) {
    case GL_ALPHA:
    case GL_RGB:
    case GL_BGR:
    case GL_RGBA:
    case GL_BGRA:
      bpp = TEX_bytes_per_pixel(desc.format);
      break;
    default:
      return;
  }
  if (desc.width < 1 || desc.height < 1 || desc.pad < 0 || !data) return;
  fx = fx < 1 ? 1 : (fx > desc.width ? desc.width : fx);
  fy = fy < 1 ? 1 : (fy > desc.height ? desc.height : fy);
  if (fx == 1 && fy == 1) return;

  const int nw = desc.width / fx;
  const int nh = desc.height / fy;
  const std::int64_t src_row = static_cast<std::int64_t>(desc.width) * bpp + desc.pad;
  const std::int64_t dst_row = static_cast<std::int64_t>(nw) * bpp + desc.pad;
  const std::uint64_t count = static_cast<std::uint64_t>(fx) * static_cast<std::uint64_t>(fy);
  // Each output pixel lies at or before the first source byte of its own box
  // and of every later box, so working forward never overwrites a byte that
  // is still to be read.
  for (int j = 0; j < nh; ++j) {
    unsigned char* out = data + j * dst_row;
    const unsigned char* box_rows = data + static_cast<std::int64_t>(j) * fy * src_row;
    for (int i = 0; i < nw; ++i) {
      std::uint64_t sum[4] = {0, 0, 0, 0};
      for (int y = 0; y < fy; ++y) {
        const unsigned char* p = box_rows + y * src_row + static_cast<std::int64_t>(i) * fx * bpp;
        for (int x = 0; x < fx; ++x, p += bpp) {
          for (int c = 0; c < bpp; ++c) sum[c] += p[c];
        }
      }
      for (int c = 0; c < bpp; ++c) out[c] = static_cast<unsigned char>(sum[c] / count);
      out += bpp;
    }
  }
  desc.width = nw;
  desc.height = nh;
}

void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* pixels, const unsigned char* key,
                    int threshold) {
  if (desc.format != GL_RGBA && desc.format != GL_BGRA) return;
  if (desc.width < 1 || desc.height < 1 || desc.pad < 0 || !pixels || !key) return;
  // The key is R, G, B; a BGRA pixel holds them the other way round.
  const int r = desc.format == GL_RGBA ? 0 : 2;
  const int b = 2 - r;
  const std::int64_t row = static_cast<std::int64_t>(desc.width) * 4 + desc.pad;
  for (int y = 0; y < desc.height; ++y) {
    unsigned char* p = pixels + y * row;
    for (int x = 0; x < desc.width; ++x, p += 4) {
      const int d = std::abs(p[r] - key[0]) + std::abs(p[1] - key[1]) + std::abs(p[b] - key[2]);
      if (d < threshold) p[3] = 0;
    }
  }
}

namespace {

// Cuts toward zero, holding values a float cast could not represent.
int cut(float v) {
  if (!(v > -1e9f)) return -1000000000;  // also NaN
  if (v > 1e9f) return 1000000000;
  return static_cast<int>(v);
}

int clamp_byte(float v) {
  const int i = cut(v);
  return i < 0 ? 0 : (i > 255 ? 255 : i);
}

}  // namespace

void TEX_composite(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc,
                   const unsigned char* src, unsigned char* dst, float left, float bottom, float right,
                   float top) {
  if (!src || !dst) return;
  if (src_desc.width < 1 || src_desc.height < 1 || dst_desc.width < 1 || dst_desc.height < 1) return;
  if (src_desc.pad < 0 || dst_desc.pad < 0) return;
  if (!(right > left) || !(top > bottom)) return;
  const int sbpp = src_desc.format == GL_RGBA ? 4 : 3;
  const int dbpp = dst_desc.format == GL_RGBA ? 4 : 3;
  const std::int64_t srow = static_cast<std::int64_t>(src_desc.width) * sbpp + src_desc.pad;
  const std::int64_t drow = static_cast<std::int64_t>(dst_desc.width) * dbpp + dst_desc.pad;

  int x0 = cut(left);
  int x1 = cut(right);
  int y0 = cut(bottom);
  int y1 = cut(top);
  if (x0 < 0) x0 = 0;
  if (y0 < 0) y0 = 0;
  if (x1 > dst_desc.width) x1 = dst_desc.width;
  if (y1 > dst_desc.height) y1 = dst_desc.height;

  const float su = static_cast<float>(src_desc.width) / (right - left);
  const float sv = static_cast<float>(src_desc.height) / (top - bottom);
  for (int y = y0; y < y1; ++y) {
    const float v = (static_cast<float>(y) - bottom) * sv;
    const int j0 = cut(v);
    const float fv = v - static_cast<float>(j0);
    unsigned char* d = dst + y * drow + static_cast<std::int64_t>(x0) * dbpp;
    for (int x = x0; x < x1; ++x, d += dbpp) {
      const float u = (static_cast<float>(x) - left) * su;
      const int i0 = cut(u);
      const float fu = u - static_cast<float>(i0);

      // The four neighbours and their weights; one outside the source has
      // weight 0 and is never read.
      const int ci[4] = {i0, i0 + 1, i0, i0 + 1};
      const int cj[4] = {j0, j0, j0 + 1, j0 + 1};
      float w[4] = {(1 - fu) * (1 - fv), fu * (1 - fv), (1 - fu) * fv, fu * fv};
      const unsigned char* s[4] = {nullptr, nullptr, nullptr, nullptr};
      for (int k = 0; k < 4; ++k) {
        if (ci[k] < 0 || ci[k] >= src_desc.width || cj[k] < 0 || cj[k] >= src_desc.height || w[k] == 0) {
          w[k] = 0;
        } else {
          s[k] = src + cj[k] * srow + static_cast<std::int64_t>(ci[k]) * sbpp;
        }
      }

      if (sbpp == 4) {
        if (dbpp == 4) {
          float a = d[3];
          for (int k = 0; k < 4; ++k)
            if (s[k]) a += w[k] * s[k][3];
          d[3] = static_cast<unsigned char>(clamp_byte(a));
        }
        for (int k = 0; k < 4; ++k)
          if (s[k]) w[k] *= s[k][3] * 0.003921569f;
      } else if (dbpp == 4) {
        d[3] = static_cast<unsigned char>(clamp_byte(255.0f * (w[0] + w[1] + w[2] + w[3]) + d[3]));
      }

      const float rest = 1.0f - (w[0] + w[1] + w[2] + w[3]);
      for (int c = 0; c < 3; ++c) {
        float sum = d[c] * rest;
        for (int k = 0; k < 4; ++k)
          if (s[k]) sum += w[k] * s[k][c];
        d[c] = static_cast<unsigned char>(clamp_byte(sum));
      }
    }
  }
}

int TEX_next_pow2(int n) {
  int p = 1;
  while (p < n && p < (1 << 30)) p <<= 1;
  return p;
}

void TEX_raise_refusal(const image_refusal& why) {
  if (!why.warning[0].empty()) {
    __MACIBM_alert(0, why.warning[0], why.warning[1], why.warning[2], why.warning[3], t_alert, why.source,
                   why.source_line);
  }
  __MACIBM_alert(0, why.lines[0], why.lines[1], why.lines[2], why.lines[3], t_exit, why.source,
                 why.source_line);
  std::abort();  // the fatal alert does not return
}

bool TEX_plan_layout(int width, int height, int bpp, int row_pixels, int pow2, image_layout& out,
                     std::string& why) {
  if (width < 1 || height < 1) {
    why = "image side outside 1.." + std::to_string(kMaxImageSide);
    return false;
  }
  if (width > kMaxImageSide || height > kMaxImageSide) {
    const std::string most = std::to_string(kMaxImageSide);
    why = "image too large: " + std::to_string(width) + " x " + std::to_string(height) + " pixels, at most " + most +
          " x " + most + " can be read";
    return false;
  }
  if (row_pixels != 0 && row_pixels < width) {
    why = "image wider than its row length";
    return false;
  }
  out = image_layout();
  out.rows = height;
  if (pow2) {
    const int pw = TEX_next_pow2(width);
    const int ph = TEX_next_pow2(height);
    out.pad = bpp * (pw - width);
    out.rows = ph;
    out.clear = out.pad > 0 || ph > height;
  } else if (row_pixels != 0) {
    const std::int64_t pad = static_cast<std::int64_t>(row_pixels - width) * bpp;
    if (pad > 0x7FFFFFFF) {
      why = "row length too large";
      return false;
    }
    out.pad = static_cast<int>(pad);
  }
  out.row_bytes = static_cast<std::int64_t>(bpp) * width + out.pad;
  out.total = out.row_bytes * out.rows;
  return true;
}

bool TEX_prepare_destination(unsigned char*& data, std::int64_t data_size, const image_layout& layout,
                             int& owned, std::string& why) {
  owned = 0;
  if (!data) {
    data = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(layout.total)));
    if (!data) {
      why = "out of memory for the image";
      return false;
    }
    owned = 1;
  } else if (data_size < layout.total) {
    why = "image too large for its buffer";
    return false;
  }
  if (layout.clear) std::memset(data, 0, static_cast<std::size_t>(layout.total));
  return true;
}
