// The 2-D primitives, the frame end and the viewport.
#include "ui/draw.h"

#include <GL/gl.h>

#include <cmath>

#include "ui/colr.h"
#include "ui/draw_list.h"
#include "ui/xcam.h"
#include "window/mnw.h"

int OGL_monochrome = 0;
float OGL_alpha_factor = 1.0f;

int back_dx = 0;
int back_dy = 0;
float oglp = 1.0f;
const float st00[2] = {0, 0};
const float st01[2] = {0, 1};
const float st11[2] = {1, 1};
const float st10[2] = {1, 0};

void gl_quad_sink::quad(const quad_corners& q) {
  for (const auto& c : q.v) {
    DL_texcoord(c[2], c[3]);
    DL_vertex(c[0], c[1]);
  }
}

void OGL_2dquad(int tex_ref, int colour, float alpha, float x1, float y1, float s1, float t1, float x2, float y2,
                float s2, float t2, float x3, float y3, float s3, float t3, float x4, float y4, float s4, float t4,
                int tex_units, int alpha_mode) {
  OGL_setstate(gl_fog_off, tex_units, gl_lit_off, alpha_mode, gl_depth_off, gl_dwrite_off);
  if (tex_ref > 0) OGL_bind_tex(tex_ref, tex_ref == t_env17 ? 17 : 0);
  OGL_setcolor(colour, alpha);
  const float ox = mnw.wind_x, oy = mnw.wind_y;
  DL_begin(dl_quads);
  DL_texcoord(s1, t1);
  DL_vertex(x1 + ox, y1 + oy);
  DL_texcoord(s2, t2);
  DL_vertex(x2 + ox, y2 + oy);
  DL_texcoord(s3, t3);
  DL_vertex(x3 + ox, y3 + oy);
  DL_texcoord(s4, t4);
  DL_vertex(x4 + ox, y4 + oy);
  DL_end();
}

void OGL_2dquad_d(int tex_ref, int colour, float alpha, float x, float y, float s, float t, float w, float h,
                  float ds, float dt, int alpha_mode) {
  OGL_setstate(gl_fog_off, 1, gl_lit_off, alpha_mode, gl_depth_off, gl_dwrite_off);
  if (tex_ref > 0) OGL_bind_tex(tex_ref, 0);
  OGL_setcolor(colour, alpha);
  const float ox = mnw.wind_x, oy = mnw.wind_y;
  DL_begin(dl_quads);
  DL_texcoord(s, t);
  DL_vertex(x + ox, y + oy);
  DL_texcoord(s, t + dt);
  DL_vertex(x + ox, y + h + oy);
  DL_texcoord(s + ds, t + dt);
  DL_vertex(x + w + ox, y + h + oy);
  DL_texcoord(s + ds, t);
  DL_vertex(x + w + ox, y + oy);
  DL_end();
}

void OGL_line(int colour, float alpha, float x1, float y1, float x2, float y2) {
  OGL_setstate(gl_fog_off, 0, gl_lit_off, gl_alpha_blend, gl_depth_off, gl_dwrite_off);
  OGL_setcolor(colour, alpha);
  const float ox = mnw.wind_x + 0.5f, oy = mnw.wind_y + 0.5f;
  DL_begin(dl_lines);
  DL_vertex(x1 + ox, y1 + oy);
  DL_vertex(x2 + ox, y2 + oy);
  DL_end();
}

void OGL_fillrect(int colour, float alpha, float x, float y, float w, float h) {
  OGL_setstate(gl_fog_off, 0, gl_lit_off, gl_alpha_blend, gl_depth_off, gl_dwrite_off);
  OGL_setcolor(colour, alpha);
  x += mnw.wind_x;
  y += mnw.wind_y;
  DL_begin(dl_quads);
  DL_vertex(x, y);
  DL_vertex(x, y + h);
  DL_vertex(x + w, y + h);
  DL_vertex(x + w, y);
  DL_end();
}

void OGL_framerect(int colour, float alpha, float x, float y, float w, float h) {
  OGL_setstate(gl_fog_off, 0, gl_lit_off, gl_alpha_blend, gl_depth_off, gl_dwrite_off);
  OGL_setcolor(colour, alpha);
  const float x0 = x + mnw.wind_x + 0.5f, y0 = y + mnw.wind_y + 0.5f;
  DL_begin(dl_line_loop);
  DL_vertex(x0, y0);
  DL_vertex(x0, y0 + h);
  DL_vertex(x0 + w, y0 + h);
  DL_vertex(x0 + w, y0);
  DL_end();
}

