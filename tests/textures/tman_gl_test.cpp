// The texture manager against a real GL context (Mesa on a private X
// server): the built-in images as the start-up uploads them, a full-window
// draw of the backdrop, the interface colours, the upload's rules, and the
// bind cache, whose calls are seen by changing GL's state behind its back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/debug.h"
#include "support/live_window.h"
#include "support/temp_dir.h"
#include "support/x_server.h"
#include "textures/builtin_images.h"
#include "textures/image_fixtures.h"
#include "textures/ogl_extensions.h"
#include "textures/tman.h"
#include "ui/colr.h"
#include "window/mnw.h"

namespace {

class TmanGL : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.ok());
    GLint max_size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
    glExt.max_texture_size = max_size;
    glExt.tex_clamp_avail = 1;
    glExt.combine_avail = 1;
    glExt.automini_avail = 0;
    ren.tex_units = 8;
    mnw.tex_res = 5;
    TEX_reset_bind();
    num_units = 0;
  }

  GLint bound(int unit = 0) {
    GLint name = -1;
    glActiveTexture(GL_TEXTURE0 + unit);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    glActiveTexture(GL_TEXTURE0);
    return name;
  }
  GLint env(GLenum pname, int unit = 0) {
    GLint v = -1;
    glActiveTexture(GL_TEXTURE0 + unit);
    glGetTexEnviv(GL_TEXTURE_ENV, pname, &v);
    glActiveTexture(GL_TEXTURE0);
    return v;
  }
  GLint level_param(int ref, int level, GLenum pname) {
    glBindTexture(GL_TEXTURE_2D, ref);
    GLint v = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, pname, &v);
    TEX_reset_bind();
    return v;
  }
  GLint tex_param(int ref, GLenum pname) {
    glBindTexture(GL_TEXTURE_2D, ref);
    GLint v = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, pname, &v);
    TEX_reset_bind();
    return v;
  }
  std::vector<unsigned char> texels(int ref, GLenum format, int bytes) {
    glBindTexture(GL_TEXTURE_2D, ref);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    std::vector<unsigned char> out(bytes);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
    TEX_reset_bind();
    return out;
  }
  // Writes an image of w x h RGBA pixels into scratch_array and loads it.
  int load_rgba(tman_class& t, int ref, int w, int h, unsigned char fill, int filter = tex_rgba) {
    scratch_dx = w;
    scratch_dy = h;
    memset(scratch_array, fill, static_cast<size_t>(w) * h * 4);
    return t.load_texture(tex_fail_fatal, ref, filter, tex_load_now, "scratch_array:test");
  }

  XServer x_;
  LiveWindow window_{x_};
};

}  // namespace

