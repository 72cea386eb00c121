#include "ui/matrix.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

const double gIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

namespace {

constexpr double kPi = 3.14159265358979323846;

void cross(const double* a, const double* b, double* out) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

void normalise(double* v) {
  const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (len > 0.0) {
    v[0] /= len;
    v[1] /= len;
    v[2] /= len;
  }
}

void merge(const double* p, double* mn, double* mx) {
  for (int k = 0; k < 3; ++k) {
    if (p[k] < mn[k]) mn[k] = p[k];
    if (p[k] > mx[k]) mx[k] = p[k];
  }
}

// The point of p-q at height y, its x and z kept between the ends' values.
void crossing(const double* p, const double* q, double y, double* out) {
  const double dy = q[1] - p[1];
  for (int k : {0, 2}) {
    double v = dy != 0.0 ? p[k] + (q[k] - p[k]) * (y - p[1]) / dy : (p[k] + q[k]) * 0.5;
    const double lo = std::fmin(p[k], q[k]);
    const double hi = std::fmax(p[k], q[k]);
    out[k] = v < lo ? lo : v > hi ? hi : v;
  }
  out[1] = y;
}

}  // namespace

void setIdentityMatrix(double* m) { std::memcpy(m, gIdentity, sizeof gIdentity); }

void copyMatrix(double* dst, double* src) { std::memcpy(dst, src, 16 * sizeof(double)); }

void transposeMatrix(double* dst, double* src) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) dst[4 * j + i] = src[4 * i + j];
}

void addMatrices(double* dst, double* a, double* b) {
  for (int i = 0; i < 16; ++i) dst[i] = a[i] + b[i];
}

void multMatrices(double* dst, const double* a, const double* b) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += a[4 * k + i] * b[4 * j + k];
      dst[4 * j + i] = sum;
    }
}

void applyTranslation(double* m, double x, double y, double z) {
  for (int i = 0; i < 4; ++i) m[12 + i] += x * m[i] + y * m[4 + i] + z * m[8 + i];
}

void applyRotation(double* m, double angle, double x, double y, double z) {
  double r[16], t[16];
  buildRotation(r, angle, x, y, z);
  multMatrices(t, m, r);
  copyMatrix(m, t);
}

void vec3_assign(double* v, double x, double y, double z) {
  v[0] = x;
  v[1] = y;
  v[2] = z;
}

void buildFrustumMatrix(double* m, double l, double r, double b, double t, double n, double f) {
  std::memset(m, 0, 16 * sizeof(double));
  m[0] = 2.0 * n / (r - l);
  m[5] = 2.0 * n / (t - b);
  m[8] = (r + l) / (r - l);
  m[9] = (t + b) / (t - b);
  m[10] = (n + f) / (n - f);
  m[11] = -1.0;
  m[14] = -2.0 * n * f / (f - n);
}

void buildOrthoMatrix(double* m, double l, double r, double b, double t, double n, double f) {
  std::memset(m, 0, 16 * sizeof(double));
  m[0] = 2.0 / (r - l);
  m[5] = 2.0 / (t - b);
  m[10] = -2.0 / (f - n);
  m[12] = (r + l) / (l - r);
  m[13] = (t + b) / (b - t);
  m[14] = (f + n) / (n - f);
  m[15] = 1.0;
}

void buildPerspectiveMatrix(double* m, double fovy, double aspect, double n, double f) {
  const double y = n * std::tan(fovy * kPi / 360.0);
  buildFrustumMatrix(m, -y * aspect, y * aspect, -y, y, n, f);
}

void buildRotation(double* m, double angle, double x, double y, double z) {
  setIdentityMatrix(m);
  const double c = std::cos(angle * kPi / 180.0);
  const double s = std::sin(angle * kPi / 180.0);
  if (y == 0.0 && z == 0.0 && x != 0.0) {
    m[5] = m[10] = c;
    m[6] = x >= 0 ? s : -s;
    m[9] = x >= 0 ? -s : s;
    return;
  }
  if (x == 0.0 && z == 0.0 && y != 0.0) {
    m[0] = m[10] = c;
    m[8] = y >= 0 ? s : -s;
    m[2] = y >= 0 ? -s : s;
    return;
  }
  if (x == 0.0 && y == 0.0 && z != 0.0) {
    m[0] = m[5] = c;
    m[1] = z >= 0 ? s : -s;
    m[4] = z >= 0 ? -s : s;
    return;
  }
  const double len = std::sqrt(x * x + y * y + z * z);
  if (len <= 0.0001) return;
  x /= len;
  y /= len;
  z /= len;
  const double k = 1.0 - c;
  m[0] = x * x * k + c;
  m[4] = x * y * k - s * z;
  m[8] = x * z * k + s * y;
  m[1] = x * y * k + s * z;
  m[5] = y * y * k + c;
  m[9] = y * z * k - s * x;
  m[2] = x * z * k - s * y;
  m[6] = y * z * k + s * x;
  m[10] = z * z * k + c;
}

