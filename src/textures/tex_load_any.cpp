#include "textures/tex_load_any.h"

#include <png.h>

#include "files/xmap.h"
#include "textures/tex_bmp.h"
#include "textures/tex_png.h"

namespace {

bool has_short_extension(const std::string& path) {
  return path.size() > 4 && path[path.size() - 4] == '.';
}

}  // namespace

std::string TEX_change_extension(const std::string& path, const char* ext) {
  if (!has_short_extension(path)) return path;
  return path.substr(0, path.size() - 4) + ext;
}

int TEX_load_any(const std::string& path, unsigned char*& data, unsigned int desired_format, int row_pixels,
                 int follow_alpha, TEX_image_desc& desc, std::int64_t data_size) {
  xmap_class file(path);
  if (!file.start || file.end - file.start < 8) return 0;
  const unsigned char* head = reinterpret_cast<const unsigned char*>(file.start);
  if (head[0] == 'B' && head[1] == 'M') {
    const int r = TEX_load_bmp(path, &file, data, desired_format, row_pixels, 0, desc, data_size);
    if (r) return r;
  }
  if (png_sig_cmp(head, 0, 8) == 0) {
    return TEX_load_png(path, &file, data, desired_format, row_pixels, 0, follow_alpha, desc, data_size);
  }
  return 0;
}

int TEX_load_any_ext(const std::string& path, unsigned char*& data, unsigned int desired_format, int row_pixels,
                     int follow_alpha, TEX_image_desc& desc, std::int64_t data_size) {
  const std::string base = has_short_extension(path) ? path.substr(0, path.size() - 4) : path;
  if (TEX_load_any(base + ".png", data, desired_format, row_pixels, follow_alpha, desc, data_size)) return 1;
  return TEX_load_any(base + ".bmp", data, desired_format, row_pixels, follow_alpha, desc, data_size) ? 1 : 0;
}
