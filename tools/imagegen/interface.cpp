// The interface atlas: the glyphs of the texture font, the colour swatches,
// and every bar, panel, box, arrow, slider, tab, dial, icon and cursor the
// widgets cut out of it. Rectangles are texel edges (end exclusive), rows
// counted from the bottom; see the design sheet of the built-in images.
//
// Light surfaces carry dark text (colours 43 and 45), dark surfaces light text
// (38, 40, 47): the pieces follow the text colours the widgets draw on them.
#include <cmath>

#include "../../src/textures/builtin_images.h"
#include "font.h"
#include "images.h"

namespace gen {

namespace {

constexpr int kSize = 512;

// ---------------------------------------------------------------------------
// Glyphs

constexpr int kCellW = 14, kCellH = 15, kGridCols = 21, kBaselineRow = 4;
// Wrapped lines are 10 rows apart, and the letters reach up to the cell's
// row 11, which is row 1 of the line above: a line's own rows begin two
// rows under its baseline. Ink lower down is drawn among the next line's
// letters and read as theirs.
constexpr int kLowestInkRow = kBaselineRow - 2;

// The grid, row by row from the bottom, as Latin-1 codes.
const unsigned kGrid[5][kGridCols] = {
    {' ', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'a', 'B', 'b', 'C', 'c', 'D', 'd', 'E', 'e'},
    {'F', 'f', 'G', 'g', 'H', 'h', 'I', 'i', 'J', 'j', 'K', 'k', 'L', 'l', 'M', 'm', 'N', 'n', 'O', 'o', 'P'},
    {'p', 'Q', 'q', 'R', 'r', 'S', 's', 'T', 't', 'U', 'u', 'V', 'v', 'W', 'w', 'X', 'x', 'Y', 'y', 'Z', 'z'},
    {'!', '@', '#', '$', '%', '^', '&', '*', '(', ')', '-', '_', '+', '=', '[', ']', '|', '\\', '\'', ':', ';'},
    {'<', '.', '>', ',', '?', '/', '`', 0xFB, 0xC1, 0xE1, 0xC9, 0xE9, 0xCD, 0xED, 0xD3, 0xF3, 0xDA, 0xFA, 0xD1, 0xF1,
     0xBF},
};

// The pen advance the text drawing uses for each character.
int advance_of(unsigned c) {
  switch (c) {
    case ',': case '.': return 2;
    case ' ': case '\'': case '/': case ':': case ';': case 'I': case '\\': case '`': case 'i': case 'j':
    case 'l': case '|': case 0xFB: return 3;
    case '!': case '(': case ')': case '-': case 'J': case '[': case ']': case 'f': case 'r': case 's':
    case 't': return 4;
    case 'c': return 5;
    case '+': case '<': case '=': case '>': case 'B': case 'C': case 'K': case 'R': case 'V': case 'X':
    case 'Y': case 'b': case 'd': case 'g': case 'h': case 'n': case 'o': case 'p': case 'q': case 'u':
      return 7;
    case '&': case 'A': case 'D': case 'G': case 'H': case 'N': case 'U': return 8;
    case '@': case 'O': case 'Q': case 'w': return 9;
    case 'M': case 'm': return 10;
    case '%': case 'W': return 11;
    default: return 6;  // the remaining digits, letters and signs of the grid
  }
}

void draw_glyphs(Canvas& c, const Font& font) {
  for (int r = 0; r < 5; ++r) {
    for (int col = 0; col < kGridCols; ++col) {
      const unsigned code = kGrid[r][col];
      if (code == ' ') continue;
      const int advance = advance_of(code);
      // A glyph whose ink is wider than its advance is narrowed so that it
      // does not run into its neighbour, but never below 60 % (u-circumflex,
      // given 3 pixels, keeps a fourth column and stays readable).
      Glyph g = font.glyph(code);
      for (float squeeze = 0.95f; g.width > advance && squeeze > 0.6f; squeeze -= 0.05f) g = font.glyph(code, squeeze);
      // Left-aligned in the cell, the ink kept inside the advance with a
      // column to spare where the glyph allows it.
      int x = g.left;
      if (x + g.width > advance - 1) x = advance - 1 - g.width;
      if (x < 0) x = 0;
      // A glyph wholly below the baseline (the underscore, whose bar lies
      // lower than every descender) sits just under it: a bar in the
      // descenders' lowest row would touch the next line's capitals and be
      // read as theirs. Other ink below the line's own rows is cut; so the
      // cells' bottom row, which the menu bar reads, stays clear as well.
      const int top_row = kBaselineRow + g.top - 1;
      const int raise = top_row < kBaselineRow - 1 ? kBaselineRow - 1 - top_row : 0;
      const int cell_x = col * kCellW, cell_y = r * kCellH;
      c.clip(cell_x, cell_y + kLowestInkRow, cell_x + kCellW, cell_y + kCellH);
      Font::blit(c, g, cell_x + x - g.left, cell_y + kBaselineRow + raise, rgb(255, 255, 255), 0.85f);
      c.clear_clip();
    }
  }
}

// ---------------------------------------------------------------------------
// Surfaces shared by several pieces

const RGBA kBorder = rgb(132, 146, 164);
const RGBA kBorderSoft = rgb(172, 183, 197);
const RGBA kFaceTop = rgb(252, 253, 254);
const RGBA kFaceBottom = rgb(222, 228, 236);
const RGBA kIcon = rgb(62, 76, 96);

// A raised light button face with its edge and a soft lip below.
void light_face(Canvas& c, float x0, float y0, float x1, float y1, float radius, bool pressed) {
  if (!pressed) c.round_rect(x0, y0 - 1, x1, y1 - 1, radius, rgb(0, 10, 24, 0.22f));
  if (pressed)
    c.round_rect_vgrad(x0, y0, x1, y1, radius, rgb(222, 228, 236), rgb(196, 205, 216));
  else
    c.round_rect_vgrad(x0, y0, x1, y1, radius, kFaceBottom, kFaceTop);
  if (!pressed) c.round_rect_stroke(x0 + 1, y0 + 1, x1 - 1, y1 - 1, radius - 1, 1.0f, rgb(255, 255, 255, 0.7f));
  c.round_rect_stroke(x0, y0, x1, y1, radius, 1.0f, pressed ? rgb(104, 118, 138) : kBorder);
}

// A sunken white well: fields, check boxes, the list box.
void well(Canvas& c, float x0, float y0, float x1, float y1, float radius) {
  c.round_rect(x0, y0, x1, y1, radius, rgb(255, 255, 255));
  c.paint(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1), static_cast<int>(y1),
          [&](float px, float py) {
            const float d = sd_round_rect(px, py, x0, y0, x1, y1, radius);
            const float top = smoothstep(y1 - 3.0f, y1, py);
            return with_alpha(rgb(20, 40, 70), 0.10f * top * cover(d));
          });
  c.round_rect_stroke(x0, y0, x1, y1, radius, 1.0f, kBorder);
}

// ---------------------------------------------------------------------------
// Bars (three-slice, the middle repeats across)

void draw_bars(Canvas& c) {
  // 0: menu bar across the window, dark with light text; its top texel row
  // (512) wraps to the glyph grid's clear bottom row.
  c.paint(1, 487, 101, 512, [](float, float y) {
    RGBA col = mix(rgb(26, 40, 58), rgb(46, 64, 88), (y - 487) / 25.0f);
    if (y < 488) col = rgb(16, 26, 40);
    if (y > 511) col = rgb(84, 104, 130);
    return col;
  });
  // 1: the inner bar of a filled window, the same look with rounded ends.
  c.round_rect_vgrad(103, 488, 201, 511, 8, rgb(26, 40, 58), rgb(46, 64, 88));
  c.round_rect_stroke(103, 488, 201, 511, 8, 1, rgb(84, 104, 130));

  // 2 and 3: push button up and pressed, face rows 488-509 around the caption.
  light_face(c, 304.5f, 488, 355.5f, 510, 5, false);
  light_face(c, 304.5f, 461, 355.5f, 483, 5, true);

  // 4: progress track, a sunken channel; 5: its fill, inset by two pixels.
  c.round_rect_vgrad(112.5f, 162, 139.5f, 176, 6, rgb(226, 232, 239), rgb(204, 212, 222));
  c.paint(112, 161, 140, 177, [](float px, float py) {
    const float d = sd_round_rect(px, py, 112.5f, 162, 139.5f, 176, 6);
    return with_alpha(rgb(10, 30, 60), 0.16f * smoothstep(172, 176, py) * cover(d));
  });
  c.round_rect_stroke(112.5f, 162, 139.5f, 176, 6, 1, rgb(138, 152, 170));
  c.round_rect_vgrad(85, 164, 109, 174, 4, rgb(28, 118, 100), rgb(62, 172, 148));
  c.paint(85, 171, 109, 174, [](float px, float py) {
    const float d = sd_round_rect(px, py, 85, 164, 109, 174, 4);
    return with_alpha(rgb(255, 255, 255), 0.22f * smoothstep(170.5f, 173.5f, py) * cover(d));
  });

  // 6: vertical slider track, a narrow groove down the middle.
  c.round_rect_vgrad(108.5f, 249, 115.5f, 287, 3.5f, rgb(214, 221, 230), rgb(200, 208, 219));
  c.round_rect_stroke(108.5f, 249, 115.5f, 287, 3.5f, 1, kBorderSoft);

  // 7: horizontal slider track; 8: its fill, light so that the caller's
  // colour shows.
  c.round_rect_vgrad(241, 251, 304, 257, 3, rgb(200, 208, 219), rgb(214, 221, 230));
  c.round_rect_stroke(241, 251, 304, 257, 3, 1, kBorderSoft);
  c.round_rect(290, 220, 304, 227, 3.5f, rgb(250, 252, 253));
  c.round_rect_stroke(290, 220, 304, 227, 3.5f, 1, rgb(200, 206, 214));

  // 9: entry fields, a white well.
  well(c, 262.5f, 135, 312.5f, 157, 4);

  // 10: the text list's bar: dark, with the drop-down arrow in its right cap.
  c.round_rect(357.5f, 488, 424.5f, 507, 5, rgb(0, 10, 24, 0.25f));
  c.round_rect_vgrad(357.5f, 489, 424.5f, 507, 5, rgb(30, 44, 62), rgb(52, 70, 94));
  c.round_rect_stroke(357.5f, 489, 424.5f, 507, 5, 1, rgb(24, 36, 52));
  c.triangle(409.5f, 500, 417.5f, 500, 413.5f, 495.5f, palette::mint);
}

// ---------------------------------------------------------------------------
// Panels (nine-slice; their middles repeat and must tile)

struct PanelLook {
  RGBA body_top, body_bottom, border;  // face, inner rim, outer edge
  float shadow;        // strength of the drop shadow in the overhang
  RGBA band_top, band_bottom;  // title band of the window styles; alpha 0 for none
};

// A panel in a block whose overhang (shadow room) is ol left and right, ob
// below and ot above.
void panel(Canvas& c, float bx0, float by0, float bx1, float by1, float ol, float ob, float ot, float radius,
           const PanelLook& look, float band_height = 0) {
  const float x0 = bx0 + ol, y0 = by0 + ob, x1 = bx1 - ol, y1 = by1 - ot;
  c.clip(static_cast<int>(bx0), static_cast<int>(by0), static_cast<int>(std::ceil(bx1)), static_cast<int>(std::ceil(by1)));
  if (look.shadow > 0) {
    const float blur = std::min(ol, ob) * 0.6f;
    c.shadow(x0 + 1, y0 - ob * 0.3f, x1 - 1, y1 - 2, radius + 1, blur, with_alpha(palette::shadow, look.shadow));
  }
  // The face is flat: its middle repeats in both directions. Light falls on
  // its top edge only.
  c.round_rect(x0, y0, x1, y1, radius, look.body_top);
  c.round_rect_stroke(x0 + 1, y0 + 1, x1 - 1, y1 - 1, std::max(radius - 1, 0.0f), 1.0f, look.body_bottom);
  if (band_height > 0) {
    const float b0 = y1 - band_height;
    c.paint(static_cast<int>(x0), static_cast<int>(b0), static_cast<int>(x1), static_cast<int>(y1), [&](float px, float py) {
      const float d = std::max(sd_round_rect(px, py, x0, y0, x1, y1, radius), b0 - py);
      return with_alpha(mix(look.band_bottom, look.band_top, (py - b0) / band_height), cover(d));
    });
    c.line(x0 + 1, b0 - 0.5f, x1 - 1, b0 - 0.5f, 1.0f, rgb(0, 0, 0, 0.18f));
  }
  c.round_rect_stroke(x0, y0, x1, y1, radius, 1.0f, look.border);
  c.clear_clip();
}

void draw_panels(Canvas& c) {
  const PanelLook window = {rgb(234, 238, 243), rgb(255, 255, 255, 0.6f), rgb(40, 56, 76), 0.45f, rgb(50, 70, 96),
                            rgb(30, 46, 66)};
  const PanelLook window_light = {rgb(234, 238, 243), rgb(255, 255, 255, 0.6f), rgb(96, 112, 134), 0.45f,
                                  rgb(214, 222, 232), rgb(196, 206, 218)};
  const PanelLook sub = {rgb(250, 251, 252), rgb(255, 255, 255, 0.8f), kBorderSoft, 0.18f, {}, {}};
  const PanelLook tooltip = {rgb(26, 40, 58, 0.96f), rgb(56, 80, 104, 0.6f), rgb(96, 170, 150), 0.4f, {}, {}};
  const PanelLook dark = {rgb(36, 50, 70), rgb(62, 80, 104), rgb(16, 26, 40), 0.4f, {}, {}};
  // 11-15: 100 x 100 blocks at rows 358-458, overhang 9 / 14 / 4. The window
  // styles' title band holds the title 8 to 23 rows below the block's top.
  panel(c, 1, 358, 101, 458, 9, 14, 4, 6, window, 24);
  panel(c, 102, 358, 202, 458, 9, 14, 4, 6, window_light, 24);
  panel(c, 203, 358, 303, 458, 9, 14, 4, 6, sub);
  panel(c, 304, 358, 404, 458, 9, 14, 4, 6, tooltip);
  panel(c, 405, 358, 505, 458, 9, 14, 4, 6, dark);

  // 16: list box, a white well with a two-pixel rim.
  c.round_rect(1, 289, 69, 357, 4, rgb(255, 255, 255, 0.35f));
  well(c, 3, 291, 67, 355, 3);

  // 17: pull-down menu and pop-up list: dark, white text, overhang 8 / 13 / 2.
  const PanelLook menu = {rgb(58, 76, 100, 0.98f), rgb(84, 104, 130, 0.8f), rgb(22, 34, 50), 0.45f, {}, {}};
  panel(c, 70, 315, 112, 357, 8, 13, 2, 3, menu);
  // 18: the same look with square corners (its slices leave no room for round ones).
  panel(c, 113, 315, 155, 357, 8, 12, 2, 0, menu);
  // 19: a spare light panel.
  panel(c, 440, 12, 484, 56, 6, 9, 4, 4, sub);
}

// ---------------------------------------------------------------------------
// Small pieces

void check_mark(Canvas& c, float cx, float cy, RGBA colour, float width) {
  c.line(cx - 3.6f, cy + 0.2f, cx - 1.0f, cy - 2.6f, width, colour);
  c.line(cx - 1.0f, cy - 2.6f, cx + 3.8f, cy + 3.0f, width, colour);
}

void draw_boxes(Canvas& c) {
  // Close box on the dark title band, and pressed.
  for (int pressed = 0; pressed < 2; ++pressed) {
    const float cx = 129, cy = pressed ? 206 : 187;
    c.circle(cx, cy, 7.5f, pressed ? rgb(22, 34, 50) : rgb(78, 98, 124));
    c.paint(120, static_cast<int>(cy) - 9, 138, static_cast<int>(cy) + 9, [&](float px, float py) {
      const float d = sd_circle(px, py, cx, cy, 7.5f);
      return with_alpha(rgb(255, 255, 255), 0.10f * smoothstep(cy, cy + 7, py) * cover(d));
    });
    c.round_rect_stroke(cx - 7.5f, cy - 7.5f, cx + 7.5f, cy + 7.5f, 7.5f, 1, rgb(14, 24, 38, 0.8f));
    const RGBA x_colour = pressed ? palette::mint : rgb(232, 238, 244);
    c.line(cx - 2.8f, cy - 2.8f, cx + 2.8f, cy + 2.8f, 1.6f, x_colour);
    c.line(cx - 2.8f, cy + 2.8f, cx + 2.8f, cy - 2.8f, 1.6f, x_colour);
  }
  // Check box: the empty box; the mark covers it with a filled one.
  well(c, 141, 180, 155, 194, 3);
  c.round_rect_vgrad(141, 199, 155, 213, 3, rgb(26, 118, 100), rgb(52, 160, 138));
  c.round_rect_stroke(141, 199, 155, 213, 3, 1, rgb(16, 86, 73));
  check_mark(c, 148, 206, rgb(255, 255, 255), 1.8f);
  // Radio button: the empty ring; the mark fills it and puts a dot in it.
  c.circle(92, 132, 7, kBorder);
  c.circle(92, 132, 6, rgb(255, 255, 255));
  c.paint(84, 124, 100, 140, [](float px, float py) {
    return with_alpha(rgb(20, 40, 70), 0.10f * smoothstep(134, 139, py) * cover(sd_circle(px, py, 92, 132, 6)));
  });
  c.circle(92, 151, 7, rgb(16, 86, 73));
  c.paint(84, 143, 100, 159, [](float px, float py) {
    return with_alpha(mix(rgb(28, 120, 102), rgb(56, 164, 142), (py - 145) / 12.0f), cover(sd_circle(px, py, 92, 151, 6)));
  });
  c.circle(92, 151, 2.6f, rgb(255, 255, 255));
  // Numeric field arrows: below the field (down) and above it (up).
  c.triangle(86.5f, 186, 93.5f, 186, 90, 182, kIcon);
  c.triangle(86.5f, 207, 93.5f, 207, 90, 211, kIcon);
  // Sub-menu arrow, white on the dark menu.
  c.triangle(164.5f, 191, 164.5f, 183, 169.5f, 187, rgb(240, 244, 248));
}

void chevron(Canvas& c, float cx, float cy, bool up, RGBA colour) {
  const float s = up ? 1.0f : -1.0f;
  c.line(cx - 3.5f, cy - 1.8f * s, cx, cy + 1.8f * s, 1.7f, colour);
  c.line(cx, cy + 1.8f * s, cx + 3.5f, cy - 1.8f * s, 1.7f, colour);
}

void grip(Canvas& c, float cx, float cy, bool horizontal, RGBA colour) {
  for (int i = -1; i <= 1; ++i) {
    if (horizontal) c.line(cx - 4, cy + i * 3.0f, cx + 4, cy + i * 3.0f, 1.0f, colour);
    else c.line(cx + i * 3.0f, cy - 4, cx + i * 3.0f, cy + 4, 1.0f, colour);
  }
}

void draw_sliders(Canvas& c) {
  // Vertical slider: arrow above the track, thumb, arrow below. Light and
  // neutral: they are tinted while dragged.
  light_face(c, 84, 268, 100, 286, 4, false);
  chevron(c, 92, 277, true, kIcon);
  light_face(c, 84, 242, 100, 263, 4, false);
  grip(c, 92, 252.5f, true, rgb(140, 152, 168));
  light_face(c, 84, 218, 100, 236, 4, false);
  chevron(c, 92, 227, false, kIcon);
  // Horizontal slider thumb.
  light_face(c, 264, 269, 280, 288, 4, false);
  grip(c, 272, 278.5f, false, rgb(140, 152, 168));
}

void draw_tabs(Canvas& c) {
  // Rounded above, open below; the selected tab is lighter and taller.
  c.clip(204, 459, 302, 485);
  c.round_rect_vgrad(205, 455, 301, 482, 5, rgb(206, 214, 224), rgb(222, 228, 236));
  c.round_rect_stroke(205, 455, 301, 482, 5, 1, kBorderSoft);
  c.clip(204, 486, 302, 512);
  c.round_rect_vgrad(205, 482, 301, 511, 5, rgb(250, 251, 252), rgb(255, 255, 255));
  c.round_rect_stroke(205, 482, 301, 511, 5, 1, kBorder);
  c.round_rect(205, 483, 301, 486.5f, 0, rgb(250, 251, 252));
  c.line(208, 508.5f, 298, 508.5f, 2, with_alpha(palette::teal, 0.9f));
  c.clear_clip();
}

void draw_dial(Canvas& c) {
  // Face: a ring with ticks; its centre stays clear for the needle beneath.
  const float cx = 206, cy = 189;
  c.clip(178, 160, 234, 218);
  c.round_rect_stroke(cx - 27.5f, cy - 28.5f, cx + 27.5f, cy + 26.5f, 27.5f, 2.0f, rgb(0, 10, 24, 0.25f));
  c.paint(178, 160, 234, 218, [&](float px, float py) {
    const float d = sd_circle(px, py, cx, cy, 27);
    const float ring = std::max(d, -(d + 7.0f));
    return with_alpha(mix(rgb(214, 221, 230), rgb(250, 251, 252), (py - cy + 27) / 54.0f), cover(ring));
  });
  c.round_rect_stroke(cx - 27, cy - 27, cx + 27, cy + 27, 27, 1, kBorder);
  c.round_rect_stroke(cx - 20, cy - 20, cx + 20, cy + 20, 20, 1, kBorderSoft);
  for (int i = 0; i < 12; ++i) {
    const float a = i * 3.14159265f / 6.0f;
    const float r0 = i % 3 == 0 ? 21.0f : 22.5f, r1 = 25.5f;
    c.line(cx + std::sin(a) * r0, cy + std::cos(a) * r0, cx + std::sin(a) * r1, cy + std::cos(a) * r1,
           i == 0 ? 2.0f : 1.2f, i == 0 ? palette::teal : kIcon);
  }
  c.clear_clip();
  // Needles, pointing up from the centre: two looks.
  for (int look = 0; look < 2; ++look) {
    const float base = look == 0 ? 315 : 272, mid = base + 21;
    const RGBA tip = look == 0 ? palette::teal : rgb(214, 98, 52);
    c.triangle(158, mid, 164, mid, 161, base + 41, tip);
    c.triangle(158.5f, mid, 163.5f, mid, 161, base + 3, rgb(120, 132, 148));
    c.circle(161, mid, 2.5f, kIcon);
  }
}

// Small pictures: the folder, and a few kinds of files.
void folder_icon(Canvas& c, float x, float y, float s) {
  // (x, y) the lower-left corner of a 12 x 12 box scaled by s.
  c.round_rect(x + 0.5f * s, y + 1.5f * s, x + 5.5f * s, y + 10.5f * s, 1.0f * s, rgb(196, 146, 46));
  c.round_rect_vgrad(x + 0.5f * s, y + 1.5f * s, x + 11.5f * s, y + 9.0f * s, 1.0f * s, rgb(226, 170, 58), rgb(250, 206, 98));
  c.line(x + 1.0f * s, y + 8.5f * s, x + 11.0f * s, y + 8.5f * s, 0.8f, rgb(255, 240, 200, 0.8f));
}

void page(Canvas& c, float x, float y, RGBA fill) {
  c.round_rect(x + 2, y + 0.5f, x + 10.5f, y + 11.5f, 1, rgb(96, 110, 130));
  c.round_rect(x + 3, y + 1.5f, x + 9.5f, y + 10.5f, 0.5f, fill);
}

void draw_icons(Canvas& c) {
  const float y = 82;
  folder_icon(c, 34, y, 1.0f);  // 1: folder
  // 3: aircraft
  page(c, 48, y, rgb(250, 251, 252));
  c.line(54.2f, y + 2.5f, 54.2f, y + 9.5f, 1.4f, rgb(40, 90, 160));
  c.line(50.8f, y + 6.5f, 57.6f, y + 6.5f, 1.4f, rgb(40, 90, 160));
  c.line(52.6f, y + 3.0f, 55.8f, y + 3.0f, 1.2f, rgb(40, 90, 160));
  // 4: airfoil
  page(c, 62, y, rgb(250, 251, 252));
  c.paint(62, 82, 74, 94, [&](float px, float py) {
    const float t = clampf((px - 64.5f) / 7.0f, 0, 1);
    const float thick = 2.2f * std::sqrt(t) * (1 - t) + 0.3f;
    return with_alpha(rgb(40, 90, 160), cover(std::fabs(py - (y + 6.0f)) - thick) * (px > 64 && px < 72 ? 1.0f : 0.0f));
  });
  // 5: weapon / store: a small rounded capsule
  page(c, 90, y, rgb(250, 251, 252));
  c.round_rect(93.5f, y + 5, 99.5f, y + 7.5f, 1.2f, rgb(110, 118, 130));
  c.triangle(99, y + 5, 99, y + 7.5f, 100.5f, y + 6.25f, rgb(110, 118, 130));
  // 7: object: a cube
  page(c, 146, y, rgb(250, 251, 252));
  c.triangle(152, y + 9.5f, 148.5f, y + 7.5f, 155.5f, y + 7.5f, rgb(150, 184, 224));
  c.triangle(148.5f, y + 7.5f, 152, y + 9.5f, 155.5f, y + 7.5f, rgb(150, 184, 224));
  c.round_rect(148.5f, y + 2.5f, 152, y + 7.5f, 0, rgb(90, 130, 190));
  c.round_rect(152, y + 2.5f, 155.5f, y + 7.5f, 0, rgb(60, 100, 160));
  // 9: situation: a flag
  page(c, 104, y, rgb(250, 251, 252));
  c.line(107, y + 2.5f, 107, y + 9.5f, 1.0f, rgb(70, 80, 96));
  c.triangle(107.5f, y + 9.5f, 107.5f, y + 5.5f, 112.5f, y + 7.5f, rgb(210, 70, 60));
  // 10: movie: a film frame
  page(c, 118, y, rgb(250, 251, 252));
  c.round_rect(120.5f, y + 3, 128.0f, y + 9, 0.5f, rgb(60, 70, 86));
  for (int i = 0; i < 3; ++i) {
    c.round_rect(121.5f + i * 2.4f, y + 7.6f, 122.7f + i * 2.4f, y + 8.4f, 0, rgb(240, 240, 240));
    c.round_rect(121.5f + i * 2.4f, y + 3.6f, 122.7f + i * 2.4f, y + 4.4f, 0, rgb(240, 240, 240));
  }
  // 11: flight plan: a route between waypoints
  page(c, 132, y, rgb(250, 251, 252));
  c.line(135, y + 3, 138, y + 8, 1.0f, rgb(32, 134, 116));
  c.line(138, y + 8, 141, y + 4, 1.0f, rgb(32, 134, 116));
  c.circle(135, y + 3, 1.2f, rgb(32, 134, 116));
  c.circle(141, y + 4, 1.2f, rgb(32, 134, 116));
  c.circle(138, y + 8, 1.2f, rgb(210, 70, 60));

  // The folder button beside path fields.
  light_face(c, 208.5f, 135, 233.5f, 158, 5, false);
  folder_icon(c, 215, 140.5f, 1.0f);
}

// ---------------------------------------------------------------------------
// Cursor sprites: white shapes with a dark outline, centred in 30 x 30 cells.

// A thick arrow through (cx, cy) pointing at `angle` (radians, 0 = up).
// Pass 0 draws the dark outline, pass 1 the white body; a sprite draws all
// its outlines before its bodies so that its parts join cleanly.
void outlined_arrow(Canvas& c, int pass, float cx, float cy, float angle, float len) {
  const float dx = std::sin(angle), dy = std::cos(angle);
  const float tipx = cx + dx * len * 0.5f, tipy = cy + dy * len * 0.5f;
  const float tailx = cx - dx * len * 0.5f, taily = cy - dy * len * 0.5f;
  const float hx = tipx - dx * 7, hy = tipy - dy * 7;
  const float px = -dy, py = dx;
  const RGBA col = pass == 0 ? rgb(10, 16, 26) : rgb(255, 255, 255);
  const float grow = pass == 0 ? 1.4f : 0.0f;
  c.line(tailx, taily, hx, hy, 3.0f + 2 * grow, col);
  c.triangle(tipx + dx * grow * 1.6f, tipy + dy * grow * 1.6f, hx + px * (5.5f + grow) - dx * grow,
             hy + py * (5.5f + grow) - dy * grow, hx - px * (5.5f + grow) - dx * grow, hy - py * (5.5f + grow) - dy * grow,
             col);
}

void arrows(Canvas& c, float cx, float cy, std::initializer_list<float> angles, float len, float offset = 0) {
  for (int pass = 0; pass < 2; ++pass)
    for (float a : angles)
      outlined_arrow(c, pass, cx + std::sin(a) * offset, cy + std::cos(a) * offset, a, len);
}

void double_arrow(Canvas& c, float cx, float cy, float angle) {
  const float pi = 3.14159265f;
  arrows(c, cx, cy, {angle, angle + pi}, 12, 5);
}

void hand(Canvas& c, float cx, float cy, bool closed) {
  for (int pass = 0; pass < 2; ++pass) {
    const RGBA col = pass == 0 ? rgb(10, 16, 26) : rgb(255, 255, 255);
    const float g = pass == 0 ? 1.3f : 0.0f;
    c.round_rect(cx - 6 - g, cy - 8 - g, cx + 6 + g, cy + 2 + g, 4 + g, col);
    const int fingers = 4;
    for (int i = 0; i < fingers; ++i) {
      const float fx = cx - 4.5f + i * 3.0f;
      const float top = closed ? cy + 4.0f : cy + 8.0f - std::fabs(i - 1.5f) * 1.2f;
      c.line(fx, cy, fx, top, 2.6f + 2 * g, col);
    }
    c.line(cx - 6, cy - 3, closed ? cx - 7 : cx - 10, closed ? cy : cy + 2, 2.6f + 2 * g, col);
  }
}

void draw_cursors(Canvas& c) {
  auto centre = [](int i, int j, float* x, float* y) {
    *x = 200 + 32 * i + 15.0f;
    *y = 293 + 32 * j + 15.0f;
  };
  float x, y;
  const float pi = 3.14159265f;
  // 13 and above: step up; 14: step down (the numeric fields).
  centre(-1, 1, &x, &y);
  arrows(c, x, y, {0.0f}, 20);
  centre(-1, 0, &x, &y);
  arrows(c, x, y, {pi}, 20);
  // 3 and 4: left-right and up-down; 5 and 6: the diagonals.
  centre(0, 1, &x, &y);
  double_arrow(c, x, y, pi / 2);
  centre(1, 1, &x, &y);
  double_arrow(c, x, y, 0);
  centre(0, 0, &x, &y);
  double_arrow(c, x, y, -pi / 4);
  centre(1, 0, &x, &y);
  double_arrow(c, x, y, pi / 4);
  // 7 and 8: rotate left and right; 9 and 10: zoom in and out.
  for (int k = 0; k < 2; ++k) {
    centre(2 + k, 1, &x, &y);
    for (int pass = 0; pass < 2; ++pass) {
      const RGBA col = pass == 0 ? rgb(10, 16, 26) : rgb(255, 255, 255);
      const float g = pass == 0 ? 1.4f : 0.0f;
      c.paint(static_cast<int>(x) - 15, static_cast<int>(y) - 15, static_cast<int>(x) + 15, static_cast<int>(y) + 15,
              [&](float px, float py) {
                const float d = std::fabs(sd_circle(px, py, x, y, 8)) - 1.6f - g;
                const float ang = std::atan2(px - x, py - y);
                const bool gap = k == 0 ? (ang > 0.2f && ang < 1.3f) : (ang < -0.2f && ang > -1.3f);
                return with_alpha(col, gap ? 0.0f : cover(d));
              });
      const float s = k == 0 ? 1.0f : -1.0f;
      c.triangle(x + s * (1.5f + g), y + 12 + g, x + s * (1.5f + g), y + 4 - g, x + s * (7 + g), y + 8, col);
    }
    centre(2 + k, 0, &x, &y);
    for (int pass = 0; pass < 2; ++pass) {
      const RGBA col = pass == 0 ? rgb(10, 16, 26) : rgb(255, 255, 255);
      const float g = pass == 0 ? 1.4f : 0.0f;
      c.line(x + 3, y - 3, x + 10, y - 10, 3.2f + 2 * g, col);
      c.circle(x - 2, y + 2, 7.5f + g, col);
    }
    c.circle(x - 2, y + 2, 5.5f, rgb(10, 16, 26));
    c.line(x - 5, y + 2, x + 1, y + 2, 1.6f, rgb(255, 255, 255));
    if (k == 0) c.line(x - 2, y - 1, x - 2, y + 5, 1.6f, rgb(255, 255, 255));
  }
  // 11: open hand, grabbing while a button is down; 12: move, and held.
  centre(4, 1, &x, &y);
  hand(c, x, y, false);
  centre(5, 1, &x, &y);
  hand(c, x, y, true);
  for (int k = 0; k < 2; ++k) {
    centre(4 + k, 0, &x, &y);
    arrows(c, x, y, {0.0f, pi / 2, pi, 3 * pi / 2}, 9, 6);
    if (k == 1) c.circle(x, y, 3, palette::mint);
  }
}

// ---------------------------------------------------------------------------
// Colour swatches: 7 x 7 squares of one colour around the pixel read.

void draw_swatches(Canvas& c) {
  for (const interface_swatch& s : kInterfaceSwatches)
    c.fill_rect(s.x - 3, s.row - 3, s.x + 4, s.row + 4, rgb(s.r, s.g, s.b));
}

}  // namespace

Canvas draw_interface(const Inputs& in) {
  Canvas c(kSize, kSize);
  Font font(in.font_regular, 10.0f);
  draw_glyphs(c, font);
  draw_bars(c);
  draw_panels(c);
  draw_boxes(c);
  draw_sliders(c);
  draw_tabs(c);
  draw_dial(c);
  draw_icons(c);
  draw_cursors(c);
  draw_swatches(c);
  return c;
}

}  // namespace gen
