// PNG reading and writing through libpng.
//
// The reader decodes a PNG that is already mapped in memory into bottom-up,
// gamma-corrected rows of GL_RGB, GL_RGBA or GL_ALPHA, optionally padded to a
// given row length or to power-of-two sides. The writer stores bottom-up rows
// as an 8-bit PNG file. Each decode keeps its state to itself, so decodes on
// different threads do not meet.
#pragma once

#include <cstdint>
#include <string>

#include "textures/image_ops.h"

class xmap_class;

// Decodes the mapped file from its cursor. desired_format is GL_RGB, GL_RGBA
// or GL_ALPHA; row_pixels, when not 0, is the destination's row length in
// pixels (at least the width); pow2 pads to power-of-two sides (the padding
// is zero); follow_alpha lets the file's alpha choose between GL_RGB and
// GL_RGBA. data null: the buffer is allocated with malloc and handed over;
// otherwise data is the caller's buffer of data_size bytes, which must hold
// the padded image. Returns 1 when decoded, 0 (quietly) when the file is
// missing or shorter than 8 bytes. Anything else that is wrong (not a PNG,
// a damaged file, sides outside 1..2048, a buffer too small, an unknown
// format) is a fatal alert naming the path.
int TEX_load_png(const std::string& path, xmap_class* file, unsigned char*& data, unsigned int desired_format,
                 int row_pixels, int pow2, int follow_alpha, TEX_image_desc& desc, std::int64_t data_size);

// The decoder proper over size bytes, without alerts: 1 decoded, 0 fewer
// than 8 bytes, -1 refused with the alert's lines in why. On -1 a buffer the
// decoder allocated is freed and data is null again.
int TEX_decode_png(const unsigned char* bytes, std::int64_t size, const std::string& path, unsigned char*& data,
                   std::int64_t data_size, unsigned int desired_format, int row_pixels, int pow2, int follow_alpha,
                   TEX_image_desc& desc, image_refusal& why);

// Writes a GL_RGB, GL_RGBA or GL_ALPHA image (bottom-up rows with their pad)
// as an 8-bit PNG with gamma 1/2.2. The file is written beside path and
// takes its place only when complete. 1 when written; 0 when it could not be
// created or written, with any earlier file left as it was. Another format is
// a fatal alert.
int TEX_save_png(const std::string& path, const TEX_image_desc& desc, const unsigned char* pixels);

// Writes the first width x height pixels of scratch_array (GL_RGBA when
// channels is 4, else GL_RGB; no pad) with TEX_save_png. Sizes beyond the
// buffer write nothing.
void write_png_to_disk(std::string path, int width, int height, int channels);
