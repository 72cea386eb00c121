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

struct Recorder : shape_sink {
  struct Prim {
    shape_prim prim;
    std::vector<std::array<float, 3>> vertices, normals;  // the normal in force at each vertex
    std::vector<std::array<float, 2>> tex;
  };
  std::vector<Prim> prims;
  std::array<float, 3> n{};
  std::array<float, 2> st{};
  std::vector<std::array<float, 3>> loose_vertices, loose_normals;  // outside begin/end
  bool open = false;

  void begin(shape_prim p) override {
    prims.push_back({p, {}, {}, {}});
    open = true;
  }
  void normal(float x, float y, float z) override { n = {x, y, z}; }
  void tex(float s, float t) override { st = {s, t}; }
  void vertex(float x, float y, float z) override {
    if (!open) {
      loose_vertices.push_back({x, y, z});
      loose_normals.push_back(n);
      return;
    }
    prims.back().vertices.push_back({x, y, z});
    prims.back().normals.push_back(n);
    prims.back().tex.push_back(st);
  }
  void end() override { open = false; }
};

}  // namespace

TEST(Shapes, CircleRowsOutlineAndArcSegments) {
  UTL_init_tables();
  std::vector<float> rows;
  fillcircle_rows(10, 20, 2.5f, [&](float y, float l, float r) {
    rows.push_back(y);
    EXPECT_FLOAT_EQ(l + r, 20.0f) << "rows are centred on x";
  });
  EXPECT_EQ(rows, (std::vector<float>{17.5f, 18.5f, 19.5f, 20.5f, 21.5f, 22.5f}));
  int zero_rows = 0;
  fillcircle_rows(5, 5, 0, [&](float y, float l, float r) {
    ++zero_rows;
    EXPECT_EQ(y, 5);
    EXPECT_EQ(l, r);
  });
  EXPECT_EQ(zero_rows, 1);
  int none = 0;
  fillcircle_rows(0, 0, NAN, [&](float, float, float) { ++none; });
  fillcircle_rows(0, 0, 1e30f, [&](float, float, float) { ++none; });
  EXPECT_EQ(none, 0) << "a radius no loop can step through draws nothing";

  float pts[kFrameCirclePoints][2];
  framecircle_points(100.5f, 50.5f, 10, pts);
  EXPECT_FLOAT_EQ(pts[0][0], 100.5f);
  EXPECT_FLOAT_EQ(pts[0][1], 60.5f);
  EXPECT_NEAR(pts[18][0], 110.5f, 1e-4) << "90 degrees lies to the right";
  EXPECT_FLOAT_EQ(pts[72][0], pts[0][0]);
  EXPECT_NEAR(pts[72][1], pts[0][1], 1e-4);

  std::vector<std::array<float, 4>> segs;
  arc_segments(0, 0, 10, 10, 0, 90, [&](float a, float b, float c, float d) { segs.push_back({a, b, c, d}); });
  ASSERT_EQ(segs.size(), 91u);
  EXPECT_EQ(segs[0][0], segs[0][2]);
  EXPECT_EQ(segs[0][1], segs[0][3]) << "the first segment has zero length";
  EXPECT_NEAR(segs[0][3], 10, 1e-4);
  EXPECT_NEAR(segs[90][2], 10, 1e-4);
  EXPECT_NEAR(segs[90][3], 0, 1e-4);
  EXPECT_EQ(segs[5][0], segs[4][2]) << "each segment starts where the previous ended";
  segs.clear();
  arc_segments(0, 0, 10, 12, 30, 32, [&](float a, float b, float c, float d) { segs.push_back({a, b, c, d}); });
  EXPECT_EQ(segs.size(), 9u) << "three radii of three steps";
}

TEST(Shapes, SpectrumRampAndQuadNormals) {
  const struct {
    float value, r, g, b;
  } ramp[] = {{-1, 0, 0, 0}, {0, 0, 0, 0}, {0.5f, 1, 1, 0}, {2, 0.8f, 0, 0.8f}, {1, 0.8f, 0, 0.8f},
              {1.0f / 6, 1, 0, 0}, {0.25f, 1, 0.16f, 0.04f}, {NAN, 0, 0, 0}};
  for (const auto& c : ramp) {
    float rgb[3];
    spectrum_rgb(c.value, rgb);
    EXPECT_NEAR(rgb[0], c.r, 1e-5) << c.value;
    EXPECT_NEAR(rgb[1], c.g, 1e-5) << c.value;
    EXPECT_NEAR(rgb[2], c.b, 1e-5) << c.value;
  }

  // The scale beside value plots: entry 0 for an empty range.
  for (int i : {0, 4, 500, 996}) {
    EXPECT_EQ(spectrum_scale_index(5, 5, i), 0) << i;
    EXPECT_EQ(spectrum_scale_index(NAN, 1, i), 0) << i;
  }
  EXPECT_EQ(spectrum_scale_index(0, 10, 0), 0);
  EXPECT_EQ(spectrum_scale_index(0, 10, 500), 500);
  EXPECT_EQ(spectrum_scale_index(0, 10, 996), 996);
  EXPECT_EQ(spectrum_scale_index(10, 0, 996), 996) << "a falling range climbs the spectrum the same way";
  EXPECT_EQ(spectrum_scale_index(-1e30f, 1e30f, 500), 500);

  float p1[3] = {0, 0, 0}, p2[3] = {0, 1, 0}, p3[3] = {0, 1, 3}, p4[3] = {0, 0, 3}, n[3];
  quad_normal(p1, p2, p3, n);
  EXPECT_FLOAT_EQ(n[0], -1) << "(p3 - p2) x (p2 - p1), normalised";
  EXPECT_FLOAT_EQ(n[1] * n[1] + n[2] * n[2], 0);
  quad_normal(p1, p1, p1, n);
  EXPECT_EQ(n[0], 0);
  EXPECT_EQ(n[1], 1);
  EXPECT_EQ(n[2], 0);

  Recorder rec;
  const float st[4][2] = {{1, 1}, {1, 0}, {0, 0}, {0, 1}};
  quad3_emit(p1, p2, p3, p4, st, rec);
  ASSERT_EQ(rec.loose_vertices.size(), 4u);
  EXPECT_EQ(rec.loose_vertices[2][2], 3);
  EXPECT_EQ(rec.loose_normals[3][0], -1);
}

