// The drawing layer on the program's own GL window (Xvfb, Mesa): panels,
// buttons, boxes, the progress bar and text drawn by the real calls are
// compared, pixel by pixel, with the same quads composed in software from
// the image generator's own atlas data.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/ui_calls.h"
#include "support/live_window.h"
#include "support/x_observe.h"
#include "support/x_server.h"
#include "textures/builtin_images.h"
#include "textures/tman.h"
#include "ui/colr.h"
#include "ui/draw.h"
#include "ui/draw_list.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/widgets.h"
#include "window/mnw.h"

// After gtest, whose own None it would otherwise replace.
#include <X11/Xlib.h>

namespace {

constexpr int kW = 800, kH = 600;

// The picture as the layout code says it should be: quads composed over the
// window colour, nearest texel, source-alpha blending.
class model : public text_target, public quad_sink {
 public:
  model() : rgb_(kW * kH * 3), unsure_(kW * kH, false) {
    const float* bg = colr.rgb[34];
    for (int i = 0; i < kW * kH; ++i)
      for (int c = 0; c < 3; ++c) rgb_[i * 3 + c] = std::round(bg[c] * 255.0f);
  }

  // The texture and colour of the quads that follow.
  void use(int texture, int colour) {
    interface_ = texture == t_interface;
    colr.gl_colour(colour, 1.0f, 0, 1.0f, colour_);
  }
  int select(int, int colour) override {
    use(t_interface, colour);
    return 0;
  }
  void glyph(const quad_corners& q) override { quad(q); }

  void quad(const quad_corners& q) override {
    const float xa = std::fmin(q.v[0][0], q.v[2][0]), xb = std::fmax(q.v[0][0], q.v[2][0]);
    const float ya = std::fmin(q.v[0][1], q.v[2][1]), yb = std::fmax(q.v[0][1], q.v[2][1]);
    if (xb - xa <= 0.0f || yb - ya <= 0.0f) return;
    const float tw = interface_ ? 512.0f : 1024.0f, th = interface_ ? 512.0f : 128.0f;
    for (int py = static_cast<int>(std::floor(ya)); py <= static_cast<int>(yb); ++py) {
      for (int px = static_cast<int>(std::floor(xa)); px <= static_cast<int>(xb); ++px) {
        if (px < 0 || py < 0 || px >= kW || py >= kH) continue;
        const float cx = px + 0.5f, cy = py + 0.5f;
        if (cx < xa - 0.02f || cx > xb + 0.02f || cy < ya - 0.02f || cy > yb + 0.02f) continue;
        const int i = py * kW + px;
        if (near_whole(cx - xa) || near_whole(cx - xb) || near_whole(cy - ya) || near_whole(cy - yb)) {
          unsure_[i] = true;  // a centre on an edge: either side may take it
          if (cx < xa || cx > xb || cy < ya || cy > yb) continue;
        }
        // Texture coordinates at the pixel centre, in texels.
        const float fx = (cx - q.v[0][0]) / (q.v[2][0] - q.v[0][0]);
        const float fy = (cy - q.v[0][1]) / (q.v[2][1] - q.v[0][1]);
        const float s = (q.v[0][2] + fx * (q.v[2][2] - q.v[0][2])) * tw;
        const float t = (q.v[0][3] + fy * (q.v[2][3] - q.v[0][3])) * th;
        if (near_whole(s) || near_whole(t)) unsure_[i] = true;
        blend(i, texel(static_cast<int>(std::floor(s)), static_cast<int>(std::floor(t))));
      }
    }
  }

  // The window's pixel (x, y up) against the model; writes the worst
  // channel difference of the sure pixels and returns how many differ by
  // more than the tolerance.
  int compare(const unsigned char* shot, int tolerance, int* worst, int* checked) const {
    int bad = 0;
    *worst = 0;
    *checked = 0;
    for (int i = 0; i < kW * kH; ++i) {
      if (unsure_[i]) continue;
      ++*checked;
      int d = 0;
      for (int c = 0; c < 3; ++c) d = std::max(d, static_cast<int>(std::fabs(shot[i * 3 + c] - rgb_[i * 3 + c])));
      *worst = std::max(*worst, d);
      if (d > tolerance) ++bad;
    }
    return bad;
  }

