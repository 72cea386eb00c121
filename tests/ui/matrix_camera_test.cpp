// The matrix library and the camera, without GL.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ui/matrix.h"
#include "ui/xcam.h"

namespace {

// m * (x, y, z, 1), first three components.
void apply(const double* m, double x, double y, double z, double* out) {
  for (int i = 0; i < 3; ++i) out[i] = m[i] * x + m[4 + i] * y + m[8 + i] * z + m[12 + i];
}

TEST(Matrix, ProductsTranslationAndTranspose) {
  double a[16], id[16], r[16];
  for (int i = 0; i < 16; ++i) a[i] = i + 1;
  setIdentityMatrix(id);
  multMatrices(r, id, a);
  EXPECT_EQ(std::memcmp(r, a, sizeof a), 0);
  multMatrices(r, a, id);
  EXPECT_EQ(std::memcmp(r, a, sizeof a), 0);

  double t[16];
  setIdentityMatrix(t);
  applyTranslation(t, 3, 4, 5);
  EXPECT_DOUBLE_EQ(t[12], 3);
  EXPECT_DOUBLE_EQ(t[13], 4);
  EXPECT_DOUBLE_EQ(t[14], 5);

  double tr[16];
  transposeMatrix(tr, a);
  EXPECT_DOUBLE_EQ(tr[1], a[4]);
  EXPECT_DOUBLE_EQ(tr[12], a[3]);
}

TEST(Matrix, RotationsAboutTheAxes) {
  double m[16], p[3];
  buildRotation(m, 90, 0, 0, 1);
  apply(m, 1, 0, 0, p);
  EXPECT_NEAR(p[0], 0, 1e-12);
  EXPECT_NEAR(p[1], 1, 1e-12);
  buildRotation(m, 90, 0, 0, -1);
  apply(m, 1, 0, 0, p);
  EXPECT_NEAR(p[1], -1, 1e-12);
  // A general axis agrees with the axis-aligned rule.
  buildRotation(m, 90, 0, 0, 2.0);
  apply(m, 1, 0, 0, p);
  EXPECT_NEAR(p[1], 1, 1e-12);
  buildRotation(m, 90, 0.0, 1e-9, 1.0);
  apply(m, 1, 0, 0, p);
  EXPECT_NEAR(p[1], 1, 1e-6);
  for (double x : {0.0, 0.00005}) {
    buildRotation(m, 90, x, 0, x);
    EXPECT_EQ(std::memcmp(m, gIdentity, sizeof gIdentity), 0) << x;
  }
  double rot[16];
  setIdentityMatrix(rot);
  applyRotation(rot, 90, 1, 0, 0);
  apply(rot, 0, 1, 0, p);
  EXPECT_NEAR(p[2], 1, 1e-12);
}

TEST(Matrix, OrthoFrustumAndLookAt) {
  double m[16], p[3];
  buildOrthoMatrix(m, 0, 800, 0, 600, -1, 1);
  apply(m, 0, 0, 0, p);
  EXPECT_DOUBLE_EQ(p[0], -1);
  EXPECT_DOUBLE_EQ(p[1], -1);
  EXPECT_DOUBLE_EQ(p[2], 0);
  apply(m, 800, 600, 0, p);
  EXPECT_DOUBLE_EQ(p[0], 1);
  EXPECT_DOUBLE_EQ(p[1], 1);

  double f[16], q[16];
  buildPerspectiveMatrix(f, 90, 1, 1, 100);
  buildFrustumMatrix(q, -1, 1, -1, 1, 1, 100);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(f[i], q[i], 1e-12) << i;
  EXPECT_DOUBLE_EQ(q[11], -1);

  buildLookAtMatrix(m, 0, 0, 5, 0, 0, 0, 0, 1, 0);
  for (int i : {0, 5, 10, 15}) EXPECT_DOUBLE_EQ(m[i], 1);
  EXPECT_DOUBLE_EQ(m[14], -5);
  EXPECT_DOUBLE_EQ(m[12], 0);
}

TEST(Matrix, InverseAndSingularMatrices) {
  double m[16], inv[16], prod[16];
  buildRotation(m, 30, 1, 2, 3);
  applyTranslation(m, 4, -5, 6);
  ASSERT_EQ(invertMatrix(inv, m), 1);
  multMatrices(prod, m, inv);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(prod[i], gIdentity[i], 1e-12) << i;

  double zero_col[16];
  setIdentityMatrix(zero_col);
  zero_col[4] = zero_col[5] = zero_col[6] = zero_col[7] = 0;
  double dst[16];
  for (double& d : dst) d = 7;
  EXPECT_EQ(invertMatrix(dst, zero_col), 0);
  for (double d : dst) EXPECT_EQ(d, 7);
}

TEST(Matrix, SegmentsClippedToAHeightBand) {
  double mn[3] = {9.9e9, 9.9e9, 9.9e9}, mx[3] = {-9.9e9, -9.9e9, -9.9e9};
  double p[3] = {0, -10, 0}, q[3] = {10, 10, 20};
  accum_segment(0, 5, p, q, mn, mx);
  EXPECT_DOUBLE_EQ(mn[0], 5);  // crossing of y = 0
  EXPECT_DOUBLE_EQ(mx[0], 7.5);  // crossing of y = 5
  EXPECT_DOUBLE_EQ(mn[1], 0);
  EXPECT_DOUBLE_EQ(mx[1], 5);
  EXPECT_DOUBLE_EQ(mx[2], 15);

  double a[3] = {1, 20, 1}, b[3] = {2, 30, 2};
  double mn2[3] = {9.9e9, 9.9e9, 9.9e9}, mx2[3] = {-9.9e9, -9.9e9, -9.9e9};
  accum_segment(0, 5, a, b, mn2, mx2);  // wholly above
  EXPECT_GT(mn2[0], mx2[0]);
  double h1[3] = {1, 3, 1}, h2[3] = {-4, 3, 2};
  accum_segment(0, 5, h1, h2, mn2, mx2);  // horizontal, inside
  EXPECT_DOUBLE_EQ(mn2[0], -4);
  EXPECT_DOUBLE_EQ(mx2[0], 1);
  double mn3[3] = {9.9e9, 9.9e9, 9.9e9}, mx3[3] = {-9.9e9, -9.9e9, -9.9e9};
  accum_segment(0, 0, p, q, mn3, mx3);  // flat band
  EXPECT_DOUBLE_EQ(mn3[0], 5);
  EXPECT_DOUBLE_EQ(mx3[0], 5);
}

TEST(Camera, OrthoSetUpAndQueries) {
  xcam_class cam;
  EXPECT_TRUE(cam.is_ortho);
  EXPECT_TRUE(cam.read_gl_modelview);
  cam.SetupOrtho(0, 800, 0, 600, -1, 1);
  cam.Identity();
  EXPECT_DOUBLE_EQ(cam.near_z, 1);
  EXPECT_DOUBLE_EQ(cam.far_z, -1);
  EXPECT_DOUBLE_EQ(cam.ortho_right, 800);
  EXPECT_EQ(std::memcmp(cam.modelview, gIdentity, sizeof gIdentity), 0);
  float h = 5, v = 6;
  EXPECT_EQ(cam.GetFOVHalfCosines(&h, &v), 0);
  EXPECT_EQ(h, 5);
  EXPECT_EQ(v, 6);
}

TEST(Camera, PerspectiveFarPlaneAndNullSource) {
  xcam_class cam;
  cam.SetupPerspective(90, 1, 1, 50);
  double f[16];
  buildFrustumMatrix(f, -1, 1, -1, 1, 1, 50);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(cam.projection[i], f[i], 1e-12);
  EXPECT_FALSE(cam.is_ortho);
  float h = 0, v = 0;
  EXPECT_EQ(cam.GetFOVHalfCosines(&h, &v), 1);
  EXPECT_NEAR(h, std::sqrt(0.5), 1e-6);  // cosine of a 45-degree half angle
  EXPECT_NEAR(v, std::sqrt(0.5), 1e-6);
  cam.SetFakeFarClippingPlane(80);
  EXPECT_DOUBLE_EQ(cam.fake_far_z, -50);
  cam.SetFakeFarClippingPlane(20);
  EXPECT_DOUBLE_EQ(cam.fake_far_z, -20);
  cam.ResetFakeFarClippingPlane();
  EXPECT_DOUBLE_EQ(cam.fake_far_z, -50);

  xcam_class from_null(static_cast<xcam_class*>(nullptr));
  xcam_class fresh;
  EXPECT_EQ(std::memcmp(from_null.projection, fresh.projection, sizeof fresh.projection), 0);
  EXPECT_EQ(from_null.is_ortho, fresh.is_ortho);
  EXPECT_EQ(from_null.near_z, 0);
  xcam_class copy(&cam);
  EXPECT_DOUBLE_EQ(copy.far_z, -50);
}

TEST(Camera, DirectionsAndBounds) {
  xcam_class cam;
  cam.read_gl_modelview = false;
  cam.LookAtPtFromDir(0, 0, 0, 0, 0, 10);
  double d[3], up[3];
  cam.CalcDirection(d);
  cam.CalcUp(up);
  EXPECT_NEAR(d[0], -1, 1e-12);  // eye at (10, 0, 0) looking at the origin
  EXPECT_NEAR(up[1], 1, 1e-12);
  EXPECT_NEAR(cam.modelview[14], -10, 1e-12);

  cam.SetupPerspective(90, 1, 1, 100);
  double mn[3], mx[3];
  ASSERT_TRUE(cam.GetFrustumBounds(20, -1, 1, mn, mx));
  EXPECT_NEAR(mn[0], -10, 1e-9);  // the eye and the cut at 20 units
  EXPECT_NEAR(mn[1], -1, 1e-9);
  EXPECT_NEAR(mx[1], 1, 1e-9);
  EXPECT_FALSE(cam.GetFrustumBounds(20, 500, 600, mn, mx));

  xcam_class shadow;
  double dir[3] = {0, -0.6, -0.8};
  double n = 0, f = 0;
  shadow.LookAtCamera(&cam, dir, 200, n, f);
  EXPECT_TRUE(shadow.is_ortho);
  EXPECT_LT(n, f);
  EXPECT_LT(shadow.ortho_left, shadow.ortho_right);
}

}  // namespace
