// The world maps: rows 0-251 the plain map (grey sea, white land), rows
// 252-503 the coloured map (blue sea, natural-coloured land), both at 1.4
// pixels per degree from 180 W and 90 S, with grid lines every 14 pixels (10
// degrees) at the same offsets in both halves so that a tile of the coloured
// map lies exactly over the plain one. Every pixel is opaque.
//
// Land and sea come from the committed land mask (Natural Earth 1:110m land,
// run-length encoded by tools/imagegen/convert_land.py). The land colours
// follow latitude and a handful of hand-placed dry regions.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "images.h"

namespace gen {

namespace {

constexpr int kMapW = 504, kMapH = 252, kTile = 14;
constexpr float kPxPerDeg = 1.4f;

// Reads the mask: "504 252", then per row from the south the runs of sea and
// land, starting with sea. Lines starting with '#' are comments.
bool read_mask(const std::string& path, std::vector<float>* land) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  int w = 0, h = 0, row = 0;
  land->assign(static_cast<size_t>(kMapW) * kMapH, 0.0f);
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    if (w == 0) {
      fields >> w >> h;
      if (w != kMapW || h != kMapH) return false;
      continue;
    }
    if (row >= kMapH) return false;
    int x = 0, run = 0;
    bool is_land = false;
    while (fields >> run) {
      if (run < 0 || x + run > kMapW) return false;
      for (int i = 0; i < run; ++i) (*land)[static_cast<size_t>(row) * kMapW + x + i] = is_land ? 1.0f : 0.0f;
      x += run;
      is_land = !is_land;
    }
    if (x != kMapW) return false;
    ++row;
  }
  return row == kMapH;
}

float at(const std::vector<float>& m, int x, int y) {
  x = (x % kMapW + kMapW) % kMapW;  // the map wraps east to west
  y = std::clamp(y, 0, kMapH - 1);
  return m[static_cast<size_t>(y) * kMapW + x];
}

// Soft land coverage: the binary mask seen through a small blur, so that
// coasts are smooth and small islands stay visible.
std::vector<float> soften(const std::vector<float>& m) {
  std::vector<float> out(m.size());
  for (int y = 0; y < kMapH; ++y)
    for (int x = 0; x < kMapW; ++x) {
      float sum = 4 * at(m, x, y);
      sum += 2 * (at(m, x - 1, y) + at(m, x + 1, y) + at(m, x, y - 1) + at(m, x, y + 1));
      sum += at(m, x - 1, y - 1) + at(m, x + 1, y - 1) + at(m, x - 1, y + 1) + at(m, x + 1, y + 1);
      const float v = sum / 16.0f;
      out[static_cast<size_t>(y) * kMapW + x] = at(m, x, y) > 0 ? std::max(v, 0.75f) : smoothstep(0.0f, 0.7f, v);
    }
  return out;
}

// Distance in pixels to the nearest pixel of the other kind, up to `limit`.
std::vector<float> coast_distance(const std::vector<float>& m, int limit) {
  std::vector<float> out(m.size(), static_cast<float>(limit));
  for (int y = 0; y < kMapH; ++y)
    for (int x = 0; x < kMapW; ++x) {
      const float self = at(m, x, y);
      float best = static_cast<float>(limit);
      for (int dy = -limit; dy <= limit; ++dy)
        for (int dx = -limit; dx <= limit; ++dx)
          if (at(m, x + dx, y + dy) != self) best = std::min(best, std::hypot(float(dx), float(dy)));
      out[static_cast<size_t>(y) * kMapW + x] = best;
    }
  return out;
}

// A region of the globe with soft edges, in degrees.
struct region {
  float lat0, lat1, lon0, lon1;
  RGBA colour;
  float strength;
};

float region_weight(const region& r, float lat, float lon, float margin) {
  const float a = smoothstep(r.lat0 - margin, r.lat0 + margin, lat) * (1 - smoothstep(r.lat1 - margin, r.lat1 + margin, lat));
  const float b = smoothstep(r.lon0 - margin, r.lon0 + margin, lon) * (1 - smoothstep(r.lon1 - margin, r.lon1 + margin, lon));
  return a * b * r.strength;
}

const RGBA kDesert = rgb(216, 192, 140);
const RGBA kSteppe = rgb(186, 178, 126);
const RGBA kSavanna = rgb(160, 166, 92);

