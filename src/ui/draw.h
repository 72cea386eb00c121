// The drawing primitives: colour fills, panels and texture-font text.
//
// Only the frame calls draw yet (the buffer swap, the 2-D projection and the
// background fill); the panels, quads and text draw nothing, and the ones
// that report a position give back the position they were handed, as an
// empty drawing would. Callers make their calls in the order and with the
// positions of the screens all the same.
#pragma once

#include <string>

// Fills the whole screen with the background colour (34); the first drawing
// call of a frame.
void OGL_plot_back_col();

// Ends a frame: shows the back buffer of the main window.
void OGL_sbuff();

// Lays out the 2-D coordinate system of the window (the viewport, layout
// and scale fields of the window state) and, once a window is current,
// applies it.
void OGL_pix_specs(int);

// Sets the GL viewport and projection. Mode 2: the whole window, one layout
// unit per pixel, y upward; the floats are then not used.
void OGL_viewport(int mode, float f1, float f2, float f3, float f4, float f5, float f6, float f7, float f8, float f9,
                  float f10, float zoom, int keep_aspect);

// A horizontal bar of a frame style, centred on (x_centre, y_centre).
void BTN_frame1(int style, float x_centre, float y_centre, float width, int colour);

// A framed panel of a style with its lower-left corner at (x, y).
void BTN_frame2(int style, float x, float y, float width, float height, std::string title);

// One textured, coloured quad in the current window's coordinates: four
// corners, each x, y, s, t.
void OGL_2dquad(int tex_ref, int colour, float alpha, float x1, float y1, float s1, float t1, float x2, float y2,
                float s2, float t2, float x3, float y3, float s3, float t3, float x4, float y4, float s4, float t4,
                int tex_units, int alpha_mode);

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
