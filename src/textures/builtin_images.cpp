#include "textures/builtin_images.h"

#include <cstring>

#include "runtime/colr.h"
#include "textures/tman.h"

namespace {

constexpr const char kBuiltinName[] = "scratch_array:hardwired textures";

// Copies one image into scratch_array at a power-of-two row stride and loads
// it under its reference. The bytes between a row's end and the next stride
// keep what the buffer held.
void load_builtin(const builtin_image& image, const unsigned char* pixels) {
  scratch_dx = image.width;
  scratch_dy = image.height;
  int stride = 2;
  while (stride < image.width) stride *= 2;
  const size_t row_bytes = static_cast<size_t>(image.width) * image.bytes_per_pixel;
  const size_t stride_bytes = static_cast<size_t>(stride) * image.bytes_per_pixel;
  for (int r = 0; r < image.height; ++r) memcpy(scratch_array + r * stride_bytes, pixels + r * row_bytes, row_bytes);
  scratch_dx = stride;
  tman.load_texture(tex_fail_fatal, image.ref, image.filter, tex_load_now, kBuiltinName);
}

}  // namespace

bool TEX_interface_colour(int entry, float rgb[3]) {
  constexpr float kByte = 0.003921569f;
  for (const interface_swatch& s : kInterfaceSwatches) {
    if (s.entry != entry) continue;
    const unsigned char* p = g_tex_interface + (static_cast<size_t>(s.row) * 512 + s.x) * 4;
    for (int i = 0; i < 3; ++i) rgb[i] = p[i] * kByte;
    return true;
  }
  return false;
}

void TEX_load_builtin_images() {
  load_builtin(kBackgroundImage, g_tex_background);
  load_builtin(kElementsImage, g_tex_elements);
  load_builtin(kMapImage, g_tex_map);
  load_builtin(kInterfaceImage, g_tex_interface);

  for (const interface_swatch& s : kInterfaceSwatches) {
    float c[3];
    TEX_interface_colour(s.entry, c);
    colr.assign(s.entry, c[0], c[1], c[2]);
  }
  colr.assign(39, (colr.rgb[38][0] + colr.rgb[35][0]) * 0.5f, (colr.rgb[38][1] + colr.rgb[35][1]) * 0.5f,
              (colr.rgb[38][2] + colr.rgb[35][2]) * 0.5f);
}