 private:
  static bool near_whole(float v) { return std::fabs(v - std::round(v)) < 0.02f; }

  const unsigned char* texel(int s, int t) const {
    static const unsigned char clear[4] = {0, 0, 0, 0};
    if (interface_) {
      s = ((s % 512) + 512) % 512;
      t = ((t % 512) + 512) % 512;
      return g_tex_interface + (t * 512 + s) * 4;
    }
    if (s < 0 || s >= 1024 || t < 0 || t >= 70) return clear;
    return g_tex_elements + (t * 1024 + s) * 4;
  }

  void blend(int i, const unsigned char* tx) {
    const float a = tx[3] / 255.0f * colour_[3];
    for (int c = 0; c < 3; ++c) rgb_[i * 3 + c] = a * tx[c] * colour_[c] + (1.0f - a) * rgb_[i * 3 + c];
  }

  std::vector<float> rgb_;
  std::vector<bool> unsure_;
  bool interface_ = true;
  float colour_[4] = {1, 1, 1, 1};
};

class DrawingWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok());
    ASSERT_TRUE(window_.ok());
    window_.pass();
    ASSERT_EQ(mnw.cur_wind, 0);
    mnw.mouse_x = mnw.mouse_y = -100;  // nothing under the pointer
    mnw.click = 0;
  }
  XServer x_;
  LiveWindow window_{x_};
};

// The quads of one box piece of a check box or radio button.
quad_corners box_piece(float x, float y, float s0, float s1, float t0, float t1) {
  const float k = 1.0f / 512.0f;
  return quad_corners{{{x - 9, y - 6, s0 * k, t0 * k},
                       {x - 9, y + 12, s0 * k, t1 * k},
                       {x + 9, y + 12, s1 * k, t1 * k},
                       {x + 9, y - 6, s1 * k, t0 * k}}};
}

TEST_F(DrawingWindow, PanelsButtonsBoxesAndTheProgressBarShowTheirArtwork) {
  model m;
  // A style-11 panel with its title, a style-13 sub-panel and the wizard's
  // two large panels.
  OGL_plot_back_col();
  BTN_frame2(11, 20, 300, 360, 250, "Panel title");
  m.use(t_interface, 0);
  BTN_frame2_quads(11, 20, 300, 360, 250, 0, 0, m);
  float tx, ty;
  BTN_frame2_title_pos(11, 20, 300, 360, 250, "Panel title", &tx, &ty);
  text_string(m, 40, tx, ty, "Panel title", 9999, 100, 0, 0, 0);

  float right = 0, top = 0;
  BTN_subwin(0, 13, 420, 300, 360, 250, "Sub-panel", &right, &top);
  EXPECT_EQ(right, 790);
  EXPECT_EQ(top, 560);
  m.use(t_interface, 0);
  BTN_frame2_quads(13, 420, 300, 360, 250, 0, 0, m);
  BTN_frame2_title_pos(13, 420, 300, 360, 250, "Sub-panel", &tx, &ty);
  text_string(m, 43, tx, ty, "Sub-panel", 9999, 100, 0, 0, 0);

  BTN_frame2(20, 20, 20, 190, 260, "Steps");
  BTN_frame2(20, 230, 160, 300, 120, "Body");
  for (const auto& p : {std::make_pair(20.0f, 20.0f), std::make_pair(230.0f, 160.0f)}) {
    const bool first = p.first == 20.0f;
    m.use(t_elements, 0);
    BTN_frame2_quads(20, p.first, p.second, first ? 190 : 300, first ? 260 : 120, 0, 0, m);
    BTN_frame2_title_pos(20, p.first, p.second, first ? 190 : 300, first ? 260 : 120, "", &tx, &ty);
    text_string(m, 43, tx, ty, first ? "Steps" : "Body", 9999, 100, 0, 0, 0);
  }

  // A push button up and one drawn pressed.
  EXPECT_EQ(BTN_action(660, 100, 0, 0, 1, "Press me", "-"), 0);
  EXPECT_EQ(BTN_action(660, 60, 0, 1, 1, "Held", "-"), 0);
  for (const auto& b : {std::make_pair(100.0f, "Press me"), std::make_pair(60.0f, "Held")}) {
    m.use(t_interface, 0);
    BTN_frame1_quads(2, 660, b.first, BTN_action_width(b.second), 0, 0, m);
    if (b.first == 60.0f) BTN_frame1_quads(3, 660, b.first, BTN_action_width(b.second), 0, 0, m);
    text_string(m, 43, 660, b.first - 3, b.second, 9999, 100, 1, 0, 0);
  }

  // Check boxes and radio buttons, off and on.
  int off = 0, on = 1;
  BTN_bool(580, 250, &off, "", 0);
  BTN_bool(620, 250, &on, "", 0);
  BTN_bool(660, 250, &off, "", 1);
  BTN_bool(700, 250, &on, "", 1);
  m.use(t_interface, 0);
  m.quad(box_piece(580, 250, 139, 157, 178, 196));
  m.quad(box_piece(620, 250, 139, 157, 178, 196));
  m.quad(box_piece(620, 250, 139, 157, 197, 215));
  m.quad(box_piece(660, 250, 83, 101, 123, 141));
  m.quad(box_piece(700, 250, 83, 101, 123, 141));
  m.quad(box_piece(700, 250, 83, 101, 142, 160));

  // The progress bar: the fill over the track.
  BTN_frame1(4, 380, 100, 300, 0);
  BTN_frame1(5, 300, 100, 140, 0);
  m.use(t_interface, 0);
  BTN_frame1_quads(4, 380, 100, 300, 0, 0, m);
  BTN_frame1_quads(5, 300, 100, 140, 0, 0, m);

  glFinish();
  OGL_screenshot(0);
  int worst = 0, checked = 0;
  const int bad = m.compare(scratch_array, 3, &worst, &checked);
  EXPECT_GT(checked, kW * kH * 9 / 10);
  EXPECT_EQ(bad, 0) << "worst difference " << worst << " over " << checked << " pixels";
}

