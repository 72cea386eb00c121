// Turning images upside down in place, for the DDS files that store their
// rows top-down, and the DXT block handling that needs: reversing the pixel
// rows inside 4x4 blocks, finding DXT1 blocks that use the transparent
// colour, and gamma-correcting block endpoints without changing what the
// indices mean.
#pragma once

#include "textures/image_ops.h"

// One DXT colour block: two RGB565 endpoints (little-endian; red in bits
// 11-15, green 5-10, blue 0-4), then one byte of 2-bit indices per pixel row,
// row 0 first, the lowest two bits for the leftmost pixel. With colour 0 >
// colour 1 the block has four colours; otherwise three and a transparent
// black at index 3.
struct DXTColBlock {
  unsigned char col0[2];
  unsigned char col1[2];
  unsigned char row[4];
};

// The alpha half of a DXT5 block: two alpha values, then 48 bits of 3-bit
// indices, rows 0 and 1 in bytes 0-2 of row (a 24-bit little-endian number,
// row 0 in its low 12 bits), rows 2 and 3 in bytes 3-5.
struct DXT5AlphaBlock {
  unsigned char alpha0;
  unsigned char alpha1;
  unsigned char row[6];
};

// Flips the image and every level of its mip chain in place. Returns 1 when
// some DXT1 block uses the transparent index in three-colour mode, else 0.
// Blocks of every block row (the middle one of an odd count too) have their
// pixel rows reversed; in levels under 4 pixels high only the rows the
// image uses are. Only pixels inside the image count for the transparency
// flag. A DXT image that TEX_dxt_flips_in_place refuses is left as it is
// and gives -1. An unknown or depth format is a fatal alert.
int TEX_flip_y(const TEX_image_desc& desc, unsigned char* data);

// 0 when desc is DXT and one of its levels is over 4 pixels high with a
// height that is not a multiple of 4: turned over, that level's pixel rows
// fall into other block rows, which no reordering of blocks gives. Such an
// image is decoded instead (below); 1 for every other image.
int TEX_dxt_flips_in_place(const TEX_image_desc& desc);

// What a DXT image and its chain decode to: GL_RGBA for DXT3 and DXT5 and
// for DXT1 when a block gives the transparent index to a pixel of the
// image, else GL_RGB.
int TEX_dxt_decoded_format(const TEX_image_desc& desc, const unsigned char* blocks);

// Decodes a DXT image stored top-down (and its mip chain when desc says so)
// into bottom-up rows of format (GL_RGB or GL_RGBA, pad 0), the endpoint
// gamma applied first when the colour table asks for it, as TEX_flip_y does.
// out holds TEX_bytes_needed_for_image of that format, width, height and
// chain.
void TEX_decode_dxt_flipped(const TEX_image_desc& desc, const unsigned char* blocks, int format, unsigned char* out);

// Reverse the pixel rows of count whole blocks, with the endpoint gamma
// correction when the colour table asks for it. The DXT1 routine returns
// found, or 1 when found was 0 and a block uses the transparent index; the
// others return 0. DXT3 and DXT5 blocks are 16 bytes each.
int nv_flip_blocks_dxtc1(DXTColBlock* blocks, int count, int found);
int nv_flip_blocks_dxtc3(unsigned char* blocks, int count, int found);
int nv_flip_blocks_dxtc5(unsigned char* blocks, int count, int found);

// Reverses the four alpha index rows.
void nv_flip_dxt5_alpha(DXT5AlphaBlock* block);

// Maps both endpoints through the colour table's gamma table, keeping what
// every index means. A DXT3 or DXT5 colour block (four_colour 1) always
// decodes with four colours, whatever the order of its endpoints.
void nv_gamma_correct(DXTColBlock* block, int four_colour = 0);

// One step up or down of a 565 colour (green first, then blue, then red);
// 0 when already white (up) or black (down).
int IncColor565(unsigned short& colour);
int DecColor565(unsigned short& colour);