TEST_F(TmanGL, StartUpUploadsTheFourImagesAndTakesTheInterfaceColours) {
  // The test window has loaded them already: load them afresh.
  for (int ref : {t_background, t_elements, t_world_map, t_interface}) tman.unload_texture(ref);
  EXPECT_EQ(tman.total_texes(), 0);
  for (int entry = 34; entry <= 47; ++entry) colr.assign(entry, 0, 0, 0);
  TEX_load_builtin_images();

  struct expect {
    const builtin_image* image;
    int tex_w, tex_h, format, filter;
    const unsigned char* pixels;
  };
  const expect all[] = {{&kBackgroundImage, 1024, 1024, GL_RGB, GL_LINEAR, g_tex_background},
                        {&kElementsImage, 1024, 128, GL_RGBA, GL_LINEAR, g_tex_elements},
                        {&kMapImage, 512, 512, GL_RGBA, GL_LINEAR, g_tex_map},
                        {&kInterfaceImage, 512, 512, GL_RGBA, GL_NEAREST, g_tex_interface}};
  int64_t vram = 0;
  for (const expect& e : all) {
    const int ref = e.image->ref;
    const auto& rec = tman.ref_dat[ref];
    SCOPED_TRACE(ref);
    EXPECT_EQ(rec.tex_id, ref);
    EXPECT_EQ(rec.tex_dx, e.tex_w);
    EXPECT_EQ(rec.tex_dy, e.tex_h);
    EXPECT_EQ(rec.format, e.format);
    EXPECT_EQ(rec.vram, e.tex_w * e.tex_h * e.image->bytes_per_pixel);
    vram += rec.vram;
    EXPECT_EQ(level_param(ref, 0, GL_TEXTURE_WIDTH), e.tex_w);
    EXPECT_EQ(level_param(ref, 0, GL_TEXTURE_HEIGHT), e.tex_h);
    EXPECT_EQ(level_param(ref, 0, GL_TEXTURE_INTERNAL_FORMAT), e.format);
    EXPECT_EQ(tex_param(ref, GL_TEXTURE_MIN_FILTER), e.filter);
    EXPECT_EQ(tex_param(ref, GL_TEXTURE_MAG_FILTER), e.filter);
    EXPECT_EQ(tex_param(ref, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(tex_param(ref, GL_TEXTURE_WRAP_T), GL_REPEAT);
    // Every row of the image is in the texture, from its lower-left corner.
    const int bpp = e.image->bytes_per_pixel;
    const std::vector<unsigned char> t = texels(ref, e.format, e.tex_w * e.tex_h * bpp);
    for (int row = 0; row < e.image->height; ++row)
      ASSERT_EQ(memcmp(t.data() + static_cast<size_t>(row) * e.tex_w * bpp,
                       e.pixels + static_cast<size_t>(row) * e.image->width * bpp, e.image->width * bpp),
                0)
          << "row " << row;
  }
  EXPECT_EQ(tman.loaded_texes(), 4);
  EXPECT_EQ(tman.total_texes(), 4);
  EXPECT_EQ(tman.tot_vram(), static_cast<int64_t>(mnw.x_res) * mnw.y_res * mnw.col_res / 8 + vram);
  EXPECT_EQ(num_units, 0);  // restored after each upload

  for (const interface_swatch& s : kInterfaceSwatches) {
    EXPECT_FLOAT_EQ(colr.rgb[s.entry][0], s.r * 0.003921569f) << s.entry;
    EXPECT_FLOAT_EQ(colr.rgb[s.entry][1], s.g * 0.003921569f) << s.entry;
    EXPECT_FLOAT_EQ(colr.rgb[s.entry][2], s.b * 0.003921569f) << s.entry;
  }
  for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(colr.rgb[39][c], (colr.rgb[38][c] + colr.rgb[35][c]) * 0.5f);

  // The backdrop drawn over the whole window, one texel per pixel.
  glViewport(0, 0, 800, 600);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 800, 0, 600, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_BLEND);
  glEnable(GL_TEXTURE_2D);
  tman.bind_ref(t_background, 0, 0);
  glColor4f(1, 1, 1, 1);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex2f(0, 0);
  glTexCoord2f(0, 600 / 1024.0f);
  glVertex2f(0, 600);
  glTexCoord2f(800 / 1024.0f, 600 / 1024.0f);
  glVertex2f(800, 600);
  glTexCoord2f(800 / 1024.0f, 0);
  glVertex2f(800, 0);
  glEnd();
  glFinish();
  std::vector<unsigned char> shot(800 * 600 * 3);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, shot.data());
  int worst = 0;
  for (size_t i = 0; i < shot.size(); ++i) worst = std::max(worst, std::abs(shot[i] - g_tex_background[i]));
  EXPECT_LE(worst, 1);
}

TEST_F(TmanGL, BindCacheSendsOnlyWhatChanged) {
  tman_class t;
  load_rgba(t, 5, 4, 4, 0x80);
  load_rgba(t, 6, 4, 4, 0x40);
  TEX_reset_bind();
  glBindTexture(GL_TEXTURE_2D, 0);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);

  TEX_bind_ref(5, 0, 0);
  EXPECT_EQ(bound(), 5);
  EXPECT_EQ(env(GL_TEXTURE_ENV_MODE), GL_MODULATE);
  // Undo both behind the cache's back: a repeated bind sends nothing, and
  // mode 0 and GL_MODULATE are the same entry.
  glBindTexture(GL_TEXTURE_2D, 0);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  TEX_bind_ref(5, 0, 0);
  TEX_bind_ref(5, 0, GL_MODULATE);
  EXPECT_EQ(bound(), 0);
  EXPECT_EQ(env(GL_TEXTURE_ENV_MODE), GL_REPLACE);
  // A new texture sends only the bind; a new mode only the environment.
  TEX_bind_ref(6, 0, 0);
  EXPECT_EQ(bound(), 6);
  EXPECT_EQ(env(GL_TEXTURE_ENV_MODE), GL_REPLACE);
  glBindTexture(GL_TEXTURE_2D, 0);
  TEX_bind_ref(6, 0, GL_DECAL);
  EXPECT_EQ(bound(), 0);
  EXPECT_EQ(env(GL_TEXTURE_ENV_MODE), GL_DECAL);
  // After a reset everything reaches GL again.
  TEX_reset_bind();
  TEX_bind_ref(6, 0, GL_DECAL);
  EXPECT_EQ(bound(), 6);

  // Other units: selected for the calls and unit 0 active again after.
  TEX_bind_ref(5, 2, GL_DECAL);
  EXPECT_EQ(bound(2), 5);
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  TEX_bind_ref(5, 2, GL_REPLACE);
  EXPECT_EQ(bound(2), 0);
  EXPECT_EQ(env(GL_TEXTURE_ENV_MODE, 2), GL_REPLACE);
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE0);
  // Mode 25 binds and leaves the environment as it is.
  TEX_bind_ref(6, 3, 25);
  EXPECT_EQ(bound(3), 6);
  EXPECT_EQ(env(GL_TEXTURE_ENV_MODE, 3), GL_MODULATE);

  // A unit outside the cache goes straight to GL every time.
  TEX_bind_ref(5, -1, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  TEX_bind_ref(5, -1, 0);
  EXPECT_EQ(bound(), 5);

  // The blend level sets a unit's environment colour; not past tex_units.
  ren.tex_units = 2;
  TEX_set_blend_level(1, 0.5f);
  TEX_set_blend_level(3, 0.25f);
  GLfloat colour[4];
  glActiveTexture(GL_TEXTURE1);
  glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
  EXPECT_FLOAT_EQ(colour[3], 0.5f);
  glActiveTexture(GL_TEXTURE3);
  glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
  EXPECT_FLOAT_EQ(colour[3], 0.0f);
  glActiveTexture(GL_TEXTURE0);
}

