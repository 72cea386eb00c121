// Further shapes: the geometry of circles, ring sectors, the colour ramp, the
// quad normal, the disc and the box, and their drawing calls.
#include "ui/shapes.h"

#include <cmath>

#include "runtime/globals.h"
#include "ui/colr.h"
#include "ui/draw.h"
#include "ui/draw_list.h"
#include "window/mnw.h"

namespace {

// The seven control colours of the ramp, at 0, 1/6, ... 1.
constexpr float kRamp[7][3] = {
    {0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {1.0f, 0.32f, 0.08f}, {1.0f, 1.0f, 0.0f},
    {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {0.8f, 0.0f, 0.8f},
};

// A point of a ring of the disc: at x, radius rho, angle in whole degrees.
void ring_vertex(shape_sink& out, float x, float rho, int degrees) {
  out.vertex(x, rho * lookup_cos[degrees], -rho * lookup_sin[degrees]);
}

// Draws a shape.
class gl_shape_sink : public shape_sink {
 public:
  void begin(shape_prim prim) override {
    DL_begin(prim == prim_triangle_fan ? dl_triangle_fan : prim == prim_quad_strip ? dl_quad_strip : dl_quads);
  }
  void normal(float x, float y, float z) override { DL_normal(x, y, z); }
  void tex(float s, float t) override { DL_texcoord(s, t); }
  void vertex(float x, float y, float z) override { DL_vertex3(x, y, z); }
  void end() override { DL_end(); }
};

}  // namespace

// --- Drawing ---

void OGL_fillcircle(int colour, float x, float y, float r) {
  fillcircle_rows(x, y, r,
                  [&](float row_y, float left, float right) { OGL_line(colour, 1.0f, left, row_y, right, row_y); });
}

void OGL_framecircle(int colour, float x, float y, float r) {
  OGL_setstate(gl_fog_off, 0, gl_lit_off, gl_alpha_none, gl_depth_off, gl_dwrite_off);
  OGL_setcolor(colour, 1.0f);
  float points[kFrameCirclePoints][2];
  framecircle_points(x + mnw.wind_x + 0.5f, y + mnw.wind_y + 0.5f, r, points);
  DL_begin(dl_line_strip);
  for (const auto& p : points) DL_vertex(p[0], p[1]);
  DL_end();
}

void OGL_arc(int colour, float x, float y, float r_inner, float r_outer, float a_from, float a_to) {
  OGL_setcolor(colour, 1.0f);
  arc_segments(x, y, r_inner, r_outer, a_from, a_to,
               [&](float x1, float y1, float x2, float y2) { OGL_line(colour, 1.0f, x1, y1, x2, y2); });
}

void OGL_spectrum_rgb(float value) {
  float c[3];
  spectrum_rgb(value, c);
  if (OGL_monochrome) {
    float sum = c[0] + c[1] + c[2];
    sum = sum < 0.01f ? 0.01f : sum > 1.0f ? 1.0f : sum;
    c[0] = c[2] = 0.0f;
    c[1] = sum;
  }
  DL_colour4(c[0], c[1], c[2], OGL_alpha_factor);
}

void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2) {
  DL_vertex3(x1, y1, z1);
  DL_vertex3(x2, y2, z2);
}

void OGL_3dquad(float* p1, float* p2, float* p3, float* p4) {
  const float st[4][2] = {{st11[0], st11[1]}, {st10[0], st10[1]}, {st00[0], st00[1]}, {st01[0], st01[1]}};
  gl_shape_sink gl;
  quad3_emit(p1, p2, p3, p4, st, gl);
}

void OGL_3dquad_st(float* p1, float* p2, float* p3, float* p4, float s1, float t1, float s2, float t2) {
  const float st[4][2] = {{s1, t1}, {s1, t2}, {s2, t2}, {s2, t1}};
  gl_shape_sink gl;
  quad3_emit(p1, p2, p3, p4, st, gl);
}

void OGL_disc(float x, float y, float z, float r) {
  DL_push_matrix();
  DL_translate(x, y, z);
  gl_shape_sink gl;
  disc_emit(r, gl);
  DL_pop_matrix();
}

void OGL_cube(float x, float y, float z, float w, float h, float d, float s1, float s2, float t1, float t2,
              float angle) {
  DL_push_matrix();
  DL_translate(x, y, z);
  DL_rotate(-angle, 0.0f, 0.0f, 1.0f);
  gl_shape_sink gl;
  cube_emit(w, h, d, s1, s2, t1, t2, gl);
  DL_pop_matrix();
}

// --- Geometry ---

void framecircle_points(float cx, float cy, float r, float out[kFrameCirclePoints][2]) {
  for (int i = 0; i < kFrameCirclePoints; ++i) {
    out[i][0] = cx + r * lookup_sin[i * 5];
    out[i][1] = cy + r * lookup_cos[i * 5];
  }
}

void spectrum_rgb(float value, float out[3]) {
  const float* c;
  if (value < 0.0f || std::isnan(value)) {
    c = kRamp[0];
  } else if (value > 1.0f) {
    c = kRamp[6];
  } else {
    // The segment holding the value; a boundary belongs to the upper one.
    int k = 0;
    while (k < 5 && value >= static_cast<float>(k + 1) / 6.0f) ++k;
    const float f = (value - static_cast<float>(k) / 6.0f) * 6.0f;
    for (int i = 0; i < 3; ++i) out[i] = kRamp[k][i] * (1.0f - f) + kRamp[k + 1][i] * f;
    return;
  }
  for (int i = 0; i < 3; ++i) out[i] = c[i];
}

void quad_normal(const float* p1, const float* p2, const float* p3, float n[3]) {
  const float a[3] = {p3[0] - p2[0], p3[1] - p2[1], p3[2] - p2[2]};
  const float b[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
  const float c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  const float len = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
  if (!(len > 0.0f) || !std::isfinite(len)) {
    n[0] = 0.0f;
    n[1] = 1.0f;
    n[2] = 0.0f;
    return;
  }
  for (int i = 0; i < 3; ++i) n[i] = c[i] / len;
}

void quad3_emit(const float* p1, const float* p2, const float* p3, const float* p4, const float st[4][2],
                shape_sink& out) {
  float n[3];
  quad_normal(p1, p2, p3, n);
  out.normal(n[0], n[1], n[2]);
  const float* p[4] = {p1, p2, p3, p4};
  for (int i = 0; i < 4; ++i) {
    out.tex(st[i][0], st[i][1]);
    out.vertex(p[i][0], p[i][1], p[i][2]);
  }
}

void disc_emit(float r, shape_sink& out) {
  const float ri = 0.38f * r;
  out.normal(-1.0f, 0.0f, 0.0f);
  out.begin(prim_triangle_fan);
  out.vertex(-r, 0.0f, 0.0f);
  for (int a = 360; a >= 0; a -= 30) ring_vertex(out, -r, ri, a);
  out.end();

  out.normal(1.0f, 0.0f, 0.0f);
  out.begin(prim_triangle_fan);
  out.vertex(r, 0.0f, 0.0f);
  for (int a = 0; a <= 360; a += 30) ring_vertex(out, r, ri, a);
  out.end();

  // The rim: three bands, each joining two rings given as (x, radius).
  const float bands[3][4] = {{-r, ri, -ri, r}, {-ri, r, ri, r}, {ri, r, r, ri}};
  for (const auto& band : bands) {
    out.begin(prim_quad_strip);
    for (int a = 0; a <= 360; a += 30) {
      ring_vertex(out, band[0], band[1], a);
      ring_vertex(out, band[2], band[3], a);
    }
    out.end();
  }
}

void cube_emit(float w, float h, float d, float s1, float s2, float t1, float t2, shape_sink& out) {
  const float hw = w * 0.5f, hd = d * 0.5f;
  // Corners around the base, back to the first; the normal of the wall
  // that ends at each corner.
  const float corner[5][2] = {{-hw, -hd}, {hw, -hd}, {hw, hd}, {-hw, hd}, {-hw, -hd}};
  const float wall_normal[5][3] = {{0, 0, -1}, {0, 0, -1}, {1, 0, 0}, {0, 0, 1}, {-1, 0, 0}};
  out.begin(prim_quad_strip);
  for (int i = 0; i < 5; ++i) {
    const float s = (i % 2) ? s2 : s1;
    if (i != 1) out.normal(wall_normal[i][0], wall_normal[i][1], wall_normal[i][2]);
    out.tex(s, t2);
    out.vertex(corner[i][0], h, corner[i][1]);
    out.tex(s, t1);
    out.vertex(corner[i][0], 0.0f, corner[i][1]);
  }
  out.end();

  out.begin(prim_quads);
  out.normal(0.0f, 1.0f, 0.0f);
  for (int i = 0; i < 4; ++i) {
    out.tex((i == 1 || i == 2) ? s2 : s1, t2);
    out.vertex(corner[i][0], h, corner[i][1]);
  }
  out.normal(0.0f, -1.0f, 0.0f);
  for (int i = 3; i >= 0; --i) {
    out.tex((i == 1 || i == 2) ? s2 : s1, t1);
    out.vertex(corner[i][0], 0.0f, corner[i][1]);
  }
  out.end();
}
