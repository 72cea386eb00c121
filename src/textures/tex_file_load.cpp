// Loading an image file into the decode buffer: the file is found by trying
// its extensions in a fixed order, decoded by its signature (DDS, BMP or
// PNG), scaled by the texture-resolution rules and laid out the way the
// upload reads it.
#include <png.h>

#include <cstdio>
#include <cstring>

#include "files/xmap.h"
#include "runtime/alert.h"
#include "runtime/cmdline.h"
#include "runtime/globals.h"
#include "textures/dxt_flip.h"
#include "textures/image_ops.h"
#include "textures/tex_bmp.h"
#include "textures/tex_dds.h"
#include "textures/tex_load_any.h"
#include "textures/tex_png.h"
#include "textures/tman.h"

namespace {

// Moves the rows of a shrunk image (row_bytes apart) to rows of to_w pixels
// and fills the rest of the to_w x to_h picture with zeros: the upload reads
// exactly that layout. Both sides of the target are at most 2048, so it
// fits the 16 MB buffer.
void lay_out(unsigned char* data, int bpp, int w, int h, std::int64_t row_bytes, int to_w, int to_h) {
  const std::int64_t to_row = static_cast<std::int64_t>(to_w) * bpp;
  const std::int64_t used = static_cast<std::int64_t>(w) * bpp;
  if (to_row == row_bytes) {
    for (int y = 0; y < h; ++y) std::memset(data + y * to_row + used, 0, static_cast<std::size_t>(to_row - used));
  } else if (to_row < row_bytes) {
    for (int y = 0; y < h; ++y) {
      std::memmove(data + y * to_row, data + y * row_bytes, static_cast<std::size_t>(used));
      std::memset(data + y * to_row + used, 0, static_cast<std::size_t>(to_row - used));
    }
  } else {
    for (int y = h - 1; y >= 0; --y) {
      std::memmove(data + y * to_row, data + y * row_bytes, static_cast<std::size_t>(used));
      std::memset(data + y * to_row + used, 0, static_cast<std::size_t>(to_row - used));
    }
  }
  if (to_h > h) std::memset(data + h * to_row, 0, static_cast<std::size_t>((to_h - h) * to_row));
}

}  // namespace

int load_any_into_scratch(std::string name, int filter, int* gl_format, int* has_mips, signed char* bytes_per_pixel,
                          int alpha_from_file, int* src_dx, int* src_dy, int* pow2_dx, int* pow2_dy) {
  if (*bytes_per_pixel < 1 || *bytes_per_pixel > 4) {
    char value[32];
    snprintf(value, sizeof value, "%1.0f", static_cast<double>(*bytes_per_pixel));
    __MACIBM_alert(0, "Trying to bind too low or high a number of bytes!", name, "value:", value, t_exit,
                   kTmanSourceName, __LINE__);
    return 0;
  }
  unsigned char* const dest = (filter & tex_scratch) ? scratch_array : scratch_array_temp;

  // The first of the names that opens is the file, whatever its type.
  const std::string candidates[3] = {cmdline.has_option("--no_dds") ? name : TEX_change_extension(name, ".dds"),
                                     TEX_change_extension(name, ".png"), TEX_change_extension(name, ".bmp")};
  xmap_class file("");
  for (const std::string& c : candidates) {
    if (file.retry(c)) {
      name = c;
      break;
    }
  }
  if (!file.start || file.end - file.start < 8) return 0;

  const unsigned char* head = reinterpret_cast<const unsigned char*>(file.start);
  const unsigned int wanted = *bytes_per_pixel == 1 ? GL_ALPHA : (*bytes_per_pixel == 4 ? GL_RGBA : GL_RGB);
  TEX_image_desc desc;
  const unsigned char* dds = nullptr;
  if (std::memcmp(head, "DDS ", 4) == 0) {
    if (!TEX_load_dds(name, &file, dds, desc) || !desc.has_mipmaps) return 0;
  } else {
    unsigned char* data = dest;
    int read = 0;
    if (head[0] == 'B' && head[1] == 'M') read = TEX_load_bmp(name, &file, data, wanted, 0, 1, desc, kScratchBytes);
    if (!read) {
      if (png_sig_cmp(head, 0, 8) != 0) return 0;
      if (!TEX_load_png(name, &file, data, wanted, 0, 1, alpha_from_file, desc, kScratchBytes)) return 0;
    }
  }

  int bpp = *bytes_per_pixel;
  switch (desc.format) {
    case GL_RGBA:
    case GL_BGRA:
    case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT:
      bpp = 4;
      break;
    case GL_RGB:
    case GL_BGR:
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
      bpp = 3;
      break;
    case GL_ALPHA:
      bpp = 1;
      break;
    default:
      break;
  }

  const float factor = TEX_get_scale(name, filter, desc.width, desc.height, src_dx, src_dy, pow2_dx, pow2_dy, 2);
  float r = 1.0f / factor;

  if (!dds) {
    // The decode padded the picture to powers of two; shrink it, then give
    // its rows the length the upload reads (a shrunk side that rounding
    // left one pixel off the scaled size is cut or padded to it).
    if (r != 1.0f) {
      const int n = static_cast<int>(r);
      TEX_downscale(desc, dest, n < desc.width ? n : desc.width, n < desc.height ? n : desc.height);
    }
    const std::int64_t row_bytes = static_cast<std::int64_t>(bpp) * desc.width + desc.pad;
    lay_out(dest, bpp, desc.width < *pow2_dx ? desc.width : *pow2_dx, desc.height < *pow2_dy ? desc.height : *pow2_dy,
            row_bytes, *pow2_dx, *pow2_dy);
    desc.pad = 0;
  } else {
    // Levels above the wanted resolution are skipped; the rest of the chain
    // is copied and turned bottom-up. A DXT chain with a level that cannot
    // be turned over block by block is decoded whole: the upload takes one
    // format for every level.
    const unsigned char* src = dds;
    TEX_image_desc level = desc;
    level.has_mipmaps = 0;
    while (r > 1.0f && !(level.width == 1 && level.height == 1)) {
      src += TEX_bytes_needed_for_image(level);
      if (level.width > 1) level.width /= 2;
      if (level.height > 1) level.height /= 2;
      r *= 0.5f;
    }
    level.has_mipmaps = 1;
    const std::int64_t bytes = TEX_bytes_needed_for_image(level);
    if (bytes > kScratchBytes || level.width != *pow2_dx || level.height != *pow2_dy) {
      xer << "Texture " << name << " cannot be used: its mip chain does not fit the texture sizes or the buffer.\n";
      return 0;
    }
    if (TEX_dxt_flips_in_place(level)) {
      std::memcpy(dest, src, static_cast<std::size_t>(bytes));
      if (TEX_flip_y(level, dest) == 1 && level.format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT) {
        level.format = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
        bpp = 4;
      }
    } else {
      TEX_image_desc decoded = level;
      decoded.format = TEX_dxt_decoded_format(level, src);
      if (TEX_bytes_needed_for_image(decoded) > kScratchBytes) {
        xer << "Texture " << name << " cannot be used: its mip chain does not fit the buffer once decoded.\n";
        return 0;
      }
      TEX_decode_dxt_flipped(level, src, decoded.format, dest);
      level = decoded;
      bpp = decoded.format == GL_RGBA ? 4 : 3;
    }
    desc = level;
  }

  *gl_format = desc.format;
  *has_mips = desc.has_mipmaps;
  *bytes_per_pixel = static_cast<signed char>(bpp);
  return 1;
}