void buildLookAtMatrix(double* m, double ex, double ey, double ez, double cx, double cy, double cz, double ux,
                       double uy, double uz) {
  double f[3] = {ex - cx, ey - cy, ez - cz};
  normalise(f);
  const double u[3] = {ux, uy, uz};
  double s[3], up[3];
  cross(u, f, s);
  cross(f, s, up);
  normalise(s);
  normalise(up);
  const double e[3] = {ex, ey, ez};
  for (int j = 0; j < 3; ++j) {
    m[4 * j + 0] = s[j];
    m[4 * j + 1] = up[j];
    m[4 * j + 2] = f[j];
  }
  m[12] = -(s[0] * e[0] + s[1] * e[1] + s[2] * e[2]);
  m[13] = -(up[0] * e[0] + up[1] * e[1] + up[2] * e[2]);
  m[14] = -(f[0] * e[0] + f[1] * e[1] + f[2] * e[2]);
  m[3] = m[7] = m[11] = 0.0;
  m[15] = 1.0;
}

int invertMatrix(double* dst, const double* src) {
  // Gauss-Jordan on [src | I], rows as arrays of eight.
  double wt[4][8];
  double* r[4] = {wt[0], wt[1], wt[2], wt[3]};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r[i][j] = src[4 * j + i];
      r[i][4 + j] = i == j ? 1.0 : 0.0;
    }
  }
  for (int col = 0; col < 4; ++col) {
    // Partial pivoting: scan from the bottom up; a lower row moves up only
    // when it is strictly larger.
    for (int row = 3; row > col; --row)
      if (std::fabs(r[row][col]) > std::fabs(r[row - 1][col])) std::swap(r[row], r[row - 1]);
    if (r[col][col] == 0.0) return 0;
    const double inv = 1.0 / r[col][col];
    for (int row = 0; row < 4; ++row) {
      if (row == col) continue;
      const double mul = r[row][col] * inv;
      if (mul == 0.0) continue;
      for (int k = col; k < 8; ++k) r[row][k] -= mul * r[col][k];
    }
  }
  for (int i = 0; i < 4; ++i) {
    const double inv = 1.0 / r[i][i];
    for (int j = 0; j < 4; ++j) dst[4 * j + i] = r[i][4 + j] * inv;
  }
  return 1;
}

void printMatrix(char* label, double* m) {
  std::puts(label);
  for (int i = 0; i < 4; ++i)
    std::printf(i < 3 ? " [ %f %f %f %f ]\n" : " [ %f %f %f %f ]\n\n", m[i], m[4 + i], m[8 + i], m[12 + i]);
}

void accum_segment(double lo, double hi, double* p, double* q, double* mn, double* mx) {
  if (p[1] > q[1]) std::swap(p, q);
  if (p[1] == q[1]) {
    if (p[1] < lo || p[1] > hi) return;
    merge(p, mn, mx);
    merge(q, mn, mx);
    return;
  }
  if (lo == hi) {
    if (lo < p[1] || lo > q[1]) return;
    double c[3];
    crossing(p, q, lo, c);
    merge(c, mn, mx);
    return;
  }
  if (q[1] < lo || p[1] > hi) return;
  if (p[1] >= lo && p[1] <= hi) merge(p, mn, mx);
  if (q[1] >= lo && q[1] <= hi) merge(q, mn, mx);
  double c[3];
  if (p[1] < lo && q[1] >= lo) {
    crossing(p, q, lo, c);
    merge(c, mn, mx);
  }
  if (p[1] <= hi && q[1] > hi) {
    crossing(p, q, hi, c);
    merge(c, mn, mx);
  }
}
