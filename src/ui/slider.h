// Sliders: the vertical scroll bar of the lists, and a horizontal gauge.
#pragma once

#include <string>

// A vertical scroll bar centred on x whose track runs from y_bottom to
// y_top, bound to *pos in lo..hi (lo at the top). An arrow steps by one, the
// track by ten, a held button repeats, and the thumb follows the mouse while
// dragged. Each slider on screen has its own slot, 0 to 3; any other slot is
// a fatal alert. Returns 1 while the thumb is held; 0, after drawing only the
// track, when hi is not above lo.
int BTN_vert_slider(int slot, float x, float y_bottom, float y_top, int lo, int hi, int* pos);

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
