// Start values of the engine's state and the restart of the download streams.

#include "engine/installer_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/install_filter.h"
#include "runtime/xtim.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Values the program has before anything runs. This must not depend on
// other tests, so it only reads globals that every test restores.
TEST(InstallerStateStart, ValuesAtProgramStart) {
  EXPECT_EQ(g_want_sim, 1);
  EXPECT_EQ(g_want_global, 1);
  for (int i = 0; i < kMaxServers; ++i) {
    EXPECT_TRUE(server_name[i].empty()) << i;
    EXPECT_TRUE(server_path[i].empty()) << i;
    EXPECT_TRUE(server_desc[i].empty()) << i;
  }
}

// Saves and clears the globals these tests change.
class InstallerStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_info_.swap(sim_info);
    std::memcpy(&saved_stg_, &stg, sizeof stg);
    std::memcpy(&saved_next_, &next, sizeof next);
    saved_dest_.swap(dest_dir_path);
    saved_elapsed_ = xtim.elapsed;
    std::memset(&stg, 0, sizeof stg);
    std::memset(&next, 0, sizeof next);
  }
  void TearDown() override {
    sim_info.swap(saved_info_);
    std::memcpy(&stg, &saved_stg_, sizeof stg);
    std::memcpy(&next, &saved_next_, sizeof next);
    dest_dir_path.swap(saved_dest_);
    xtim.elapsed = saved_elapsed_;
  }

  static void add_file(const std::string& path) {
    file_version_struct v;
    v.path = path;
    v.sig_want = "0123456789abcdef0123456789abcdef";
    sim_info.push_back(file_history_struct{{v}});
  }
  static void touch(const std::string& path) { write_file(path, "x"); }
  static bool exists(const std::string& path) { return fs::exists(path); }

  TempDir dir_;
  const std::string tmp_ = dir_.path();  // fresh folder, ends with "/"

 private:
  std::vector<file_history_struct> saved_info_;
  stg_struct saved_stg_;
  next_class saved_next_;
  std::string saved_dest_;
  float saved_elapsed_ = 0;
};

TEST_F(InstallerStateTest, ResetForStartSetsTheEntryValues) {
  std::memset(&stg, 0x5a, sizeof stg);
  stg.log_actions = 1;
  stg.get_beta = 1;
  stg.tile_want[3][4] = 1;
  stg.tile_avail[35][17] = 1;
  stg.files_to_get = 5;

  stg_reset_for_start();

  EXPECT_EQ(stg.dir_status, 0);
  EXPECT_EQ(stg.want_os, 3);
  EXPECT_EQ(stg.format_too_new, 0);
  EXPECT_EQ(stg.download_failed, 0);
  EXPECT_EQ(stg.had_errors, 0);
  EXPECT_EQ(stg.num_servers, -1);
  EXPECT_EQ(stg.server_index, 0);
  EXPECT_EQ(stg.file_action, action_not_needed);
  EXPECT_EQ(stg.file_fraction, 0.0f);
  EXPECT_EQ(stg.stream_count, 0);
  EXPECT_EQ(stg.kb_to_download, 0.0f);
  EXPECT_EQ(stg.kb_to_install, 0.0f);

  // Fields the entry leaves alone (the preferences set some of them later).
  EXPECT_EQ(stg.log_actions, 1);
  EXPECT_EQ(stg.get_beta, 1);
  EXPECT_EQ(stg.tile_want[3][4], 1);
  EXPECT_EQ(stg.tile_avail[35][17], 1);
  EXPECT_EQ(stg.files_to_get, 5);
}

TEST_F(InstallerStateTest, CurrentVersionIsTheLast) {
  add_file("Halden/a");
  EXPECT_EQ(&current_version(0), &sim_info[0].versions[0]);

  file_version_struct v;
  v.path = "Halden/b";
  v.sig_want = kSigGone;
  sim_info.push_back(file_history_struct{{v, v, v}});
  sim_info[1].versions[0].sig_want = "1";
  sim_info[1].versions[1].sig_want = "2";
  EXPECT_EQ(&current_version(1), &sim_info[1].versions[2]);
  EXPECT_EQ(current_version(1).sig_want, kSigGone);
}

TEST_F(InstallerStateTest, ResetRemovesStreamArchivesButNoFileOfTheInstallFolder) {
  const std::string inst = tmp_ + "inst/";
  dest_dir_path = inst;
  temp_path = tmp_ + "temp/";
  add_file("Halden/a.dsf");
  add_file("Halden/sub/b.txt");
  touch(inst + "a.dsf");
  touch(inst + "a.dsf.zip");      // the user's own file, whatever its name
  touch(inst + "sub/b.txt.zip");
  for (int s = 0; s < 4; ++s) touch(temp_path + std::to_string(s) + ".zip");
  next.slot_active[0] = next.slot_active[1] = 1;
  next.slot_file[0] = 0;
  next.slot_file[1] = 1;

  next.reset_all_streams();

  EXPECT_TRUE(exists(inst + "a.dsf"));
  EXPECT_TRUE(exists(inst + "a.dsf.zip"));
  EXPECT_TRUE(exists(inst + "sub/b.txt.zip"));
  for (int s = 0; s < 4; ++s) EXPECT_FALSE(exists(temp_path + std::to_string(s) + ".zip")) << s;
  temp_path.clear();
}

TEST_F(InstallerStateTest, ResetRestartsTheStreams) {
  add_file("Halden/a");
  add_file("Halden/b");
  dest_dir_path = tmp_;
  next.next_file = 2;
  next.all_done = 1;
  for (int s = 0; s < 4; ++s) {
    next.slot_active[s] = s != 1;
    next.slot_wants_file[s] = s == 1;
    next.slot_file[s] = 7 + s;
  }
  next.start_time = 1.0f;
  next.kb_partial = 3.5f;
  next.kb_downloaded = 100.0f;
  next.kb_installed = 200.0f;
  xtim.elapsed = 12.5f;

  next.reset_all_streams();

  EXPECT_EQ(next.next_file, 0);
  EXPECT_EQ(next.all_done, 1);  // left as it was
  const int active[4] = {1, 1, 0, 0};
  for (int s = 0; s < 4; ++s) {
    EXPECT_EQ(next.slot_active[s], active[s]) << s;
    EXPECT_EQ(next.slot_wants_file[s], active[s]) << s;
    EXPECT_EQ(next.slot_file[s], 0) << s;
  }
  EXPECT_EQ(next.start_time, 12.5f);
  EXPECT_EQ(next.kb_partial, 0.0f);
  EXPECT_EQ(next.kb_downloaded, 0.0f);
  EXPECT_EQ(next.kb_installed, 0.0f);
}

}  // namespace
