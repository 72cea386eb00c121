#include "textures/tex_png.h"

#include <png.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/pending_file.h"
#include "files/xmap.h"
#include "runtime/alert.h"
#include "runtime/colr.h"
#include "runtime/globals.h"
#include "textures/tman.h"

namespace {

const char kSource[] = "RAdorud/TEX/TEX_png";

// Everything one decode or one write needs. libpng reaches it through its io
// and error pointers. Whatever changes after the recovery point is set lives
// here, in memory libpng also sees, so it is current after a jump back.
struct png_job {
  std::string path;
  std::string message;  // libpng's error message

  // Reading.
  const unsigned char* cur = nullptr;
  const unsigned char* end = nullptr;
  unsigned int format = 0;
  int row_pixels = 0;
  int pow2 = 0;
  int follow_alpha = 0;
  std::int64_t data_size = 0;
  unsigned char* data = nullptr;
  int owned = 0;
  png_bytep* rows = nullptr;
  std::string refusal;  // our own reason to refuse the file
  TEX_image_desc desc;

  // Writing.
  PendingFile* out = nullptr;
  std::vector<char> pending;
  int write_err = 0;
};

void my_error(png_structp png, png_const_charp message) {
  png_job* job = static_cast<png_job*>(png_get_error_ptr(png));
  if (job) job->message = message ? message : "";
  // Back to the recovery point; nothing here needs destroying.
  png_longjmp(png, 1);
}

void my_warning(png_structp png, png_const_charp message) {
  png_job* job = static_cast<png_job*>(png_get_error_ptr(png));
  xer << "PNG warning! " << (message ? message : "") << ", " << (job ? job->path : std::string()) << "\n";
}

png_voidp my_malloc(png_structp, png_alloc_size_t size) { return std::malloc(size); }

void my_free(png_structp, png_voidp p) { std::free(p); }

void my_readbuf(png_structp png, png_bytep out, png_size_t n) {
  png_job* job = static_cast<png_job*>(png_get_io_ptr(png));
  if (n > static_cast<png_size_t>(job->end - job->cur)) png_error(png, "PNG Read Error, overran end of buffer!");
  std::memcpy(out, job->cur, n);
  job->cur += n;
}

// Bytes per pixel of a wanted format, or 0.
int wanted_bpp(unsigned int format) {
  switch (format) {
    case GL_RGB:
      return 3;
    case GL_RGBA:
      return 4;
    case GL_ALPHA:
      return 1;
    default:
      return 0;
  }
}

std::uint32_t big_endian32(const unsigned char* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

// Whether every chunk ahead of the image data lies inside the file. libpng
// reads each of those chunks whole into a buffer the size the chunk claims
// (a damaged length in a file of a few bytes had it ask for 2 GB); a chunk
// that runs past the end would fail the read anyway. The image data it reads
// in small pieces.
bool chunks_inside_the_file(const unsigned char* bytes, std::int64_t size) {
  std::int64_t at = 8;
  while (size - at >= 8) {
    if (std::memcmp(bytes + at + 4, "IDAT", 4) == 0) return true;
    const std::int64_t length = big_endian32(bytes + at);
    if (length > size - at - 12) return false;  // data and CRC
    at += 12 + length;
  }
  return true;  // what is left is too short for a chunk: libpng says so
}

// The decode proper, from the recovery point on: 1 decoded, -1 a libpng
// error (its message in job.message), -2 refused by our own checks (the
// reason in job.refusal).
int read_png(png_structp png, png_infop info, png_job& job) {
  if (setjmp(png_jmpbuf(png))) return -1;

  png_set_read_fn(png, &job, my_readbuf);
  png_set_sig_bytes(png, 8);
  job.cur += 8;
  // libpng takes every side a PNG can have, so that an image larger than
  // this reader takes meets the layout's check below, whose message says
  // so, before any row is set up.
  png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  // Texts, colour profiles and suggested palettes are passed over, neither
  // inflated nor kept: the pixels do not need them, and libpng would keep
  // every one whole (two megabytes of text chunks inflated to gigabytes).
  static const png_byte kSkipped[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT";
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkipped, 5);

  png_read_info(png, info);
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bit_depth = 0;
  int color_type = 0;
  png_get_IHDR(png, info, &width, &height, &bit_depth, &color_type, nullptr, nullptr, nullptr);
  png_set_interlace_handling(png);

  job.desc.format = static_cast<int>(job.format);
  job.desc.width = static_cast<int>(width);
  job.desc.height = static_cast<int>(height);
  job.desc.has_mipmaps = 0;
  job.desc.pad = 0;

  double file_gamma = 0.0;
  if (!png_get_gAMA(png, info, &file_gamma)) file_gamma = 1.0 / colr.image_gamma;
  png_set_gamma(png, colr.display_gamma, file_gamma);

  const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if ((color_type == PNG_COLOR_TYPE_PALETTE && bit_depth <= 8) ||
      (color_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) || has_trns) {
    png_set_expand(png);
  }
  if (bit_depth == 16) png_set_strip_16(png);
  if (bit_depth < 8) png_set_packing(png);

  // A tRNS chunk gives the image an alpha channel through the expansion.
  const bool alpha = (color_type & PNG_COLOR_MASK_ALPHA) != 0 || has_trns;
  const bool colour = (color_type & PNG_COLOR_MASK_COLOR) != 0;
  if (job.follow_alpha) {
    if (!alpha && job.desc.format == GL_RGBA) job.desc.format = GL_RGB;
    if (alpha && job.desc.format == GL_RGB) job.desc.format = GL_RGBA;
  }
  const int bpp = wanted_bpp(static_cast<unsigned int>(job.desc.format));
  switch (job.desc.format) {
    case GL_RGBA:
      if (!alpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
      if (!colour) png_set_gray_to_rgb(png);
      break;
    case GL_RGB:
      if (alpha) png_set_strip_alpha(png);
      if (!colour) png_set_gray_to_rgb(png);
      break;
    default:  // GL_ALPHA: the grey value becomes the alpha byte
      if (alpha) png_set_strip_alpha(png);
      if (colour) png_set_rgb_to_gray(png, PNG_ERROR_ACTION_NONE, -1.0, -1.0);
      break;
  }

  image_layout layout;
  if (!TEX_plan_layout(job.desc.width, job.desc.height, bpp, job.row_pixels, job.pow2, layout, job.refusal)) {
    return -2;
  }
  job.desc.pad = layout.pad;

  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<png_size_t>(bpp) * width) {
    job.refusal = "row size does not match the pixel format";
    return -2;
  }

  if (!TEX_prepare_destination(job.data, job.data_size, layout, job.owned, job.refusal)) return -2;
  job.rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
  if (!job.rows) {
    job.refusal = "out of memory for the rows";
    return -2;
  }
  for (png_uint_32 i = 0; i < height; ++i) {
    job.rows[i] = job.data + static_cast<std::int64_t>(height - 1 - i) * layout.row_bytes;
  }
  png_read_image(png, job.rows);
  return 1;
}

image_refusal ping_error(const std::string& second, const std::string& path) {
  image_refusal why;
  why.lines[0] = "PING-FILE ERROR!";
  why.lines[1] = second;
  why.lines[2] = path;
  why.source = kSource;
  return why;
}

}  // namespace

int TEX_decode_png(const unsigned char* bytes, std::int64_t size, const std::string& path, unsigned char*& data,
                   std::int64_t data_size, unsigned int desired_format, int row_pixels, int pow2, int follow_alpha,
                   TEX_image_desc& desc, image_refusal& why) {
  if (!bytes || size < 8) return 0;
  if (png_sig_cmp(bytes, 0, 8) != 0) {
    why = ping_error("is_png=!png_sig_cmp(png_io_buf,0,8)", path);
    why.source_line = __LINE__;
    return -1;
  }
  if (!wanted_bpp(desired_format)) {
    why = image_refusal();
    why.lines[0] = "Illegal bits per pixel";
    why.source = kSource;
    why.source_line = __LINE__;
    return -1;
  }
  if (!chunks_inside_the_file(bytes, size)) {
    why = ping_error("a chunk runs past the end of the file", path);
    why.source_line = __LINE__;
    return -1;
  }

  png_job job;
  job.path = path;
  job.cur = bytes;
  job.end = bytes + size;
  job.format = desired_format;
  job.row_pixels = row_pixels;
  job.pow2 = pow2;
  job.follow_alpha = follow_alpha;
  job.data_size = data_size;
  job.data = data;

  png_structp png =
      png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &job, my_error, my_warning, nullptr, my_malloc, my_free);
  if (!png) {
    why = ping_error("!png_ptr", path);
    why.source_line = __LINE__;
    return -1;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    why = ping_error("!info_ptr", path);
    why.source_line = __LINE__;
    return -1;
  }

