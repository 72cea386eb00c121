// The 2-D primitives that every widget, frame, glyph and screen is built
// from. Positions are window units of the current window (one unit is one
// pixel, y up, (0, 0) its lower-left corner): each primitive adds the
// window's origin (mnw.wind_x, mnw.wind_y). Lines and outlines go through
// pixel centres (+0.5). Colours are indices into the colour table.
// Main thread only, between the start of a frame and the buffer swap.
#pragma once

#include <string>

#include "textures/tman.h"
#include "ui/gl_state.h"
#include "window/ui_calls.h"

// Further texture references of the drawing layer (the built-in images,
// t_interface, t_elements and t_background, are the texture manager's).
enum {
  t_glyph_sheet_103 = 396,  // glyph sheet of charset 103; nothing loads it
  t_env17 = 418,            // bound with environment mode 17
  t_back_tile0 = 427,       // 427 .. 442: tiles of the background picture
};

// Monochrome switch (every colour drawn as green of brightness r + g + b)
// and the global alpha factor that multiplies every alpha.
extern int OGL_monochrome;
extern float OGL_alpha_factor;

// Binds a texture reference on unit 0 with an environment mode (0
// modulate) through the texture manager.
void OGL_bind_tex(int tex_ref, int mode);

// One quad: four corners, each x, y, s, t (texture coordinates as sent).
struct quad_corners {
  float v[4][4];
};

// Receives the quads of a frame or a line of text.
class quad_sink {
 public:
  virtual ~quad_sink() = default;
  virtual void quad(const quad_corners& q) = 0;
};

// Sends quads to the drawing calls (ui/draw_list.h) inside an open quads
// primitive.
class gl_quad_sink : public quad_sink {
 public:
  void quad(const quad_corners& q) override;
};

void OGL_2dquad_d(int tex_ref, int colour, float alpha, float x, float y, float s, float t, float w, float h,
                  float ds, float dt, int alpha_mode);
// Outline through w + 1 by h + 1 pixel centres.
void OGL_framerect(int colour, float alpha, float x, float y, float w, float h);
void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha);

// The scissor box in GL window pixels for a window-local rectangle:
// out = x, y, width, height (a width or height that is not positive is 0).
void OGL_scissor_box(float x, float y, float w, float h, int out[4]);
void OGL_scissors(float x, float y, float w, float h);
void OGL_scissors_end();

void OGL_nrml_colors();
void OGL_glow_colors();
void OGL_poly_offset(int level);
void OGL_setspec(float level);
void OGL_printer();

// --- Frame end, background picture and screenshot ---

extern int back_dx, back_dy;  // size of the loaded background picture
extern float oglp;            // glyph size factor, 1.0
extern const float st00[2], st01[2], st11[2], st10[2];

// Loads "Resources/bitmaps/intro_REZ.png" into the 16 background tiles;
// only while no window is current.
void OGL_make_back_tex();
// Draws the background picture from its tiles.
void OGL_plot_back_tex();
// Reads the window (at most 2048 x 2048, centred) into the image scratch
// buffer as RGB rows, bottom row first; with save set, also writes it to the
// next free "screenshot_N.png" of the working folder.
void OGL_screenshot(int save);
// The file name that the next saved screenshot takes; advances the number.
std::string OGL_next_screenshot_name();

// --- Viewport and 2-D projection ---

void OGL_screensize(int mode, float left, float bottom, float right, float top);
