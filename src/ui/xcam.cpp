#include "ui/xcam.h"

#include <GL/gl.h>

#include <cmath>

#include "runtime/debug.h"
#include "ui/matrix.h"
#include "window/mnw.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

UTL_stat gKillCull("perf/kill_cull", UTL_stat_tunable, 0.0f);
UTL_stat gKillClip("perf/kill_clip", UTL_stat_tunable, 0.0f);
UTL_stat gExtraNear("shadow/extra_near", UTL_stat_tunable, 0.0f);

void cross(const double* a, const double* b, double* out) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

void unit(double* v) {
  const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (len > 0.0)
    for (int k = 0; k < 3; ++k) v[k] /= len;
}

// m * (x, y, z, w) for a column vector.
void transform(const double* m, const double* in, double* out) {
  for (int i = 0; i < 4; ++i) out[i] = m[i] * in[0] + m[4 + i] * in[1] + m[8 + i] * in[2] + m[12 + i] * in[3];
}

// Narrows the pair (a, b) to its middle tenth, kept between its two values.
void middle_tenth(double& a, double& b) {
  const double lo = std::fmin(a, b), hi = std::fmax(a, b);
  double na = a + static_cast<double>(0.45f) * (b - a);
  double nb = a + static_cast<double>(0.55f) * (b - a);
  na = na < lo ? lo : na > hi ? hi : na;
  nb = nb < lo ? lo : nb > hi ? hi : nb;
  a = na;
  b = nb;
}

// The eight corners of the clip cube taken back through the inverse
// projection (divided by w), as eye-space points.
bool clip_corners_in_eye(const double* projection, double corners[8][4]) {
  double inv[16];
  if (!invertMatrix(inv, projection)) return false;
  int k = 0;
  for (int x = -1; x <= 1; x += 2)
    for (int y = -1; y <= 1; y += 2)
      for (int z = -1; z <= 1; z += 2) {
        const double c[4] = {double(x), double(y), double(z), 1.0};
        transform(inv, c, corners[k]);
        if (corners[k][3] != 0.0)
          for (int i = 0; i < 3; ++i) corners[k][i] /= corners[k][3];
        corners[k][3] = 1.0;
        ++k;
      }
  return true;
}

}  // namespace

xcam_class xcam;

xcam_class::xcam_class() : is_ortho(true), matrices_changed(true), read_gl_modelview(true) {
  setIdentityMatrix(projection);
  setIdentityMatrix(modelview);
}

xcam_class::xcam_class(xcam_class* src) : xcam_class() {
  if (src) *this = *src;
}

void xcam_class::Identity() {
  setIdentityMatrix(modelview);
  matrices_changed = true;
}

void xcam_class::SetupOrtho(double l, double r, double b, double t, double n, double f) {
  is_ortho = true;
  buildOrthoMatrix(projection, l, r, b, t, n, f);
  matrices_changed = true;
  ortho_top = t;
  ortho_left = l;
  ortho_right = r;
  ortho_bottom = b;
  near_z = -n;
  far_z = fake_far_z = -f;
}

void xcam_class::SetupFrustum(double l, double r, double b, double t, double n, double f) {
  is_ortho = false;
  double pl = l, pr = r, pb = b, pt = t;
  if (gKillClip.value != 0.0f) {
    middle_tenth(pl, pr);
    middle_tenth(pb, pt);
  }
  buildFrustumMatrix(projection, pl, pr, pb, pt, n, f);

  double cl = l, cr = r, cb = b, ct = t;
  if (gKillCull.value != 0.0f) {
    middle_tenth(cl, cr);
    middle_tenth(cb, ct);
  }
  double tl[3] = {cl, ct, -n}, tr[3] = {cr, ct, -n}, bl[3] = {cl, cb, -n}, br[3] = {cr, cb, -n};
  unit(tl);
  unit(tr);
  unit(bl);
  unit(br);
  cross(tl, tr, plane_top);
  cross(tr, br, plane_right);
  cross(br, bl, plane_bottom);
  cross(bl, tl, plane_left);
  unit(plane_top);
  unit(plane_right);
  unit(plane_bottom);
  unit(plane_left);
  near_z = -n;
  far_z = fake_far_z = -f;
  matrices_changed = true;
}

