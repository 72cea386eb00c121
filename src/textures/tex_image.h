// How a pixel buffer in memory is laid out, and the operations on it that the
// texture manager needs: byte sizes and shrinking by whole factors.
//
// Rows run bottom-up: the first row in memory is the bottom row of the
// picture, as OpenGL expects. An uncompressed row is width x bytes per pixel
// + pad bytes long; compressed data is a run of 4 x 4 blocks.
#pragma once

struct TEX_image_desc {
  int format;       // GL pixel format
  int width;
  int height;
  int pad;          // extra bytes at the end of every uncompressed row
  int has_mipmaps;  // 1: the mip levels follow the base image, down to 1 x 1
};

// Bytes the pixel data occupies (with its mip chain when it has one); 0 for
// a format that is not an image format.
int TEX_bytes_needed_for_image(const TEX_image_desc& desc);

// Shrinks the image in place by fx across and fy down with a box filter and
// updates its width and height. Leftover columns and rows are dropped.
void TEX_downscale(TEX_image_desc& desc, unsigned char* data, int fx, int fy);
