// Images in memory: the descriptor that says how to read a pixel buffer,
// the byte size of an image and its mip chain, and the operations on
// uncompressed images (box-filter shrink, colour key, composite).
//
// Buffer conventions shared by every codec and operation:
// - The pixel buffer is a separate array of bytes; the descriptor never owns
//   it. A decoder given a null buffer allocates it with malloc and hands it to
//   the caller, who frees it.
// - Rows run bottom-up, as OpenGL expects. An uncompressed row is width x
//   bytes-per-pixel + pad bytes long.
// - Compressed data is a sequence of 4x4 blocks, left to right, block rows in
//   the same bottom-up order.
// - Sizes are computed in 64 bits; every reader refuses sides outside
//   1..kMaxImageSide before it writes a pixel.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <string>

// The largest image side any reader accepts.
constexpr int kMaxImageSide = 2048;

struct TEX_image_desc {
  int format = 0;       // GL pixel format, one of those TEX_bytes_needed_for_image knows
  int width = 0;        // pixels
  int height = 0;       // pixels
  int pad = 0;          // extra bytes at the end of every uncompressed row, every level
  int has_mipmaps = 0;  // 1: the mip levels follow the base image, down to 1 x 1
};

// Bytes of one pixel of an uncompressed format: 1 for GL_ALPHA, 3 for GL_RGB
// and GL_BGR, 4 for GL_RGBA, GL_BGRA and GL_DEPTH_COMPONENT; 0 for a
// compressed or unknown format.
int TEX_bytes_per_pixel(int format);

// Bytes that the pixel data occupies, with its whole mip chain when the
// descriptor says so. 0 for an unknown format, or a negative side or pad.
std::int64_t TEX_bytes_needed_for_image(const TEX_image_desc& desc);

// Shrinks an uncompressed image in place by fx across and fy down with a box
// filter (leftover columns and rows are dropped) and updates width and
// height. Factors are held to 1..side; each output channel is the mean,
// rounded down, of its fx x fy source pixels. A compressed image is left
// as it is.
void TEX_downscale(TEX_image_desc& desc, unsigned char* data, int fx, int fy);

// Makes every pixel of a 4-byte image (GL_RGBA or GL_BGRA) whose colour lies
// within threshold (sum of the channel differences, strictly less) of the key
// transparent. key holds R, G, B. Other formats are left as they are.
void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* pixels, const unsigned char* key,
                    int threshold);

// Blends the whole source image, bilinearly sampled and weighted by its
// alpha when it has one, into the rectangle (left, bottom)-(right, top) of
// the destination, in destination pixels. Both images are GL_RGB or GL_RGBA
// (4-byte formats have alpha). An empty rectangle changes nothing.
void TEX_composite(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc,
                   const unsigned char* src, unsigned char* dst, float left, float bottom, float right,
                   float top);

// P(n): the smallest power of two not below n; 1 for n <= 1.
int TEX_next_pow2(int n);

// Why a reader refused a file it recognised: the four lines of the fatal
// alert that the public entry point raises for it, and the source named in
// that alert. The warning lines, when the first is not empty, are shown
// first as a warning (the PNG library's own message).
struct image_refusal {
  std::string warning[4];
  std::string lines[4];
  const char* source = "";
  int source_line = 0;
};

// Shows the refusal: the warning (when any), then the fatal alert. Never
// returns.
[[noreturn]] void TEX_raise_refusal(const image_refusal& why);

// Row layout shared by the PNG and BMP readers for a width x height image of
// bpp bytes per pixel: pad from the destination's row length in pixels
// (row_pixels, 0 for none) or from power-of-two padding (pow2), the number
// of rows the buffer holds and its size. False (with the reason in why) when
// the sides lie outside 1..kMaxImageSide or the row length is below the
// width.
struct image_layout {
  int pad = 0;
  std::int64_t row_bytes = 0;
  std::int64_t rows = 0;
  std::int64_t total = 0;
  bool clear = false;  // power-of-two padding leaves bytes the image does not cover
};
bool TEX_plan_layout(int width, int height, int bpp, int row_pixels, int pow2, image_layout& out,
                     std::string& why);

// Makes the destination of a decode: data null allocates layout.total bytes
// (owned set to 1), otherwise the caller's buffer of data_size bytes must
// hold them. Clears the buffer when the layout asks for it. False with the
// reason in why when the buffer is too small or the allocation failed.
bool TEX_prepare_destination(unsigned char*& data, std::int64_t data_size, const image_layout& layout,
                             int& owned, std::string& why);
