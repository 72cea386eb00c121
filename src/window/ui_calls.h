// What the window layer calls in the interface above it: drawing, text,
// frames, widgets, the language, the GL state and the keyboard focus. Defined in
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

// Shows the frame at once: white colour, then the buffer swap of the main
// window (with frame lists, after drawing what the frame has recorded).
void OGL_sbuff();

// Frame lists on (1): from then on the event loop's frames are recorded and
// drawn only when they change; off (0), the default: drawing goes straight
// to GL and every frame is swapped. Turning them on takes the GL state as
// it is; turning them off draws what was recorded.
void OGL_frame_lists(int on);

// Forgets what was recorded since the last frame end: OGL_sbuff has put it
// on the screen already (the start-up's splash), or a whole frame begins
// here (the wizard's, which may follow a frame that a box broke off), and
// the next frame starts from nothing.
void OGL_drop_recorded();

// A box closed, or the wizard went to another screen: what is recorded
// from here until a whole frame begins (a clear of the whole window, or
// OGL_drop_recorded) shows what is no longer current (the rest of the frame
// that was being drawn when the box opened, or the screen left behind). No
// frame end shows it; the whole frame that follows is drawn at once. So the
// first frame on the screen after a box or a screen change is complete and
// shows what is current.
void OGL_frame_broken();

// The end of the event loop's pass: the frame is drawn and swapped when it
// differs from the one on the screen or a redraw is due (with frame lists;
// without them it always is). With frame lists, a changed frame that answers
// no input (no redraw due, the pointer not moved) waits for its turn: it is
// drawn at most once every 62.8 ms (a fifth of the pulse's period) when it
// shows an animation, at most 15 times a second otherwise (the progress of
// work), and then with what it shows by then. What is drawn in place of
// the frame on the screen is put there at the next frame end, or by
// OGL_show_drawn before then, while the GL driver draws it. Returns 1 when
// it put a frame on the screen.
int OGL_end_frame();

// Puts what the last frame end drew in place on the screen now, before the
// event loop waits; 1 when there was any.
int OGL_show_drawn();

// The view (mnw.view_count) of the frame on the screen, as it was when the
// frame was drawn.
int OGL_shown_view();

// How long the pass after the last frame end may wait for input when that
// pass has nothing else to do: 0 when the frame showed the progress of work
// or answered a redraw (the pass waits as long as ever), the time until its
// animation is due again when it showed only an animation, and longer when
// it showed nothing new.
long OGL_quiet_wait_us();

// The next `frames` frame ends draw and swap even when nothing changed: the
// X server asked for the picture, or input came that must be seen taken.
void OGL_redraw(int frames);

// The window's buffers were made anew (its size changed): what they held is
// gone, so the next frame is drawn whole.
void OGL_buffers_lost();

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

// Widgets: each call draws its widget, tests this frame's input against the
// window state `mnw` and returns what happened, every frame. Positions are
// window units of the current window.

// A push button centred at (x, y), w wide (0 or less: fitted to the label).
// on draws it pressed; style 0 gives no pressed flash on a click, any other
// style flashes, 2 also highlights the caption while on. key_label is drawn
// to its right ("-" for none). Returns 1 on the frame it is clicked.
int BTN_action(float x, float y, float w, int on, int style, std::string label, std::string key_label);
// A check box (radio 0) or radio button bound to *value, centred at x;
// toggles it between 0 and 1 when clicked and returns 1 on that frame.
int BTN_bool(float x, float y, int* value, std::string label, int radio);

// A vertical scroll bar centred on x whose track runs from y_bottom to
// y_top, bound to *pos in lo..hi (lo at the top). An arrow steps by one, the
// track by ten, a held button repeats, and the thumb follows the mouse while
// dragged. Each slider on screen has its own slot, 0 to 3; any other slot is
// a fatal alert. Returns 1 while the thumb is held; 0, after drawing only the
// track, when hi is not above lo.
int BTN_vert_slider(int slot, float x, float y_bottom, float y_top, int lo, int hi, int* pos);

// The field at (x, y) (its left end and baseline), width wide, bound to
// *path. open_save must be 998 or 999 and file_type 0 to 21, else the
// program ends with a fatal alert. File types 20 and 21 show the whole path,
// the others its last component; an edit in the field replaces the path by
// the field's text. label: caption left of the button, second text right of
// the field, mouse help of the button. focus lets the field take the
// keyboard while no field has it. Returns 1 on the frame on which the user
// chose a folder with the button (the path then holds it), else 0.
int BTN_select_path_stl(float x, float y, int open_save, int file_type, std::string* path, int max_len,
                        std::string label, float width, int focus);

// The interface language.

// Index 0 (English) empties the translation tables; any other index loads
// "Resources/" + the language's folder + "Installer2.txt" (an index with no
// folder gives "Resources/Installer2.txt").
void MACIBM_setupforlang();

// The GL state cache.

// Switches GL to the coded state, touching GL only where the cache differs
// (with frame lists: the state of what is drawn next).
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

// How many more key events the focused field's queue takes before its
// widget empties it in the next frame; INT_MAX when no field would queue a
// key (none has the focus, or an alert is up).
int BTN_focus_room();
// 1 while the focused field holds keys that its widget has not read yet.
int BTN_focus_unread();

// Draws the two close boxes in the top corners of the current window (the
// pressed look when pressed) and returns 1 when this frame's click hit one.
int BTN_zap_boxes(int pressed);