// The back buffer's pixels (x, y up), RGBA, of a rectangle of the window.
std::vector<unsigned char> read_back(int x, int y, int w, int h) {
  std::vector<unsigned char> pixels(static_cast<std::size_t>(w) * h * 4);
  glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

// Stripes of colours and alphas over the whole window, so that a fill that
// blends or misses pixels shows it. They go over a cleared window, so that
// they look the same each time whatever the blending.
void paint_stripes() {
  glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  for (int i = 0; i < kW / 40; ++i)
    OGL_fillrect(i % 20 + 1, 0.3f + 0.035f * static_cast<float>(i % 20), static_cast<float>(i * 40) - mnw.wind_x,
                 -mnw.wind_y, 40, kH);
}

// How many pixels the window colour fill leaves otherwise than the blended
// full-window quad it stands for, each drawn over the stripes.
int fill_differs_from_quad() {
  paint_stripes();
  OGL_fillrect(34, 1.0f, -mnw.wind_x, -mnw.wind_y, kW, kH);
  const std::vector<unsigned char> quad = read_back(0, 0, kW, kH);
  paint_stripes();
  OGL_plot_back_col();
  const std::vector<unsigned char> fill = read_back(0, 0, kW, kH);
  int differ = 0;
  for (std::size_t i = 0; i < quad.size(); i += 4)
    if (std::memcmp(&quad[i], &fill[i], 3) != 0) ++differ;
  return differ;
}

// Whether the whole window is one colour.
bool window_is_flat() {
  const std::vector<unsigned char> p = read_back(0, 0, kW, kH);
  for (std::size_t i = 4; i < p.size(); i += 4)
    if (std::memcmp(&p[i], &p[0], 3) != 0) return false;
  return true;
}

TEST_F(DrawingWindow, WindowColourFillLeavesThePixelsOfTheBlendedQuad) {
  const float saved[3] = {colr.rgb[34][0], colr.rgb[34][1], colr.rgb[34][2]};

  // Every level of each channel, and the levels half-way between two; in a
  // corner, which a scissor box keeps both fills to.
  OGL_scissors(0, 0, 2, 2);
  for (int level = 0; level < 256; ++level) {
    for (float offset : {0.0f, 0.5f}) {
      const float v = (static_cast<float>(level) + offset) / 255.0f;
      colr.assign(34, v, 1.0f - v, v > 0.5f ? v - 0.5f : v + 0.25f);
      OGL_fillrect(1, 1.0f, -mnw.wind_x, -mnw.wind_y, kW, kH);
      OGL_fillrect(34, 1.0f, -mnw.wind_x, -mnw.wind_y, kW, kH);
      const std::vector<unsigned char> quad = read_back(0, 0, 2, 2);
      OGL_fillrect(1, 1.0f, -mnw.wind_x, -mnw.wind_y, kW, kH);
      OGL_plot_back_col();
      ASSERT_EQ(read_back(0, 0, 2, 2), quad) << "level " << level << " + " << offset;
    }
  }
  OGL_scissors_end();
  colr.assign(34, saved[0], saved[1], saved[2]);

  EXPECT_EQ(fill_differs_from_quad(), 0) << "main window";
  EXPECT_TRUE(window_is_flat());

  // A sub-window's origin: the fill still covers the whole GL window.
  mnw.wind_x = 190;
  mnw.wind_y = 175;
  EXPECT_EQ(fill_differs_from_quad(), 0) << "sub-window";
  EXPECT_TRUE(window_is_flat());
  mnw.wind_x = mnw.wind_y = 0;

  // A colour lit above full brightness, and the monochrome look.
  const float lites[3] = {colr.lites[0], colr.lites[1], colr.lites[2]};
  colr.lites[0] = 1.6f;
  EXPECT_EQ(fill_differs_from_quad(), 0) << "bright";
  colr.lites[0] = lites[0];
  OGL_monochrome = 1;
  EXPECT_EQ(fill_differs_from_quad(), 0) << "monochrome";
  OGL_monochrome = 0;

  // A global alpha below full: the fill blends over what is there.
  OGL_alpha_factor = 0.5f;
  EXPECT_EQ(fill_differs_from_quad(), 0) << "half alpha";
  EXPECT_FALSE(window_is_flat());
  OGL_alpha_factor = 1.0f;

  // A scissor box, and a colour mask that keeps green.
  OGL_scissors(100, 50, 300, 200);
  EXPECT_EQ(fill_differs_from_quad(), 0) << "scissor";
  OGL_scissors_end();
  EXPECT_FALSE(window_is_flat());
  glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE);
  EXPECT_EQ(fill_differs_from_quad(), 0) << "colour mask";
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

  // Additive blending keeps what is under the quad.
  OGL_glow_colors();
  EXPECT_EQ(fill_differs_from_quad(), 0) << "additive";
  OGL_nrml_colors();

  // Projections under which the quad covers part of the window, none of it
  // (mirrored, so culled), a sheared one that reaches every edge but misses
  // two corners, and a viewport smaller than the window.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, kW * 2, 0, kH, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  EXPECT_EQ(fill_differs_from_quad(), 0) << "left half";
  EXPECT_FALSE(window_is_flat());
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(kW, 0, 0, kH, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  EXPECT_EQ(fill_differs_from_quad(), 0) << "mirrored";
  const std::vector<unsigned char> mirrored = read_back(0, 0, kW, kH);
  glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(read_back(0, 0, kW, kH), mirrored) << "the quad and the stripes face away and are culled";
  OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0);
  const GLfloat shear[16] = {1, 0, 0, 0, 0.2f, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  glLoadMatrixf(shear);
  EXPECT_EQ(fill_differs_from_quad(), 0) << "sheared";
  EXPECT_FALSE(window_is_flat());
  glLoadIdentity();
  // The quad reaches past the window by the numbers, but drawing stops at
  // the viewport.
  glViewport(0, 0, kW / 2, kH);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, kW / 2, 0, kH, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  EXPECT_EQ(fill_differs_from_quad(), 0) << "small viewport";
  EXPECT_FALSE(window_is_flat());
  OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0);
  EXPECT_EQ(fill_differs_from_quad(), 0) << "restored";
  EXPECT_TRUE(window_is_flat());

  // The fill leaves the colour and the state cache as the quad does.
  OGL_setstate(gl_fog_off, 1, gl_lit_off, gl_alpha_none, gl_depth_off, gl_dwrite_off);
  OGL_plot_back_col();
  GLfloat current[4];
  glGetFloatv(GL_CURRENT_COLOR, current);
  float expect[4];
  colr.gl_colour(34, 1.0f, 0, 1.0f, expect);
  for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(current[c], expect[c]);
  EXPECT_FLOAT_EQ(current[3], 1.0f);
  EXPECT_EQ(OGL_state_cache().tex, 0);
  EXPECT_EQ(OGL_state_cache().blend, 1);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
}