void xcam_class::SetupPerspective(double fovy, double aspect, double n, double f) {
  const double y = n * std::tan(fovy * kPi / 360.0);
  SetupFrustum(-y * aspect, y * aspect, -y, y, n, f);
}

void xcam_class::Rotate(double angle, double x, double y, double z) {
  double r[16], t[16];
  buildRotation(r, angle, x, y, z);
  multMatrices(t, modelview, r);
  copyMatrix(modelview, t);
  matrices_changed = true;
}

void xcam_class::Translate(double x, double y, double z) {
  applyTranslation(modelview, x, y, z);
  matrices_changed = true;
}

void xcam_class::LookAtPtFromPt(double ex, double ey, double ez, double cx, double cy, double cz, double ux,
                                double uy, double uz) {
  buildLookAtMatrix(modelview, ex, ey, ez, cx, cy, cz, ux, uy, uz);
  matrices_changed = true;
}

void xcam_class::LookAtPtFromDir(double x, double y, double z, double azimuth, double elevation, double dist) {
  const double a = azimuth * kPi / 180.0, e = elevation * kPi / 180.0;
  buildLookAtMatrix(modelview, x + dist * std::cos(a) * std::cos(e), y + dist * std::sin(e),
                    z + dist * std::sin(a) * std::cos(e), x, y, z, 0, 1, 0);
  matrices_changed = true;
}

void xcam_class::SetFakeFarClippingPlane(double dist) { fake_far_z = std::fmax(-dist, far_z); }

void xcam_class::ResetFakeFarClippingPlane() { fake_far_z = far_z; }

int xcam_class::GetFOVHalfCosines(float* h, float* v) {
  if (is_ortho) return 0;
  if (h) *h = static_cast<float>((plane_left[0] - plane_right[0]) / 2.0);
  if (v) *v = static_cast<float>((plane_bottom[1] - plane_top[1]) / 2.0);
  return 1;
}

void xcam_class::mtr_to_pix(double* p, double* out) {
  const double in[4] = {p[0], p[1], p[2], 1.0};
  double eye[4], clip[4];
  transform(modelview, in, eye);
  transform(projection, eye, clip);
  if (clip[3] != 0.0) {
    clip[0] /= clip[3];
    clip[1] /= clip[3];
  }
  GLint vp[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, vp);
  const double scale = mnw.scale != 0.0f ? mnw.scale : 1.0;
  out[0] = (vp[0] + vp[2] * (clip[0] + 1.0) / 2.0 - mnw.wind_x) / scale;
  out[1] = (vp[1] + vp[3] * (clip[1] + 1.0) / 2.0 - mnw.wind_y) / scale;
}

void xcam_class::refresh_from_gl() {
  if (!read_gl_modelview) return;
  read_gl_modelview = false;
  matrices_changed = true;
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
}

void xcam_class::CalcUp(double* out) {
  refresh_from_gl();
  double t[16];
  transposeMatrix(t, modelview);
  const double v[4] = {0, 1, 0, 1};
  double r[4];
  transform(t, v, r);
  out[0] = r[0];
  out[1] = r[1];
  out[2] = r[2];
  unit(out);
}

void xcam_class::CalcDirection(double* out) {
  refresh_from_gl();
  double t[16];
  transposeMatrix(t, modelview);
  const double v[4] = {0, 0, -1, 1};
  double r[4];
  transform(t, v, r);
  out[0] = r[0];
  out[1] = r[1];
  out[2] = r[2];
  unit(out);
}

void xcam_class::CalcRight(double* out) {
  double d[3], u[3];
  CalcDirection(d);
  CalcUp(u);
  cross(d, u, out);
}

