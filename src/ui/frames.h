// Frames cut from the interface atlas (and, for the wizard's panels, the
// elements strip) and stretched to any size:
//   BTN_frame1  horizontal bar, three slices (styles 0-5, 7-10)
//   BTN_frame0  vertical bar, three slices (style 6)
//   BTN_frame2  panel, nine slices, with a title (styles 11-20)
// and the window-level calls built on them. Positions are window units of
// the current window; these calls add the window's origin themselves.
#pragma once

#include <string>

#include "runtime/ui_calls.h"
#include "ui/draw.h"
#include "window/ui_calls.h"

// Layout of a bar style; false for a style that has none.
struct bar_style {
  float s0, t0, height, cap, mid_end, total, step, right_cap, extra, y_shift;
};
bool BTN_bar_style(int style, bar_style* out);

// Layout of a panel style; false for a style that has none.
struct panel_style {
  int texture;
  float s0, t0, size, col, bottom, top, h_step, v_step, over_lr, over_bottom, over_top;
  int title_colour;
};
bool BTN_panel_style(int style, panel_style* out);

// --- Quad lists (no GL); texture coordinates already divided by the
// texture's size. Each returns false, with nothing sent, for a bad style. ---

bool BTN_frame1_quads(int style, float x_centre, float y_centre, float width, float ox, float oy, quad_sink& out);
bool BTN_frame0_quads(float x_centre, float y_centre, float length, float ox, float oy, quad_sink& out);
bool BTN_frame2_quads(int style, float x, float y, float width, float height, float ox, float oy, quad_sink& out);
// Where a panel's title goes (window units).
void BTN_frame2_title_pos(int style, float x, float y, float width, float height, const std::string& title,
                          float* tx, float* ty);

// --- Drawing ---

void BTN_frame0(int style, float x_centre, float y_centre, float length);
