// The colour table with its colour rules, and the GL state cache's plans.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "ui/colr.h"
#include "ui/gl_state.h"

namespace {

TEST(Colours, DefaultsGammaAndLighting) {
  colr_class c;
  EXPECT_EQ(c.rgb[0][0], 1.0f);
  EXPECT_EQ(c.rgb[34][2], 0.0f);
  EXPECT_EQ(c.rgb[72][1], 0.43f);
  EXPECT_EQ(c.lites[1], 1.0f);
  EXPECT_EQ(c.gamma_table[0], 0);
  EXPECT_EQ(c.gamma_table[255], 255);
  for (int i = 0; i < 256; ++i) EXPECT_GE(c.gamma_table[i], i) << i;
  EXPECT_EQ(c.gamma_on, 1);

  c.assign(45, 0.4f, 0.6f, 0.8f);
  c.assign(46, 0.4f, 0.6f, 0.8f);
  c.lites[0] = c.lites[1] = c.lites[2] = 0.5f;
  float out[4];
  c.gl_colour(45, 1.0f, 0, 1.0f, out);
  EXPECT_FLOAT_EQ(out[0], 0.2f);
  EXPECT_FLOAT_EQ(out[2], 0.4f);
  c.gl_colour(46, 1.0f, 0, 1.0f, out);
  EXPECT_FLOAT_EQ(out[0], 0.4f);

  c.lites[0] = 0.9f;
  c.set_lites_for_interface();
  EXPECT_FLOAT_EQ(c.lites[0], 0.9f);
  EXPECT_FLOAT_EQ(c.lites[1], 0.75f);
}

TEST(Colours, AlphaAndMonochromeRules) {
  colr_class c;
  float out[4];
  EXPECT_EQ(c.gl_colour(3, 1.0f, 0, 1.0f, out), 0);  // opaque
  EXPECT_EQ(c.gl_colour(3, 0.98f, 0, 1.0f, out), 1);
  EXPECT_FLOAT_EQ(out[3], 0.98f);
  EXPECT_EQ(c.gl_colour(3, 0.99f, 0, 1.0f, out), 0);  // 0.99f is above the double 0.99
  EXPECT_EQ(c.gl_colour(3, 1.0f, 0, 0.5f, out), 1);  // global alpha factor
  EXPECT_FLOAT_EQ(out[3], 0.5f);

  c.gl_colour(34, 1.0f, 1, 1.0f, out);  // black
  EXPECT_FLOAT_EQ(out[1], 0.01f);
  EXPECT_EQ(out[0], 0.0f);
  c.gl_colour(0, 1.0f, 1, 1.0f, out);  // white
  EXPECT_FLOAT_EQ(out[1], 1.0f);
  EXPECT_EQ(out[2], 0.0f);
}

TEST(Colours, Spectrum) {
  colr_class c;
  c.spectrum_init(0);
  EXPECT_FLOAT_EQ(c.spectrum[0][0], 1.0f);
  EXPECT_NEAR(c.spectrum[500][0], 0.5f, 1e-5);
  EXPECT_NEAR(c.spectrum[500][1], 1.0f, 1e-5);
  EXPECT_NEAR(c.spectrum[500][2], 0.0f, 1e-5);
  c.spectrum_init(2);
  EXPECT_FLOAT_EQ(c.spectrum[250][1], 0.25f);
  EXPECT_EQ(c.spectrum[250][0], 0.0f);
  c.spectrum_init(7);
  EXPECT_FLOAT_EQ(c.spectrum[250][1], 0.25f);
}

// A cache that has read "everything off, one unit" from GL.
gl_state_cache fresh_cache() {
  gl_state_cache c;
  c.init_from(false, false, false, false, false, false, 1);
  return c;
}

TEST(StateCache, FirstValuesAndRepeatedCalls) {
  gl_state_cache c;
  c.init_from(true, true, true, true, false, true, 1);
  EXPECT_EQ(c.fog, gl_fog_on);
  EXPECT_EQ(c.tex, 1);
  EXPECT_EQ(c.lighting, gl_lit_on);
  EXPECT_EQ(c.depth, gl_depth_on);
  EXPECT_EQ(c.dwrite, gl_dwrite_off);

  gl_state_cache d = fresh_cache();
  gl_state_op ops[32];
  EXPECT_EQ(d.plan(1, 0, 3, 4, 9, 11, 4, ops), 0);  // the depth mask starts "off"
  EXPECT_EQ(d.plan(1, 0, 3, 4, 9, 10, 4, ops), 1);
  EXPECT_EQ(ops[0].kind, gl_state_op::depth_mask);
  EXPECT_EQ(ops[0].value, 1u);

  gl_state_cache e = fresh_cache();
  const int n = e.plan(0, 1, 2, 7, 8, 10, 4, ops);
  EXPECT_EQ(n, 8);  // fog, texture, lighting and light 0, blend, alpha test, depth, mask
  EXPECT_EQ(e.plan(0, 1, 2, 7, 8, 10, 4, ops), 0);
}

TEST(StateCache, TextureUnitsAndBlendFlags) {
  gl_state_cache c = fresh_cache();
  gl_state_op ops[32];
  ASSERT_EQ(c.plan(1, 1, 3, 4, 9, 11, 4, ops), 1);
  EXPECT_EQ(ops[0].kind, gl_state_op::enable);
  EXPECT_EQ(ops[0].value, static_cast<unsigned>(GL_TEXTURE_2D));
  ASSERT_EQ(c.plan(1, 0, 3, 4, 9, 11, 4, ops), 1);  // 1 -> 0: one disable only
  EXPECT_EQ(ops[0].kind, gl_state_op::disable);

  // 0 -> 3: units 0, 1 and 2 enabled one by one, unit 0 selected at the end.
  const int n = c.plan(1, 3, 3, 4, 9, 11, 4, ops);
  ASSERT_EQ(n, 8);
  EXPECT_EQ(ops[1].kind, gl_state_op::active_texture);
  EXPECT_EQ(ops[1].value, 0u);
  EXPECT_EQ(ops[5].value, 2u);
  EXPECT_EQ(ops[7].kind, gl_state_op::active_texture);
  EXPECT_EQ(ops[7].value, 0u);
  EXPECT_EQ(c.tex, 3);

  // More units than the renderer has: limited and cached as the limit.
  c.plan(1, 6, 3, 4, 9, 11, 4, ops);
  EXPECT_EQ(c.tex, 4);
  c.plan(1, -2, 3, 4, 9, 11, 4, ops);  // a negative count acts as 0
  EXPECT_EQ(c.tex, 0);

  // Alpha codes compare flag by flag: blend only -> test only switches both.
  ASSERT_EQ(c.plan(1, 0, 3, 5, 9, 11, 4, ops), 1);
  ASSERT_EQ(c.plan(1, 0, 3, 6, 9, 11, 4, ops), 2);
  EXPECT_EQ(ops[0].value, static_cast<unsigned>(GL_BLEND));
  EXPECT_EQ(ops[0].kind, gl_state_op::disable);
  EXPECT_EQ(ops[1].value, static_cast<unsigned>(GL_ALPHA_TEST));
  EXPECT_EQ(c.plan(1, 0, 3, 99, 9, 11, 4, ops), 0);  // unknown code: no GL call
}

}  // namespace
