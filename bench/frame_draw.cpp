// Draws a typical wizard frame (background, two panels, 30 lines of text,
// six buttons, a progress bar) many times into an 800 x 600 GLX window and
// reports the CPU time per frame spent in the drawing calls, without the
// buffer swap. For reference it draws the same number of textured quads in
// the same number of primitives with bare immediate-mode calls.
//
//   bench_frame_draw [FRAMES]      (needs DISPLAY)
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "textures/builtin_images.h"
#include "textures/ogl_extensions.h"
#include "ui/colr.h"
#include "ui/draw.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/widgets.h"
#include "window/macibm.h"
#include "window/mnw.h"

namespace {

double thread_cpu() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

const char* const kBody =
    "The installer compares every file of your copy with the files of the release you want, and then "
    "downloads and installs only what changed.";

void draw_wizard_frame(int frame) {
  OGL_plot_back_col();
  colr.assign(103, 1, 1, 1);
  OGL_2dquad(t_background, 103, 1.0f, 0, 0, 0, 0, 0, 600, 0, 600.0f / 1024, 800, 600, 800.0f / 1024,
             600.0f / 1024, 800, 0, 800.0f / 1024, 0, 1, gl_alpha_none);
  BTN_frame2(20, 10, 50, 190, 453, "Steps");
  BTN_frame2(20, 210, 50, 580, 453, "Downloading the changed files");
  for (int i = 0; i < 8; ++i) OGL_string(i == 3 ? 65 : 45, 20, 480 - 20 * i, "Step number " + std::to_string(i), 9999, 100, 0);
  for (int i = 0; i < 22; ++i) {
    const std::string line = i % 4 == 0 ? std::string(kBody) : "Folder/Sub folder/file_" + std::to_string(i) + ".txt";
    OGL_string(12, 220, 470 - 14 * i, line, i % 4 == 0 ? 9999 : 560, 100, 0);
  }
  for (int i = 0; i < 6; ++i) BTN_action(500, 250 + 25 * i, 0, 0, 1, "Choice number " + std::to_string(i), "-");
  BTN_frame1(4, 500, 80, 520, 0);
  BTN_frame1(5, 240 + (frame % 520) / 2.0f, 80, static_cast<float>(frame % 520), 0);
}

// The bare reference: `quads` textured quads spread over `prims` primitives.
void draw_reference(int prims, int quads) {
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  const int per = quads / prims;
  for (int p = 0; p < prims; ++p) {
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    for (int q = 0; q < per; ++q) {
      const float x = static_cast<float>((p * 7 + q * 13) % 780), y = static_cast<float>((p * 11) % 580);
      glTexCoord2f(0, 0), glVertex2f(x, y);
      glTexCoord2f(0, 0.03f), glVertex2f(x, y + 15);
      glTexCoord2f(0.03f, 0.03f), glVertex2f(x + 14, y + 15);
      glTexCoord2f(0.03f, 0), glVertex2f(x + 14, y);
    }
    glEnd();
  }
}

// Counts the quads and primitives of one frame through the layout code.
class counter : public text_target, public quad_sink {
 public:
  int select(int, int) override { return 0; }
  void begin_line() override { ++prims; }
  void glyph(const quad_corners&) override { ++quads; }
  void quad(const quad_corners&) override { ++quads; }
  int prims = 0, quads = 0;
};

void count_frame(counter& c) {
  c.prims += 2, c.quads += 2;  // back colour and background picture
  BTN_frame2_quads(20, 10, 50, 190, 453, 0, 0, c);
  BTN_frame2_quads(20, 210, 50, 580, 453, 0, 0, c);
  c.prims += 2;
  text_string(c, 43, 20, 497, "Steps", 9999, 100, 0, 0, 0);
  text_string(c, 43, 220, 497, "Downloading the changed files", 9999, 100, 0, 0, 0);
  for (int i = 0; i < 8; ++i) text_string(c, 45, 20, 480 - 20 * i, "Step number " + std::to_string(i), 9999, 100, 0, 0, 0);
  for (int i = 0; i < 22; ++i) {
    const std::string line = i % 4 == 0 ? std::string(kBody) : "Folder/Sub folder/file_" + std::to_string(i) + ".txt";
    text_string(c, 12, 220, 470 - 14 * i, line, i % 4 == 0 ? 9999 : 560, 100, 0, 0, 0);
  }
  for (int i = 0; i < 6; ++i) {
    const std::string label = "Choice number " + std::to_string(i);
    ++c.prims;
    BTN_frame1_quads(2, 500, 250 + 25 * i, BTN_action_width(label), 0, 0, c);
    text_string(c, 43, 500, 247 + 25 * i, label, 9999, 100, 1, 0, 0);
  }
  c.prims += 2;
  BTN_frame1_quads(4, 500, 80, 520, 0, 0, c);
  BTN_frame1_quads(5, 370, 80, 260, 0, 0, c);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 1000;
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) {
    std::fprintf(stderr, "no display\n");
    return 2;
  }
  int attrs[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, None};
  XVisualInfo* vi = glXChooseVisual(dpy, DefaultScreen(dpy), attrs);
  if (!vi) return 2;
  XSetWindowAttributes swa{};
  swa.colormap = XCreateColormap(dpy, RootWindow(dpy, vi->screen), vi->visual, AllocNone);
  const Window win = XCreateWindow(dpy, RootWindow(dpy, vi->screen), 0, 0, 800, 600, 0, vi->depth, InputOutput,
                                   vi->visual, CWColormap, &swa);
  XMapWindow(dpy, win);
  GLXContext ctx = glXCreateContext(dpy, vi, nullptr, True);
  if (!ctx || !glXMakeCurrent(dpy, win, ctx)) return 2;
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glAlphaFunc(GL_GREATER, 0.0f);

  mnw.tex_res = 5;  // full-size textures, as the start-up sets
  ren.tex_units = 4;
  glExt.max_texture_size = 2048;
  mnw.x_res = 800;
  mnw.y_res = 600;
  mnw.display = dpy;
  mnw.window[0] = win;
  mnw.context[0] = ctx;
  TEX_load_builtin_images();
  MACIBM_startwind(0, 0);
  OGL_pix_specs(0);
  OGL_setstate(1, 0, 3, 4, 9, 11);

  counter c;
  count_frame(c);

  double ours = 0.0, ref = 0.0;
  for (int f = 0; f < frames; ++f) {
    const double t0 = thread_cpu();
    draw_wizard_frame(f);
    const double t1 = thread_cpu();
    glXSwapBuffers(dpy, win);
    ours += t1 - t0;
  }
  glFinish();
  for (int f = 0; f < frames; ++f) {
    const double t0 = thread_cpu();
    draw_reference(c.prims, c.quads);
    const double t1 = thread_cpu();
    glXSwapBuffers(dpy, win);
    ref += t1 - t0;
  }
  glFinish();
  std::printf("frames: %d, per frame %d quads in %d primitives\n", frames, c.quads, c.prims);
  std::printf("wizard frame:   %.3f ms CPU per frame (drawing calls, swap excluded)\n", ours / frames * 1e3);
  std::printf("bare reference: %.3f ms CPU per frame\n", ref / frames * 1e3);
  std::printf("ratio wizard/reference: %.2f\n", ours / ref);
  glXMakeCurrent(dpy, None, nullptr);
  glXDestroyContext(dpy, ctx);
  XDestroyWindow(dpy, win);
  XCloseDisplay(dpy);
  return 0;
}
