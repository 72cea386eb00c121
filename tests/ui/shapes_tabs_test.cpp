// The arithmetic of the further shapes, the tab row and the direction dial.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "runtime/globals.h"
#include "ui/colr.h"
#include "ui/shapes.h"
#include "ui/tabs_dial.h"

namespace {

using v3 = std::array<float, 3>;
struct Recorder : shape_sink {
  std::vector<shape_prim> prims;
  std::vector<v3> vertices, normals;  // the normal in force at each vertex
  std::vector<std::array<float, 2>> st;
  v3 n{};
  std::array<float, 2> t{};
  void begin(shape_prim p) override { prims.push_back(p); }
  void normal(float x, float y, float z) override { n = {x, y, z}; }
  void tex(float s, float tt) override { t = {s, tt}; }
  void vertex(float x, float y, float z) override {
    vertices.push_back({x, y, z});
    normals.push_back(n);
    st.push_back(t);
  }
  void end() override {}
};

}  // namespace

TEST(Shapes, CirclesArcsAndTheColourRamp) {
  UTL_init_tables();
  std::vector<float> rows;
  fillcircle_rows(10, 20, 2.5f, [&](float y, float l, float r) {
    rows.push_back(y);
    EXPECT_FLOAT_EQ(l + r, 20.0f);
  });
  EXPECT_EQ(rows, (std::vector<float>{17.5f, 18.5f, 19.5f, 20.5f, 21.5f, 22.5f}));
  int calls = 0;
  fillcircle_rows(0, 0, 1e30f, [&](float, float, float) { ++calls; });
  EXPECT_EQ(calls, 0) << "a radius no loop can step through draws nothing";

  float pts[kFrameCirclePoints][2];
  framecircle_points(100.5f, 50.5f, 10, pts);
  EXPECT_FLOAT_EQ(pts[0][1], 60.5f);
  EXPECT_NEAR(pts[18][0], 110.5f, 1e-4) << "90 degrees lies to the right";
  EXPECT_NEAR(pts[72][1], pts[0][1], 1e-4);

  std::vector<std::array<float, 4>> segs;
  arc_segments(0, 0, 10, 10, 0, 90, [&](float a, float b, float c, float d) { segs.push_back({a, b, c, d}); });
  ASSERT_EQ(segs.size(), 91u);
  EXPECT_EQ(segs[0][1], segs[0][3]) << "the first segment has zero length";
  EXPECT_NEAR(segs[90][2], 10, 1e-4);
  EXPECT_NEAR(segs[90][3], 0, 1e-4);

  const float ramp[][4] = {{-1, 0, 0, 0}, {0.5f, 1, 1, 0}, {2, 0.8f, 0, 0.8f}, {0.25f, 1, 0.16f, 0.04f}};
  for (const auto& c : ramp) {
    float rgb[3];
    spectrum_rgb(c[0], rgb);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(rgb[i], c[i + 1], 1e-5) << c[0];
  }
  for (int i : {0, 500, 996}) EXPECT_EQ(spectrum_scale_index(5, 5, i), 0) << "an empty range shows entry 0";
  EXPECT_EQ(spectrum_scale_index(10, 0, 500), 500);
}

TEST(Shapes, QuadNormalsDiscAndBox) {
  UTL_init_tables();
  const float p1[3] = {0, 0, 0}, p2[3] = {0, 1, 0}, p3[3] = {0, 1, 3};
  float n[3];
  quad_normal(p1, p2, p3, n);
  EXPECT_EQ((v3{n[0], n[1], n[2]}), (v3{-1, 0, 0})) << "(p3 - p2) x (p2 - p1), normalised";
  quad_normal(p1, p1, p1, n);
  EXPECT_EQ((v3{n[0], n[1], n[2]}), (v3{0, 1, 0})) << "no direction";

  Recorder disc;
  disc_emit(10, disc);
  EXPECT_EQ(disc.prims, (std::vector<shape_prim>{prim_triangle_fan, prim_triangle_fan, prim_quad_strip, prim_quad_strip,
                                                 prim_quad_strip}));
  ASSERT_EQ(disc.vertices.size(), 14u + 14 + 3 * 26);
  EXPECT_EQ(disc.normals[0][0], -1);
  EXPECT_NEAR(disc.vertices[15][1], 3.8f, 1e-5) << "the caps' rings have 0.38 of the radius";
  EXPECT_NEAR(disc.vertices[28 + 26][1], 10, 1e-5) << "the middle band lies on the full radius";
  EXPECT_EQ(disc.normals.back()[0], 1) << "the rim keeps the right cap's normal";

  Recorder box;
  cube_emit(4, 3, 2, 0.1f, 0.9f, 0.2f, 0.8f, box);
  ASSERT_EQ(box.vertices.size(), 18u);
  EXPECT_EQ(box.vertices[0], (v3{-2, 3, -1}));
  EXPECT_EQ(box.vertices[8], box.vertices[0]) << "the walls close on their first corner";
  EXPECT_EQ(box.st[3], (std::array<float, 2>{0.9f, 0.2f}));
  EXPECT_EQ(box.normals[4], (v3{1, 0, 0})) << "the wall ending at the third corner faces +x";
  EXPECT_EQ(box.normals[10], (v3{0, 1, 0}));
  EXPECT_EQ(box.vertices[17][1], 0);
  EXPECT_EQ(box.st[17][1], 0.2f);
}

TEST(TabsAndDial, CentresHitsAndHeadings) {
  float cx, cy;
  tab_centre(0, 0, 474, &cx, &cy);
  EXPECT_EQ(cx, 53);
  EXPECT_EQ(cy, 474 - 38);
  tab_centre(2, 1, 474, &cx, &cy);
  EXPECT_EQ(cx, 229);
  EXPECT_EQ(cy, 474 - 70);
  EXPECT_TRUE(tab_hit(cx, cy, cx + 40, cy + 13)) << "bounds included";
  EXPECT_TRUE(tab_hit(cx, cy, cx - 50, cy - 13));
  EXPECT_FALSE(tab_hit(cx, cy, cx + 45, cy)) << "the hit area reaches 40 units to the right";

  const float headings[][3] = {{0, 10, 0}, {10, 0, 90}, {0, -10, 180}, {-10, 0, 270}, {0, 0, 0}, {-10, 10, 315}};
  for (const auto& h : headings) EXPECT_NEAR(dial_heading(h[0], h[1]), h[2], 1e-3) << h[0] << "," << h[1];
  EXPECT_TRUE(dial_hit(100, 100, 130, 70));
  EXPECT_FALSE(dial_hit(100, 100, 131, 100));
}