// A frame of the toolkit's drawing; `step` moves a bar, a line, an outline,
// a fill and a clipped text, and changes a title and a check box.
void draw_scene(int step) {
  OGL_plot_back_col();
  colr.assign(103, 1, 1, 1);
  const float s = 800.0f / 1024, t = 600.0f / 1024;
  OGL_2dquad(t_background, 103, 1.0f, 0, 0, 0, 0, 0, kH, 0, t, kW, kH, s, t, kW, 0, s, 0, 1, gl_alpha_none);
  BTN_frame2(20, 10, 50, 190, 453, "");
  BTN_frame2(20, 210, 50, 580, 453, "");
  for (int i = 0; i < 6; ++i) OGL_string(i == 2 ? 65 : 45, 30, 480 - 20 * i, "Step " + std::to_string(i), 180, 100, 0);
  OGL_string(12, 500, 480, "Title of step " + std::to_string(step), 540, 100, 1);
  BTN_action(500, 350, 250, 0, 1, "A choice", "-");
  int on = step % 2;
  BTN_bool(300, 300, &on, "", 0);
  BTN_frame1(4, 500, 155, 520, 0);
  BTN_frame1(5, 250.0f + 5.0f * step, 155, 20.0f + 10.0f * step, 0);
  OGL_line(45, 0.7f, 230, 200.0f + step, 700, 220);
  OGL_framerect(12, 1.0f, 240, 100, 100.0f + step, 30);
  OGL_scissors(400, 90, 100, 20);
  OGL_string(12, 380.0f + step, 95, "clipped text, clipped text", 9999, 100, 0);
  OGL_scissors_end();
  OGL_fillrect(69, 0.4f, 600, 60.0f + 3.0f * step, 80, 40);
}

