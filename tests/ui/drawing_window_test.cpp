// The drawing layer on the program's own GL window (Xvfb, Mesa): panels,
// buttons, boxes, the progress bar and text drawn by the real calls are
// compared, pixel by pixel, with the same quads composed in software from
// the image generator's own atlas data.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/live_window.h"
#include "support/x_server.h"
#include "textures/builtin_images.h"
#include "textures/tman.h"
#include "ui/colr.h"
#include "ui/draw.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/widgets.h"
#include "window/mnw.h"

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

}  // namespace
