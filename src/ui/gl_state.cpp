#include "ui/gl_state.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include "textures/ogl_extensions.h"
#include "ui/draw_list.h"

namespace {

gl_state_cache g_cache;

void put(gl_state_op* ops, int& n, gl_state_op::kind_t kind, unsigned value) { ops[n++] = {kind, value}; }

void apply(const gl_state_op* ops, int n) {
  for (int i = 0; i < n; ++i) {
    switch (ops[i].kind) {
      case gl_state_op::enable: glEnable(ops[i].value); break;
      case gl_state_op::disable: glDisable(ops[i].value); break;
      case gl_state_op::active_texture: glActiveTextureARB(GL_TEXTURE0_ARB + ops[i].value); break;
      case gl_state_op::depth_mask: glDepthMask(ops[i].value ? GL_TRUE : GL_FALSE); break;
    }
  }
}

}  // namespace

void gl_state_cache::init_from(bool fog_on, bool texture_on, bool lighting_on, bool blend_on, bool atest_on,
                               bool depth_on, int units) {
  inited = true;
  fog = fog_on ? gl_fog_on : gl_fog_off;
  tex = texture_on ? units : 0;
  lighting = lighting_on ? gl_lit_on : gl_lit_off;
  blend = blend_on ? 1 : 0;
  atest = atest_on ? 1 : 0;
  depth = depth_on ? gl_depth_on : gl_depth_off;
  dwrite = gl_dwrite_off;
}

int gl_state_cache::plan(int fog_code, int tex_units, int lighting_code, int alpha, int depth_test,
                         int depth_write, int max_units, gl_state_op* ops) {
  int n = 0;
  if (fog_code != fog) put(ops, n, fog_code == gl_fog_on ? gl_state_op::enable : gl_state_op::disable, GL_FOG);

  if (tex_units < 0) tex_units = 0;
  if (tex_units != tex) {
    const int old_units = tex;
    int new_units = tex_units;
    if (new_units <= 0) {
      put(ops, n, gl_state_op::disable, GL_TEXTURE_2D);
      new_units = 0;
    } else {
      put(ops, n, gl_state_op::enable, GL_TEXTURE_2D);
      const int limit = max_units > 0 ? (max_units > 8 ? 8 : max_units) : 1;
      if (new_units > limit) new_units = limit;
    }
    if (old_units > 1 || new_units > 1) {
      for (int i = 0; i < 8; ++i)
        if (old_units <= i && i < new_units) {
          put(ops, n, gl_state_op::active_texture, static_cast<unsigned>(i));
          put(ops, n, gl_state_op::enable, GL_TEXTURE_2D);
        }
      for (int i = 0; i < 8; ++i)
        if (new_units <= i && i < old_units) {
          put(ops, n, gl_state_op::active_texture, static_cast<unsigned>(i));
          put(ops, n, gl_state_op::disable, GL_TEXTURE_2D);
        }
      put(ops, n, gl_state_op::active_texture, 0);
    }
    tex = new_units;
  }

  if (lighting_code != lighting) {
    const gl_state_op::kind_t k = lighting_code == gl_lit_on ? gl_state_op::enable : gl_state_op::disable;
    put(ops, n, k, GL_LIGHTING);
    put(ops, n, k, GL_LIGHT0);
  }

  if (alpha >= gl_alpha_none && alpha <= gl_alpha_both) {
    const int want_blend = (alpha == gl_alpha_blend || alpha == gl_alpha_both) ? 1 : 0;
    const int want_test = (alpha == gl_alpha_test || alpha == gl_alpha_both) ? 1 : 0;
    if (want_blend != blend) put(ops, n, want_blend ? gl_state_op::enable : gl_state_op::disable, GL_BLEND);
    if (want_test != atest) put(ops, n, want_test ? gl_state_op::enable : gl_state_op::disable, GL_ALPHA_TEST);
    blend = want_blend;
    atest = want_test;
  } else {
    // An unknown code changes nothing in GL, and the cache follows the code.
    blend = (alpha == gl_alpha_blend || alpha == gl_alpha_both) ? 1 : 0;
    atest = (alpha == gl_alpha_test || alpha == gl_alpha_both) ? 1 : 0;
  }

  if (depth_test != depth)
    put(ops, n, depth_test == gl_depth_on ? gl_state_op::enable : gl_state_op::disable, GL_DEPTH_TEST);
  if (depth_write != dwrite) put(ops, n, gl_state_op::depth_mask, depth_write == gl_dwrite_on ? 1u : 0u);

  fog = fog_code;
  lighting = lighting_code;
  depth = depth_test;
  dwrite = depth_write;
  return n;
}

void OGL_setstate(int fog, int tex_units, int lighting, int alpha, int depth_test, int depth_write) {
  DL_state(fog, tex_units, lighting, alpha, depth_test, depth_write);
}

void OGL_setstate_gl(int fog, int tex_units, int lighting, int alpha, int depth_test, int depth_write) {
  if (!g_cache.inited)
    g_cache.init_from(glIsEnabled(GL_FOG), glIsEnabled(GL_TEXTURE_2D), glIsEnabled(GL_LIGHTING),
                      glIsEnabled(GL_BLEND), glIsEnabled(GL_ALPHA_TEST), glIsEnabled(GL_DEPTH_TEST), num_units);
  gl_state_op ops[32];
  const int n = g_cache.plan(fog, tex_units, lighting, alpha, depth_test, depth_write, ren.tex_units, ops);
  apply(ops, n);
  num_units = g_cache.tex;
}

const gl_state_cache& OGL_state_cache() { return g_cache; }

void OGL_forget_state() { g_cache = gl_state_cache(); }
