// The image generator: draws the program's four built-in images from code
// and small hand-written data, the same bytes on every run.
//
//   corvane_imagegen --fonts DIR --land-mask FILE [--out DIR] [--png DIR]
//
// --out writes the raw images (background.rgb, elements.rgba, map.rgba,
// interface.rgba: rows from the bottom, no header) that the build embeds;
// --png writes the same four as PNG files for review, plus preview_*.png,
// mock screens put together from them.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "canvas.h"
#include "images.h"

namespace {

// Writes beside the target and renames over it only when every byte and the
// close succeeded.
bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::string temp = path + ".part";
  FILE* f = fopen(temp.c_str(), "wb");
  if (!f) return false;
  const bool wrote = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = fclose(f) == 0;
  if (!wrote || !closed || rename(temp.c_str(), path.c_str()) != 0) {
    remove(temp.c_str());
    return false;
  }
  return true;
}

int usage() {
  fprintf(stderr, "usage: corvane_imagegen --fonts DIR --land-mask FILE [--out DIR] [--png DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string fonts, mask, out, png;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return usage();
    if (arg == "--fonts") fonts = argv[++i];
    else if (arg == "--land-mask") mask = argv[++i];
    else if (arg == "--out") out = argv[++i];
    else if (arg == "--png") png = argv[++i];
    else return usage();
  }
  if (fonts.empty() || mask.empty() || (out.empty() && png.empty())) return usage();

  gen::Inputs in{fonts + "/DejaVuSans.ttf", fonts + "/DejaVuSans-Bold.ttf", mask};
  for (const std::string& f : {in.font_regular, in.font_bold}) {
    if (FILE* probe = fopen(f.c_str(), "rb")) {
      fclose(probe);
    } else {
      fprintf(stderr, "corvane_imagegen: cannot read the font %s (Debian package fonts-dejavu-core)\n", f.c_str());
      return 1;
    }
  }

  const gen::Canvas background = gen::draw_background();
  const gen::Canvas elements = gen::draw_elements(in);
  gen::Canvas map(1, 1);
  if (!gen::draw_map(in, &map)) {
    fprintf(stderr, "corvane_imagegen: cannot read the land mask %s\n", mask.c_str());
    return 1;
  }
  const gen::Canvas interface = gen::draw_interface(in);

  struct image {
    const char* name;
    const gen::Canvas* canvas;
    int channels;
  };
  const image images[] = {{"background", &background, 3},
                          {"elements", &elements, 4},
                          {"map", &map, 4},
                          {"interface", &interface, 4}};
  for (const image& im : images) {
    const std::vector<uint8_t> bytes = im.canvas->bytes(im.channels, im.channels == 3);
    if (!out.empty()) {
      const std::string path = out + "/" + im.name + (im.channels == 3 ? ".rgb" : ".rgba");
      if (!write_file(path, bytes)) {
        fprintf(stderr, "corvane_imagegen: cannot write %s\n", path.c_str());
        return 1;
      }
    }
    if (!png.empty()) {
      const std::string path = png + "/" + im.name + ".png";
      if (!gen::write_png(path, bytes, im.canvas->width(), im.canvas->height(), im.channels)) {
        fprintf(stderr, "corvane_imagegen: cannot write %s\n", path.c_str());
        return 1;
      }
    }
  }
  if (!png.empty()) {
    for (const gen::Sheet& sheet : gen::draw_previews(background, elements, map, interface)) {
      const std::string path = png + "/" + sheet.name + ".png";
      if (!gen::write_png(path, sheet.canvas.bytes(3), sheet.canvas.width(), sheet.canvas.height(), 3)) {
        fprintf(stderr, "corvane_imagegen: cannot write %s\n", path.c_str());
        return 1;
      }
    }
  }
  return 0;
}
