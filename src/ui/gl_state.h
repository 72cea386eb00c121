// The GL state cache: the few GL states that the toolkit switches (fog,
// texture units, lighting, blending and alpha test, depth test, depth
// writes) are changed only when a request differs from what the cache
// believes GL holds.
#pragma once

#include "window/ui_calls.h"

// Codes of OGL_setstate's arguments.
enum {
  gl_fog_on = 0, gl_fog_off = 1,
  gl_lit_on = 2, gl_lit_off = 3,
  gl_alpha_none = 4, gl_alpha_blend = 5, gl_alpha_test = 6, gl_alpha_both = 7,
  gl_depth_on = 8, gl_depth_off = 9,
  gl_dwrite_on = 10, gl_dwrite_off = 11,
};

// Texture units enabled by the last state switch (0 when texturing is off).
extern int num_units;

// One GL call of a state switch.
struct gl_state_op {
  enum kind_t { enable, disable, active_texture, depth_mask } kind;
  unsigned value;  // the GL capability, the texture unit index, or the depth mask
};

// What the cache believes GL holds.
struct gl_state_cache {
  bool inited = false;
  int fog = gl_fog_off;
  int tex = 0;
  int lighting = gl_lit_off;
  int blend = 0;
  int atest = 0;
  int depth = gl_depth_off;
  int dwrite = gl_dwrite_off;

  // Takes the first values from what GL reports (depth writes are not
  // asked: they start as "off").
  void init_from(bool fog_on, bool texture_on, bool lighting_on, bool blend_on, bool atest_on, bool depth_on,
                 int units);

  // The GL calls that switch from the cached state to the requested one, in
  // order, into ops (room for 32); the cache takes the new state. Returns the
  // number of calls. max_units is the renderer's number of texture units.
  int plan(int fog, int tex_units, int lighting, int alpha, int depth_test, int depth_write, int max_units,
           gl_state_op* ops);
};

// The switch itself, through the cache, whatever the frame lists do: what
// OGL_setstate does straight to GL, and what a recorded frame does when it
// is drawn.
void OGL_setstate_gl(int fog, int tex_units, int lighting, int alpha, int depth_test, int depth_write);

// The cache itself, for inspection.
const gl_state_cache& OGL_state_cache();