  const int result = read_png(png, info, job);
  png_destroy_read_struct(&png, &info, nullptr);
  std::free(job.rows);

  if (result == 1) {
    data = job.data;
    desc = job.desc;
    return 1;
  }
  if (job.owned) std::free(job.data);
  if (job.owned) data = nullptr;
  if (result == -1) {
    why = ping_error("setjmp(png_ptr->jmpbuf", path);
    why.warning[0] = "PNG error!";
    why.warning[1] = job.message;
    why.warning[2] = path;
  } else {
    why = ping_error(job.refusal, path);
  }
  why.source_line = __LINE__;
  return -1;
}

int TEX_load_png(const std::string& path, xmap_class* file, unsigned char*& data, unsigned int desired_format,
                 int row_pixels, int pow2, int follow_alpha, TEX_image_desc& desc, std::int64_t data_size) {
  if (!file || !file->cursor || file->end - file->cursor < 8) return 0;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(file->cursor);
  image_refusal why;
  const int r = TEX_decode_png(bytes, file->end - file->cursor, path, data, data_size, desired_format, row_pixels,
                               pow2, follow_alpha, desc, why);
  if (r < 0) TEX_raise_refusal(why);
  return r;
}

namespace {

constexpr std::size_t kWriteChunk = 64 * 1024;

void flush_pending(png_job& job) {
  if (job.write_err == 0 && !job.pending.empty()) job.write_err = job.out->write(job.pending.data(), job.pending.size());
  job.pending.clear();
}

void my_writebuf(png_structp png, png_bytep in, png_size_t n) {
  png_job* job = static_cast<png_job*>(png_get_io_ptr(png));
  job->pending.insert(job->pending.end(), reinterpret_cast<const char*>(in), reinterpret_cast<const char*>(in) + n);
  if (job->pending.size() >= kWriteChunk) flush_pending(*job);
  if (job->write_err) png_error(png, "PNG Write Error, the file could not be written!");
}

void my_flush(png_structp) {}

// The write proper, from the recovery point on: 1 written, 0 a libpng error.
int write_png(png_structp png, png_infop info, png_job& job, const TEX_image_desc& desc, int bpp,
              const unsigned char* pixels) {
  if (setjmp(png_jmpbuf(png))) return 0;
  png_set_write_fn(png, &job, my_writebuf, my_flush);
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_set_compression_level(png, 9);
  png_set_compression_mem_level(png, 8);
  png_set_compression_strategy(png, 0);
  png_set_compression_window_bits(png, 15);
  png_set_compression_method(png, 8);
  png_set_compression_buffer_size(png, 8192);
  png_set_gAMA(png, info, 0.45454545454545453);
  const int color_type = bpp == 4 ? PNG_COLOR_TYPE_RGBA : (bpp == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY);
  png_set_IHDR(png, info, static_cast<png_uint_32>(desc.width), static_cast<png_uint_32>(desc.height), 8,
               color_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const std::int64_t row = static_cast<std::int64_t>(bpp) * desc.width + desc.pad;
  job.rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * static_cast<std::size_t>(desc.height)));
  if (!job.rows) png_error(png, "out of memory for the rows");
  for (int r = 0; r < desc.height; ++r) {
    job.rows[r] = const_cast<png_bytep>(pixels + (desc.height - 1 - r) * row);
  }
  png_write_image(png, job.rows);
  png_write_end(png, info);
  return 1;
}

}  // namespace

