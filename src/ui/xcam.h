// The camera of the drawing layer: a projection and a modelview matrix
// (column-major doubles, as OpenGL loads them), the near and far planes, the
// side planes of a perspective frustum and the box of an orthographic one.
// The 2-D interface sets it up through OGL_viewport; the other operations
// serve 3-D views.
#pragma once

class xcam_class {
 public:
  xcam_class();
  xcam_class(const xcam_class&) = default;
  xcam_class& operator=(const xcam_class&) = default;
  // Copies src; a null src starts like the default camera.
  explicit xcam_class(xcam_class* src);

  void Identity();
  void SetupOrtho(double l, double r, double b, double t, double n, double f);
  void SetupFrustum(double l, double r, double b, double t, double n, double f);
  void SetupPerspective(double fovy, double aspect, double n, double f);
  void Rotate(double angle, double x, double y, double z);
  void Translate(double x, double y, double z);
  void LookAtPtFromPt(double ex, double ey, double ez, double cx, double cy, double cz, double ux, double uy,
                      double uz);
  void LookAtPtFromDir(double x, double y, double z, double azimuth, double elevation, double dist);
  void SetFakeFarClippingPlane(double dist);
  void ResetFakeFarClippingPlane();
  // 0 for an orthographic camera (nothing written); else the cosines of the
  // half field-of-view angles through each non-null pointer, and 1.
  int GetFOVHalfCosines(float* h, float* v);
  // The world point p (3 doubles) in window units of the current window.
  void mtr_to_pix(double* p, double* out);
  void CalcUp(double* out);
  void CalcDirection(double* out);
  void CalcRight(double* out);
  void CalcBillboardCamera(float* right, float* up);
  void CalcBillboardGround(float* right, float* up);
  // The world box of the view volume within dist of the eye and between the
  // heights y_lo and y_hi; false when no part of it reaches that band.
  bool GetFrustumBounds(double dist, double y_lo, double y_hi, double* mn, double* mx);
  // Fits this camera as an orthographic one that looks along dir at the
  // whole view volume of other.
  void LookAtCamera(xcam_class* other, double* dir, double dist, double& near_out, double& far_out);

  bool is_ortho = false;
  double near_z = 0, far_z = 0, fake_far_z = 0;
  double plane_top[3] = {}, plane_left[3] = {}, plane_right[3] = {}, plane_bottom[3] = {};
  double ortho_top = 0, ortho_left = 0, ortho_right = 0, ortho_bottom = 0;
  bool matrices_changed = false;
  bool read_gl_modelview = false;
  double projection[16];
  double modelview[16];

 private:
  void refresh_from_gl();
};

extern xcam_class xcam;
