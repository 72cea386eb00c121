#include <gtest/gtest.h>

#include "runtime/globals.h"
#include "ui/focus.h"
#include "window/macibm.h"
#include "window/mnw.h"

namespace {
class StartWindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = mnw;
    mnw = mnw_struct{};
    mnw.x_res = 800;
    mnw.y_res = 600;
    mnw.scale = 1.0f;
  }
  void TearDown() override { mnw = saved_; }
  mnw_struct saved_{};
};
}  // namespace

TEST_F(StartWindTest, SubWindowsAreCentredAndModal) {
  MACIBM_startwind(2, 0);
  EXPECT_EQ(mnw.cur_wind, 2);
  EXPECT_EQ(mnw.modal, 1);
  EXPECT_EQ(mnw.wind_x, 100);
  EXPECT_EQ(mnw.wind_y, 110);
  EXPECT_EQ(stls.window_title, "Prefs");

  MACIBM_startwind(996, 0);
  EXPECT_EQ(mnw.wind_x, 50);
  EXPECT_EQ(mnw.wind_y, 227);
  EXPECT_EQ(mnw.wind_w, 700);
  EXPECT_EQ(mnw.wind_h, 146);
  EXPECT_EQ(stls.window_title, "");

  MACIBM_startwind(998, 0);  // (800 - 561) / 2 = 119.5 rounds away from zero
  EXPECT_EQ(mnw.wind_x, 120);
}

TEST_F(StartWindTest, LargeWindowsAndTwoMonitors) {
  mnw.x_res = 400;
  mnw.y_res = 300;
  MACIBM_startwind(996, 0);
  EXPECT_EQ(mnw.wind_x, 0) << "a window larger than the screen starts at 0";
  EXPECT_EQ(mnw.wind_y, 77);

  mnw.x_res = 2048;
  mnw.y_res = 768;
  MACIBM_startwind(994, 0);
  EXPECT_EQ(mnw.wind_x, 302) << "centred in the left monitor";
}

TEST_F(StartWindTest, MainWindowAndResetOfInputState) {
  stls.window_title = "kept";
  mnw.click = mnw.down = 1;
  mnw.wheel = 3;
  mnw.open_menu = 4;
  focus_id = 2;
  MACIBM_startwind(-1, 0);
  EXPECT_EQ(mnw.cur_wind, -1);
  EXPECT_EQ(mnw.modal, 0);
  EXPECT_EQ(mnw.wind_w, 800);
  EXPECT_EQ(mnw.wind_h, 600);
  EXPECT_EQ(mnw.wind_x, 0);
  EXPECT_EQ(stls.window_title, "kept");
  EXPECT_EQ(mnw.click, 0);
  EXPECT_EQ(mnw.down, 0);
  EXPECT_EQ(mnw.wheel, 0);
  EXPECT_EQ(mnw.open_menu, -1);
  EXPECT_EQ(focus_id, 0);
}

TEST(AppPath, FolderAndExecutableOfThisProcess) {
  std::string folder, file;
  g_case_sensitive = 0;
  MACIBM_set_app_path(&folder, 0);
  EXPECT_EQ(g_case_sensitive, 1);
  MACIBM_set_app_path(&file, 1);
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
  ASSERT_GT(n, 0);
  EXPECT_EQ(file, std::string(buf, static_cast<std::size_t>(n)));
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(file.rfind(folder, 0), 0u);
  EXPECT_EQ(file.find('/', folder.size()), std::string::npos);
}
