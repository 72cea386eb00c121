#include "ui/colr.h"

#include <cmath>
#include <cstring>

#include "ui/draw.h"
#include "ui/draw_list.h"
#include "ui/font.h"

colr_class colr;

namespace {

struct default_colour {
  int index;
  float r, g, b;
};

const default_colour kDefaults[] = {
    {0, 1, 1, 1},         {1, 1, 0.2f, 0.2f},     {2, 1, 1, 0.2f},       {3, 0.7f, 0.7f, 0.7f},
    {4, 0.8f, 0, 0},      {5, 1, 1, 0},           {6, 0.3f, 0.3f, 0.3f}, {7, 0.2f, 0, 0},
    {8, 1, 0.8f, 0.2f},   {9, 0.1f, 0.1f, 0.1f},  {10, 0, 0.8f, 0},      {13, 0, 0.4f, 0},
    {15, 0.4f, 0.4f, 1},  {17, 0, 0, 0.6f},       {18, 0.9f, 0.9f, 0.9f}, {19, 0.8f, 0.1f, 0.1f},
    {20, 0.9f, 0.9f, 1},  {21, 0.9f, 0.9f, 0.9f}, {22, 0.1f, 0.1f, 0.1f}, {24, 1, 1, 0},
    {26, 1, 1, 1},        {27, 1, 1, 1},          {28, 1, 1, 1},         {29, 1, 1, 0},
    {31, 1, 1, 1},        {32, 1, 1, 1},          {33, 1, 1, 1},         {49, 1, 1, 1},
    {50, 0.4f, 1, 0.4f},  {51, 1, 0.4f, 0.4f},    {52, 1, 1, 0.6f},      {53, 0.7f, 0.7f, 1},
    {54, 1, 0.5f, 0},     {55, 0.8f, 0.8f, 0.8f}, {56, 0, 1, 0},         {57, 1, 0.2f, 0.2f},
    {58, 1, 1, 0.2f},     {59, 0.4f, 0.4f, 1},    {60, 0.5f, 0.3f, 0},   {61, 0.5f, 0.5f, 0.5f},
    {62, 0, 0.6f, 0},     {63, 0.6f, 0.2f, 0},    {64, 1, 1, 0},         {65, 0.2f, 0.2f, 0.8f},
    {66, 1, 0.4f, 0},     {67, 0.2f, 0.2f, 0.2f}, {68, 0, 0.2f, 0},      {69, 1, 0, 0},
    {70, 0.6f, 0.6f, 0},  {71, 0.15f, 0.15f, 0.6f}, {72, 0.49f, 0.43f, 0.24f}, {74, 0, 0.1f, 0},
    {75, 1, 0.2f, 1},     {76, 1, 0, 1},          {77, 0, 1, 1},         {78, 0.44f, 0.53f, 0.54f},
    {85, 1, 0, 1},        {87, 1, 0, 1},          {88, 1, 1, 1},         {97, 0.5f, 0.5f, 0.4f},
    {98, 1, 0.3f, 0},     {99, 0.5f, 0.5f, 0.4f}, {100, 0.8f, 0.8f, 0.7f}, {101, 0, 0.6f, 0.2f},
    {102, 1, 1, 0.9f},
};

// The rainbow of the spectrum: red, orange, yellow, green, blue, violet.
const float kRainbow[6][3] = {{1, 0, 0}, {1, 0.32f, 0.08f}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {0.8f, 0, 0.8f}};

}  // namespace

colr_class::colr_class()
    : image_gamma(1.8), display_gamma(2.2), gamma_on(1), lites{1.0f, 1.0f, 1.0f}, blink(0.0f),
      spectrum_min(0.0f), spectrum_max(0.0f), spectrum_range(0.0f) {
  std::memset(rgb, 0, sizeof rgb);
  std::memset(spectrum, 0, sizeof spectrum);
  for (const default_colour& d : kDefaults) assign(d.index, d.r, d.g, d.b);
  // The exponent is fixed at 1.8 / 2.2: it does not follow later changes of
  // the two gamma fields.
  const float exponent = 0.8181818f;
  for (int i = 0; i < 256; ++i) {
    gamma_table[i] = static_cast<unsigned char>(
        static_cast<int>(255.0f * std::pow(static_cast<float>(i) / 255.0f, exponent) + 0.5f));
  }
}