int TEX_save_png(const std::string& path, const TEX_image_desc& desc, const unsigned char* pixels) {
  const int bpp = wanted_bpp(static_cast<unsigned int>(desc.format));
  if (!bpp) {
    __MACIBM_alert(0, "Illegal pixel format for png-write.", path, "", "", t_exit, kSource, __LINE__);
    return 0;
  }
  if (desc.width < 1 || desc.height < 1 || desc.pad < 0 || !pixels) return 0;

  PendingFile out;
  if (out.create(app_path + path) != 0) return 0;
  png_job job;
  job.path = path;
  job.out = &out;
  job.pending.reserve(kWriteChunk + 8192);

  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, my_error, my_warning);
  if (!png) return 0;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return 0;
  }
  int ok = write_png(png, info, job, desc, bpp, pixels);
  png_destroy_write_struct(&png, &info);
  std::free(job.rows);
  if (!ok) {
    __MACIBM_alert(0, "PNG error!", job.message, path, "", t_alert, kSource, __LINE__);
    return 0;
  }
  flush_pending(job);
  if (job.write_err || out.close_checked() != 0 || out.rename_over() != 0) return 0;
  return 1;
}

void write_png_to_disk(std::string path, int width, int height, int channels) {
  TEX_image_desc desc;
  desc.format = channels == 4 ? GL_RGBA : GL_RGB;
  desc.width = width;
  desc.height = height;
  const std::int64_t bytes = static_cast<std::int64_t>(width) * height * (channels == 4 ? 4 : 3);
  if (width < 1 || height < 1 || bytes > kScratchBytes) return;
  TEX_save_png(path, desc, scratch_array);
}
