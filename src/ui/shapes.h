// Further shapes beside the 2-D primitives: circles and ring sectors for
// gauges, a colour ramp for value plots, and 3-D pieces (lines, quads with
// normals, a wheel-like disc and a box).
//
// The 2-D shapes take window units and colour indices like every primitive
// and add the current window's origin once. Their angles are degrees
// clockwise from straight up: the point at angle a and radius r lies at
// (x + r sin a, y + r cos a). The 3-D pieces work in the current model-view
// space and leave state and colour to the caller.
//
// The geometry is computed by the functions below the drawing calls, which
// hand their vertices to a sink: GL when drawing, a recorder in the tests.
#pragma once

// --- Drawing ---

void OGL_fillcircle(int colour, float x, float y, float r);
void OGL_framecircle(int colour, float x, float y, float r);
void OGL_arc(int colour, float x, float y, float r_inner, float r_outer, float a_from, float a_to);
// Sets the GL colour from a value on the seven-colour ramp (no state change).
void OGL_spectrum_rgb(float value);
// The two vertices of a line; the caller brackets with DL_begin(dl_lines).
void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2);
// A normal and four vertices; the caller brackets with DL_begin(dl_quads).
void OGL_3dquad(float* p1, float* p2, float* p3, float* p4);
void OGL_3dquad_st(float* p1, float* p2, float* p3, float* p4, float s1, float t1, float s2, float t2);
// A closed 12-sided wheel along the x axis, centred at (x, y, z).
void OGL_disc(float x, float y, float z, float r);
// A textured box standing on its base at (x, y, z), turned by angle degrees.
void OGL_cube(float x, float y, float z, float w, float h, float d, float s1, float s2, float t1, float t2,
              float angle);

// --- Geometry ---

// Receives the primitives of a 3-D shape.
enum shape_prim { prim_triangle_fan, prim_quad_strip, prim_quads };
class shape_sink {
 public:
  virtual ~shape_sink() = default;
  virtual void begin(shape_prim prim) = 0;
  virtual void normal(float x, float y, float z) = 0;
  virtual void tex(float s, float t) = 0;
  virtual void vertex(float x, float y, float z) = 0;
  virtual void end() = 0;
};

// The rows of a filled disc: row(y, x_left, x_right) for y - r, y - r + 1,
// ... while not past y + r.
template <class Row>
void fillcircle_rows(float x, float y, float r, Row&& row);

// The outline of a circle: 73 points at 0, 5, ... 360 degrees (the last
// repeats the first) around (cx, cy), from the whole-degree tables.
constexpr int kFrameCirclePoints = 73;
void framecircle_points(float cx, float cy, float r, float out[kFrameCirclePoints][2]);

// The segments of a ring sector: for each radius r_inner, r_inner + 1, ...
// up to r_outer, segment(x1, y1, x2, y2) from the previous point to the
// point at each whole degree step a_from, a_from + 1, ... up to a_to; the
// first segment of each radius has zero length.
template <class Segment>
void arc_segments(float x, float y, float r_inner, float r_outer, float a_from, float a_to, Segment&& segment);

// The colour of a value on the ramp through black, red, orange, yellow,
// green, blue and violet at 0, 1/6, ... 1; values beyond 0 and 1 give the
// end colours.
void spectrum_rgb(float value, float out[3]);

// The unit normal (p3 - p2) x (p2 - p1) of a quad; (0, 1, 0) when the
// corners give no direction.
void quad_normal(const float* p1, const float* p2, const float* p3, float n[3]);

// The pieces of the drawing calls, about the origin (the calls translate).
void quad3_emit(const float* p1, const float* p2, const float* p3, const float* p4, const float st[4][2],
                shape_sink& out);
void disc_emit(float r, shape_sink& out);
void cube_emit(float w, float h, float d, float s1, float s2, float t1, float t2, shape_sink& out);

// ---------------------------------------------------------------------------

#include <cmath>

// Steps of one loop of a shape, at most: a radius or an angle range that
// would need more draws nothing more (no frame can show them anyway).
constexpr int kMaxShapeSteps = 1 << 16;

template <class Row>
void fillcircle_rows(float x, float y, float r, Row&& row) {
  if (!(r >= 0.0f) || r > kMaxShapeSteps) return;
  for (int k = 0;; ++k) {
    const float dy = -r + static_cast<float>(k);
    if (dy > r) break;
    const float q = r * r - dy * dy;
    const float half = q > 0.0f ? std::sqrt(q) : 0.0f;
    row(y + dy, x - half, x + half);
  }
}

template <class Segment>
void arc_segments(float x, float y, float r_inner, float r_outer, float a_from, float a_to, Segment&& segment) {
  constexpr double kDegToRad = 0.017453294;
  if (!(r_outer - r_inner < kMaxShapeSteps) || !(a_to - a_from < kMaxShapeSteps)) return;
  for (int i = 0;; ++i) {
    const float rho = r_inner + static_cast<float>(i);
    if (!(rho <= r_outer)) break;
    float px = x + rho * static_cast<float>(std::sin(a_from * kDegToRad));
    float py = y + rho * static_cast<float>(std::cos(a_from * kDegToRad));
    for (int k = 0;; ++k) {
      const float a = a_from + static_cast<float>(k);
      if (!(a <= a_to)) break;
      const float nx = x + rho * static_cast<float>(std::sin(a * kDegToRad));
      const float ny = y + rho * static_cast<float>(std::cos(a * kDegToRad));
      segment(px, py, nx, ny);
      px = nx;
      py = ny;
    }
  }
}