void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha) {
  OGL_setstate(gl_fog_off, 0, gl_lit_off, gl_alpha_blend, gl_depth_off, gl_dwrite_off);
  OGL_setcolor(12, alpha);
  const float ox = mnw.wind_x, oy = mnw.wind_y;
  DL_begin(dl_quads);
  DL_vertex(x1 + ox, y1 + oy);
  DL_vertex(x1 + ox, y2 + oy);
  DL_vertex(x2 + ox, y2 + oy);
  DL_vertex(x2 + ox, y1 + oy);
  DL_end();
}

namespace {

// Whether a quad from (0, 0) to (w, h) in GL window units, as the current
// matrices and viewport place it, covers every pixel of the GL window: the
// viewport covers the window, and the quad lands as an upright rectangle
// (not mirrored, so not culled), inside the depth range, reaching past every
// edge. A clear honours the scissor box and
// the colour mask as the quad does; the blend function must be the one that
// makes an opaque colour replace what is there.
bool quad_covers_window(float w, float h) {
  unsigned src = 0, dst = 0;
  DL_blend_func(&src, &dst);
  if (src != GL_SRC_ALPHA || dst != GL_ONE_MINUS_SRC_ALPHA) return false;
  // A recorded frame knows its projection without asking GL: the window's
  // own 2-D projection, unless a matrix step of this frame moves the quad.
  if (OGL_frame_lists_on())
    return !DL_transformed() && DL_window_projection() && w >= static_cast<float>(mnw.x_res) &&
           h >= static_cast<float>(mnw.y_res);
  GLfloat mv[16], pr[16];
  GLint vp[4];
  glGetFloatv(GL_MODELVIEW_MATRIX, mv);
  glGetFloatv(GL_PROJECTION_MATRIX, pr);
  glGetIntegerv(GL_VIEWPORT, vp);
  // Drawing is clipped to the viewport; a clear is not.
  if (vp[0] > 0 || vp[1] > 0 || vp[0] + vp[2] < mnw.x_res || vp[1] + vp[3] < mnw.y_res) return false;
  // Clip coordinates of a corner (x, y, 0, 1); column-major matrices.
  auto window_xy = [&](float x, float y, float out[2]) {
    float e[4], c[4];
    for (int r = 0; r < 4; ++r) e[r] = mv[r] * x + mv[4 + r] * y + mv[12 + r];
    for (int r = 0; r < 4; ++r) c[r] = pr[r] * e[0] + pr[4 + r] * e[1] + pr[8 + r] * e[2] + pr[12 + r] * e[3];
    if (c[3] != 1.0f || c[2] < -1.0f || c[2] > 1.0f) return false;
    out[0] = vp[0] + (c[0] + 1.0f) * 0.5f * static_cast<float>(vp[2]);
    out[1] = vp[1] + (c[1] + 1.0f) * 0.5f * static_cast<float>(vp[3]);
    return true;
  };
  float a[2], b[2], c[2], d[2];  // (0, 0), (0, h), (w, h), (w, 0)
  if (!window_xy(0, 0, a) || !window_xy(0, h, b) || !window_xy(w, h, c) || !window_xy(w, 0, d)) return false;
  const bool upright = a[0] == b[0] && c[0] == d[0] && a[1] == d[1] && b[1] == c[1];
  return upright && a[0] <= 0.0f && a[1] <= 0.0f && c[0] >= static_cast<float>(mnw.x_res) &&
         c[1] >= static_cast<float>(mnw.y_res);
}

}  // namespace

void OGL_plot_back_col() {
  const float w = static_cast<float>(mnw.x_res), h = static_cast<float>(mnw.y_res);
  float c[4];
  // An opaque colour over the whole window is a clear: the same pixels as
  // the blended quad, without shading and blending every one of them.
  if (colr.gl_colour(34, 1.0f, OGL_monochrome, OGL_alpha_factor, c) == 0 && quad_covers_window(w, h)) {
    // The GL state and colour are left as the quad leaves them.
    OGL_setstate(gl_fog_off, 0, gl_lit_off, gl_alpha_blend, gl_depth_off, gl_dwrite_off);
    OGL_setcolor(34, 1.0f);
    c[3] = 1.0f;
    DL_clear(c);
    return;
  }
  OGL_fillrect(34, 1.0f, -mnw.wind_x, -mnw.wind_y, w, h);
}

