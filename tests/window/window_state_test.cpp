// Window rules that need no X server: the tooltip's place, the sprite
// cursors, the visual attempts, the pointer transform, the close rule of
// sub-windows and the texture-load warnings.
#include <gtest/gtest.h>

#include <GL/glx.h>
#include <unistd.h>

#include "runtime/globals.h"
#include "support/temp_dir.h"
#include "textures/tman.h"
#include "window/keys.h"
#include "window/macibm.h"
#include "window/mnw.h"
#include "window/mouse_help.h"

namespace {

class WindowState : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = mnw;
    mnw = mnw_struct{};
    mnw.x_res = 800;
    mnw.y_res = 600;
    mnw.scale = 1.0f;
  }
  void TearDown() override {
    mnw = saved_;
  }
  void click_at(float x, float y) {
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.click = 1;
    MACIBM_handleclick(0);
  }
  mnw_struct saved_{};
};

}  // namespace

TEST(MouseHelpPlace, HeightFollowsTheTextWithinItsLimits) {
  EXPECT_EQ(mouse_help_place(49, 400, 300, 0, 0, 800, 600).h, 60.0f) << "20 raised to 60";
  EXPECT_EQ(mouse_help_place(100, 400, 300, 0, 0, 800, 600).h, 60.0f) << "40 raised to 60";
  EXPECT_EQ(mouse_help_place(250, 400, 300, 0, 0, 800, 600).h, 70.0f);
  EXPECT_EQ(mouse_help_place(1500, 400, 300, 0, 0, 800, 600).h, 300.0f) << "320 cut to 300";
}

TEST(MouseHelpPlace, TheBoxStaysOnTheScreen) {
  // At the left edge the frame (10 units around the text) starts at 0.
  EXPECT_EQ(mouse_help_place(10, 0, 300, 0, 0, 800, 600).x, 10.0f);
  EXPECT_EQ(mouse_help_place(10, 500, 300, 0, 0, 800, 600).x, 85.0f);
  // In the alert box (origin 190, 175) the right edge holds the box back.
  EXPECT_EQ(mouse_help_place(10, 700, 100, 190, 175, 800, 600).x, 200.0f);
  EXPECT_EQ(mouse_help_place(10, -300, 100, 190, 175, 800, 600).x, -180.0f);
  // Above the pointer, but under the top edge and over the bottom one.
  EXPECT_EQ(mouse_help_place(10, 400, 300, 0, 0, 800, 600).y, 315.0f);
  EXPECT_EQ(mouse_help_place(10, 400, 590, 0, 0, 800, 600).y, 520.0f);
  EXPECT_EQ(mouse_help_place(10, 400, -200, 190, 175, 800, 600).y, -165.0f);
}

TEST(CursorSprites, CellsOfTheInterfaceImage) {
  const cursor_cell up = cursor_sprite_cell(12, 0);
  EXPECT_FLOAT_EQ(up.u0, 0.640625f);
  EXPECT_FLOAT_EQ(up.u1, 0.69921875f);
  EXPECT_FLOAT_EQ(up.v0, 0.572265625f);
  EXPECT_FLOAT_EQ(up.v1, 0.630859375f);
  const cursor_cell down = cursor_sprite_cell(12, 1);
  EXPECT_FLOAT_EQ(down.u0, 0.703125f);
  EXPECT_FLOAT_EQ(down.u1, 0.76171875f);

  const struct {
    int type, x, y;  // lower-left pixel of the cell
  } cells[] = {{3, 200, 325}, {14, 168, 293}, {13, 168, 325}, {42, 168, 325}};
  for (const auto& c : cells) {
    const cursor_cell cell = cursor_sprite_cell(c.type, 0);
    EXPECT_FLOAT_EQ(cell.u0 * 512.0f, static_cast<float>(c.x)) << c.type;
    EXPECT_FLOAT_EQ(cell.v0 * 512.0f, static_cast<float>(c.y)) << c.type;
    EXPECT_FLOAT_EQ((cell.u1 - cell.u0) * 512.0f, 30.0f);
  }
}

TEST(VisualAttempts, SamplesByLevelAndTheBaseListAboveFour) {
  const int base[15] = {GLX_SAMPLE_BUFFERS, 1, GLX_SAMPLES, 0, GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 1,
                        GLX_GREEN_SIZE,     1, GLX_BLUE_SIZE, 1, GLX_DEPTH_SIZE, 2, None};
  const struct {
    int level, buffers, samples;
  } levels[] = {{0, 0, 0}, {1, 1, 2}, {2, 1, 4}, {3, 1, 8}, {4, 1, 16}, {5, 1, 0}, {7, 1, 0}};
  for (const auto& l : levels) {
    int a[15];
    MACIBM_glx_visual_attributes(l.level, a);
    EXPECT_EQ(a[1], l.buffers) << l.level;
    EXPECT_EQ(a[3], l.samples) << l.level;
    for (int i = 4; i < 15; ++i) EXPECT_EQ(a[i], base[i]);
  }
}

