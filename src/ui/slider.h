// Sliders: the vertical scroll bar of the lists, and a horizontal gauge.
#pragma once

#include <string>

#include "window/ui_calls.h"

// BTN_vert_slider: declared with the window layer's calls.

// A horizontal bar from x to x + w centred on y, bound to *value in lo..hi,
// with a fill bar of fill_colour (12: none) and, when draggable, a thumb that
// follows the mouse near the bar. text is drawn centred above. Returns 1 on a
// frame in which the mouse moved the value.
int BTN_horz_slider(float x, float y, float w, int fill_colour, float lo, float hi, float* value, int draggable,
                    std::string label, std::string text);

// Where the thumb of a vertical slider sits for pos, and the position that a
// thumb dragged to mouse_y gives.
float vert_slider_thumb_y(float y_bottom, float y_top, int lo, int hi, int pos);
int vert_slider_drag_pos(float y_bottom, float y_top, int lo, int hi, float mouse_y);
