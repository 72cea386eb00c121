// Draws a typical wizard frame (background, two panels, 30 lines of text,
// six buttons, a progress bar whose fill moves every frame with its caption
// and a rate line that change with it) many times into
// an 800 x 600 GLX window and ends each frame as the event loop does, and
// reports the CPU time per frame of the whole process (every thread, the GL
// driver's included, the swap included):
//   - through the frame list: recorded, found changed, drawn in batches
//     where it changed;
//   - through the frame list, drawn whole (as after a change of screen; the
//     window's buffers lost each frame make it so);
//   - straight to GL, one GL call per vertex, as a frame was drawn before
//     the frame lists;
//   - an unchanged frame through the frame list: recorded and compared,
//     nothing drawn.
//
//   bench_frame_draw [FRAMES]      (needs DISPLAY)
#include <GL/gl.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "textures/builtin_images.h"
#include "textures/ogl_extensions.h"
#include "textures/tman.h"
#include "ui/colr.h"
#include "ui/draw.h"
#include "ui/draw_list.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/widgets.h"
#include "window/macibm.h"
#include "window/mnw.h"

namespace {

// CPU time of the whole process so far, every thread.
double process_cpu() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
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
  OGL_string(12, 242, 60, "Installing file " + std::to_string(frame) + " of 2000", 520, 100, 0);
  OGL_string(12, 220, 160, "Downloading at " + std::to_string(1000 + frame * 7 % 900) + " KB per second", 560, 100, 0);
}

// CPU seconds per frame of `frames` frames, each drawn by draw(f) and ended
// as the event loop ends a pass.
template <class Draw>
double per_frame(int frames, Draw&& draw) {
  glFinish();
  const double t0 = process_cpu();
  for (int f = 0; f < frames; ++f) {
    draw(f);
    OGL_end_frame();
  }
  glFinish();
  return (process_cpu() - t0) / frames;
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
  if (!getenv("DISPLAY")) {
    std::fprintf(stderr, "no display\n");
    return 2;
  }
  // The window and context as the program's start-up makes them.
  mnw.x_res_req = 800;
  mnw.y_res_req = 600;
  mnw.col_res_req = 32;
  MACIBM_setres(1);
  MACIBM_make_context(0);
  OGL_pix_specs(0);
  mnw.tex_res = 5;  // full-size textures, as the start-up sets
  ren.tex_units = 4;
  glExt.max_texture_size = 2048;
  TEX_load_builtin_images();
  MACIBM_startwind(0, 0);
  OGL_pix_specs(0);

  counter c;
  count_frame(c);

  // Each way twice, in two rounds; the better of the two counts.
  double list = 1e9, whole = 1e9, straight = 1e9, unchanged = 1e9;
  for (int round = 0; round < 2; ++round) {
    OGL_frame_lists(1);
    // The pointer moves each frame, so that each changed frame is drawn at
    // once, as one that answers input is, not at the pace of progress.
    list = std::min(list, per_frame(frames, [](int f) {
      mnw.mouse_x = static_cast<float>(-1 - f % 2);
      draw_wizard_frame(f);
    }));
    whole = std::min(whole, per_frame(frames, [](int f) {
      draw_wizard_frame(f);
      OGL_buffers_lost();
    }));
    unchanged = std::min(unchanged, per_frame(frames, [](int) { draw_wizard_frame(260); }));
    OGL_frame_lists(0);
    straight = std::min(straight, per_frame(frames, [](int f) { draw_wizard_frame(f); }));
  }
  std::printf("frames: %d, per frame %d quads in %d primitives\n", frames, c.quads, c.prims);
  std::printf("drawn frame, frame list:      %.3f ms CPU per frame (whole process, swap included)\n", list * 1e3);
  std::printf("whole frame, frame list:      %.3f ms CPU per frame\n", whole * 1e3);
  std::printf("drawn frame, straight to GL:  %.3f ms CPU per frame\n", straight * 1e3);
  std::printf("unchanged frame, frame list:  %.3f ms CPU per frame (nothing drawn)\n", unchanged * 1e3);
  std::printf("drawn frame through the list: %.3f ms (target at most 4 ms); list/straight: %.2f\n", list * 1e3,
              list / straight);
  MACIBM_nuke_context(0);
  return 0;
}
