// The layout of the 2-D coordinate system, the scissor box and the names of
// screenshot files, without a display.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <fstream>

#include "support/temp_dir.h"
#include "ui/draw.h"
#include "ui/matrix.h"
#include "ui/xcam.h"
#include "window/mnw.h"

namespace {

class Layout : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = mnw; }
  void TearDown() override { mnw = saved_; }
  mnw_struct saved_{};
};

TEST_F(Layout, PixSpecsAndTheViewport) {
  mnw.x_res = 1280;
  mnw.y_res = 1024;
  mnw.cur_wind = -1;
  xcam.read_gl_modelview = true;
  OGL_pix_specs(0);
  EXPECT_EQ(mnw.inset_x, 0.0f) << "no inset before the first window";
  EXPECT_EQ(mnw.view_w, 1280.0f);
  EXPECT_EQ(mnw.scale, 1.0f);
  EXPECT_TRUE(xcam.read_gl_modelview) << "no viewport applied yet";

  mnw.cur_wind = 0;
  OGL_pix_specs(0);
  EXPECT_EQ(mnw.inset_x, 128.0f);
  EXPECT_TRUE(xcam.is_ortho);
  EXPECT_FALSE(xcam.read_gl_modelview);
  EXPECT_EQ(std::memcmp(xcam.modelview, gIdentity, sizeof gIdentity), 0);
  double m[16];
  buildOrthoMatrix(m, 0, 1280, 0, 1024, -1, 1);
  EXPECT_EQ(std::memcmp(xcam.projection, m, sizeof m), 0);

  // A sub-window gets the same projection: only the origin differs.
  mnw.cur_wind = 994;
  mnw.wind_x = 430;
  OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0);
  EXPECT_EQ(std::memcmp(xcam.projection, m, sizeof m), 0);

  mnw.x_res = 800;
  OGL_pix_specs(0);
  EXPECT_EQ(mnw.inset_x, 0.0f);
}

TEST_F(Layout, ScissorBox) {
  mnw.scale = 1.0f;
  mnw.wind_x = 200;
  mnw.wind_y = 150;
  int box[4];
  OGL_scissor_box(10, 20, 30.7f, 40, box);
  EXPECT_EQ(box[0], 210);
  EXPECT_EQ(box[1], 170);
  EXPECT_EQ(box[2], 30);
  EXPECT_EQ(box[3], 40);
  OGL_scissor_box(10, 20, -5, 40, box);
  EXPECT_EQ(box[2], 0);
}

TEST(Screenshot, NamesSkipFilesOnDiskAndOnlyGrow) {
  TempDir dir;
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  std::ofstream(dir / "screenshot_0.png") << "x";
  std::ofstream(dir / "screenshot_1.png") << "x";
  std::ofstream(dir / "screenshot_3.png") << "x";
  const std::string first = OGL_next_screenshot_name();
  const std::string second = OGL_next_screenshot_name();
  ASSERT_EQ(chdir(old), 0);
  EXPECT_EQ(first, "screenshot_2.png");
  EXPECT_EQ(second, "screenshot_4.png");
}

}  // namespace
