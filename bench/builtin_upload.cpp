// The start-up upload of the four built-in images, timed in the program's
// own window on a private X server (Mesa's llvmpipe), against the plainest
// upload of the same pixels in the same run: one glTexImage2D per image from
// a buffer already laid out at the texture's row stride.
//
//   bench_builtin_upload [RUNS]
//
// Alternates the two RUNS times (default 21) and prints the medians, each
// ended by glFinish. Before each run of the manager's upload its four
// textures are unloaded, so that every run defines them afresh as the
// start-up does.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#define GL_GLEXT_PROTOTYPES 1
#include "support/live_window.h"
#include "support/x_server.h"
#include "textures/builtin_images.h"
#include "textures/ogl_extensions.h"
#include "textures/tman.h"
#include "window/mnw.h"

namespace {

double now_ms() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct plain_image {
  std::vector<unsigned char> pixels;  // at the texture's stride
  int tex_w, tex_h;
  GLenum format;
};

plain_image stride_copy(const builtin_image& im, const unsigned char* src) {
  int w = 2, h = 1;
  while (w < im.width) w *= 2;
  while (h < im.height) h *= 2;
  plain_image out{std::vector<unsigned char>(static_cast<size_t>(w) * h * im.bytes_per_pixel), w, h,
                  static_cast<GLenum>(im.bytes_per_pixel == 3 ? GL_RGB : GL_RGBA)};
  for (int r = 0; r < im.height; ++r)
    memcpy(out.pixels.data() + static_cast<size_t>(r) * w * im.bytes_per_pixel,
           src + static_cast<size_t>(r) * im.width * im.bytes_per_pixel, static_cast<size_t>(im.width) * im.bytes_per_pixel);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(5, atoi(argv[1])) : 21;
  XServer x;
  LiveWindow window(x);
  if (!window.ok()) {
    fprintf(stderr, "no X server or GL window\n");
    return 1;
  }
  GLint max_size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
  glExt.max_texture_size = max_size;
  glExt.tex_clamp_avail = 1;
  mnw.tex_res = 5;

  const plain_image plain[] = {stride_copy(kBackgroundImage, g_tex_background),
                               stride_copy(kElementsImage, g_tex_elements), stride_copy(kMapImage, g_tex_map),
                               stride_copy(kInterfaceImage, g_tex_interface)};
  GLuint names[4];
  glGenTextures(4, names);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

  std::vector<double> manager, reference;
  for (int i = 0; i < runs; ++i) {
    for (int ref : {t_background, t_elements, t_world_map, t_interface})
      if (static_cast<int>(tman.ref_dat.size()) > ref && tman.ref_dat[ref].format != 0) tman.unload_texture(ref);
    glFinish();
    double t0 = now_ms();
    TEX_load_builtin_images();
    glFinish();
    manager.push_back(now_ms() - t0);

    glDeleteTextures(4, names);
    glFinish();
    t0 = now_ms();
    for (int k = 0; k < 4; ++k) {
      glBindTexture(GL_TEXTURE_2D, names[k]);
      glTexImage2D(GL_TEXTURE_2D, 0, plain[k].format, plain[k].tex_w, plain[k].tex_h, 0, plain[k].format,
                   GL_UNSIGNED_BYTE, plain[k].pixels.data());
    }
    glFinish();
    reference.push_back(now_ms() - t0);
    TEX_reset_bind();
  }
  const double m = median(manager), r = median(reference);
  printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  printf("start-up upload of the four images: %.2f ms (median of %d)\n", m, runs);
  printf("plain glTexImage2D of the same pixels: %.2f ms\n", r);
  printf("ratio: %.2f\n", m / r);
  return 0;
}
