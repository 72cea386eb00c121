// The texture manager's table, hash, counts, size rules and refusals. Every
// load here names an image file, and no decoder finds one, so the loads take
// the missing-image road, which makes no GL call: no window is needed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "textures/ogl_extensions.h"
#include "runtime/xtim.h"
#include "textures/tman.h"
#include "window/mnw.h"

namespace {

class TmanTest : public testing::Test {
 protected:
  void SetUp() override {
    mnw.tex_res = 5;
    glExt.max_texture_size = 2048;
  }
  int dyn(const std::string& name, tex_fail_mode fail = tex_fail_quiet) {
    return t.load_texture(fail, 0, tex_rgba, tex_load_now, name);
  }
  int manual(int ref, const std::string& name, tex_fail_mode fail = tex_fail_quiet) {
    return t.load_texture(fail, ref, tex_rgba, tex_load_now, name);
  }
  tman_class t;
};

struct Scaled {
  float factor;
  int sx, sy, tx, ty;
};

Scaled scale(int filter, int dx, int dy, int force = 2) {
  Scaled s{};
  s.factor = TEX_get_scale("x", filter, dx, dy, &s.sx, &s.sy, &s.tx, &s.ty, force);
  return s;
}

}  // namespace

TEST_F(TmanTest, SizeRulesFollowLevelBitsAndLimit) {
  Scaled s = scale(0, 800, 600);
  EXPECT_EQ(s.factor, 1.0f);
  EXPECT_EQ(s.sx, 800);
  EXPECT_EQ(s.tx, 1024);
  EXPECT_EQ(s.ty, 1024);
  s = scale(0, 1024, 70);
  EXPECT_EQ(s.ty, 128);
  s = scale(0, 504, 504);
  EXPECT_EQ(s.tx, 512);

  mnw.tex_res = 3;
  EXPECT_EQ(scale(tex_res_up, 64, 64).factor, 0.5f);
  EXPECT_EQ(scale(tex_res_down, 64, 64).factor, 0.125f);
  EXPECT_EQ(scale(tex_full_res, 64, 64).factor, 1.0f);
  EXPECT_EQ(scale(0, 64, 64, 1).factor, 1.0f);
  mnw.tex_res = 5;
  EXPECT_EQ(scale(tex_res_up, 64, 64).factor, 1.0f);
  EXPECT_EQ(scale(tex_res_up | tex_res_down, 64, 64).factor, 0.5f);
  mnw.tex_res = 0;
  s = scale(0, 16, 16);
  EXPECT_EQ(s.factor, 1.0f / 16);
  EXPECT_EQ(s.sx, 1);
  EXPECT_EQ(s.tx, 1);
  for (int level : {7, -1}) {
    mnw.tex_res = level;
    EXPECT_EQ(scale(0, 64, 64).factor, 1.0f);
  }
  mnw.tex_res = 5;

  glExt.max_texture_size = 512;
  s = scale(0, 1024, 70, 1);
  EXPECT_EQ(s.factor, 0.5f);
  EXPECT_EQ(s.sx, 512);
  EXPECT_EQ(s.sy, 35);
  EXPECT_EQ(s.ty, 64);
  glExt.max_texture_size = 2048;

  s = scale(0, 3, 5);
  EXPECT_EQ(s.tx, 4);
  EXPECT_EQ(s.ty, 8);
  s = scale(tex_no_pow2, 3, 5);
  EXPECT_EQ(s.tx, 3);
  EXPECT_EQ(s.ty, 5);

  EXPECT_EQ(t.scale_rat(), 1.0f);
  mnw.tex_res = 0;
  EXPECT_EQ(t.scale_rat(), 0.03125f);
  mnw.tex_res = 5;
}

