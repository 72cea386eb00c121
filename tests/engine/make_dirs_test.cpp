// Folder creation before an installation writes files.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "engine/make_dirs.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

const char* const kFixed[] = {"Output", "Output/FMS plans", "Output/logbooks", "Output/movies",
                              "Output/situations", "Resources", "Resources/preferences"};

class MakeDirs : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_stg_ = stg;
    saved_dest_ = dest_dir_path;
    stg.want_os = os_linux;
    set_install_filter(1, 1);
    sim_info.clear();
    log_ = std::make_unique<LogCapture>(dir_ / "log.txt");
  }
  void TearDown() override {
    stg = saved_stg_;
    dest_dir_path = saved_dest_;
    sim_info.clear();
    log_.reset();
  }
  void add(const std::string& path, int do_install, int platform = 0) {
    file_version_struct v;
    v.path = path;
    v.do_install = do_install;
    v.platform = platform;
    sim_info.push_back(file_history_struct{{v}});
  }
  // make_dirs with the alerts' console copy kept out of the test output.
  int run() {
    testing::internal::CaptureStderr();
    const int r = make_dirs();
    alerts_ = testing::internal::GetCapturedStderr();
    return r;
  }
  int alert_count() const {
    int n = 0;
    for (std::size_t at = alerts_.find("Install Path:"); at != std::string::npos;
         at = alerts_.find("Install Path:", at + 1))
      ++n;
    return n;
  }

  TempDir dir_;
  std::unique_ptr<LogCapture> log_;
  std::string alerts_;

 private:
  stg_struct saved_stg_{};
  std::string saved_dest_;
};

TEST_F(MakeDirs, MakesTheInstallFolderTheFoldersOfFilesToInstallAndTheWorkingFolders) {
  dest_dir_path = dir_ / "deep/er/Corvane 9/";
  add("Halden/x/a/f1", 1);
  add("Halden/x/b/c/f2", 1);
  add("Halden/top.txt", 1);
  add("Halden/skipped/f3", 0);
  add("Halden/windows only/f4", 1, os_windows);

  ASSERT_EQ(run(), 0);
  EXPECT_EQ(alert_count(), 0);
  for (const char* f : {"x", "x/a", "x/b", "x/b/c"}) EXPECT_TRUE(exists_at_all(dest_dir_path + f)) << f;
  for (const char* f : kFixed) EXPECT_TRUE(exists_at_all(dest_dir_path + f)) << f;
  EXPECT_FALSE(exists_at_all(dest_dir_path + "skipped"));
  EXPECT_FALSE(exists_at_all(dest_dir_path + "windows only"));
  EXPECT_FALSE(exists_at_all(dest_dir_path + "top.txt"));

  // Again, with everything in place: nothing to do, nothing shown.
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(alert_count(), 0);
}

TEST_F(MakeDirs, AnInstallFolderThatCannotBeMadeStopsAtOnce) {
  ASSERT_TRUE(write_file(dir_ / "plain file", "x"));
  dest_dir_path = dir_ / "plain file/Corvane 9/";
  add("Halden/x/f1", 1);
  EXPECT_EQ(run(), ENOTDIR);
  EXPECT_EQ(alert_count(), 1);
  EXPECT_NE(alerts_.find("Install Path:" + dir_.path() + "plain file/Corvane 9\n"), std::string::npos) << alerts_;
  EXPECT_NE(alerts_.find("Install Location: " + dest_dir_path), std::string::npos);
  EXPECT_NE(log_->text().find("An error occurred while creating new folders."), std::string::npos);
}

TEST_F(MakeDirs, AUsersFileWhereAFolderGoesStaysAndTheOtherFoldersAreMade) {
  dest_dir_path = dir_ / "Corvane 9/";
  ASSERT_TRUE(write_file(dest_dir_path + "b", "a file where a folder should be"));
  add("Halden/a/f1", 1);
  add("Halden/b/c/f2", 1);
  add("Halden/d/f3", 1);
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(alert_count(), 0);
  EXPECT_TRUE(exists_at_all(dest_dir_path + "a"));
  EXPECT_TRUE(exists_at_all(dest_dir_path + "d"));
  EXPECT_TRUE(exists_at_all(dest_dir_path + "Output"));
  EXPECT_EQ(read_file(dest_dir_path + "b"), "a file where a folder should be");
}

TEST_F(MakeDirs, AUsersFileWhereAWorkingFolderGoesStaysWithALogLineAndNoAlert) {
  dest_dir_path = dir_ / "Corvane 9/";
  ASSERT_TRUE(write_file(dest_dir_path + "Output", "not a folder"));
  ASSERT_TRUE(write_file(dest_dir_path + "Resources/preferences", "nor this"));
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(alert_count(), 0);
  EXPECT_EQ(read_file(dest_dir_path + "Output"), "not a folder");
  // One line for each file, naming it.
  EXPECT_EQ(log_->text(), "The file " + dest_dir_path + "Output stays where a working folder goes: it and the "
                          "working folders below it are not made.\nThe file " + dest_dir_path +
                          "Resources/preferences stays where a working folder goes: it and the working folders "
                          "below it are not made.\n");
}

}  // namespace