TEST(Shapes, DiscAndBoxGeometry) {
  UTL_init_tables();
  Recorder disc;
  disc_emit(10, disc);
  ASSERT_EQ(disc.prims.size(), 5u);
  EXPECT_EQ(disc.prims[0].prim, prim_triangle_fan);
  EXPECT_EQ(disc.prims[0].vertices.size(), 14u) << "a centre and 13 points";
  EXPECT_EQ(disc.prims[0].vertices[0][0], -10);
  EXPECT_EQ(disc.prims[0].normals[0][0], -1);
  EXPECT_NEAR(disc.prims[1].vertices[1][1], 3.8f, 1e-5) << "the caps' rings have 0.38 of the radius";
  EXPECT_EQ(disc.prims[1].normals[5][0], 1);
  for (int i = 2; i < 5; ++i) {
    EXPECT_EQ(disc.prims[i].prim, prim_quad_strip);
    EXPECT_EQ(disc.prims[i].vertices.size(), 26u);
  }
  EXPECT_NEAR(disc.prims[3].vertices[0][1], 10, 1e-5) << "the middle band lies on the full radius";
  EXPECT_NEAR(disc.prims[4].vertices[1][0], 10, 1e-5);
  EXPECT_EQ(disc.prims[4].normals[0][0], 1) << "the rim keeps the right cap's normal";

  Recorder box;
  cube_emit(4, 3, 2, 0.1f, 0.9f, 0.2f, 0.8f, box);
  ASSERT_EQ(box.prims.size(), 2u);
  const auto& walls = box.prims[0];
  ASSERT_EQ(walls.vertices.size(), 10u);
  EXPECT_EQ(walls.vertices[0], (std::array<float, 3>{-2, 3, -1}));
  EXPECT_EQ(walls.vertices[1], (std::array<float, 3>{-2, 0, -1}));
  EXPECT_EQ(walls.vertices[8], walls.vertices[0]) << "the strip closes on its first corner";
  EXPECT_EQ(walls.tex[0], (std::array<float, 2>{0.1f, 0.8f}));
  EXPECT_EQ(walls.tex[3], (std::array<float, 2>{0.9f, 0.2f}));
  EXPECT_EQ(walls.normals[4], (std::array<float, 3>{1, 0, 0})) << "the wall ending at the third corner faces +x";
  EXPECT_EQ(walls.normals[9], (std::array<float, 3>{-1, 0, 0}));
  const auto& caps = box.prims[1];
  ASSERT_EQ(caps.vertices.size(), 8u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(caps.vertices[i][1], 3);
    EXPECT_EQ(caps.tex[i][1], 0.8f);
    EXPECT_EQ(caps.normals[i][1], 1);
    EXPECT_EQ(caps.vertices[4 + i][1], 0);
    EXPECT_EQ(caps.tex[4 + i][1], 0.2f);
    EXPECT_EQ(caps.normals[4 + i][1], -1);
  }
}

TEST(TabsAndDial, TabCentresHitsAndHeadings) {
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
  EXPECT_FALSE(tab_hit(cx, cy, cx - 51, cy));
  EXPECT_FALSE(tab_hit(cx, cy, cx, cy + 14));

  EXPECT_FLOAT_EQ(dial_heading(0, 10), 0);
  EXPECT_FLOAT_EQ(dial_heading(10, 0), 90);
  EXPECT_FLOAT_EQ(dial_heading(0, -10), 180);
  EXPECT_FLOAT_EQ(dial_heading(-0.0f, -10), 180);
  EXPECT_FLOAT_EQ(dial_heading(-10, 0), 270);
  EXPECT_FLOAT_EQ(dial_heading(0, 0), 0) << "atan2(0, 0) at the centre";
  EXPECT_NEAR(dial_heading(-10, 10), 315, 1e-3);
  EXPECT_TRUE(dial_hit(100, 100, 130, 70));
  EXPECT_FALSE(dial_hit(100, 100, 131, 100));
}
