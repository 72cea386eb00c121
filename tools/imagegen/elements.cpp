// The elements strip: the wizard's image buttons in three looks (normal,
// pressed, hover), and the panel block from which the wizard's two large
// panels are cut.
//
// Every button is 22 rows high: normal look at rows 46-67, pressed at 23-44,
// hover at 0-21. Rows 22, 45, 68 and 69 stay transparent between them.
#include <cmath>

#include "font.h"
#include "images.h"

namespace gen {

namespace {

constexpr int kWidth = 1024, kHeight = 70;
constexpr int kButtonHeight = 22;
constexpr int kRowNormal = 46, kRowPressed = 23, kRowHover = 0;

enum class Look { normal, pressed, hover };
enum class Kind { primary, secondary };
enum class Chevron { none, left, right };

struct Button {
  int x, width;
  const char* label;
  Kind kind;
  Chevron chevron;
};

// The strip's buttons at the positions the wizard reads.
const Button kButtons[] = {
    {1, 50, "Quit", Kind::secondary, Chevron::none},
    {54, 89, "Back", Kind::secondary, Chevron::left},
    {150, 100, "Next", Kind::primary, Chevron::right},
    {255, 114, "SELECT ALL", Kind::secondary, Chevron::none},
    {374, 132, "SELECT NONE", Kind::secondary, Chevron::none},
    {628, 90, "Options", Kind::secondary, Chevron::none},
};

struct Face {
  RGBA top, bottom, border, highlight, label;
};

Face face_for(Kind kind, Look look) {
  if (kind == Kind::primary) {
    switch (look) {
      case Look::normal: return {rgb(54, 164, 141), rgb(30, 122, 104), rgb(16, 86, 73), rgb(255, 255, 255, 0.28f), rgb(255, 255, 255)};
      case Look::hover: return {rgb(70, 184, 160), rgb(38, 138, 118), rgb(18, 96, 82), rgb(255, 255, 255, 0.36f), rgb(255, 255, 255)};
      case Look::pressed: return {rgb(24, 102, 87), rgb(32, 122, 104), rgb(14, 74, 63), rgb(0, 0, 0, 0.0f), rgb(226, 244, 238)};
    }
  }
  switch (look) {
    case Look::normal: return {rgb(252, 253, 254), rgb(220, 227, 235), rgb(112, 128, 148), rgb(255, 255, 255, 0.9f), palette::ink};
    case Look::hover: return {rgb(255, 255, 255), rgb(232, 240, 246), rgb(40, 142, 122), rgb(255, 255, 255, 1.0f), rgb(20, 30, 42)};
    case Look::pressed: return {rgb(198, 207, 218), rgb(220, 226, 234), rgb(96, 112, 132), rgb(0, 0, 0, 0.0f), palette::ink};
  }
  return {};
}

void draw_chevron(Canvas& c, float x, float mid_y, Chevron dir, RGBA colour) {
  const float w = 3.0f, h = 3.6f;
  if (dir == Chevron::left) {
    c.line(x + w, mid_y + h, x, mid_y, 1.6f, colour);
    c.line(x, mid_y, x + w, mid_y - h, 1.6f, colour);
  } else {
    c.line(x, mid_y + h, x + w, mid_y, 1.6f, colour);
    c.line(x + w, mid_y, x, mid_y - h, 1.6f, colour);
  }
}

void draw_button(Canvas& c, const Font& font, const Button& b, int row, Look look) {
  const Face f = face_for(b.kind, look);
  const float x0 = b.x + 0.5f, x1 = b.x + b.width - 0.5f;
  const float y0 = row + 1.0f, y1 = row + kButtonHeight - 0.5f;
  const float radius = 5.0f;
  c.clip(b.x, row, b.x + b.width, row + kButtonHeight);
  // A soft edge below lifts the button off the backdrop; the pressed look
  // sits flat.
  if (look != Look::pressed) c.round_rect(x0, y0 - 1.0f, x1, y1 - 1.0f, radius, rgb(0, 8, 18, 0.30f));
  c.round_rect_vgrad(x0, y0, x1, y1, radius, f.bottom, f.top);
  if (f.highlight.a > 0) c.round_rect_stroke(x0 + 1, y0 + 1, x1 - 1, y1 - 1, radius - 1, 1.0f, with_alpha(f.highlight, 0.7f));
  // Pressed: a shade along the top edge, as if the face were sunk.
  if (look == Look::pressed)
    c.paint(b.x, row, b.x + b.width, row + kButtonHeight, [&](float px, float py) {
      const float d = sd_round_rect(px, py, x0, y0, x1, y1, radius);
      const float top = smoothstep(y1 - 5.0f, y1, py);
      return with_alpha(rgb(0, 20, 30), 0.16f * top * cover(d));
    });
  c.round_rect_stroke(x0, y0, x1, y1, radius, 1.0f, f.border);

  // The label, centred; pressed looks move it one row down.
  const float label_width = font.measure(b.label);
  const float chevron_space = b.chevron == Chevron::none ? 0.0f : 9.0f;
  const float total = label_width + chevron_space;
  float x = b.x + (b.width - total) * 0.5f;
  const int baseline = row + 8 - (look == Look::pressed ? 1 : 0);
  const float mid = baseline + 3.5f;
  if (b.chevron == Chevron::left) {
    draw_chevron(c, std::round(x) + 0.5f, mid, Chevron::left, f.label);
    x += chevron_space;
  }
  font.draw(c, b.label, std::round(x), baseline, f.label);
  if (b.chevron == Chevron::right) draw_chevron(c, std::round(x + label_width + 5.0f) + 0.5f, mid, Chevron::right, f.label);
  c.clear_clip();
}

// The block of the wizard's panels: x 982-1022, rows 2-42, with a one-pixel
// rim (the frame's overhang) around a light, slightly translucent face.
void draw_panel_block(Canvas& c) {
  const float x0 = 982, y0 = 2, x1 = 1023, y1 = 43;
  c.round_rect_stroke(x0, y0, x1, y1, 7.0f, 1.0f, rgb(16, 30, 48, 0.45f));
  c.round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 6.0f, rgb(250, 251, 252, 0.95f));
  c.round_rect_stroke(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 6.0f, 1.0f, rgb(255, 255, 255, 0.55f));
}

}  // namespace

Canvas draw_elements(const Inputs& in) {
  Canvas c(kWidth, kHeight);
  Font font(in.font_bold, 11.0f);
  for (const Button& b : kButtons) {
    draw_button(c, font, b, kRowNormal, Look::normal);
    draw_button(c, font, b, kRowPressed, Look::pressed);
    draw_button(c, font, b, kRowHover, Look::hover);
  }
  draw_panel_block(c);
  return c;
}

}  // namespace gen