void xcam_class::CalcBillboardCamera(float* right, float* up) {
  double d[3], u[3], r[3];
  CalcDirection(d);
  CalcUp(u);
  cross(d, u, r);
  unit(r);
  for (int k = 0; k < 3; ++k) {
    right[k] = static_cast<float>(r[k]);
    up[k] = static_cast<float>(u[k]);
  }
}

void xcam_class::CalcBillboardGround(float* right, float* up) {
  double d[3];
  CalcDirection(d);
  double r[3] = {-d[2], 0.0, d[0]};
  unit(r);
  double u[3];
  cross(r, d, u);
  unit(u);
  for (int k = 0; k < 3; ++k) {
    right[k] = static_cast<float>(r[k]);
    up[k] = static_cast<float>(u[k]);
  }
}

bool xcam_class::GetFrustumBounds(double dist, double y_lo, double y_hi, double* mn, double* mx) {
  double inv_mv[16];
  if (!invertMatrix(inv_mv, modelview)) return false;
  const double cut = std::fmax(-dist, far_z);
  double corners[8][4];
  if (!is_ortho) {
    if (!clip_corners_in_eye(projection, corners)) return false;
    for (auto& c : corners) {
      if (c[2] < -dist && c[2] != 0.0) {
        const double f = -dist / c[2];
        for (int i = 0; i < 3; ++i) c[i] *= f;
      }
    }
  } else {
    // Eye-space depths, in front of the eye, like the perspective corners.
    int k = 0;
    for (double x : {ortho_left, ortho_right})
      for (double y : {ortho_bottom, ortho_top})
        for (double z : {near_z, cut}) {
          corners[k][0] = x;
          corners[k][1] = y;
          corners[k][2] = z;
          corners[k][3] = 1.0;
          ++k;
        }
  }
  double world[8][4];
  for (int k = 0; k < 8; ++k) transform(inv_mv, corners[k], world[k]);
  for (int i = 0; i < 3; ++i) {
    mn[i] = 9.9e9;
    mx[i] = -9.9e9;
  }
  // Corner k has bits x (4), y (2), z (1): an edge joins corners that differ
  // in one bit.
  for (int a = 0; a < 8; ++a)
    for (int bit : {1, 2, 4})
      if (!(a & bit)) accum_segment(y_lo, y_hi, world[a], world[a | bit], mn, mx);
  return mn[0] <= mx[0];
}

void xcam_class::LookAtCamera(xcam_class* other, double* dir, double dist, double& near_out, double& far_out) {
  double inv_mv[16];
  if (!invertMatrix(inv_mv, other->modelview)) setIdentityMatrix(inv_mv);
  const double origin[4] = {0, 0, 0, 1};
  double eye[4];
  transform(inv_mv, origin, eye);
  buildLookAtMatrix(modelview, eye[0] - dist * dir[0], eye[1] - dist * dir[1], eye[2] - dist * dir[2], eye[0],
                    eye[1], eye[2], 0, 1, 0);
  matrices_changed = true;

  double corners[8][4];
  if (!clip_corners_in_eye(other->projection, corners)) return;
  double lo[3] = {9.9e9, 9.9e9, 9.9e9}, hi[3] = {-9.9e9, -9.9e9, -9.9e9};
  for (auto& c : corners) {
    double w[4], v[4];
    transform(inv_mv, c, w);
    transform(modelview, w, v);
    for (int i = 0; i < 3; ++i) {
      lo[i] = std::fmin(lo[i], v[i]);
      hi[i] = std::fmax(hi[i], v[i]);
    }
  }
  const double extra = gExtraNear.value;
  is_ortho = true;
  buildOrthoMatrix(projection, lo[0], hi[0], lo[1], hi[1], -(hi[2] + extra), -lo[2]);
  ortho_top = hi[1];
  ortho_left = lo[0];
  ortho_right = hi[0];
  ortho_bottom = lo[1];
  near_z = hi[2] + extra;
  far_z = fake_far_z = lo[2];
  matrices_changed = true;
  near_out = -(hi[2] + extra);
  far_out = -lo[2];
}
