#include "textures/dxt_flip.h"

#include <squish.h>

#include <cstring>
#include <utility>

#include "runtime/alert.h"
#include "runtime/colr.h"

namespace {

const char kSource[] = "RAdorud/TEX/TEX_utils";

unsigned short get565(const unsigned char* p) { return static_cast<unsigned short>(p[0] | (p[1] << 8)); }

void put565(unsigned char* p, unsigned short c) {
  p[0] = static_cast<unsigned char>(c & 0xFF);
  p[1] = static_cast<unsigned char>(c >> 8);
}

// Reverses the first n of four one-byte rows.
void reverse_byte_rows(unsigned char* row, int n) {
  for (int r = 0; r < n / 2; ++r) std::swap(row[r], row[n - 1 - r]);
}

// Reverses the first n of four 16-bit rows.
void reverse_word_rows(unsigned char* rows, int n) {
  for (int r = 0; r < n / 2; ++r) {
    std::swap(rows[2 * r], rows[2 * (n - 1 - r)]);
    std::swap(rows[2 * r + 1], rows[2 * (n - 1 - r) + 1]);
  }
}

// Whether a three-colour block gives index 3 to one of the pixels the image
// uses (the first used_rows rows, the first used_cols columns): compressors
// put index 3 on the pixels of a partial block that lie outside the image.
int uses_transparent_index(const DXTColBlock& b, int used_rows, int used_cols) {
  if (get565(b.col0) > get565(b.col1)) return 0;
  for (int r = 0; r < used_rows; ++r) {
    for (int p = 0; p < used_cols; ++p) {
      if (((b.row[r] >> (2 * p)) & 3) == 3) return 1;
    }
  }
  return 0;
}

// 565 colour -> gamma table -> 565 colour.
unsigned short gamma565(unsigned short c) {
  const int r5 = (c >> 11) & 31;
  const int g6 = (c >> 5) & 63;
  const int b5 = c & 31;
  const int r = colr.gamma_table[(r5 << 3) | (r5 >> 2)];
  const int g = colr.gamma_table[(g6 << 2) | (g6 >> 4)];
  const int b = colr.gamma_table[(b5 << 3) | (b5 >> 2)];
  return static_cast<unsigned short>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// Reverses the first rows alpha index rows of a DXT5 alpha block.
void flip_dxt5_alpha(DXT5AlphaBlock* block, int rows) {
  if (rows < 2) return;
  const std::uint32_t a =
      block->row[0] | (block->row[1] << 8) | (static_cast<std::uint32_t>(block->row[2]) << 16);
  const std::uint32_t b =
      block->row[3] | (block->row[4] << 8) | (static_cast<std::uint32_t>(block->row[5]) << 16);
  std::uint32_t line[4] = {a & 0xFFF, a >> 12, b & 0xFFF, b >> 12};
  for (int r = 0; r < rows / 2; ++r) std::swap(line[r], line[rows - 1 - r]);
  const std::uint32_t na = line[0] | (line[1] << 12);
  const std::uint32_t nb = line[2] | (line[3] << 12);
  for (int i = 0; i < 3; ++i) {
    block->row[i] = static_cast<unsigned char>(na >> (8 * i));
    block->row[3 + i] = static_cast<unsigned char>(nb >> (8 * i));
  }
}

// One block of each kind: the transparency scan (DXT1, over the pixels in
// use, before anything moves), the reversal of the first flip_rows pixel
// rows, and the endpoint gamma when the colour table asks for it.
int flip_dxt1_block(DXTColBlock* b, int found, int flip_rows, int used_rows, int used_cols) {
  if (!found) found = uses_transparent_index(*b, used_rows, used_cols);
  reverse_byte_rows(b->row, flip_rows);
  if (colr.gamma_on) nv_gamma_correct(b);
  return found;
}

void flip_dxt3_block(unsigned char* b, int flip_rows) {
  reverse_word_rows(b, flip_rows);
  DXTColBlock* c = reinterpret_cast<DXTColBlock*>(b + 8);
  reverse_byte_rows(c->row, flip_rows);
  if (colr.gamma_on) nv_gamma_correct(c, 1);
}

void flip_dxt5_block(unsigned char* b, int flip_rows) {
  flip_dxt5_alpha(reinterpret_cast<DXT5AlphaBlock*>(b), flip_rows);
  DXTColBlock* c = reinterpret_cast<DXTColBlock*>(b + 8);
  reverse_byte_rows(c->row, flip_rows);
  if (colr.gamma_on) nv_gamma_correct(c, 1);
}

// One row of blocks of a level width pixels wide whose pixel rows in use in
// this block row are used_rows.
int flip_block_row(int format, unsigned char* blocks, int width, int found, int flip_rows, int used_rows) {
  const int count = (width + 3) / 4;
  for (int i = 0; i < count; ++i) {
    const int used_cols = width - 4 * i < 4 ? width - 4 * i : 4;
    switch (format) {
      case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
      case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
        found = flip_dxt1_block(reinterpret_cast<DXTColBlock*>(blocks + 8 * i), found, flip_rows, used_rows,
                                used_cols);
        break;
      case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
        flip_dxt3_block(blocks + 16 * i, flip_rows);
        break;
      default:
        flip_dxt5_block(blocks + 16 * i, flip_rows);
        break;
    }
  }
  return found;
}

void swap_ranges(unsigned char* a, unsigned char* b, std::int64_t n) {
  for (std::int64_t i = 0; i < n; ++i) std::swap(a[i], b[i]);
}

// A level over 4 pixels high whose height is not a multiple of 4: turned
// over, its pixel rows fall into other block rows than they were in, which
// no reordering of blocks can give.
bool turns_in_place(int height) { return height <= 4 || height % 4 == 0; }

int squish_kind(int format) {
  return format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT   ? squish::kDxt3
         : format == GL_COMPRESSED_RGBA_S3TC_DXT5_EXT ? squish::kDxt5
                                                      : squish::kDxt1;
}

int dxt_block_size(int format) {
  switch (format) {
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
      return 8;
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT:
      return 16;
    default:
      return 0;
  }
}

}  // namespace

int IncColor565(unsigned short& colour) {
  const int g = (colour >> 5) & 63;
  const int b = colour & 31;
  const int r = (colour >> 11) & 31;
  if (g < 63) {
    colour = static_cast<unsigned short>(colour + (1 << 5));
  } else if (b < 31) {
    colour = static_cast<unsigned short>(colour + 1);
  } else if (r < 31) {
    colour = static_cast<unsigned short>(colour + (1 << 11));
  } else {
    return 0;
  }
  return 1;
}

int DecColor565(unsigned short& colour) {
  const int g = (colour >> 5) & 63;
  const int b = colour & 31;
  const int r = (colour >> 11) & 31;
  if (g > 0) {
    colour = static_cast<unsigned short>(colour - (1 << 5));
  } else if (b > 0) {
    colour = static_cast<unsigned short>(colour - 1);
  } else if (r > 0) {
    colour = static_cast<unsigned short>(colour - (1 << 11));
  } else {
    return 0;
  }
  return 1;
}

void nv_gamma_correct(DXTColBlock* block, int four_colour) {
  const unsigned short c0 = get565(block->col0);
  const unsigned short c1 = get565(block->col1);
  const bool three = c0 <= c1;
  unsigned short g0 = gamma565(c0);
  unsigned short g1 = gamma565(c1);
  if ((g0 <= g1) == three) {
    put565(block->col0, g0);
    put565(block->col1, g1);
    return;
  }
  // The order of the endpoints would change the block's mode: exchange them
  // and remap the indices so that every pixel keeps its colour.
  if (g0 != g1) {
    std::swap(g0, g1);
  } else {
    // Only a four-colour block gets here: keep colour 0 above colour 1.
    unsigned short up = g1;
    if (IncColor565(up)) {
      g0 = up;
    } else {
      g0 = g1;
      g1 = static_cast<unsigned short>(g1 - (1 << 5));
    }
  }
  put565(block->col0, g0);
  put565(block->col1, g1);
  // Three colours: 0 <-> 1, 2 and 3 stay. Four colours: 0 <-> 1, 2 <-> 3.
  // Either way the low bit of each index flips, and with four colours 2 and
  // 3 flip too, so index ^ 1 serves both; a three-colour block keeps 2 and 3.
  const bool four = four_colour || !three;
  for (int r = 0; r < 4; ++r) {
    unsigned char out = 0;
    for (int p = 0; p < 4; ++p) {
      int idx = (block->row[r] >> (2 * p)) & 3;
      if (four || idx < 2) idx ^= 1;
      out = static_cast<unsigned char>(out | (idx << (2 * p)));
    }
    block->row[r] = out;
  }
}

void nv_flip_dxt5_alpha(DXT5AlphaBlock* block) { flip_dxt5_alpha(block, 4); }

int nv_flip_blocks_dxtc1(DXTColBlock* blocks, int count, int found) {
  for (int i = 0; i < count; ++i) found = flip_dxt1_block(&blocks[i], found, 4, 4, 4);
  return found;
}

int nv_flip_blocks_dxtc3(unsigned char* blocks, int count, int) {
  for (int i = 0; i < count; ++i) flip_dxt3_block(blocks + 16 * i, 4);
  return 0;
}

int nv_flip_blocks_dxtc5(unsigned char* blocks, int count, int) {
  for (int i = 0; i < count; ++i) flip_dxt5_block(blocks + 16 * i, 4);
  return 0;
}

int TEX_flip_y(const TEX_image_desc& desc, unsigned char* data) {
  int block_size = 0;
  switch (desc.format) {
    case GL_ALPHA:
    case GL_RGB:
    case GL_RGBA:
    case GL_BGR:
    case GL_BGRA:
      break;
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
      block_size = 8;
      break;
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT:
      block_size = 16;
      break;
    default:
      __MACIBM_alert(0, "Illegal format!", "", "", "", t_exit, kSource, __LINE__);
      return 0;
  }
  if (desc.width < 1 || desc.height < 1 || desc.pad < 0 || !data) return 0;
  if (block_size != 0 && !TEX_dxt_flips_in_place(desc)) return -1;

  TEX_image_desc level = desc;
  level.has_mipmaps = 0;
  int found = 0;
  for (;;) {
    const std::int64_t bytes = TEX_bytes_needed_for_image(level);
    if (block_size == 0) {
      const std::int64_t row = bytes / level.height;
      for (int i = 0; i < level.height / 2; ++i) {
        swap_ranges(data + i * row, data + (level.height - 1 - i) * row, row);
      }
    } else {
      const int per_row = (level.width + 3) / 4;
      const int block_rows = (level.height + 3) / 4;
      const std::int64_t row_len = static_cast<std::int64_t>(per_row) * block_size;
      const int last_rows = level.height - 4 * (block_rows - 1);
      const int flip_rows = level.height < 4 ? level.height : 4;
      for (int k = 0; k < (block_rows + 1) / 2; ++k) {
        const int j = block_rows - 1 - k;
        unsigned char* top = data + k * row_len;
        unsigned char* bottom = data + j * row_len;
        found = flip_block_row(desc.format, top, level.width, found, flip_rows, k == block_rows - 1 ? last_rows : 4);
        if (j != k) {
          found = flip_block_row(desc.format, bottom, level.width, found, flip_rows,
                                 j == block_rows - 1 ? last_rows : 4);
          swap_ranges(top, bottom, row_len);
        }
      }
    }
    if (!desc.has_mipmaps || (level.width == 1 && level.height == 1)) break;
    if (level.width >= 2) level.width /= 2;
    if (level.height >= 2) level.height /= 2;
    data += bytes;
  }
  return found;
}

int TEX_dxt_flips_in_place(const TEX_image_desc& desc) {
  if (!dxt_block_size(desc.format) || desc.width < 1 || desc.height < 1) return 1;
  for (int h = desc.height;; h /= 2) {
    if (!turns_in_place(h)) return 0;
    if (!desc.has_mipmaps || h == 1) return 1;
  }
}

int TEX_dxt_decoded_format(const TEX_image_desc& desc, const unsigned char* blocks) {
  if (desc.format != GL_COMPRESSED_RGB_S3TC_DXT1_EXT && desc.format != GL_COMPRESSED_RGBA_S3TC_DXT1_EXT) {
    return GL_RGBA;
  }
  TEX_image_desc level = desc;
  level.has_mipmaps = 0;
  for (;;) {
    const int per_row = (level.width + 3) / 4;
    const int block_rows = (level.height + 3) / 4;
    for (int k = 0; k < block_rows; ++k) {
      const int used_rows = level.height - 4 * k < 4 ? level.height - 4 * k : 4;
      for (int i = 0; i < per_row; ++i) {
        const int used_cols = level.width - 4 * i < 4 ? level.width - 4 * i : 4;
        const auto* b = reinterpret_cast<const DXTColBlock*>(blocks + 8 * (static_cast<std::int64_t>(k) * per_row + i));
        if (uses_transparent_index(*b, used_rows, used_cols)) return GL_RGBA;
      }
    }
    if (!desc.has_mipmaps || (level.width == 1 && level.height == 1)) break;
    blocks += TEX_bytes_needed_for_image(level);
    if (level.width >= 2) level.width /= 2;
    if (level.height >= 2) level.height /= 2;
  }
  return GL_RGB;
}

void TEX_decode_dxt_flipped(const TEX_image_desc& desc, const unsigned char* blocks, int format, unsigned char* out) {
  const int block_size = dxt_block_size(desc.format);
  if (!block_size || desc.width < 1 || desc.height < 1 || !blocks || !out) return;
  const int kind = squish_kind(desc.format);
  const int bpp = format == GL_RGBA ? 4 : 3;
  const int colour_at = block_size - 8;
  TEX_image_desc level = desc;
  level.has_mipmaps = 0;
  for (;;) {
    const int per_row = (level.width + 3) / 4;
    const int block_rows = (level.height + 3) / 4;
    const std::int64_t out_row = static_cast<std::int64_t>(level.width) * bpp;
    for (int k = 0; k < block_rows; ++k) {
      for (int i = 0; i < per_row; ++i) {
        unsigned char block[16];
        std::memcpy(block, blocks + (static_cast<std::int64_t>(k) * per_row + i) * block_size,
                    static_cast<std::size_t>(block_size));
        if (colr.gamma_on) nv_gamma_correct(reinterpret_cast<DXTColBlock*>(block + colour_at), block_size == 16);
        unsigned char rgba[16 * 4];
        squish::Decompress(rgba, block, kind);
        // Pixel row r of this block row is picture row 4k + r from the top,
        // stored level.height - 1 - (4k + r) rows from the first.
        for (int r = 0; r < 4 && 4 * k + r < level.height; ++r) {
          unsigned char* d = out + (level.height - 1 - (4 * k + r)) * out_row + 4 * i * bpp;
          for (int p = 0; p < 4 && 4 * i + p < level.width; ++p, d += bpp) {
            std::memcpy(d, rgba + 4 * (4 * r + p), static_cast<std::size_t>(bpp));
          }
        }
      }
    }
    if (!desc.has_mipmaps || (level.width == 1 && level.height == 1)) break;
    blocks += TEX_bytes_needed_for_image(level);
    out += out_row * level.height;
    if (level.width >= 2) level.width /= 2;
    if (level.height >= 2) level.height /= 2;
  }
}
