// The wizard's backdrop: a calm evening sky over layered hills. Only its
// edges show around the two large panels, so it stays soft and low in
// contrast; the hills darken the strip at the bottom where the wizard's
// buttons sit.
#include <cmath>

#include "images.h"

namespace gen {

namespace {

constexpr int kWidth = 800, kHeight = 600;

RGBA sky_at(float y) {
  struct stop {
    float y;
    RGBA c;
  };
  static const stop stops[] = {
      {60, rgb(198, 211, 222)}, {140, rgb(160, 185, 208)}, {280, rgb(104, 138, 176)},
      {450, rgb(58, 90, 134)},  {600, rgb(30, 54, 92)},
  };
  if (y <= stops[0].y) return stops[0].c;
  for (size_t i = 1; i < sizeof stops / sizeof stops[0]; ++i) {
    if (y <= stops[i].y) {
      const float t = (y - stops[i - 1].y) / (stops[i].y - stops[i - 1].y);
      return mix(stops[i - 1].c, stops[i].c, smoothstep(0.0f, 1.0f, t));
    }
  }
  return stops[4].c;
}

// Height of a range of hills at x.
float ridge(float x, float base, float amplitude, float scale, uint32_t seed) {
  return base + amplitude * (fbm(x / scale, 0.5f, 4, seed) - 0.5f) * 2.0f;
}

}  // namespace

Canvas draw_background() {
  Canvas c(kWidth, kHeight);

  // Sky with a warm glow low on the right.
  c.paint(0, 0, kWidth, kHeight, [](float x, float y) {
    RGBA s = sky_at(y);
    const float glow = std::exp(-(((x - 610) * (x - 610)) / (2 * 230.0f * 230.0f) +
                                  ((y - 70) * (y - 70)) / (2 * 120.0f * 120.0f)));
    s = mix(s, rgb(250, 222, 190), 0.30f * glow);
    return s;
  });

  // Thin, drifting layers of cloud, denser towards the horizon.
  c.paint(0, 60, kWidth, kHeight, [](float x, float y) {
    const float n = fbm(x / 260.0f, y / 34.0f, 5, 7u);
    const float streak = smoothstep(0.52f, 0.78f, n);
    const float height_fade = 1.0f - smoothstep(330.0f, 600.0f, y) * 0.55f;
    const float low_fade = smoothstep(60.0f, 120.0f, y);
    RGBA cloud = mix(rgb(236, 240, 246), rgb(252, 236, 222), 0.4f * (1.0f - smoothstep(60, 260, y)));
    return with_alpha(cloud, 0.30f * streak * height_fade * low_fade);
  });

  // Three ranges of hills, fading into the haze with distance.
  struct range {
    float base, amplitude, scale;
    uint32_t seed;
    RGBA top, bottom;
  };
  const range ranges[] = {
      {74, 16, 140, 21u, rgb(128, 150, 174), rgb(140, 160, 182)},
      {52, 20, 95, 33u, rgb(82, 104, 130), rgb(70, 90, 114)},
      {32, 11, 70, 47u, rgb(44, 58, 76), rgb(30, 40, 54)},
  };
  for (const range& r : ranges) {
    c.paint(0, 0, kWidth, static_cast<int>(r.base + r.amplitude + 2), [&](float x, float y) {
      const float top = ridge(x, r.base, r.amplitude, r.scale, r.seed);
      const float cov = clampf(top - y + 0.5f, 0.0f, 1.0f);
      return with_alpha(mix(r.bottom, r.top, clampf(y / top, 0.0f, 1.0f)), cov);
    });
  }
  return c;
}

}  // namespace gen