TEST_F(TmanGL, RecipesSetTheCombineEnvironment) {
  TEX_bind_ref(0, 1, 17);
  EXPECT_EQ(env(GL_TEXTURE_ENV_MODE, 1), GL_COMBINE);
  EXPECT_EQ(env(GL_COMBINE_RGB, 1), GL_REPLACE);
  EXPECT_EQ(env(GL_SOURCE0_RGB, 1), GL_TEXTURE);
  EXPECT_EQ(env(GL_OPERAND0_RGB, 1), GL_SRC_ALPHA);
  EXPECT_EQ(env(GL_SOURCE0_ALPHA, 1), GL_CONSTANT);
  GLfloat colour[4];
  glActiveTexture(GL_TEXTURE1);
  glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
  glActiveTexture(GL_TEXTURE0);
  EXPECT_FLOAT_EQ(colour[0], 1.0f);

  TEX_bind_ref(0, 1, 24);
  EXPECT_EQ(env(GL_COMBINE_RGB, 1), GL_INTERPOLATE);
  EXPECT_EQ(env(GL_SOURCE0_RGB, 1), GL_PRIMARY_COLOR);
  EXPECT_EQ(env(GL_SOURCE1_RGB, 1), GL_CONSTANT);
  EXPECT_EQ(env(GL_SOURCE2_RGB, 1), GL_TEXTURE);
  glActiveTexture(GL_TEXTURE1);
  glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
  glActiveTexture(GL_TEXTURE0);
  EXPECT_FLOAT_EQ(colour[3], 0.0f);

  TEX_bind_ref(0, 1, 11);
  EXPECT_EQ(env(GL_COMBINE_ALPHA, 1), GL_SUBTRACT);
  GLfloat scale = 0;
  glActiveTexture(GL_TEXTURE1);
  glGetTexEnvfv(GL_TEXTURE_ENV, GL_ALPHA_SCALE, &scale);
  glActiveTexture(GL_TEXTURE0);
  EXPECT_FLOAT_EQ(scale, 4.0f);

  // Without the combine environment the number goes to GL as a mode, which
  // GL refuses: the environment stays.
  glExt.combine_avail = 0;
  TEX_bind_ref(0, 1, GL_DECAL);
  TEX_bind_ref(0, 1, 18);
  while (glGetError() != GL_NO_ERROR) {
  }
  EXPECT_EQ(env(GL_TEXTURE_ENV_MODE, 1), GL_DECAL);

  // The kill switch binds the blank texture instead of all but the atlas.
  UTL_stat* kill = nullptr;
  for (UTL_stat* s = UTL_stat::waiting; s; s = s->next)
    if (strcmp(s->name, "perf/kill_tex") == 0) kill = s;
  for (UTL_stat* s : UTL_stat::all_stats()[UTL_stat_tunable])
    if (strcmp(s->name, "perf/kill_tex") == 0) kill = s;
  ASSERT_NE(kill, nullptr);
  kill->value = 1;
  TEX_bind_ref(394, 0, 0);
  EXPECT_EQ(bound(), t_blank_gray);
  TEX_bind_ref(392, 0, 0);
  EXPECT_EQ(bound(), 392);
  kill->value = 0;
}

