// DDS files: reading points into the mapped file (DXT1, DXT3, DXT5, or raw
// BGR and BGRA, usually with their mip chain) without decoding anything;
// writing builds the mip chain of an RGB or RGBA image and compresses every
// level with libsquish (DXT1 for RGB, DXT5 for RGBA).
#pragma once

#include <cstdint>
#include <string>

#include "textures/image_ops.h"

class xmap_class;

// Size of the header, magic included; the pixel data follows it.
constexpr int kDdsHeaderBytes = 128;

// Fills desc and points data at the pixel data inside the mapping, which
// must outlive its use. 1 when the file is a usable DDS; 0, quietly, when it
// is not: no mapping, under 128 bytes, no "DDS " magic, an unknown FourCC, a
// side of 0 or above 2048, or fewer bytes after the header than the image
// (with its mip chain) needs.
int TEX_load_dds(const std::string& path, xmap_class* file, const unsigned char*& data, TEX_image_desc& desc);

// The same over size bytes.
int TEX_parse_dds(const unsigned char* bytes, std::int64_t size, const unsigned char*& data, TEX_image_desc& desc);

// Writes a GL_RGB or GL_RGBA image (bottom-up rows with their pad) as a DDS
// with its whole mip chain. The file is written beside path and takes its
// place only when complete. 1 when written; 0 when it could not be created
// or written, with any earlier file left as it was. Another format is a
// fatal alert.
int TEX_save_dds(const std::string& path, const unsigned char* pixels, const TEX_image_desc& desc);
