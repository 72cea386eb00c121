// Decodes one 2048 x 2048 RGBA PNG into the decode buffer, and the same file
// with libpng's simplified read API into memory, alternating, in one run;
// prints the median time of each and the ratio of speeds.
//
//   bench_png_decode [RUNS] [FILE]
//
// Without FILE the picture (smooth gradients with fine noise, so that it
// compresses like a photograph) is written with the program's own PNG writer
// to a private temporary folder and removed afterwards.
#include <png.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "textures/ogl_extensions.h"
#include "textures/tex_png.h"
#include "textures/tman.h"
#include "window/mnw.h"

namespace {

constexpr int kSide = 2048;

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool make_picture(const std::string& path) {
  std::vector<unsigned char> px(static_cast<std::size_t>(kSide) * kSide * 4);
  unsigned seed = 2024;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = static_cast<int>((seed >> 16) & 7) - 4;
      unsigned char* p = &px[(static_cast<std::size_t>(y) * kSide + x) * 4];
      const double r = std::sin(x * 0.004) * 90 + 120;
      const double g = std::cos(y * 0.003 + x * 0.001) * 80 + 128;
      const double b = (x + y) * 255.0 / (2 * kSide);
      p[0] = static_cast<unsigned char>(std::lround(r) + noise);
      p[1] = static_cast<unsigned char>(std::lround(g) + noise);
      p[2] = static_cast<unsigned char>(std::lround(b));
      p[3] = static_cast<unsigned char>(x < kSide / 2 ? 255 : 255 - (y >> 4));
    }
  }
  TEX_image_desc desc;
  desc.format = GL_RGBA;
  desc.width = kSide;
  desc.height = kSide;
  return TEX_save_png(path, desc, px.data()) == 1;
}

// The texture manager's load of an image file: found by name, decoded into
// its decode buffer and laid out for the upload.
double ours(const std::string& path) {
  const double t0 = now();
  int format = GL_RGBA, mips = 0, sx = 0, sy = 0, tx = 0, ty = 0;
  signed char bpp = 4;
  if (load_any_into_scratch(path, tex_rgba, &format, &mips, &bpp, 0, &sx, &sy, &tx, &ty) != 1) return -1;
  if (format != GL_RGBA || tx != kSide || ty != kSide) return -1;
  return now() - t0;
}

double reference(const std::string& path, std::vector<unsigned char>& out) {
  const double t0 = now();
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) return -1;
  img.format = PNG_FORMAT_RGBA;
  out.resize(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, out.data(), 0, nullptr)) return -1;
  return now() - t0;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? atoi(argv[1]) : 10;
  if (runs < 5) runs = 5;
  std::string path;
  std::string folder;
  if (argc > 2) {
    path = argv[2];
  } else {
    char tmpl[] = "/tmp/corvane-png-bench-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    folder = tmpl;
    path = folder + "/picture.png";
    if (!make_picture(path)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }

  mnw.tex_res = 5;  // full resolution
  glExt.max_texture_size = kSide;
  std::vector<double> times_ours, times_ref;
  std::vector<unsigned char> ref_pixels;
  bool same = true;
  for (int i = 0; i < runs; ++i) {
    const double a = ours(path);
    const double b = reference(path, ref_pixels);
    if (a < 0 || b < 0) {
      std::fprintf(stderr, "decode failed\n");
      return 1;
    }
    times_ours.push_back(a);
    times_ref.push_back(b);
  }
  // Both give the same pixels (the decode buffer holds them bottom-up).
  const std::size_t row = kSide * 4;
  for (int y = 0; y < kSide && same; ++y)
    same = std::memcmp(scratch_array_temp + static_cast<std::size_t>(kSide - 1 - y) * row, &ref_pixels[y * row], row) == 0;

  std::FILE* f = std::fopen(path.c_str(), "rb");
  long size = 0;
  if (f) {
    std::fseek(f, 0, SEEK_END);
    size = std::ftell(f);
    std::fclose(f);
  }
  if (!folder.empty()) {
    unlink(path.c_str());
    rmdir(folder.c_str());
  }
  const double m_ours = median(times_ours);
  const double m_ref = median(times_ref);
  std::printf("file: %d x %d RGBA, %.1f MiB, medians of %d alternating runs, pixels %s\n", kSide, kSide,
              size / 1048576.0, runs, same ? "agree" : "DIFFER");
  std::printf("decode buffer:   %8.2f ms\n", m_ours * 1e3);
  std::printf("libpng simple:   %8.2f ms\n", m_ref * 1e3);
  std::printf("ratio ours/libpng (speed): %.3f\n", m_ref / m_ours);
  return same ? 0 : 1;
}
