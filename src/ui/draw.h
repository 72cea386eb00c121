// The drawing primitives: colour fills, panels and texture-font text.
//
// This program has no GL drawing: these calls draw nothing, and the ones
// that report a position give back the position they were handed, as an
// empty drawing would. Callers make their calls in the order and with the
// positions of the screens all the same.
#pragma once

#include <string>

// Fills the whole screen with the background colour (34); the first drawing
// call of a frame.
void OGL_plot_back_col();

// Paints the current window's background panel (outer 1) and an inner panel
// of the given style (21: none).
void BTN_fillwin(int outer, int inner);

// Draws a titled panel in the current window and writes the coordinates just
// beyond it through right and top (either may be null).
void BTN_subwin(float x, int y, std::string title, float* right, float* top);

// Draws text in the texture font at (x, y) of the current window (origin at
// its lower-left corner, y upward), word-wrapped to wrap_width when that lies
// between 0 and 9999. Returns the y below the last line drawn.
float OGL_string(int colour, float x, float y, const std::string& text, float wrap_width, int charset,
                 int align);
