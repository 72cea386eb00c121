// Reading uncompressed 24-bit Windows bitmaps into GL_RGB, GL_RGBA or
// GL_ALPHA rows, gamma-corrected through the colour table, with pure magenta
// made transparent in GL_RGBA.
#pragma once

#include <cstdint>
#include <string>

#include "textures/image_ops.h"

class xmap_class;

// Reads the mapped file. The arguments are those of TEX_load_png, less its
// follow-alpha flag. The "BM" signature is not checked here: the callers do
// it. Returns 1 when read, 0 when the file has no mapping. A bitmap that is
// not 24-bit, is compressed, has a side outside 1..2048 (a top-down bitmap
// with its negative height included) or rows past the end of the file, or a
// buffer too small for it, is a fatal alert naming the path.
int TEX_load_bmp(const std::string& path, xmap_class* file, unsigned char*& data, unsigned int desired_format,
                 int row_pixels, int pow2, TEX_image_desc& desc, std::int64_t data_size);

// The reader proper over size bytes, without alerts: 1 read, 0 no bytes, -1
// refused with the alert's lines in why (a buffer it allocated is freed and
// data is null again).
int TEX_decode_bmp(const unsigned char* bytes, std::int64_t size, const std::string& path, unsigned char*& data,
                   std::int64_t data_size, unsigned int desired_format, int row_pixels, int pow2,
                   TEX_image_desc& desc, image_refusal& why);