TEST_F(TmanGL, UnloadForgetsTheBindSoAReloadLandsInItsOwnTexture) {
  tman_class t;
  load_rgba(t, 600, 4, 4, 0x11);
  t.bind_ref(600, 0, 0);
  EXPECT_EQ(t.loaded_texes(), 1);
  t.unload_texture(600);
  EXPECT_FALSE(glIsTexture(600));
  EXPECT_EQ(t.loaded_texes(), 0);
  EXPECT_EQ(t.total_texes(), 0);
  load_rgba(t, 600, 4, 4, 0x77);
  ASSERT_TRUE(glIsTexture(600));
  EXPECT_EQ(texels(600, GL_RGBA, 64), std::vector<unsigned char>(64, 0x77));
  // A reload of the same size and format refills the texture in place; a
  // picture that shows it has changed.
  long long changes = t.changes;
  load_rgba(t, 600, 4, 4, 0x99);
  EXPECT_GT(t.changes, changes);
  EXPECT_EQ(texels(600, GL_RGBA, 64), std::vector<unsigned char>(64, 0x99));
  EXPECT_EQ(t.loaded_texes(), 1);
  EXPECT_EQ(t.total_texes(), 1);
  // Loaded again under a name whose image is missing, the record lets its
  // texture go: it is no longer counted, and its GL texture is deleted.
  changes = t.changes;
  EXPECT_EQ(t.load_texture(tex_fail_quiet, 600, tex_rgba, tex_load_now, "missing.png"), 0);
  EXPECT_EQ(t.loaded_texes(), 0);
  EXPECT_FALSE(glIsTexture(600));
  EXPECT_GT(t.changes, changes) << "a picture that showed the texture has changed";
  t.unload_texture(600);
  EXPECT_EQ(t.loaded_texes(), 0);
  EXPECT_EQ(t.total_texes(), 0);
}