const region kDryRegions[] = {
    {15, 31, -17, 33, kDesert, 1.0f},     // Sahara
    {13, 31, 34, 58, kDesert, 0.95f},     // Arabia
    {25, 40, 50, 70, kSteppe, 0.8f},      // Iranian plateau
    {36, 47, 55, 80, kSteppe, 0.75f},     // Central Asian steppe
    {38, 46, 88, 114, kDesert, 0.8f},     // Gobi
    {23, 30, 68, 75, kDesert, 0.6f},      // Thar
    {-32, -19, 116, 143, kDesert, 0.95f}, // Australian interior
    {24, 38, -118, -103, kDesert, 0.7f},  // American south-west
    {-28, -15, -72, -67, kDesert, 0.7f},  // Atacama
    {-28, -17, 13, 25, kSteppe, 0.8f},    // Kalahari and Namib
    {-52, -38, -71, -63, kSteppe, 0.7f},  // Patagonia
    {5, 15, -17, 40, kSavanna, 0.8f},     // Sahel
    {-20, -6, 13, 40, kSavanna, 0.6f},    // southern African savanna
    {-22, -8, -55, -40, kSavanna, 0.55f}, // Brazilian savanna
    {-19, -12, 125, 145, kSavanna, 0.6f}, // northern Australia
    {32, 50, -104, -95, kSteppe, 0.5f},   // Great Plains
};

RGBA land_colour(float lat, float lon, float x, float y) {
  const float alat = std::fabs(lat);
  // Green by latitude: rain forest, temperate, boreal, tundra.
  RGBA c = rgb(46, 112, 62);
  c = mix(c, rgb(98, 146, 82), smoothstep(14, 26, alat));
  c = mix(c, rgb(70, 110, 72), smoothstep(44, 54, alat));
  c = mix(c, rgb(140, 150, 126), smoothstep(60, 68, alat));
  // The dry regions' edges wander, so that no box shows.
  const float wlat = lat + 7.0f * (fbm(x / 23.0f, y / 23.0f, 3, 61u) - 0.5f);
  const float wlon = lon + 10.0f * (fbm(x / 23.0f, y / 23.0f, 3, 67u) - 0.5f);
  for (const region& r : kDryRegions) c = mix(c, r.colour, region_weight(r, wlat, wlon, 4.5f));
  // Ice: the far north, Greenland and Antarctica.
  float ice = smoothstep(70, 76, alat);
  if (lat > 59 && lon > -74 && lon < -12) ice = std::max(ice, smoothstep(59, 63, lat));
  if (lat < -60) ice = 1.0f;
  // A little texture, like relief seen from far away; ice stays smooth.
  const float n = fbm(x / 9.0f, y / 9.0f, 3, 91u) - 0.5f;
  const float k = 1.0f + n * 0.16f * (1.0f - ice) + n * 0.03f * ice;
  c = mix(c, rgb(236, 242, 247), ice);
  return {clampf(c.r * k, 0, 1), clampf(c.g * k, 0, 1), clampf(c.b * k, 0, 1), 1.0f};
}

bool on_grid(int x, int y) { return x % kTile == 0 || y % kTile == 0 || x == kMapW - 1 || y == kMapH - 1; }

}  // namespace

bool draw_map(const Inputs& in, Canvas* out) {
  std::vector<float> mask;
  if (!read_mask(in.land_mask, &mask)) return false;
  const std::vector<float> land = soften(mask);
  const std::vector<float> dist = coast_distance(mask, 8);

  Canvas c(kMapW, kMapH * 2);
  for (int y = 0; y < kMapH; ++y) {
    for (int x = 0; x < kMapW; ++x) {
      const size_t i = static_cast<size_t>(y) * kMapW + x;
      const float lat = -90.0f + (y + 0.5f) / kPxPerDeg, lon = -180.0f + (x + 0.5f) / kPxPerDeg;
      const bool is_land = mask[i] > 0;
      const float near_coast = 1.0f - smoothstep(0.0f, 3.0f, dist[i]);

      // The plain map: grey sea, white land with a faint grey coast.
      RGBA plain_sea = mix(rgb(190, 198, 207), rgb(176, 185, 196), near_coast * 0.6f);
      RGBA plain_land = is_land ? mix(rgb(252, 252, 250), rgb(226, 229, 232), near_coast * 0.5f) : rgb(244, 245, 246);
      RGBA plain = mix(plain_sea, plain_land, land[i]);

      // The coloured map: deeper blue away from the coasts.
      const float shelf = 1.0f - smoothstep(0.0f, 8.0f, dist[i]);
      RGBA sea = mix(rgb(30, 78, 142), rgb(66, 132, 190), shelf * shelf);
      const float wave = fbm(x / 14.0f, y / 14.0f, 3, 5u) - 0.5f;
      sea = mix(sea, rgb(24, 66, 124), std::max(0.0f, -wave) * 0.35f);
      RGBA ground = land_colour(lat, lon, static_cast<float>(x), static_cast<float>(y));
      if (is_land) ground = mix(ground, rgb(236, 226, 196), near_coast * 0.15f);
      RGBA coloured = mix(sea, ground, land[i]);

      if (on_grid(x, y)) {
        plain = mix(plain, rgb(118, 128, 142), 0.45f);
        coloured = mix(coloured, rgb(232, 240, 248), 0.30f);
      }
      plain.a = coloured.a = 1.0f;
      c.set(x, y, plain);
      c.set(x, y + kMapH, coloured);
    }
  }
  *out = c;
  return true;
}

}  // namespace gen
