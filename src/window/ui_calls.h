// What the window layer calls in the interface above it: drawing, text,
// frames, the language, the GL state and the keyboard focus. Defined in
// src/ui, whose headers include this one.
#pragma once

#include <string>

#include "runtime/ui_calls.h"

// Drawing.

// Lays out the coordinate system of the GL window in mnw and, once a window
// is current, applies it.
void OGL_pix_specs(int);

// Sets viewport and projection; mode 2 is the 2-D projection over the whole
// GL window. The floats are, in order: projection left, viewport left,
// projection bottom, viewport bottom, projection right, viewport right,
// near, projection top, viewport top, far, zoom.
void OGL_viewport(int mode, float f1, float f2, float f3, float f4, float f5, float f6, float f7, float f8,
                  float f9, float f10, float f11, int keep_aspect);

// Fills the whole GL window with colour 34, whichever window is current.
void OGL_plot_back_col();

// Ends a frame: white colour, then the buffer swap of the main window.
void OGL_sbuff();

void OGL_2dquad(int tex_ref, int colour, float alpha, float x1, float y1, float s1, float t1, float x2, float y2,
                float s2, float t2, float x3, float y3, float s3, float t3, float x4, float y4, float s4, float t4,
                int tex_units, int alpha_mode);
void OGL_line(int colour, float alpha, float x1, float y1, float x2, float y2);

// Filled rectangle from its lower-left corner and size.
void OGL_fillrect(int colour, float alpha, float x, float y, float w, float h);

// Text.

// The entry point of all text: align 0 left, 1 centred on x, 2 right-aligned
// to x; wraps when 0 < wrap_width < 9999. Returns the y below the text.
float OGL_string(int colour, float x, float y, const std::string& text, float wrap_width, int charset, int align);

// Frames.

void BTN_frame1(int style, float x_centre, float y_centre, float width, int colour);
void BTN_frame2(int style, float x, float y, float width, float height, std::string title);

// One atlas rectangle centred at (s_centre, t_centre) drawn 1:1 centred at
// (x_centre, y_centre).
void BTN_util_element(float x_centre, float y_centre, float s_centre, float t_centre, float half_width,
                      float half_height, int colour);

// The interface language.

// Index 0 (English) empties the translation tables; any other index loads
// "Resources/" + the language's folder + "Installer2.txt" (an index with no
// folder gives "Resources/Installer2.txt").
void MACIBM_setupforlang();

// The GL state cache.

// Switches GL to the coded state, touching GL only where the cache differs.
void OGL_setstate(int fog, int tex_units, int lighting, int alpha, int depth_test, int depth_write);

// Forgets what the cache believes, so that the next switch reads GL again:
// run when a new GL context is made current.
void OGL_forget_state();

// The widgets' keyboard focus.

// Once per frame, before the widgets run: empties the ring and the window's
// claim.
void BTN_begin_focus_ring();

// Offers one key (character, key code, flags 1 Shift 2 Alt 4 Control 8 press
// 16 release) to the focused field. Returns 1 when the key moved the focus or
// was queued, 0 when the caller should handle it.
int BTN_dispatch_to_focus(int ch, int vkey, int flags);

// Draws the two close boxes in the top corners of the current window (the
// pressed look when pressed) and returns 1 when this frame's click hit one.
int BTN_zap_boxes(int pressed);