// The backdrop's texture with other pixels (its rows upside down), or again
// its own.
void replace_backdrop(bool other) {
  if (!other) {
    TEX_load_builtin_images();
    return;
  }
  const builtin_image& b = kBackgroundImage;
  const std::size_t row = static_cast<std::size_t>(b.width) * b.bytes_per_pixel, stride = 1024 * b.bytes_per_pixel;
  for (int r = 0; r < b.height; ++r)
    std::memcpy(scratch_array + static_cast<std::size_t>(r) * stride,
                g_tex_background + static_cast<std::size_t>(b.height - 1 - r) * row, row);
  scratch_dx = 1024;
  scratch_dy = b.height;
  tman.load_texture(tex_fail_fatal, b.ref, b.filter, tex_load_now, "scratch_array:hardwired textures");
}

}  // namespace

TEST_F(DrawingWindow, FramesFromTheListHaveThePixelsOfFramesDrawnStraight) {
  // The frames drawn straight to GL, one after another, and the last one
  // again with the backdrop's texture replaced.
  std::vector<std::vector<unsigned char>> straight;
  for (int step = 0; step < 4; ++step) {
    draw_scene(step);
    straight.push_back(read_back(0, 0, kW, kH));
  }
  replace_backdrop(true);
  draw_scene(3);
  straight.push_back(read_back(0, 0, kW, kH));
  replace_backdrop(false);
  ASSERT_NE(straight[4], straight[3]);

  // The same frames through the list: the first whole, the others only
  // where they changed; the window shows each as it was drawn straight.
  OGL_frame_lists(1);
  struct lists_off {
    ~lists_off() {
      OGL_frame_lists(0);
      replace_backdrop(false);
    }
  } off;
  auto screen_differs_from = [&](int step) {
    const Screenshot shot = Screenshot::grab(x_.display());
    if (!shot.ok()) return -1;
    const std::vector<unsigned char>& want = straight[static_cast<std::size_t>(step)];
    int differ = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const unsigned char* p = &want[(static_cast<std::size_t>(y) * kW + x) * 4];
        if (!(shot.at(x, kH - 1 - y) == rgb{p[0], p[1], p[2]})) ++differ;
      }
    return differ;
  };
  // A changed frame that answers no input waits until 1/15 s after the last
  // frame drawn, and is drawn by the first frame end after that. Every frame
  // end may have drawn (a slow machine comes later), so a frame is sure to
  // be due 70 ms after the last one.
  using clock = std::chrono::steady_clock;
  clock::time_point last_end;
  auto end_frame = [&] {
    const int shown = OGL_end_frame();
    last_end = clock::now();
    return shown;
  };
  auto paced = [&](int step) {
    draw_scene(step);
    int shown = end_frame();
    std::this_thread::sleep_until(last_end + std::chrono::milliseconds(70));
    draw_scene(step);
    shown += end_frame();
    return shown;
  };
  for (int step = 0; step < 4; ++step) {
    if (step == 0) {
      const auto before = clock::now();
      draw_scene(step);
      EXPECT_EQ(end_frame(), 1);
      OGL_show_drawn();
      EXPECT_EQ(screen_differs_from(step), 0) << "step " << step;
      // The next frame changed, but not in answer to input: unless the
      // machine was slower than 1/15 s, it is not drawn yet.
      draw_scene(1);
      const int shown = end_frame();
      if (clock::now() - before < std::chrono::milliseconds(60)) {
        EXPECT_EQ(shown, 0);
        EXPECT_EQ(OGL_show_drawn(), 0) << "nothing drawn, nothing to show";
        EXPECT_EQ(screen_differs_from(step), 0) << "the frame on the screen stays";
      }
      continue;
    }
    if (step == 2) {
      // The window's size changes and comes back: the buffers are made
      // anew, so the frames after each change are drawn whole, and at once.
      const Window w = static_cast<Window>(mnw.window[0]);
      XResizeWindow(x_.display(), w, kW, kH - 100);
      XSync(x_.display(), False);
      OGL_buffers_lost();
      draw_scene(1);
      end_frame();
      XResizeWindow(x_.display(), w, kW, kH);
      XSync(x_.display(), False);
      OGL_buffers_lost();
      draw_scene(step);
      end_frame();
    } else if (step == 3) {
      // What was drawn in place goes on the screen at the next frame end
      // (here the second end of the pair, or the one after it).
      const int shown = paced(step);
      draw_scene(step);
      EXPECT_EQ(shown + end_frame(), 1);
    } else {
      paced(step);
    }
    // ... or before the loop waits.
    OGL_show_drawn();
    EXPECT_EQ(screen_differs_from(step), 0) << "step " << step;
    EXPECT_TRUE(read_back(0, 0, kW, kH) == straight[static_cast<std::size_t>(step)])
        << "the back buffer keeps the frame, step " << step;
  }
  // The backdrop's texture replaced while a changed frame waits for its
  // turn: the frame drawn then shows the new texture everywhere, and so does
  // the same frame once more, though its list is the same.
  draw_scene(2);
  end_frame();
  replace_backdrop(true);
  paced(3);
  OGL_show_drawn();
  EXPECT_EQ(screen_differs_from(4), 0) << "texture replaced while a frame waits";
  replace_backdrop(false);
  paced(3);
  OGL_show_drawn();
  EXPECT_EQ(screen_differs_from(3), 0) << "texture replaced under the same frame";
  // Frames that keep changing without input are still drawn, at their pace.
  int shown = 0;
  for (int i = 0; i < 4; ++i) shown += paced(2 + i % 2) + OGL_show_drawn();
  EXPECT_GE(shown, 4);
  EXPECT_EQ(screen_differs_from(3), 0);
  // The same frame again is not drawn.
  draw_scene(3);
  EXPECT_EQ(end_frame(), 0);
  EXPECT_EQ(OGL_show_drawn(), 0);

  // Frames that show an animation are drawn at most once a fifth of the
  // pulse's period, counted from when each was due. After a stall longer
  // than that (here before the run) the next one is drawn at once and the
  // count starts there, with no burst to catch up.
  const auto gap = std::chrono::microseconds(62832);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto run_start = clock::now();
  shown = 0;
  for (int i = 0; clock::now() - run_start < std::chrono::milliseconds(600); ++i) {
    draw_scene(2 + i % 2);
    DL_animated();
    shown += end_frame() + OGL_show_drawn();
  }
  EXPECT_GE(shown, 1) << "the first frame after the stall is due";
  EXPECT_LE(shown, 1 + (clock::now() - run_start) / gap);
}
