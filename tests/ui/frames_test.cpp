// Quad lists of the atlas frames, with the worked numbers of their layout.
#include <gtest/gtest.h>

#include <vector>

#include "ui/font.h"
#include "ui/frames.h"

namespace {

class collect : public quad_sink {
 public:
  void quad(const quad_corners& q) override { quads.push_back(q); }
  std::vector<quad_corners> quads;
  // Left, bottom, right, top of quad i, and its source s range in pixels.
  float x0(int i) const { return quads.at(i).v[0][0]; }
  float y0(int i) const { return quads.at(i).v[0][1]; }
  float x1(int i) const { return quads.at(i).v[2][0]; }
  float y1(int i) const { return quads.at(i).v[2][1]; }
  float s0(int i, float size = 512) const { return quads.at(i).v[0][2] * size; }
  float s1(int i, float size = 512) const { return quads.at(i).v[2][2] * size; }
  float t1(int i, float size = 512) const { return quads.at(i).v[2][3] * size; }
};

TEST(Frames, PushButtonBar) {
  collect c;
  ASSERT_TRUE(BTN_frame1_quads(2, 100.4f, 50, 60, 0, 0, c));
  ASSERT_EQ(c.quads.size(), 4u);
  EXPECT_EQ(c.x0(0), 70);
  EXPECT_EQ(c.x1(0), 80);
  EXPECT_FLOAT_EQ(c.s0(0), 304);
  EXPECT_FLOAT_EQ(c.s1(0), 314);
  EXPECT_EQ(c.x0(1), 80);
  EXPECT_EQ(c.x1(1), 112);
  EXPECT_FLOAT_EQ(c.s1(1), 346);
  EXPECT_EQ(c.x0(2), 112);
  EXPECT_EQ(c.x1(2), 120);  // cut
  EXPECT_FLOAT_EQ(c.s1(2), 314 + 32.0f * 8 / 42);
  EXPECT_EQ(c.x0(3), 120);
  EXPECT_EQ(c.x1(3), 130);
  EXPECT_FLOAT_EQ(c.s0(3), 346);
  EXPECT_FLOAT_EQ(c.s1(3), 356);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(c.y0(i), 37);
    EXPECT_EQ(c.y1(i), 63);
  }
  // In a sub-window the origin moves every piece.
  collect sub;
  BTN_frame1_quads(2, 100.4f, 50, 60, 190, 175, sub);
  EXPECT_EQ(sub.x0(0), 260);
  EXPECT_EQ(sub.y0(0), 212);
}

TEST(Frames, FieldBarKnobAndMenuBarShift) {
  collect field;
  ASSERT_TRUE(BTN_frame1_quads(9, 200, 50, 100, 0, 0, field));
  ASSERT_EQ(field.quads.size(), 5u);  // caps and three middles (W = 104, n = 2)
  EXPECT_EQ(field.x1(4) - field.x0(0), 104);
  EXPECT_EQ(field.x1(3) - field.x0(3), 22);  // third middle cut to 22 of 31
  EXPECT_FLOAT_EQ(field.s1(3), 272 + 31.0f * 22 / 41);

  collect knob;
  ASSERT_TRUE(BTN_frame1_quads(8, 100, 50, 10, 0, 0, knob));
  ASSERT_EQ(knob.quads.size(), 1u);  // only the right cap
  EXPECT_EQ(knob.x0(0), 98);
  EXPECT_EQ(knob.x1(0), 105);
  collect none;
  ASSERT_TRUE(BTN_frame1_quads(8, 100, 50, 8, 0, 0, none));
  EXPECT_TRUE(none.quads.empty());

  collect menu;
  ASSERT_TRUE(BTN_frame1_quads(0, 100, 50, 100, 0, 0, menu));
  EXPECT_EQ(menu.y0(0), 50 - 3 - 13);
  EXPECT_FALSE(BTN_frame1_quads(6, 100, 50, 100, 0, 0, menu));
  EXPECT_FALSE(BTN_frame1_quads(11, 100, 50, 100, 0, 0, menu));
}