void colr_class::assign(int index, float r, float g, float b) {
  if (index < 0 || index >= kNumColours) return;
  rgb[index][0] = r;
  rgb[index][1] = g;
  rgb[index][2] = b;
}

void colr_class::set_lites_for_interface() {
  for (float& f : lites)
    if (f < 0.75f) f = 0.75f;
}

void colr_class::spectrum_init(int mode) {
  if (mode < 0 || mode > 3) return;
  for (int i = 0; i < 1000; ++i) {
    const float v = i * 0.001f;
    float* e = spectrum[i];
    switch (mode) {
      case 0: {
        const int k = v < 0.2f ? 0 : v < 0.4f ? 1 : v < 0.6f ? 2 : v < 0.8f ? 3 : 4;
        const float f = (v - 0.2f * k) * 5.0f;
        for (int c = 0; c < 3; ++c) e[c] = kRainbow[k][c] * (1.0f - f) + kRainbow[k + 1][c] * f;
        break;
      }
      case 1: e[0] = v, e[1] = 0, e[2] = 0; break;
      case 2: e[0] = 0, e[1] = v, e[2] = 0; break;
      default: e[0] = 0, e[1] = 0, e[2] = v; break;
    }
  }
}

int spectrum_scale_index(float minimum, float maximum, int i) {
  float value = minimum + (maximum - minimum) * 0.001001001f * static_cast<float>(i);
  const float lo = std::fmin(minimum, maximum), hi = std::fmax(minimum, maximum);
  value = value < lo ? lo : value > hi ? hi : value;
  // An empty range (or bounds that give no number) shows entry 0.
  const float pos = (value - minimum) / (maximum - minimum) * 1000.0f;
  const int index = std::isfinite(pos) ? static_cast<int>(pos) : 0;
  return index < 0 ? 0 : index > 999 ? 999 : index;
}

void colr_class::spectrum_plotscale(float x, float y, float minimum, float maximum, int decimals) {
  spectrum_max = maximum;
  OGL_number(0, x + 4, y + 996, maximum, 5, decimals, 100);
  spectrum_min = minimum;
  OGL_number(0, x + 4, y - 4, minimum, 5, decimals, 100);
  spectrum_range = maximum - minimum;
  OGL_setstate(1, 0, 3, 5, 9, 11);
  DL_point_size(4.0f);
  DL_begin(dl_points);
  for (int i = 0; i <= 996; i += 4) {
    DL_colour3(spectrum[spectrum_scale_index(minimum, maximum, i)]);
    DL_vertex(x, y + i);
  }
  DL_end();
  DL_point_size(1.0f);
}

int colr_class::gl_colour(int index, float alpha, int monochrome, float alpha_factor, float out[4]) const {
  if (index < 0 || index >= kNumColours) index = 0;
  float r = rgb[index][0], g = rgb[index][1], b = rgb[index][2];
  if (index < kLitColours) {
    r *= lites[0];
    g *= lites[1];
    b *= lites[2];
  }
  if (monochrome) {
    float sum = r + g + b;
    sum = sum < 0.01f ? 0.01f : sum > 1.0f ? 1.0f : sum;
    r = 0.0f;
    g = sum;
    b = 0.0f;
  }
  out[0] = r;
  out[1] = g;
  out[2] = b;
  out[3] = alpha * alpha_factor;
  return static_cast<double>(out[3]) <= 0.99 ? 1 : 0;
}

void OGL_setcolor(int colour, float alpha) {
  if (colour >= 79 && colour <= 84) DL_animated();
  float c[4];
  if (colr.gl_colour(colour, alpha, OGL_monochrome, OGL_alpha_factor, c))
    DL_colour4(c[0], c[1], c[2], c[3]);
  else
    DL_colour3(c);
}
