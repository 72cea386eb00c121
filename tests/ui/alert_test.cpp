#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "files/temp_folder.h"
#include "runtime/cmdline.h"
#include "runtime/globals.h"
#include "support/temp_dir.h"
#include "ui/alert.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "wizard/wizard.h"

TEST(HeadlessAlert, WarningIsLoggedAndReturns) {
  TempDir dir;
  xer.open(dir / "log.txt", std::ios::out | std::ios::trunc);
  testing::internal::CaptureStderr();
  __MACIBM_alert(0, "first", "second", "", "fourth", t_alert, "utils", 525);
  const std::string err = testing::internal::GetCapturedStderr();
  xer.close();

  EXPECT_NE(err.find("first"), std::string::npos);
  EXPECT_NE(err.find("fourth"), std::string::npos);
  EXPECT_NE(err.find("(utils line 525)"), std::string::npos);
  const std::string log = read_file(dir / "log.txt");
  EXPECT_EQ(log,
            "OK check MemoryLog.txt! I just sent him a dump from This is the dump_mem_stats call from the following "
            "code: if(type==t_exit || type == t_alert || recursive_error)\n"
            "\nfirst\nsecond\n\nfourth\n(utils line 525)\n");
  EXPECT_EQ(app_done, 0);
}

TEST(HeadlessAlert, NegativeLineKeepsItsSign) {
  testing::internal::CaptureStderr();
  __MACIBM_alert(0, "x", "", "", "", t_alert, "f.cpp", -3);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("(f.cpp line -3)"), std::string::npos);
}

namespace {

// The run folders (named "corvane-<pid>-...") in a test's folder.
int run_folders_in(const TempDir& dir) {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    n += e.path().filename().string().rfind("corvane-", 0) == 0 ? 1 : 0;
  return n;
}

}  // namespace

TEST(HeadlessAlertDeathTest, FatalAlertEndsWithExitCodeOne) {
  TempDir dir;
  EXPECT_EXIT(
      {
        xer.open(dir / "log.txt", std::ios::out | std::ios::trunc);
        if (make_run_temp_folder(dir.path()).empty()) _exit(3);
        MACIBM_alert(0, "It broke", "badly", "", "", t_exit);
      },
      ::testing::ExitedWithCode(1), "It broke");
  EXPECT_EQ(run_folders_in(dir), 0) << "the run's temporary folder goes with it";
  const std::string log = read_file(dir / "log.txt");
  EXPECT_NE(log.find("\nIt broke\nbadly\n\n\n(") , std::string::npos) << log;
  EXPECT_NE(log.find("\n(alert_test.cpp line "), std::string::npos) << "the file by its own name: " << log;
}

TEST(HeadlessAlert, FrameRateTestOnlyLogs) {
  TempDir dir;
  cmdline.options["--fps_test"] = "1";
  xer.open(dir / "log.txt", std::ios::out | std::ios::trunc);
  testing::internal::CaptureStderr();
  __MACIBM_alert(0, "a", "b", "c", "d", t_alert, "x.cpp", 7);
  const std::string err = testing::internal::GetCapturedStderr();
  xer.close();
  cmdline.options.erase("--fps_test");
  EXPECT_EQ(err, "");
  EXPECT_EQ(read_file(dir / "log.txt"), "a\nb\nc\nd\n(x.cpp line 7)\n");
}

TEST(HeadlessAlertDeathTest, FatalAlertInAFrameRateTestEndsAtOnce) {
  TempDir dir;
  EXPECT_EXIT(
      {
        cmdline.options["--fps_test"] = "1";
        xer.open(dir / "log.txt", std::ios::out | std::ios::trunc);
        if (make_run_temp_folder(dir.path()).empty()) _exit(3);
        MACIBM_alert(0, "fatal in test", "", "", "", t_exit);
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(run_folders_in(dir), 0) << "the run's temporary folder goes with it";
  const std::string log = read_file(dir / "log.txt");
  EXPECT_EQ(log.rfind("fatal in test\n\n\n\n(", 0), 0u) << log;
  EXPECT_EQ(log.find("MemoryLog"), std::string::npos) << "no memory dump line: " << log;
}

// Drawing calls with a bad style or charset are fatal alerts.
TEST(HeadlessAlertDeathTest, BadCharsetAndFrameStylesAreFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  float s, t, w, h;
  EXPECT_EXIT(OGL_strtex(101, 43, &s, &t, &w, &h), ::testing::ExitedWithCode(1), "String proc with bad charset!");
  EXPECT_EXIT(OGL_string(43, 0, 0, "x", 0, 101, 0), ::testing::ExitedWithCode(1), "bad charset");
  EXPECT_EXIT(BTN_frame2(21, 0, 0, 10, 10, "My title"), ::testing::ExitedWithCode(1),
              "Bad BTN_frame2 call!(.|\n)*My title");
  EXPECT_EXIT(BTN_frame1(6, 0, 0, 10, 0), ::testing::ExitedWithCode(1), "Bad BTN_frame1 call!");
  EXPECT_EXIT(BTN_frame0(6, 10.5f, 20, 100), ::testing::ExitedWithCode(1), "BTN_frame0 non-int x_center!");
  EXPECT_EXIT(BTN_frame0(6, 10, 20.5f, 100), ::testing::ExitedWithCode(1), "BTN_frame0 non-int y_center!");
  EXPECT_EXIT(BTN_frame0(7, 10, 20, 100), ::testing::ExitedWithCode(1), "Bad BTN_frame0 call!");
}