TEST_F(WindowState, PointerPixelsBecomeUnitsOfTheCurrentWindow) {
  MACIBM_startwind(0, 0);
  MACIBM_load_mxy(1, 0, 0);
  EXPECT_EQ(mnw.mouse_x, 0.0f);
  EXPECT_EQ(mnw.mouse_y, 600.0f);
  MACIBM_startwind(wind_alert, 0);
  MACIBM_load_mxy(1, 190, 425);
  EXPECT_EQ(mnw.mouse_x, 0.0f);
  EXPECT_EQ(mnw.mouse_y, 0.0f);

  // A second monitor's window lies to the right, with no origin taken off.
  mnw.sec_mon_open = mnw.sec_mon_inuse = 1;
  mnw.window[1] = 5;
  MACIBM_load_mxy(5, 10, 100);
  EXPECT_EQ(mnw.mouse_x, 810.0f);
  EXPECT_EQ(mnw.mouse_y, 500.0f);
}

TEST_F(WindowState, TopCornersCloseTheClosableSubWindows) {
  MACIBM_startwind(wind_eula, 0);
  click_at(26, 300);
  EXPECT_EQ(mnw.cur_wind, wind_eula) << "one unit outside the corner";
  click_at(25, 300);
  EXPECT_EQ(mnw.cur_wind, 0);

  MACIBM_startwind(wind_eula, 0);
  click_at(475, 280);
  EXPECT_EQ(mnw.cur_wind, 0) << "the top-right corner";

  MACIBM_startwind(wind_eula, 0);
  click_at(250, 279);
  EXPECT_EQ(mnw.cur_wind, wind_eula) << "below the corner areas";

  // Return closes the options window like a corner click, but not the alert.
  MACIBM_startwind(wind_prefs, 0);
  return_hit = 1;
  MACIBM_handleclick(1);
  EXPECT_EQ(mnw.cur_wind, 0);
  EXPECT_EQ(return_hit, 0);
  for (int id : {994, 995, 996, 998, 999}) {
    MACIBM_startwind(id, 0);
    MACIBM_handleclick(1);
    click_at(5, mnw.wind_h - 5);
    EXPECT_EQ(mnw.cur_wind, id) << "closed only through its own buttons";
  }
  MACIBM_startwind(993, 0);
  MACIBM_handleclick(1);
  EXPECT_EQ(mnw.cur_wind, 0);
}

TEST_F(WindowState, TextureFailuresAreShownOnceEachKindOnlyInTheMainWindow) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  char start[4096];
  ASSERT_TRUE(getcwd(start, sizeof start));
  ASSERT_EQ(chdir(dir.path().c_str()), 0);  // the warnings' memory report goes here
  tman.scene_load_fail = 1;
  tman.instl_load_fail = 1;

  MACIBM_startwind(wind_prefs, 0);
  testing::internal::CaptureStderr();
  MACIBM_event_proc();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "not over the options window";
  EXPECT_EQ(tman.scene_load_fail, 1);

  MACIBM_startwind(0, 0);
  testing::internal::CaptureStderr();
  MACIBM_event_proc();
  const std::string shown = testing::internal::GetCapturedStderr();
  const std::size_t scenery = shown.find("Some scenery textures could not be loaded.");
  const std::size_t install = shown.find(
      "This may be an installation problem.  Run the installer/updater again to get these missing textures.");
  ASSERT_NE(scenery, std::string::npos) << shown;
  ASSERT_NE(install, std::string::npos) << shown;
  EXPECT_LT(scenery, install) << "scenery first";
  EXPECT_NE(shown.find("(RAdorud/GenC/hl_mnw line 1566)"), std::string::npos) << shown;
  EXPECT_NE(shown.find("(RAdorud/GenC/hl_mnw line 1568)"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("aircraft"), std::string::npos) << "no aircraft failure to show";
  EXPECT_EQ(tman.scene_load_fail, 2);
  EXPECT_EQ(tman.instl_load_fail, 2);

  testing::internal::CaptureStderr();
  MACIBM_event_proc();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "each kind once";
  tman.scene_load_fail = tman.instl_load_fail = 0;
  EXPECT_EQ(chdir(start), 0);
}