TEST_F(TmanGL, UploadRulesMipmapsClampAndTheFallback) {
  tman_class t;
  // Software mip chain: every level down to 1 x 1, and a third more memory.
  load_rgba(t, 700, 256, 64, 0x50, tex_rgba | tex_mipmap);
  EXPECT_EQ(level_param(700, 8, GL_TEXTURE_WIDTH), 1);
  EXPECT_EQ(level_param(700, 8, GL_TEXTURE_HEIGHT), 1);
  EXPECT_EQ(level_param(700, 2, GL_TEXTURE_WIDTH), 64);
  EXPECT_EQ(t.ref_dat[700].vram, 87162);  // 256 x 64 x 4 x 1.33, cut
  EXPECT_EQ(tex_param(700, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  // Hardware mipmaps: GL builds the chain.
  glExt.automini_avail = 1;
  load_rgba(t, 701, 16, 16, 0x50, tex_rgba | tex_mipmap);
  EXPECT_EQ(tex_param(701, GL_GENERATE_MIPMAP), GL_TRUE);
  glExt.automini_avail = 0;

  load_rgba(t, 702, 4, 4, 0, tex_rgba | tex_clamp_s);
  EXPECT_EQ(tex_param(702, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
  EXPECT_EQ(tex_param(702, GL_TEXTURE_WRAP_T), GL_REPEAT);
  glExt.tex_clamp_avail = 0;
  load_rgba(t, 703, 4, 4, 0, tex_rgba | tex_clamp_st);
  EXPECT_EQ(tex_param(703, GL_TEXTURE_WRAP_S), GL_CLAMP);
  EXPECT_EQ(tex_param(703, GL_TEXTURE_WRAP_T), GL_CLAMP);

  // Rows of any width: RGB rows of 3 pixels are not padded.
  scratch_dx = 3;
  scratch_dy = 2;
  for (int i = 0; i < 18; ++i) scratch_array[i] = static_cast<unsigned char>(i + 1);
  t.load_texture(tex_fail_fatal, 704, tex_rgb | tex_no_pow2, tex_load_now, "scratch_array:rgb");
  EXPECT_EQ(level_param(704, 0, GL_TEXTURE_WIDTH), 3);
  std::vector<unsigned char> rgb = texels(704, GL_RGB, 18);
  for (int i = 0; i < 18; ++i) EXPECT_EQ(rgb[i], i + 1);

  // The blank fallback, once loaded, stands in for a missing image and is
  // never deleted with it.
  load_rgba(t, t_blank_gray, 8, 8, 0x80);
  EXPECT_EQ(t.load_texture(tex_fail_quiet, 40, tex_rgba, tex_load_now, "no-such-file.png"), 0);
  EXPECT_EQ(t.ref_dat[40].tex_id, t_blank_gray);
  EXPECT_EQ(t.ref_dat[40].tex_dx, 8.0f);
  t.unload_texture(40);
  EXPECT_TRUE(glIsTexture(t_blank_gray));
  // A record waiting for the background loader draws as the fallback.
  t.ref_dat[40].load_state = tex_state_pending;
  t.bind_ref(40, 0, 0);
  EXPECT_EQ(bound(), t_blank_gray);

  // A side that is not a power of two uploads as it is with tex_no_pow2
  // (and is refused without it: see the headless tests).
  tex_load_vars v;
  v.ref = 705;
  v.filter = tex_rgba | tex_no_pow2;
  v.gl_format = GL_RGBA;
  v.bytes_per_pixel = 4;
  v.src_dx = v.pow2_dx = 96;
  v.src_dy = v.pow2_dy = 4;
  v.name = "ninety-six";
  v.pixels = scratch_array;
  EXPECT_EQ(t.load_texture_ogl(&v, 1), 705);
  EXPECT_EQ(level_param(705, 0, GL_TEXTURE_WIDTH), 96);

  // A DXT file whose chain the loader decoded (levels 10 and 5 rows high)
  // uploads as one uncompressed chain, each level as decoded.
  TempDir dir;
  const int dxt5 = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
  const fixture::chain c = fixture::compress_chain(dxt5, 12, 10, true, true);
  std::string dds = fixture::make_dds("DXT5", 0x4, 12, 10, 0xA1007, 0x401008, c.bytes.size());
  std::memcpy(&dds[128], c.bytes.data(), c.bytes.size());
  write_file(dir / "odd.dds", dds);
  colr.gamma_on = 0;
  EXPECT_EQ(t.load_texture(tex_fail_fatal, 706, tex_rgba | tex_no_pow2 | tex_mipmap, tex_load_now, dir / "odd.dds"), 706);
  colr.gamma_on = 1;
  EXPECT_EQ(level_param(706, 0, GL_TEXTURE_COMPRESSED), GL_FALSE);
  EXPECT_EQ(level_param(706, 2, GL_TEXTURE_HEIGHT), 2);
  EXPECT_EQ(level_param(706, 3, GL_TEXTURE_WIDTH), 1);
  EXPECT_EQ(texels(706, GL_RGBA, 12 * 10 * 4), fixture::flipped_rows(fixture::decode_dxt(c.bytes.data(), 12, 10, dxt5), 12, 10));

  // Compressed pixels without the compressed upload entry point: nothing is
  // sent, nothing breaks.
  const auto saved = glExt.glCompressedTexImage2DARB;
  glExt.glCompressedTexImage2DARB = nullptr;
  tex_load_vars dxt = v;
  dxt.ref = 707;
  dxt.filter = tex_rgba;
  dxt.gl_format = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
  dxt.src_dx = dxt.pow2_dx = dxt.src_dy = dxt.pow2_dy = 4;
  t.ref_dat.resize(708);
  EXPECT_EQ(t.load_texture_ogl(&dxt, 2), 707);
  EXPECT_EQ(t.ref_dat[707].vram, 4 * 4 * 4);
  glExt.glCompressedTexImage2DARB = saved;
}

TEST_F(TmanGL, EdgeFillSpreadsVisibleColourIntoClearPixelsOfFileImages) {
  tman_class t;
  t.ref_dat.resize(801);
  t.ref_dat[800].format = GL_RGBA;
  // 8 x 2: one opaque red pixel at the left of the bottom row.
  std::vector<unsigned char> px(8 * 2 * 4, 0);
  for (size_t i = 0; i < px.size(); i += 4) px[i + 2] = 200;  // clear blue everywhere
  px[0] = 255;
  px[2] = 0;
  px[3] = 255;
  tex_load_vars v;
  v.ref = 800;
  v.filter = tex_rgba;
  v.gl_format = GL_RGBA;
  v.bytes_per_pixel = 4;
  v.src_dx = v.pow2_dx = 8;
  v.src_dy = v.pow2_dy = 2;
  v.name = "file.png";
  v.pixels = px.data();
  ASSERT_EQ(t.load_texture_ogl(&v, 2), 800);
  const unsigned char* two = &px[2 * 4];
  EXPECT_EQ(two[0], 255);
  EXPECT_EQ(two[2], 0);
  EXPECT_EQ(two[3], 0);
  const unsigned char* three = &px[3 * 4];
  EXPECT_EQ(three[0], 0);
  EXPECT_EQ(three[2], 200);
  const unsigned char* above = &px[(8 + 1) * 4];  // row 1, column 1
  EXPECT_EQ(above[0], 255);
}