TEST(Frames, VerticalBar) {
  collect c;
  ASSERT_TRUE(BTN_frame0_quads(10, 100, 100, 0, 0, c));
  // H = 108, n = 4: bottom cap, five middles (the last cut), top cap.
  ASSERT_EQ(c.quads.size(), 7u);
  EXPECT_EQ(c.y0(0), 46);
  EXPECT_EQ(c.y1(6), 154);
  EXPECT_EQ(c.y1(5), 144);  // cut at H - 10
  EXPECT_EQ(c.y0(5), 136);
  EXPECT_FLOAT_EQ(c.t1(5), 258 + 8 * 2.0f / 3);
  EXPECT_EQ(c.x0(0), 0);
  EXPECT_EQ(c.x1(0), 20);
}

TEST(Frames, WindowPanel) {
  collect c;
  ASSERT_TRUE(BTN_frame2_quads(11, 0, 0, 600, 380, 0, 0, c));
  // m = 8: rows -1 .. 9 (eleven); k = (618 - 70) / 30 + 1 = 19: 21 columns.
  ASSERT_EQ(c.quads.size(), 11u * 21u);
  EXPECT_EQ(c.x0(0), -9);
  EXPECT_EQ(c.y0(0), -14);
  EXPECT_EQ(c.x1(20), 609);
  EXPECT_EQ(c.y1(c.quads.size() - 1), 384);
  // The last middle row (r = 8) is cut at 354 and samples 18 of 40 rows.
  const int last_middle_row = 9 * 21;
  EXPECT_EQ(c.y0(last_middle_row), 336);
  EXPECT_EQ(c.y1(last_middle_row), 354);
  EXPECT_FLOAT_EQ(c.t1(last_middle_row), 388 + 40.0f * 18 / 40);
  // Corners come from the 100 x 100 block at (1, 358).
  EXPECT_FLOAT_EQ(c.s0(0), 1);
  EXPECT_FLOAT_EQ(c.s1(20), 101);

  float tx, ty;
  BTN_frame2_title_pos(11, 0, 0, 600, 380, "Options", &tx, &ty);
  EXPECT_EQ(ty, 367);
  EXPECT_EQ(tx, 300 - OGL_text_width("Options") / 2);
  panel_style p;
  ASSERT_TRUE(BTN_panel_style(11, &p));
  EXPECT_EQ(p.title_colour, 40);
  ASSERT_TRUE(BTN_panel_style(15, &p));
  EXPECT_EQ(p.title_colour, 47);
}

TEST(Frames, WizardPanelAndBadStyles) {
  collect c;
  ASSERT_TRUE(BTN_frame2_quads(20, 10, 50, 190, 453, 0, 0, c));
  EXPECT_EQ(c.x0(0), 9);
  EXPECT_FLOAT_EQ(c.s0(0, 1024), 982);
  EXPECT_FLOAT_EQ(c.quads[0].v[0][3] * 128, 2);
  float tx, ty;
  BTN_frame2_title_pos(20, 10, 50, 190, 453, "Steps", &tx, &ty);
  EXPECT_EQ(tx, 20);
  EXPECT_EQ(ty, 487);

  collect none;
  EXPECT_FALSE(BTN_frame2_quads(21, 0, 0, 10, 10, 0, 0, none));
  EXPECT_FALSE(BTN_frame2_quads(10, 0, 0, 10, 10, 0, 0, none));
  EXPECT_TRUE(none.quads.empty());

  // A panel narrower than its two side columns draws the left column only.
  collect thin;
  ASSERT_TRUE(BTN_frame2_quads(13, 0, 0, -20, 10, 0, 0, thin));
  EXPECT_EQ(thin.quads.size(), 3u);
}

}  // namespace
