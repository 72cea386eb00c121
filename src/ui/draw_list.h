// Where every drawing call of the toolkit goes: the frame list.
//
// The primitives, the glyphs, the frames, the shapes and the screens' own
// drawing describe what they draw through the calls below, shaped like GL's
// immediate mode (begin, vertices with their colour and texture
// coordinates, end) plus the state they draw in (the state switch, the
// texture bound, the scissor box, the blend function, the point size, the
// model-view matrix and a clear). Nothing of the drawing layer calls GL for
// drawing anywhere else.
//
// Two ways to go on from there:
//   - straight to GL (the start-up, and a GL window used outside the event
//     loop): each call is the GL call it stands for, at once;
//   - frame lists (the event loop of a running program, OGL_frame_lists):
//     a frame is recorded into a list in memory, everything drawn since the
//     last frame end. The frame end compares it with the last frame drawn
//     and, only when they differ or a redraw was asked for, submits it to
//     GL in batches (one draw per run of the same state and primitive) and
//     swaps. A frame equal to the one on the screen costs no GL call and no
//     swap; a changed frame that answers no input waits for its turn (at
//     most one frame every 62.8 ms of an animation, 15 a second of the
//     progress of work).
// The list keeps its memory from frame to frame.
//
// Main thread only, like GL.
#pragma once

#include "window/ui_calls.h"

// Primitive kinds (GL's names and order).
enum dl_prim {
  dl_points = 0,
  dl_lines = 1,
  dl_line_loop = 2,
  dl_line_strip = 3,
  dl_triangles = 4,
  dl_triangle_strip = 5,
  dl_triangle_fan = 6,
  dl_quads = 7,
  dl_quad_strip = 8,
};

// --- The drawing calls ---

void DL_begin(dl_prim prim);
void DL_end();
// Ends a primitive left open (an alert raised while one was open).
void DL_abandon();
void DL_vertex(float x, float y);
void DL_vertex3(float x, float y, float z);
void DL_texcoord(float s, float t);
void DL_normal(float x, float y, float z);
// The colour of the vertices that follow: opaque (alpha 1) or with alpha.
void DL_colour3(const float rgb[3]);
void DL_colour4(float r, float g, float b, float a);

// The state switch's coded arguments (see OGL_setstate).
void DL_state(int fog, int tex_units, int lighting, int alpha, int depth_test, int depth_write);
// Texture `name` (a GL texture name) on unit 0 with environment mode `mode`.
void DL_texture(int name, int mode);
// The scissor box, in GL window pixels; off when box is null.
void DL_scissor(const int* box);
// The blend function's source and destination factors (GL enums).
void DL_blend(unsigned source, unsigned destination);
void DL_blend_func(unsigned* source, unsigned* destination);
void DL_point_size(float size);

// The model-view matrix: push, pop, translate, rotate (degrees about an
// axis). True while the matrix differs from the window's own.
void DL_push_matrix();
void DL_pop_matrix();
void DL_translate(float x, float y, float z);
void DL_rotate(float degrees, float x, float y, float z);
bool DL_transformed();

// Light and polygon offset of the 3-D pieces.
void DL_polygon_offset(int level);
void DL_specular(float level);

// Clears the colour buffer (within the scissor box when one is on).
void DL_clear(const float rgba[4]);

// --- Frames ---

// OGL_frame_lists, OGL_end_frame, OGL_show_drawn, OGL_redraw and OGL_buffers_lost:
// window/ui_calls.h.
int OGL_frame_lists_on();

// What is being recorded shows an animation of the frame timer (the
// colours it animates, the blink value): a frame that changed and answers
// no input is drawn at most once every 62.8 ms (a fifth of the pulse's
// period), else at most 15 times a second.
void DL_animated();

// Whether the projection maps vertex x and y to GL window pixels (the 2-D
// projection over the whole window), as changed parts of a frame are found
// by where they land. Set by the viewport.
void DL_window_projection(bool pixels);
bool DL_window_projection();

// A short look over the frame on the screen, shown at once in the middle of
// a frame (a push button's pressed look): what is drawn between the two
// calls goes on the screen over the last frame shown, whole, never over
// the part of this frame recorded so far; then the recording goes on where
// it was. Straight to GL, it is drawn over what was drawn and swapped.
void OGL_overlay_begin();
void OGL_overlay_show();

// Draws what the frame has recorded so far into the back buffer, without a
// swap (before reading pixels back).
void DL_flush();