void OGL_scissor_box(float x, float y, float w, float h, int out[4]) {
  const float scale = mnw.scale;
  const float X = (x + mnw.wind_x) * scale;
  const float Y = (y + mnw.wind_y) * scale;
  const float W = (x + w + mnw.wind_x) * scale - X;
  const float H = (y + h + mnw.wind_y) * scale - Y;
  out[0] = static_cast<int>(X);
  out[1] = static_cast<int>(Y);
  out[2] = W > 0.0f ? static_cast<int>(W) : 0;
  out[3] = H > 0.0f ? static_cast<int>(H) : 0;
}

void OGL_scissors(float x, float y, float w, float h) {
  int box[4];
  OGL_scissor_box(x, y, w, h, box);
  DL_scissor(box);
}

void OGL_scissors_end() { DL_scissor(nullptr); }

void OGL_nrml_colors() { DL_blend(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); }

void OGL_glow_colors() { DL_blend(GL_SRC_ALPHA, GL_ONE); }

void OGL_poly_offset(int level) { DL_polygon_offset(level); }

void OGL_setspec(float level) { DL_specular(level); }

void OGL_printer() {}

// ---------------------------------------------------------------------------
// Viewport

void OGL_pix_specs(int) {
  mnw.view_l = 0.0f;
  mnw.view_b = 0.0f;
  mnw.view_w = static_cast<float>(mnw.x_res);
  mnw.view_h = static_cast<float>(mnw.y_res);
  mnw.scale = 1.0f;
  const float inset = (static_cast<float>(mnw.x_res) - 1024.0f) * 0.5f;
  mnw.inset_x = (inset > 0.0f && mnw.cur_wind != -1) ? inset : 0.0f;
  if (mnw.cur_wind >= 0) OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0);
}

void OGL_viewport(int mode, float f1, float f2, float f3, float f4, float f5, float f6, float f7, float f8,
                  float f9, float f10, float f11, int keep_aspect) {
  float left = f1, bottom = f3, right = f5, top = f8;
  float vl = f2, vb = f4, vr = f6, vt = f9;
  if (mode == 2) {
    left = mnw.view_l;
    bottom = mnw.view_b;
    right = mnw.view_l + mnw.view_w;
    top = mnw.view_b + mnw.view_h;
    vl = 0.0f;
    vb = 0.0f;
    vr = static_cast<float>(mnw.x_res);
    vt = static_cast<float>(mnw.y_res);
  } else if (mode == 3) {
    left *= f7;
    bottom *= f7;
    right *= f7;
    top *= f7;
    vl *= mnw.scale;
    vb *= mnw.scale;
    vr *= mnw.scale;
    vt *= mnw.scale;
  }
  const int origin_x = static_cast<int>(vl), origin_y = static_cast<int>(vb);
  const float vw = vr - vl, vh = vt - vb;
  if (keep_aspect && vw != 0.0f) {
    bottom *= vh / vw;
    top *= vh / vw;
  }
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  if (mode == 2)
    xcam.SetupOrtho(left / f11, right / f11, bottom / f11, top / f11, -1.0, 1.0);
  else if (mode == 3)
    xcam.SetupFrustum(left / f11, right / f11, bottom / f11, top / f11, f7, f10);
  glViewport(origin_x, origin_y, static_cast<int>(vw), static_cast<int>(vh));
  xcam.Identity();
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixd(xcam.projection);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(xcam.modelview);
  xcam.read_gl_modelview = false;
  DL_window_projection(mode == 2 && f11 == 1.0f && !keep_aspect && mnw.view_l == 0.0f && mnw.view_b == 0.0f &&
                       mnw.view_w == static_cast<float>(mnw.x_res) && mnw.view_h == static_cast<float>(mnw.y_res));
}

void OGL_screensize(int mode, float left, float bottom, float right, float top) {
  // Another viewport than the whole window's: vertices land elsewhere.
  if (mode != 2) DL_window_projection(false);
  if (mode == 2) {
    glViewport(0, 0, mnw.x_res, mnw.y_res);
    return;
  }
  if (mode == 3) {
    left *= mnw.scale;
    bottom *= mnw.scale;
    right *= mnw.scale;
    top *= mnw.scale;
  }
  glViewport(static_cast<int>(left), static_cast<int>(bottom), static_cast<int>(right - left),
             static_cast<int>(top - bottom));
}
