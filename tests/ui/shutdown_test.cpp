// The program's ends: the orderly shutdown stops the engine's workers
// before anything they use goes, and every end it controls removes the
// run's temporary folder.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "engine/checksum.h"
#include "engine/disc_install.h"
#include "engine/download.h"
#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "files/md5.h"
#include "files/temp_folder.h"
#include "runtime/globals.h"
#include "support/temp_dir.h"
#include "ui/alert.h"
#include "ui/shutdown.h"

namespace {

// A scan of many files whose tasks are still in flight: n files of the
// install folder dir/inst/.
void start_scan(const TempDir& dir, int n) {
  dest_dir_path = dir / "inst/";
  sim_info.clear();
  for (int i = 0; i < n; ++i) {
    const std::string name = "f" + std::to_string(i) + ".txt";
    write_file(dest_dir_path + name, std::string(20000, static_cast<char>('a' + i % 26)));
    file_version_struct v;
    v.path = "Halden/" + name;
    v.sig_want = "0123456789abcdef0123456789abcdef";
    sim_info.push_back(file_history_struct{{v}});
  }
  int queued = 0;
  float fraction = 0.0f;
  checksum_directory(queued, fraction);
}

}  // namespace

TEST(ShutdownDeathTest, TheOrderlyEndStopsTheEngineWorkersFirstAndRemovesTheTemporaryFolder) {
  TempDir dir;
  EXPECT_EXIT(
      {
        setenv("HOME", (dir / "home").c_str(), 1);
        if (chdir(dir.path().c_str()) != 0) _exit(64);
        xer.open(dir / "log.txt", std::ios::out | std::ios::trunc);
        temp_path = make_run_temp_folder(dir.path());
        write_file(temp_path + "2.zip", "an archive of this run");
        start_scan(dir, 400);
        int bits = checksum_workers ? 0 : 1;
        MACIBM_finishup(1);
        if (checksum_workers || copy_pool || unzip_pool || web_unzip_pool) bits |= 2;
        // Every task that was handed out came back: each file was hashed
        // whole, given up ("NONE") or not reached, never half read.
        for (const file_history_struct& h : sim_info) {
          const file_version_struct& v = h.versions.back();
          std::string whole;
          calc_file_md5(local_path(v.path), whole);
          if (!v.sig_have.empty() && v.sig_have != kSigNone && v.sig_have != whole) bits |= 4;
        }
        if (exists_at_all(temp_path)) bits |= 8;
        _exit(bits);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_TRUE(exists_at_all(dir / "inst/f0.txt")) << "the installed files are not the temporary folder";
}

TEST(ShutdownDeathTest, AFatalAlertRemovesTheTemporaryFolder) {
  TempDir dir;
  std::string made;
  EXPECT_EXIT(
      {
        if (chdir(dir.path().c_str()) != 0) _exit(64);
        temp_path = make_run_temp_folder(dir.path());
        write_file(temp_path + "directory.txt", "of this run");
        write_file(dir / "made.txt", temp_path);
        __MACIBM_alert(0, "fatal", "", "", "", t_exit, "test", 1);
      },
      ::testing::ExitedWithCode(1), "fatal");
  made = read_file(dir / "made.txt");
  ASSERT_FALSE(made.empty());
  EXPECT_FALSE(exists_at_all(made));
}
