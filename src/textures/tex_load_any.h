// Loading an image file by name without knowing its type: the first bytes
// choose between the BMP and the PNG reader.
#pragma once

#include <cstdint>
#include <string>

#include "textures/image_ops.h"

// Maps path and hands it to the BMP reader (first bytes "BM") or the PNG
// reader (PNG signature), with no power-of-two padding; the other arguments
// are passed on as TEX_load_png takes them. 1 when decoded; 0 when the file
// is missing, shorter than 8 bytes or of no known type (a DDS included). A
// recognised file that cannot be decoded ends the program with its
// reader's alert. The pixels live in data, never in the mapping.
int TEX_load_any(const std::string& path, unsigned char*& data, unsigned int desired_format, int row_pixels,
                 int follow_alpha, TEX_image_desc& desc, std::int64_t data_size);

// Tries path with its extension replaced by ".png", then by ".bmp". Only an
// extension of three letters after the dot is replaced, and only in a path
// longer than four characters; any other path gets the extension added.
int TEX_load_any_ext(const std::string& path, unsigned char*& data, unsigned int desired_format, int row_pixels,
                     int follow_alpha, TEX_image_desc& desc, std::int64_t data_size);

// The path with its three-letter extension replaced by ext (".png"): when
// the path is longer than four characters and its fourth character from the
// end is '.', the last four characters give way to ext; any other path is
// returned unchanged.
std::string TEX_change_extension(const std::string& path, const char* ext);
