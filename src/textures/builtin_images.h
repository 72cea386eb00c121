// The four images compiled into the program, from which the whole interface
// is drawn. Each is raw pixel data, rows from the bottom of the picture, R G B
// (A) bytes without padding, drawn by the project's image generator at build
// time (tools/imagegen).
#pragma once

#include <cstddef>

extern "C" {
extern const unsigned char g_tex_background[];  // 800 x 600 RGB
extern const unsigned char g_tex_elements[];    // 1024 x 70 RGBA
extern const unsigned char g_tex_map[];         // 504 x 504 RGBA
extern const unsigned char g_tex_interface[];   // 512 x 512 RGBA
}

struct builtin_image {
  const char* name;            // the generator's file name
  int width, height, bytes_per_pixel;
  int ref;                     // texture reference
  int filter;                  // tex_filter_type of the load
};

// In the order of loading.
inline constexpr builtin_image kBackgroundImage = {"background", 800, 600, 3, 395, 0x501};
inline constexpr builtin_image kElementsImage = {"elements", 1024, 70, 4, 393, 0x502};
inline constexpr builtin_image kMapImage = {"map", 504, 504, 4, 394, 0x502};
inline constexpr builtin_image kInterfaceImage = {"interface", 512, 512, 4, 392, 0x502};

inline constexpr size_t builtin_image_bytes(const builtin_image& i) {
  return static_cast<size_t>(i.width) * i.height * i.bytes_per_pixel;
}

// The interface colours: colour-table entry and the interface pixel that
// gives it, in the order of assignment. Entry 39 follows as the mean of 38
// and 35.
struct interface_swatch {
  int entry, x, row;
  unsigned char r, g, b;  // the colour the artwork gives it
};
inline constexpr interface_swatch kInterfaceSwatches[] = {
    {34, 319, 155, 51, 67, 86},    {35, 319, 147, 78, 78, 73},    {36, 319, 139, 13, 27, 44},
    {37, 319, 131, 125, 126, 121}, {38, 319, 123, 255, 255, 255}, {40, 319, 115, 238, 238, 238},
    {41, 319, 107, 13, 27, 44},    {42, 319, 99, 93, 99, 110},    {43, 319, 91, 34, 41, 53},
    {45, 319, 83, 39, 44, 52},     {46, 319, 75, 36, 43, 53},     {47, 319, 67, 127, 220, 175},
    {44, 395, 115, 220, 220, 220},
};

// Hands the four built-in images to the texture manager under their fixed
// references and takes the interface colours from the interface image. Run
// once by the display start-up, after the capability probe and the worker
// threads, before the first window is started.
void TEX_load_builtin_images();

// The colour that interface colour `entry` (34 to 47) takes from the
// interface image, as the start-up assigns it; false for another entry.
bool TEX_interface_colour(int entry, float rgb[3]);
