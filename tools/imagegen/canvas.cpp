#include "canvas.h"

#include <png.h>

#include <algorithm>
#include <cstdio>

namespace gen {

RGBA mix(RGBA a, RGBA b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

float sd_round_rect(float px, float py, float x0, float y0, float x1, float y1, float radius) {
  const float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
  const float hx = (x1 - x0) * 0.5f - radius, hy = (y1 - y0) * 0.5f - radius;
  const float qx = std::fabs(px - cx) - hx, qy = std::fabs(py - cy) - hy;
  const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

float sd_circle(float px, float py, float cx, float cy, float radius) {
  return std::hypot(px - cx, py - cy) - radius;
}

float sd_segment(float px, float py, float ax, float ay, float bx, float by) {
  const float pax = px - ax, pay = py - ay, bax = bx - ax, bay = by - ay;
  const float len2 = bax * bax + bay * bay;
  const float h = len2 > 0 ? clampf((pax * bax + pay * bay) / len2, 0.0f, 1.0f) : 0.0f;
  return std::hypot(pax - bax * h, pay - bay * h);
}

float sd_triangle(float px, float py, float ax, float ay, float bx, float by, float cx, float cy) {
  const float d = std::min({sd_segment(px, py, ax, ay, bx, by), sd_segment(px, py, bx, by, cx, cy),
                            sd_segment(px, py, cx, cy, ax, ay)});
  auto side = [&](float x0, float y0, float x1, float y1) { return (x1 - x0) * (py - y0) - (y1 - y0) * (px - x0); };
  const float s0 = side(ax, ay, bx, by), s1 = side(bx, by, cx, cy), s2 = side(cx, cy, ax, ay);
  const bool inside = (s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0);
  return inside ? -d : d;
}

namespace {

uint32_t hash3(int x, int y, uint32_t seed) {
  uint32_t h = seed * 0x9E3779B1u ^ static_cast<uint32_t>(x) * 0x85EBCA77u ^ static_cast<uint32_t>(y) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

float lattice(int x, int y, uint32_t seed) { return (hash3(x, y, seed) & 0xFFFFFF) / 16777215.0f; }

}  // namespace

float value_noise(float x, float y, uint32_t seed) {
  const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
  const float fx = x - xi, fy = y - yi;
  const float ux = fx * fx * (3 - 2 * fx), uy = fy * fy * (3 - 2 * fy);
  const float a = lattice(xi, yi, seed), b = lattice(xi + 1, yi, seed);
  const float c = lattice(xi, yi + 1, seed), d = lattice(xi + 1, yi + 1, seed);
  return (a + (b - a) * ux) + ((c + (d - c) * ux) - (a + (b - a) * ux)) * uy;
}

float fbm(float x, float y, int octaves, uint32_t seed) {
  float sum = 0, amp = 0.5f, norm = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += amp * value_noise(x, y, seed + 101u * i);
    norm += amp;
    x = x * 2.03f + 17.1f;
    y = y * 2.03f + 9.7f;
    amp *= 0.5f;
  }
  return sum / norm;
}

Canvas::Canvas(int width, int height)
    : w_(width), h_(height), cx0_(0), cy0_(0), cx1_(width), cy1_(height), px_(static_cast<size_t>(width) * height) {}

void Canvas::blend(int x, int y, RGBA c) {
  if (x < cx0_ || y < cy0_ || x >= cx1_ || y >= cy1_ || c.a <= 0.0f) return;
  RGBA& d = at(x, y);
  const float a = clampf(c.a, 0.0f, 1.0f);
  const float out_a = a + d.a * (1.0f - a);
  if (out_a <= 0.0f) return;
  d.r = (c.r * a + d.r * d.a * (1.0f - a)) / out_a;
  d.g = (c.g * a + d.g * d.a * (1.0f - a)) / out_a;
  d.b = (c.b * a + d.b * d.a * (1.0f - a)) / out_a;
  d.a = out_a;
}

void Canvas::set(int x, int y, RGBA c) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
  at(x, y) = c;
}

void Canvas::clip(int x0, int y0, int x1, int y1) {
  cx0_ = std::max(0, x0);
  cy0_ = std::max(0, y0);
  cx1_ = std::min(w_, x1);
  cy1_ = std::min(h_, y1);
}

void Canvas::clear_clip() { clip(0, 0, w_, h_); }

void Canvas::fill_rect(int x0, int y0, int x1, int y1, RGBA c) {
  for (int y = std::max(y0, cy0_); y < std::min(y1, cy1_); ++y)
    for (int x = std::max(x0, cx0_); x < std::min(x1, cx1_); ++x) at(x, y) = c;
}

namespace {
int lo(float v) { return static_cast<int>(std::floor(v)) - 1; }
int hi(float v) { return static_cast<int>(std::ceil(v)) + 1; }
}  // namespace

void Canvas::round_rect(float x0, float y0, float x1, float y1, float radius, RGBA c) {
  paint(lo(x0), lo(y0), hi(x1), hi(y1),
        [&](float px, float py) { return with_alpha(c, cover(sd_round_rect(px, py, x0, y0, x1, y1, radius))); });
}

void Canvas::round_rect_vgrad(float x0, float y0, float x1, float y1, float radius, RGBA bottom, RGBA top) {
  paint(lo(x0), lo(y0), hi(x1), hi(y1), [&](float px, float py) {
    const RGBA c = mix(bottom, top, clampf((py - y0) / (y1 - y0), 0.0f, 1.0f));
    return with_alpha(c, cover(sd_round_rect(px, py, x0, y0, x1, y1, radius)));
  });
}

void Canvas::round_rect_stroke(float x0, float y0, float x1, float y1, float radius, float width, RGBA c) {
  paint(lo(x0), lo(y0), hi(x1), hi(y1), [&](float px, float py) {
    const float d = sd_round_rect(px, py, x0, y0, x1, y1, radius);
    return with_alpha(c, std::min(cover(d), cover(-d - width)));
  });
}

void Canvas::circle(float cx, float cy, float radius, RGBA c) {
  paint(lo(cx - radius), lo(cy - radius), hi(cx + radius), hi(cy + radius),
        [&](float px, float py) { return with_alpha(c, cover(sd_circle(px, py, cx, cy, radius))); });
}

void Canvas::line(float ax, float ay, float bx, float by, float width, RGBA c) {
  const float r = width * 0.5f;
  paint(lo(std::min(ax, bx) - r), lo(std::min(ay, by) - r), hi(std::max(ax, bx) + r), hi(std::max(ay, by) + r),
        [&](float px, float py) { return with_alpha(c, cover(sd_segment(px, py, ax, ay, bx, by) - r)); });
}

void Canvas::triangle(float ax, float ay, float bx, float by, float cx, float cy, RGBA c) {
  paint(lo(std::min({ax, bx, cx})), lo(std::min({ay, by, cy})), hi(std::max({ax, bx, cx})),
        hi(std::max({ay, by, cy})),
        [&](float px, float py) { return with_alpha(c, cover(sd_triangle(px, py, ax, ay, bx, by, cx, cy))); });
}

void Canvas::shadow(float x0, float y0, float x1, float y1, float radius, float blur, RGBA c) {
  paint(lo(x0 - blur), lo(y0 - blur), hi(x1 + blur), hi(y1 + blur), [&](float px, float py) {
    const float d = sd_round_rect(px, py, x0, y0, x1, y1, radius);
    return with_alpha(c, 1.0f - smoothstep(-blur, blur, d));
  });
}

void Canvas::copy_from(const Canvas& src, int sx, int sy, int w, int h, int dx, int dy) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) set(dx + x, dy + y, src.at(sx + x, sy + y));
}

std::vector<uint8_t> Canvas::bytes(int channels, bool dither) const {
  static const float kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  std::vector<uint8_t> out(static_cast<size_t>(w_) * h_ * channels);
  size_t i = 0;
  for (int y = 0; y < h_; ++y) {
    for (int x = 0; x < w_; ++x) {
      const RGBA& p = at(x, y);
      const float offset = dither ? (kBayer[y & 3][x & 3] + 0.5f) / 16.0f - 0.5f : 0.0f;
      const float v[4] = {p.r, p.g, p.b, p.a};
      for (int c = 0; c < channels; ++c) {
        const float scaled = clampf(v[c], 0.0f, 1.0f) * 255.0f + (c < 3 ? offset : 0.0f);
        out[i++] = static_cast<uint8_t>(clampf(std::floor(scaled + 0.5f), 0.0f, 255.0f));
      }
    }
  }
  return out;
}

bool write_png(const std::string& path, const std::vector<uint8_t>& bytes, int width, int height, int channels) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, width, height, 8, channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const size_t stride = static_cast<size_t>(width) * channels;
  for (int row = height - 1; row >= 0; --row) png_write_row(png, bytes.data() + row * stride);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return fclose(f) == 0;
}

}  // namespace gen