TEST_F(TmanTest, SidesOutsideOneTo2048EndTheProgram) {
  const char* msg = "Trying to create a texture either less than 1 or greater than 2048!";
  EXPECT_EXIT(scale(0, 2049, 8), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(scale(0, 8, 0), testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(check_dxy(-3, "img"), testing::ExitedWithCode(1), "img");
}

TEST_F(TmanTest, DynamicRefsComeFromTheTopOfTheFreeRecords) {
  EXPECT_EQ(t.load_texture(tex_fail_quiet, 0, tex_rgba, tex_load_now, ""), 0);
  EXPECT_TRUE(t.ref_dat.empty());

  EXPECT_EQ(dyn("a.png"), kFirstDynamicRef);
  EXPECT_EQ(t.ref_dat.size(), 1136u);
  EXPECT_EQ(dyn("b.png"), 1136);
  for (int i = 2; i <= 25; ++i) EXPECT_EQ(dyn("n" + std::to_string(i)), kFirstDynamicRef + i);
  EXPECT_EQ(t.total_texes(), 26);

  // Free 1140 and 1150: the next new name takes 1150.
  for (int ref : {1140, 1150}) {
    t.release_texture(ref);
    EXPECT_EQ(t.ref_dat[ref].ref_count, 0);
  }
  t.purge_unused_texes();
  EXPECT_EQ(t.total_texes(), 24);
  EXPECT_EQ(t.ref_dat[1140].format, 0);
  EXPECT_EQ(t.ref_dat[1140].name, "un-inited");
  EXPECT_EQ(dyn("fresh"), 1150);
  EXPECT_EQ(dyn("fresher"), 1140);
  EXPECT_EQ(dyn("freshest"), 1161);

  // A purged name is registered afresh; a held one keeps its ref and count.
  EXPECT_EQ(dyn("n5"), 1162);
  EXPECT_EQ(t.ref_dat[1162].ref_count, 1);
  EXPECT_EQ(dyn("n6"), 1141);
  EXPECT_EQ(t.ref_dat[1141].ref_count, 2);
}

TEST_F(TmanTest, NamesAreCountedAndSharedWithManualRefs) {
  const int r = dyn("shared.png");
  EXPECT_EQ(dyn("shared.png"), r);
  EXPECT_EQ(t.ref_dat[r].ref_count, 2);
  EXPECT_EQ(t.total_texes(), 1);

  EXPECT_EQ(manual(600, "panel.png"), 0);  // missing image: a manual load returns 0
  EXPECT_EQ(t.ref_dat[600].ref_count, -1);
  EXPECT_EQ(dyn("panel.png"), 600);        // the name finds the manual ref
  EXPECT_EQ(t.ref_dat[600].ref_count, 0);

  // Loading the manual ref under another name drops the old name.
  EXPECT_EQ(manual(600, "other.png"), 0);
  EXPECT_EQ(t.total_texes(), 2);
  EXPECT_EQ(t.ref_dat[600].name, "panel.png");  // a missing image keeps the old name
  EXPECT_EQ(dyn("other.png"), 600);
  EXPECT_NE(dyn("panel.png"), 600);
  // Freed, a record takes its name out of the table: the name's next load
  // takes a record of its own and counts it, and the counts stay right.
  t.unload_texture(600);
  EXPECT_EQ(t.total_texes(), 2);
  const int again = dyn("other.png");
  EXPECT_NE(again, 600);
  EXPECT_EQ(t.total_texes(), 3);
  // The same for a dynamic record (1135, which a manual load may name too)
  // that is released and purged.
  tman_class u;
  ASSERT_EQ(u.load_texture(tex_fail_quiet, 0, tex_rgba, tex_load_now, "first.png"), kFirstDynamicRef);
  u.load_texture(tex_fail_quiet, kFirstDynamicRef, tex_rgba, tex_load_now, "renamed.png");
  u.release_texture(kFirstDynamicRef);
  u.purge_unused_texes();
  EXPECT_EQ(u.total_texes(), 0);
  EXPECT_EQ(u.load_texture(tex_fail_quiet, 0, tex_rgba, tex_load_now, "renamed.png"), kFirstDynamicRef);
  EXPECT_EQ(u.total_texes(), 1);
  EXPECT_EQ(u.ref_dat[kFirstDynamicRef].ref_count, 1);

  EXPECT_EQ(t.load_texture(tex_fail_quiet, kFirstDynamicRef, tex_rgba, tex_load_now, "top"), 0);
  EXPECT_EQ(t.load_texture(tex_fail_quiet, 700, tex_rgba, static_cast<tex_load_time>(101), "later"), 0);
  EXPECT_EQ(t.load_texture(tex_fail_quiet, 701, tex_rgba, static_cast<tex_load_time>(102), "later2"), 0);
  EXPECT_EQ(t.ref_dat[701].load_state, tex_state_loaded);
}

TEST_F(TmanTest, SharedNameStaysWithTheRefThatHadItFirst) {
  manual(395, "scratch-like");
  manual(393, "scratch-like");
  EXPECT_EQ(dyn("scratch-like"), 395);
  // Unloading the second holder leaves the first one's entry alone.
  t.unload_texture(393);
  EXPECT_EQ(dyn("scratch-like"), 395);
  t.unload_texture(395);
  EXPECT_EQ(dyn("scratch-like"), kFirstDynamicRef);
}

TEST_F(TmanTest, MissingImagesFollowTheirFailMode) {
  TempDir dir;
  LogCapture log(dir / "log.txt");

  EXPECT_EQ(dyn("quiet.png", tex_fail_quiet), kFirstDynamicRef);
  EXPECT_EQ(log.text(), "");

  EXPECT_EQ(manual(20, "plane.png", tex_fail_plane), 0);
  EXPECT_EQ(t.plane_load_fail, 1);
  EXPECT_EQ(t.has_plane_load_fail(), 1);
  EXPECT_EQ(log.text(), "WARNING: we are missing the texture: plane.png.\n");
  t.mute_plane_load_fail();
  manual(21, "plane2.png", tex_fail_plane);
  EXPECT_EQ(t.plane_load_fail, 2);
  EXPECT_EQ(t.has_plane_load_fail(), 0);

  manual(22, "scene.png", tex_fail_scene);
  manual(23, "instl.png", tex_fail_instl);
  EXPECT_EQ(t.has_scene_load_fail(), 1);
  EXPECT_EQ(t.has_instl_load_fail(), 1);
  t.reset_scene_load_fail();
  EXPECT_EQ(t.scene_load_fail, 0);

  // Without a loaded fallback the record shows no texture at all.
  const auto& rec = t.ref_dat[22];
  EXPECT_EQ(rec.tex_id, 0);
  EXPECT_EQ(rec.tex_dx, 0.0f);
  EXPECT_EQ(rec.vram, 0);
  EXPECT_EQ(rec.load_state, tex_state_loaded);
  EXPECT_NE(rec.format, 0);
  EXPECT_EQ(t.loaded_texes(), 0);

  // With the fallback loaded, a missing image takes over its name and sizes.
  t.ref_dat.resize(t_blank_gray + 1);
  auto& blank = t.ref_dat[t_blank_gray];
  blank.tex_id = t_blank_gray;
  blank.format = GL_RGB;
  blank.load_state = tex_state_loaded;
  blank.dx = blank.dy = blank.tex_dx = blank.tex_dy = 8;
  manual(24, "gone.png");
  EXPECT_EQ(t.ref_dat[24].tex_id, t_blank_gray);
  EXPECT_EQ(t.ref_dat[24].tex_dx, 8.0f);
  EXPECT_EQ(t.ref_dat[24].format, GL_RGB);
  EXPECT_EQ(t.ref_dat[24].vram, 0);

  // Unloading it leaves the shared fallback alone and counts one record less.
  const int total = t.total_texes();
  t.unload_texture(24);
  EXPECT_EQ(t.total_texes(), total - 1);
  EXPECT_EQ(t.loaded_texes(), 0);
  EXPECT_EQ(t.ref_dat[24].load_state, tex_state_free);
  EXPECT_EQ(t.ref_dat[24].fail_mode, tex_fail_fatal);
}

TEST_F(TmanTest, ReleaseAndPurge) {
  const int r = dyn("x.png");
  t.release_texture(r);
  EXPECT_EQ(t.ref_dat[r].ref_count, 0);
  EXPECT_EQ(t.ref_dat[r].load_state, tex_state_loaded);  // waits for a purge
  // A small table has nothing to purge.
  tman_class small;
  small.ref_dat.resize(400);
  small.purge_unused_texes();
  EXPECT_EQ(small.ref_dat[399].load_state, tex_state_free);

  EXPECT_EQ(t.tot_vram(), 0 + static_cast<int64_t>(mnw.x_res) * mnw.y_res * mnw.col_res / 8);
  const int saved[3] = {mnw.x_res, mnw.y_res, mnw.col_res};
  mnw.x_res = 800;
  mnw.y_res = 600;
  mnw.col_res = 32;
  EXPECT_EQ(t.tot_vram(), 1920000);
  mnw.x_res = saved[0];
  mnw.y_res = saved[1];
  mnw.col_res = saved[2];
}

TEST_F(TmanTest, RefusalsEndTheProgram) {
  EXPECT_EXIT(t.load_texture(tex_fail_quiet, 5, tex_rgba, static_cast<tex_load_time>(99), "a"),
              testing::ExitedWithCode(1), "Trying to create an invalid texture load_time!");
  EXPECT_EXIT(t.load_texture(tex_fail_quiet, 5, tex_rgba, static_cast<tex_load_time>(103), "a"),
              testing::ExitedWithCode(1), "invalid texture load_time");
  EXPECT_EXIT(manual(-1, "a"), testing::ExitedWithCode(1), "Trying to bind too low or high a manual_ref!");
  EXPECT_EXIT(manual(1136, "a"), testing::ExitedWithCode(1), "too low or high a manual_ref");
  EXPECT_EXIT(t.load_texture(tex_fail_quiet, 5, 0x4000, tex_load_now, "a"), testing::ExitedWithCode(1),
              "Trying to bind an invalid filter type!");
  EXPECT_EXIT(t.load_texture(tex_fail_quiet, 5, tex_mipmap, tex_load_now, "a"), testing::ExitedWithCode(1),
              "BAD color enum for tman");
  EXPECT_EXIT(manual(30, "needed.png", tex_fail_fatal), testing::ExitedWithCode(1),
              "Trying to load a texture that you do not have!(.|\n)*needed.png");
}

TEST_F(TmanTest, ReleaseAndUnloadRulesAreFatal) {
  const int r = dyn("y.png");
  manual(1134, "m.png");
  EXPECT_EXIT(t.release_texture(1134), testing::ExitedWithCode(1),
              "Trying to release a manual texture - use unload_texture.(.|\n)*1134.000000");
  EXPECT_EXIT(t.unload_texture(r), testing::ExitedWithCode(1),
              "Error: dynamic textures should be released, not unloaded.");
  t.release_texture(r);
  EXPECT_EXIT(t.release_texture(r), testing::ExitedWithCode(1), "Ref count went negative");
  t.purge_unused_texes();
  EXPECT_EXIT(t.release_texture(r), testing::ExitedWithCode(1), "Ref count is negative - was never reffed.");
  // A ref outside the table is refused in every operation, never read.
  const char* outside = "missing non-scenery texture - how\\?(.|\n)*ref= +5000";
  EXPECT_EXIT(t.release_texture(5000), testing::ExitedWithCode(1), outside);
  EXPECT_EXIT(t.unload_texture(-2), testing::ExitedWithCode(1), "missing non-scenery texture");
  EXPECT_EXIT(t.unload_texture_internal(5000, 1), testing::ExitedWithCode(1), outside);
  EXPECT_EXIT(t.bind_ref(5000, 0, 0), testing::ExitedWithCode(1), outside);
  // A free record inside the table is refused by binding.
  EXPECT_EXIT(t.bind_ref(50, 0, 0), testing::ExitedWithCode(1), "missing non-scenery texture");
  tex_load_vars v;
  v.ref = 9000;
  EXPECT_EXIT(t.load_texture_ogl(&v, 1), testing::ExitedWithCode(1), "manual_ref>=ref_dat.size");
  // Sides are checked before anything reaches GL.
  v.ref = 60;
  v.filter = tex_rgba;
  v.gl_format = GL_RGBA;
  v.bytes_per_pixel = 4;
  v.pow2_dx = 96;
  v.pow2_dy = 4;
  v.pixels = scratch_array;
  EXPECT_EXIT(t.load_texture_ogl(&v, 1), testing::ExitedWithCode(1),
              "load_tex: Trying to read a texture that is not a power of 2!");
  v.pow2_dx = 4096;
  v.filter |= tex_no_pow2;
  EXPECT_EXIT(t.load_texture_ogl(&v, 1), testing::ExitedWithCode(1), "less than 1 or greater than 2048");
  v.ref = 0;
  EXPECT_EXIT(t.load_texture_ogl(&v, 1), testing::ExitedWithCode(1), "Trying to bind a null ref!");
}

namespace {
std::vector<std::string> g_splash;
uint64_t g_clock_us = 0;
uint64_t test_clock() { return g_clock_us; }
void record_splash(const std::string& message, float* fraction) {
  EXPECT_EQ(fraction, nullptr);
  g_splash.push_back(message);
}
}  // namespace

TEST_F(TmanTest, SplashLineOnlyAfterAPauseAndNotForExemptLoads) {
  // A clock of the test's own, already well past its start, as in a process
  // whose clock other tests started long before this manager's first load.
  g_clock_us = 50000000;
  xtim_class::set_clock(&test_clock);
  tman_show_init = record_splash;
  g_splash.clear();
  manual(499, "warm-up.png");  // the first load follows the one "at 0"
  g_clock_us += 1100000;
  manual(500, "first.png");
  manual(501, "second.png");  // right after the first
  EXPECT_EQ(g_splash, (std::vector<std::string>{"Loading bitmap warm-up.png.", "Loading bitmap first.png."}));
  g_clock_us += 1100000;
  manual(t_interface, "exempt.png");  // exempt ref; still restarts the clock
  manual(502, "third.png");
  g_clock_us += 1100000;
  t.load_texture(tex_fail_quiet, 503, tex_rgba, static_cast<tex_load_time>(101), "later.png");
  EXPECT_EQ(g_splash.size(), 2u);
  tman_show_init = nullptr;
  xtim_class::set_clock(nullptr);
}
