// The install from discs: finding the disc, its description file, the
// copy-and-unpack tasks on their two pools, the disc changes of a run that
// spans two discs, failures, stopping a run, and the two-button question.
// The discs are folders made by ReleaseBuilder::publish_discs; the
// environment variable CORVANE_DISC points the installer at one of them.
#include <gtest/gtest.h>
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/checksum.h"
#include "engine/decisions.h"
#include "engine/delete_files.h"
#include "engine/disc_install.h"
#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "engine/make_dirs.h"
#include "files/io_utils.h"
#include "runtime/globals.h"
#include "runtime/xtim.h"
#include "support/log_capture.h"
#include "support/release_builder.h"
#include "support/temp_dir.h"
#include "support/scripted_clicks.h"
#include "window/macibm.h"
#include "window/mnw.h"

namespace {

const std::string kInstall = "Corvane 900";

// Text of some length that deflates to real compressed data.
std::string content_of(int seed, std::size_t size) {
  std::string out;
  unsigned v = static_cast<unsigned>(seed) * 2654435761u + 1u;
  while (out.size() < size) {
    v = v * 1103515245u + 12345u;
    out += static_cast<char>('a' + (v >> 16) % 26);
    if ((v >> 8) % 11 == 0) out += ' ';
  }
  return out;
}

// Names in a folder, without "." and "..".
std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  DIR* d = opendir(folder.c_str());
  if (!d) return names;
  while (const dirent* e = readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  closedir(d);
  return names;
}

bool run_ok(const std::string& command) { return std::system(command.c_str()) == 0; }

// Sets CORVANE_DISC for the life of the object and puts the old value back.
class DiscVariable {
 public:
  DiscVariable() {
    const char* old = getenv("CORVANE_DISC");
    had_ = old != nullptr;
    if (had_) old_ = old;
  }
  ~DiscVariable() {
    if (had_)
      setenv("CORVANE_DISC", old_.c_str(), 1);
    else
      unsetenv("CORVANE_DISC");
  }
  void set(const std::string& folder) { setenv("CORVANE_DISC", folder.c_str(), 1); }
  void clear() { unsetenv("CORVANE_DISC"); }

 private:
  bool had_ = false;
  std::string old_;
};

class DiscInstall : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The unpack threads set file times with mktime. With TZ unset, glibc
    // reloads the time zone on every call, freeing and copying its name
    // under a lock of its own that ThreadSanitizer cannot see, which it then
    // reports as a race between the threads. Naming the zone (the same one)
    // lets every call after the first one here only read it.
    if (!getenv("TZ")) setenv("TZ", ":/etc/localtime", 1);
    tzset();
  }

  void SetUp() override {
    ASSERT_TRUE(work.ok());
    saved_stg_ = stg;
    stg_reset_for_start();
    stg.log_actions = 0;
    std::memset(stg.tile_want, 0, sizeof stg.tile_want);
    set_install_filter(1, 1);
    temp_path = work / "temp/";
    ASSERT_TRUE(write_file(temp_path + "placeholder", ""));
    dest_dir_path = work / "Corvane 9/";
    install_name = no_install_name;
    dvd_path.clear();
    current_disk = 0;
    want_file_disk = 0;
    sim_info.clear();
    deleted_files.clear();
    install_err_num = 0;
    install_err_msg.clear();
    BTN_script_clear();
    MACIBM_startwind(wind_main, 0);
    disc.clear();
    log_ = std::make_unique<LogCapture>(work / "log.txt");
  }

  void TearDown() override {
    install_files_kill();
    checksum_directory_kill();
    stg = saved_stg_;
    set_install_filter(1, 1);
    sim_info.clear();
    deleted_files.clear();
    temp_path.clear();
    dest_dir_path.clear();
    install_name.clear();
    dvd_path.clear();
    current_disk = 0;
    want_file_disk = 0;
    install_err_num = 0;
    install_err_msg.clear();
    BTN_script_clear();
    log_.reset();
  }

  std::string discs() const { return work / "discs/"; }
  std::string disc_folder(int n) const { return ReleaseBuilder::disc_folder(discs(), n); }
  // Where the archive of a file lies on its disc.
  std::string on_disc(int n, const std::string& path, const std::string& suffix = ".zip") const {
    return disc_folder(n) + kInstall + "/Halden/" + path + suffix;
  }

  void add(const std::string& path, const std::string& content, int disk, int platform = 0) {
    builder.add(path, content, platform, disk);
    release[path] = content;
  }

  void publish(int n_discs = 2) {
    std::string error;
    ASSERT_TRUE(builder.publish_discs(discs(), kInstall, n_discs, &error)) << error;
  }

  // The disc welcome screen, frame by frame, until the directory is read.
  bool scan_disc() {
    for (int frame = 0; frame < 50 && stg.dir_status != 3; ++frame) UTIL_scan_dvd();
    return stg.dir_status == 3;
  }

  // The scan screen and the first frame of the run screen.
  bool start_run() {
    set_install_filter(1, 1);
    scenery_take_all();
    int queued = 0;
    float fraction = 0.0f;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!checksum_directory(queued, fraction)) {
      if (std::chrono::steady_clock::now() > limit) return false;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    recalc_disk_sizes();
    if (!choose_files()) return false;
    if (make_dirs() != 0) return false;
    delete_files();
    return true;
  }

  // Run-screen frames: install_files once per frame until it returns
  // non-zero; 0 when the time ran out.
  int frames(int& f, double seconds = 30.0, int* count = nullptr) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    int n = 0;
    while (std::chrono::steady_clock::now() < limit) {
      ++n;
      const int r = install_files(f, current_disk);
      if (r != 0) {
        if (count) *count = n;
        return r;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    return 0;
  }

  // The disc-change screens: the switch screen's first frame forgets the
  // disc, then the verify screen looks for it again.
  bool change_disc(int n) {
    disc.set(disc_folder(n));
    UTIL_switch_disk(1);
    EXPECT_TRUE(dvd_path.empty());
    return UTIL_verify_disk();
  }

  int index_of(const std::string& path) const {
    for (std::size_t i = 0; i < sim_info.size(); ++i)
      if (sim_info[i].versions.back().path == "Halden/" + path) return static_cast<int>(i);
    return -1;
  }

  std::string local(const std::string& path) const { return dest_dir_path + path; }

  // No archive copy is left in the temporary folder.
  void expect_temp_clean() {
    for (const std::string& n : names_in(temp_path)) {
      EXPECT_FALSE(n.size() > 4 && (n.compare(n.size() - 4, 4, ".zip") == 0 || n.compare(n.size() - 3, 3, ".7z") == 0))
          << "left in the temporary folder: " << n;
    }
  }

  void expect_release_installed() {
    for (const auto& [path, content] : release) {
      EXPECT_TRUE(read_file(local(path)) == content) << path << " differs from the release";
      const int i = index_of(path);
      ASSERT_GE(i, 0) << path;
      EXPECT_EQ(current_version(i).is_current, 1) << path;
    }
  }

  std::string log_text() { return log_->text(); }

  TempDir work;
  ReleaseBuilder builder{work / "staging/"};
  std::map<std::string, std::string> release;  // what the install must leave, by path
  DiscVariable disc;

 private:
  stg_struct saved_stg_{};
  std::unique_ptr<LogCapture> log_;
};

// ---------------------------------------------------------------------------
// A whole run over two discs

TEST_F(DiscInstall, RunsOverTwoDiscsInTableOrderAndLeavesEveryFileCurrent) {
  const std::string kTile1 = "Custom Scenery/Global Scenery/+40-080/+45-075.dsf";
  const std::string kTile2 = "Custom Scenery/Global Scenery/-10+020/-05+025.dsf";
  builder.add("Resources/a.txt", "the old a", 0, 0);  // an earlier version, replaced below
  add("Resources/a.txt", content_of(1, 30000), 0);
  add("Resources/sub dir/b.txt", content_of(2, 5000), 0);
  add(kTile1, content_of(3, 40000), 1);
  add(kTile2, content_of(4, 100), 1);
  add("Aircraft/c.acf", content_of(5, 7000), 1);
  add("Resources/kept.txt", "already installed", 1);  // current locally: no copy, no disc wanted
  builder.add("Resources/mac only.txt", "not for this system", 1, 1);  // filtered out
  builder.add("Resources/old.txt", "old file", 0, 0);
  builder.add_gone("Resources/old.txt", 0, 0);
  add("Resources/z.txt", content_of(6, 2000), 0);  // back on the first disc
  publish();
  // The file that is current already need not be on the disc at all.
  ASSERT_EQ(std::remove(on_disc(1, "Resources/kept.txt").c_str()), 0);
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path,
                                      {{"Resources/kept.txt", "already installed"}, {"Resources/old.txt", "old file"}}));

  // The welcome screen: the disc named without its final '/'.
  std::string first = disc_folder(0);
  first.pop_back();
  disc.set(first);
  ASSERT_TRUE(scan_disc());
  EXPECT_EQ(dvd_path, disc_folder(0));
  EXPECT_EQ(install_name, kInstall);
  ASSERT_TRUE(start_run());
  EXPECT_FALSE(exists_at_all(local("Resources/old.txt"))) << "the deletions run before the copies";

  // Disc 0 until the first file of disc 1.
  int f = 0;
  ASSERT_EQ(frames(f), 2);
  EXPECT_EQ(f, index_of(kTile1));
  EXPECT_TRUE(read_file(local("Resources/a.txt")) == release["Resources/a.txt"]);
  EXPECT_TRUE(read_file(local("Resources/sub dir/b.txt")) == release["Resources/sub dir/b.txt"]);
  EXPECT_FALSE(exists_at_all(local(kTile1)));
  EXPECT_NE(copy_pool, nullptr) << "the pools stay while the run waits for a disc";

  // The disc-change screens: the old disc is still in the drive at first.
  want_file_disk = f;
  EXPECT_EQ(UTIL_switch_disk(0), 1);
  EXPECT_EQ(dvd_path, disc_folder(0)) << "without eject the disc is kept";
  EXPECT_EQ(UTIL_switch_disk(1), 1);
  EXPECT_TRUE(dvd_path.empty());
  EXPECT_FALSE(UTIL_verify_disk()) << "disc 0 does not hold the file";
  EXPECT_EQ(current_disk, 0);
  ASSERT_TRUE(change_disc(1));
  EXPECT_EQ(current_disk, 1);
  EXPECT_EQ(dvd_path, disc_folder(1));

  // Disc 1 until the later file of disc 0.
  ASSERT_EQ(frames(f), 2);
  EXPECT_EQ(f, index_of("Resources/z.txt"));
  want_file_disk = f;
  EXPECT_EQ(UTIL_switch_disk(1), 0);
  EXPECT_FALSE(UTIL_verify_disk()) << "disc 1 does not hold the file";
  ASSERT_TRUE(change_disc(0));
  EXPECT_EQ(current_disk, 0);

  ASSERT_EQ(frames(f), 1);
  EXPECT_EQ(f, static_cast<int>(sim_info.size()));
  EXPECT_EQ(copy_pool, nullptr);
  EXPECT_EQ(unzip_pool, nullptr);
  std::string message;
  EXPECT_EQ(install_files_get_error(message), 0);

  expect_release_installed();
  EXPECT_FALSE(exists_at_all(local("Resources/mac only.txt")));
  EXPECT_FALSE(exists_at_all(local("Resources/old.txt")));
  expect_temp_clean();

  // A fresh scan finds every wanted file current.
  int queued = 0;
  float fraction = 0.0f;
  while (!checksum_directory(queued, fraction)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  for (const auto& [path, content] : release) EXPECT_EQ(current_version(index_of(path)).is_current, 1) << path;
}

TEST_F(DiscInstall, FirstFileOnTheSecondDiscAsksForItBeforeAnyTaskStarts) {
  add("Resources/a.txt", "on the second disc", 1);
  add("Resources/b.txt", "on the first disc", 0);
  publish();
  disc.set(disc_folder(0));
  ASSERT_TRUE(scan_disc());
  ASSERT_TRUE(start_run());
  int f = 0;
  EXPECT_EQ(install_files(f, current_disk), 2);
  EXPECT_EQ(f, 0);
  EXPECT_EQ(copy_pool->count_total_tasks(), 0u);
  // The right disc already in the drive: verify succeeds at once.
  want_file_disk = f;
  ASSERT_TRUE(change_disc(1));
  ASSERT_EQ(frames(f), 2);
  want_file_disk = f;
  ASSERT_TRUE(change_disc(0));
  ASSERT_EQ(frames(f), 1);
  expect_release_installed();
}

TEST_F(DiscInstall, NothingToInstallFinishesOnTheFirstCall) {
  add("Resources/a.txt", "current", 0);
  publish(1);
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, {{"Resources/a.txt", "current"}}));
  disc.set(disc_folder(0));
  ASSERT_TRUE(scan_disc());
  ASSERT_TRUE(start_run());
  int f = 0;
  EXPECT_EQ(install_files(f, 0), 1);
  EXPECT_EQ(f, 1);
  EXPECT_EQ(copy_pool, nullptr);
  EXPECT_EQ(unzip_pool, nullptr);
}

// ---------------------------------------------------------------------------
// Failures

TEST_F(DiscInstall, DamagedArchiveGivesTheUnzipErrorAndTheRunGoesOnWithTheRest) {
  add("Resources/a.txt", content_of(7, 3000), 0);
  // The user's b is an earlier release's, so it is replaced without a question.
  builder.add("Resources/b.txt", "the user's old b", 0, 0);
  add("Resources/b.txt", content_of(8, 60000), 0);
  add("Resources/c.txt", content_of(9, 3000), 0);
  publish(1);
  // Damage the compressed data of b, keeping the catalogue readable.
  const std::string archive = on_disc(0, "Resources/b.txt");
  std::string bytes = read_file(archive);
  ASSERT_GT(bytes.size(), 2000u);
  for (std::size_t i = 300; i < 1300; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
  ASSERT_TRUE(write_file(archive, bytes));
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, {{"Resources/b.txt", "the user's old b"}}));

  disc.set(disc_folder(0));
  ASSERT_TRUE(scan_disc());
  ASSERT_TRUE(start_run());
  stg.log_actions = 1;
  int f = 0;
  ASSERT_EQ(frames(f), 3);
  std::string message;
  const int code = install_files_get_error(message);
  EXPECT_NE(code, 0);
  EXPECT_EQ(message.rfind("I was unable to unzip the file " + temp_path, 0), 0u) << message;
  EXPECT_NE(message.find(" to the folder " + dest_dir_path + "Resources/."), std::string::npos) << message;
  // Read once: a second call has nothing.
  EXPECT_EQ(install_files_get_error(message), 0);
  EXPECT_EQ(message, "");

  // "Continue": the rest of the run completes; the failed file is not retried.
  ASSERT_EQ(frames(f), 1);
  EXPECT_TRUE(read_file(local("Resources/a.txt")) == release["Resources/a.txt"]);
  EXPECT_TRUE(read_file(local("Resources/c.txt")) == release["Resources/c.txt"]);
  EXPECT_EQ(read_file(local("Resources/b.txt")), "the user's old b") << "a failed unpack keeps the old file";
  EXPECT_EQ(current_version(index_of("Resources/b.txt")).is_current, 0);
  EXPECT_NE(current_version(index_of("Resources/b.txt")).sig_have, current_version(index_of("Resources/b.txt")).sig_want);
  expect_temp_clean();
  const std::string log = log_text();
  EXPECT_NE(log.find("EXPANDING file " + local("Resources/a.txt") + ", with result=0.\n"), std::string::npos) << log;
  EXPECT_NE(log.find("EXPANDING file " + local("Resources/b.txt") + ", with result=" + std::to_string(code) + ". " +
                     "I was unable to unzip the file "),
            std::string::npos)
      << log;
}

TEST_F(DiscInstall, ArchiveWithMoreThanItsFileIsRefusedAndWritesNothing) {
  add("Resources/a.txt", "a", 0);
  add("Resources/b.txt", "b", 0);
  publish(1);
  // b's archive also holds a file that would land beside it.
  const std::string staging = work / "bad/";
  ASSERT_TRUE(write_file(staging + "b.txt", "b"));
  ASSERT_TRUE(write_file(staging + "intruder.txt", "not in the release"));
  const std::string archive = on_disc(0, "Resources/b.txt");
  ASSERT_EQ(std::remove(archive.c_str()), 0);
  ASSERT_TRUE(run_ok("cd '" + staging + "' && zip -q '" + archive + "' b.txt intruder.txt"));

  disc.set(disc_folder(0));
  ASSERT_TRUE(scan_disc());
  ASSERT_TRUE(start_run());
  int f = 0;
  ASSERT_EQ(frames(f), 3);
  std::string message;
  EXPECT_EQ(install_files_get_error(message), err_not_the_file);
  EXPECT_EQ(message.rfind("I was unable to unzip the file ", 0), 0u) << message;
  ASSERT_EQ(frames(f), 1);
  EXPECT_FALSE(exists_at_all(local("Resources/intruder.txt")));
  EXPECT_FALSE(exists_at_all(local("Resources/b.txt")));
  EXPECT_EQ(read_file(local("Resources/a.txt")), "a");
  expect_temp_clean();
  EXPECT_NE(log_text().find("Refused to unpack "), std::string::npos);
}

TEST_F(DiscInstall, FilesThatAreNotTheReleasedOnesAreNotPutInPlace) {
  // The installed a and b are an earlier release's.
  builder.add("Resources/a.txt", "old a", 0, 0);
  add("Resources/a.txt", content_of(1, 3000), 0);
  builder.add("Resources/b.txt", "old b", 0, 0);
  add("Resources/b.txt", content_of(2, 3000), 0);  // about 3 KB in the directory
  add("Global Scenery/+40-080.dsf", content_of(3, 5000), 0);
  publish(1);
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, {{"Resources/a.txt", "old a"}, {"Resources/b.txt", "old b"}}));
  // a's archive holds other bytes of the same size, b's far more bytes than
  // the directory gives, and the scenery's 7z other bytes.
  const std::string staging = work / "forged/";
  ASSERT_TRUE(write_file(staging + "a.txt", content_of(11, 3000)));
  ASSERT_TRUE(write_file(staging + "b.txt", std::string(4 << 20, 'b')));
  ASSERT_TRUE(write_file(staging + "+40-080.dsf", content_of(13, 5000)));
  for (const char* name : {"a.txt", "b.txt"}) {
    const std::string archive = on_disc(0, std::string("Resources/") + name);
    ASSERT_EQ(std::remove(archive.c_str()), 0);
    ASSERT_TRUE(run_ok("cd '" + staging + "' && zip -q '" + archive + "' " + name));
  }
  const std::string scenery = on_disc(0, "Global Scenery/+40-080.dsf", ".7z");
  ASSERT_EQ(std::remove(scenery.c_str()), 0);
  ASSERT_TRUE(run_ok("cd '" + staging + "' && 7z a -bd -bso0 -bsp0 '" + scenery + "' +40-080.dsf"));

  disc.set(disc_folder(0));
  ASSERT_TRUE(scan_disc());
  ASSERT_TRUE(start_run());
  int f = 0;
  std::set<int> codes;
  for (int r; (r = frames(f)) == 3;) {
    std::string message;
    codes.insert(install_files_get_error(message));
    EXPECT_EQ(message.rfind("I was unable to unzip the file ", 0), 0u) << message;
  }
  EXPECT_EQ(codes, (std::set<int>{err_wrong_signature, err_too_large}));
  EXPECT_EQ(read_file(local("Resources/a.txt")), "old a");
  EXPECT_EQ(read_file(local("Resources/b.txt")), "old b");
  EXPECT_FALSE(exists_at_all(local("Global Scenery/+40-080.dsf")));
  for (const char* path : {"Resources/a.txt", "Resources/b.txt", "Global Scenery/+40-080.dsf"})
    EXPECT_EQ(current_version(index_of(path)).is_current, 0) << path;
  const std::string log = log_text();
  EXPECT_NE(log.find("its signature is " + ReleaseBuilder::md5_of(content_of(11, 3000)) + ", the directory wants " +
                     ReleaseBuilder::md5_of(release["Resources/a.txt"])),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Did not install " + local("Resources/b.txt")), std::string::npos) << log;
  expect_temp_clean();
}

TEST_F(DiscInstall, MissingArchiveGivesTheCopyErrorOnly) {
  add("Resources/a.txt", "a", 0);
  publish(1);
  ASSERT_EQ(std::remove(on_disc(0, "Resources/a.txt").c_str()), 0);
  disc.set(disc_folder(0));
  ASSERT_TRUE(scan_disc());
  ASSERT_TRUE(start_run());
  int f = 0;
  ASSERT_EQ(frames(f), 3);
  std::string message;
  EXPECT_EQ(install_files_get_error(message), ENOENT);
  EXPECT_EQ(message, "I was unable to copy the file " + on_disc(0, "Resources/a.txt") + " from the DVD to the hard drive.");
  ASSERT_EQ(frames(f), 1);
  EXPECT_EQ(current_version(0).is_current, 0);
  EXPECT_FALSE(exists_at_all(local("Resources/a.txt")));
  expect_temp_clean();
}

TEST_F(DiscInstall, TwoFailuresInOneFrameAreReportedOneAtATime) {
  add("Resources/a.txt", "a", 0);
  add("Resources/b.txt", "b", 0);
  add("Resources/c.txt", "c", 0);
  publish(1);
  ASSERT_EQ(std::remove(on_disc(0, "Resources/a.txt").c_str()), 0);
  ASSERT_EQ(std::remove(on_disc(0, "Resources/b.txt").c_str()), 0);
  disc.set(disc_folder(0));
  ASSERT_TRUE(scan_disc());
  ASSERT_TRUE(start_run());
  int f = 0;
  std::vector<std::string> failed;
  int r = 0;
  while ((r = frames(f)) == 3) {
    std::string message;
    EXPECT_EQ(install_files_get_error(message), ENOENT);
    failed.push_back(message);
  }
  EXPECT_EQ(r, 1);
  ASSERT_EQ(failed.size(), 2u);
  // The unpack threads may hand them back in either order.
  const std::string both = failed[0] + failed[1];
  EXPECT_NE(both.find("Resources/a.txt.zip"), std::string::npos) << both;
  EXPECT_NE(both.find("Resources/b.txt.zip"), std::string::npos) << both;
  EXPECT_EQ(read_file(local("Resources/c.txt")), "c");
}

// ---------------------------------------------------------------------------
// Stopping a run

TEST_F(DiscInstall, KillLetsEveryArchiveHandedOutBeCopiedAndUnpacked) {
  for (int i = 0; i < 25; ++i) add("Resources/many/f" + std::to_string(i) + ".txt", content_of(100 + i, 20000), 0);
  publish(1);
  disc.set(disc_folder(0));
  ASSERT_TRUE(scan_disc());
  ASSERT_TRUE(start_run());
  int f = 0;
  ASSERT_EQ(install_files(f, 0), 0);
  EXPECT_EQ(f, 25);
  ASSERT_NE(copy_pool, nullptr);
  EXPECT_GT(copy_pool->count_total_tasks() + unzip_pool->count_total_tasks(), 0u);
  install_files_kill();
  EXPECT_EQ(copy_pool, nullptr);
  EXPECT_EQ(unzip_pool, nullptr);
  expect_release_installed();
  expect_temp_clean();
  install_files_kill();  // nothing left to stop
}

// ---------------------------------------------------------------------------
// Letter case on the disc

TEST_F(DiscInstall, DiscWhoseFoldersDifferInCaseFromTheDirectory) {
  const std::string kTile = "Custom Scenery/Global Scenery/+40-080/+45-075.dsf";
  add("Resources/sub/a.txt", content_of(10, 4000), 0);
  add(kTile, content_of(11, 4000), 0);
  publish(1);
  const std::string d = disc_folder(0);
  ASSERT_EQ(rename((d + kInstall + "/Halden/Resources").c_str(), (d + kInstall + "/Halden/RESOURCES").c_str()), 0);
  ASSERT_EQ(rename((d + kInstall + "/Halden/Custom Scenery").c_str(), (d + kInstall + "/Halden/custom scenery").c_str()), 0);
  ASSERT_EQ(rename((d + kInstall + "/Halden").c_str(), (d + kInstall + "/HALDEN").c_str()), 0);
  ASSERT_EQ(rename((d + kInstall + "/directory.txt.zip").c_str(), (d + kInstall + "/Directory.TXT.zip").c_str()), 0);
  ASSERT_EQ(rename((d + kInstall).c_str(), (d + "CORVANE 900").c_str()), 0);

  disc.set(d);
  ASSERT_TRUE(scan_disc());
  ASSERT_TRUE(start_run());
  want_file_disk = index_of(kTile);
  EXPECT_TRUE(UTIL_verify_disk());
  int f = 0;
  ASSERT_EQ(frames(f), 1);
  expect_release_installed();
  expect_temp_clean();
}

TEST_F(DiscInstall, AFolderThatBecomesAFileAndAFileThatBecomesAFolderAreInstalled) {
  // thing/ becomes a file; blob becomes a folder; the only file of solo/
  // is replaced by another; the copy spells its resources folder in lower
  // case.
  builder.add("Resources/thing/a.txt", "a", 0, 0);
  builder.add_gone("Resources/thing/a.txt", 0, 0);
  add("Resources/thing", "thing is a file now", 0);
  builder.add("Resources/blob", "blob", 0, 0);
  builder.add_gone("Resources/blob", 0, 0);
  add("Resources/blob/inner.txt", "inner", 0);
  builder.add("Resources/solo/old.txt", "old", 0, 0);
  builder.add_gone("Resources/solo/old.txt", 0, 0);
  add("Resources/solo/new.txt", "new", 0);
  publish(1);
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, {{"Resources/thing/a.txt", "a"},
                                                      {"Resources/blob", "blob"},
                                                      {"Resources/solo/old.txt", "old"}}));
  ASSERT_EQ(rename(local("Resources").c_str(), local("resources").c_str()), 0);

  disc.set(disc_folder(0));
  ASSERT_TRUE(scan_disc());
  ASSERT_TRUE(start_run());
  int f = 0;
  ASSERT_EQ(frames(f), 1);
  std::string message;
  EXPECT_EQ(install_files_get_error(message), 0) << message;
  EXPECT_EQ(stg.had_errors, 0);
  EXPECT_EQ(read_file(local("resources/thing")), "thing is a file now");
  EXPECT_EQ(read_file(local("resources/blob/inner.txt")), "inner");
  EXPECT_EQ(read_file(local("resources/solo/new.txt")), "new");
  EXPECT_FALSE(exists_at_all(local("resources/solo/old.txt")));
  EXPECT_FALSE(exists_at_all(local("Resources"))) << "no second folder";
  EXPECT_TRUE(exists_at_all(local("resources/preferences")));
  expect_temp_clean();
  // A fresh scan finds every file current and nothing to delete.
  ASSERT_TRUE(start_run());
  ASSERT_EQ(frames(f = 0), 1);
  for (const auto& h : sim_info) {
    const file_version_struct& v = h.versions.back();
    EXPECT_EQ(v.sig_want == kSigGone ? v.sig_have == kSigNone : v.is_current == 1, true) << v.path;
    EXPECT_EQ(v.do_install + v.do_delete, 0) << v.path;
  }
}

// ---------------------------------------------------------------------------
// The welcome screen's scan

TEST_F(DiscInstall, ScanReadsTheNameOnlyFromAnAcceptedDiscFile) {
  add("Resources/a.txt", "a", 0);
  publish(1);
  const std::string d = disc_folder(0);

  // No disc file: the name stays unknown and nothing else happens.
  ASSERT_EQ(std::remove((d + "dvd_version.txt").c_str()), 0);
  disc.set(d);
  UTIL_scan_dvd();
  EXPECT_EQ(dvd_path, d);
  EXPECT_EQ(install_name, no_install_name);
  EXPECT_EQ(stg.dir_status, 0);

  // Another kind of file.
  ASSERT_TRUE(write_file(d + "dvd_version.txt", "I\n900 version\nINSTALLER\nVERSION " + kInstall + "\n"));
  UTIL_scan_dvd();
  EXPECT_EQ(install_name, no_install_name);
  EXPECT_EQ(stg.dir_status, 0);

  // The disc file in another letter case.
  ASSERT_EQ(std::remove((d + "dvd_version.txt").c_str()), 0);
  ASSERT_TRUE(write_file(d + "DVD_VERSION.TXT", "I\n900 version\nDVD\nVERSION " + kInstall + "\n"));
  UTIL_scan_dvd();
  EXPECT_EQ(install_name, kInstall);
  EXPECT_EQ(stg.dir_status, 3);
  EXPECT_EQ(sim_info.size(), 1u);

  // Once read, later frames change nothing, even with another disc.
  disc.set(work / "elsewhere/");
  UTIL_scan_dvd();
  EXPECT_EQ(dvd_path, d);
  EXPECT_EQ(install_name, kInstall);
}

TEST_F(DiscInstall, ARefusedDiscFileIsLoggedOncePerDiscFolder) {
  add("Resources/a.txt", "a", 0);
  publish(1);
  const std::string d = disc_folder(0);
  const std::string other = work / "other disc/";
  ASSERT_TRUE(write_file(d + "dvd_version.txt", "I\n900 version\nINSTALLER\nVERSION " + kInstall + "\n"));
  ASSERT_TRUE(write_file(other + "dvd_version.txt", "I\n900 version\nDVD\nVERSION \t\n"));
  const auto times_logged = [&](const std::string& folder) {
    const std::string log = log_text();
    const std::string line = "The disc at " + folder + " is not used: its \"dvd_version.txt\" is no disc description"
                             " or names no install folder.\n";
    int n = 0;
    for (std::size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++n;
    return n;
  };

  // Another kind of file: the welcome screen's frames log it once.
  disc.set(d);
  for (int frame = 0; frame < 5; ++frame) UTIL_scan_dvd();
  EXPECT_EQ(install_name, no_install_name);
  EXPECT_EQ(times_logged(d), 1);

  // A disc file whose VERSION line names nothing, in another folder.
  UTIL_switch_disk(1);
  disc.set(other);
  for (int frame = 0; frame < 5; ++frame) UTIL_scan_dvd();
  EXPECT_EQ(dvd_path, other);
  EXPECT_EQ(install_name, no_install_name);
  EXPECT_EQ(times_logged(other), 1);
  EXPECT_EQ(times_logged(d), 1);

  // The first disc, its file now accepted: read, and nothing more logged.
  UTIL_switch_disk(1);
  ASSERT_TRUE(write_file(d + "dvd_version.txt", "I\n900 version\nDVD\nVERSION " + kInstall + "\n"));
  disc.set(d);
  ASSERT_TRUE(scan_disc());
  EXPECT_EQ(install_name, kInstall);
  EXPECT_EQ(times_logged(d), 1);
  EXPECT_EQ(times_logged(other), 1);
}

TEST_F(DiscInstall, SuffixFollowsTheGlobalSceneryFolderNameExactly) {
  sim_info.resize(3);
  sim_info[0].versions.resize(1);
  sim_info[0].versions[0].path = "Halden/Custom Scenery/Global Scenery/+40-080/+45-075.dsf";
  sim_info[1].versions.resize(1);
  sim_info[1].versions[0].path = "Halden/Custom Scenery/global scenery/+40-080/+45-075.dsf";
  sim_info[2].versions.resize(1);
  sim_info[2].versions[0].path = "Halden/Global Scenery.txt";
  EXPECT_EQ(suffix_for_file(0), ".7z");
  EXPECT_EQ(suffix_for_file(1), ".zip");
  EXPECT_EQ(suffix_for_file(2), ".7z");
}

TEST_F(DiscInstall, TaskNamesItsCopyAfterSignatureAndIndexInsideTheTempFolder) {
  dvd_path = "/media/disc/";
  install_name = kInstall;
  sim_info.resize(14);
  for (auto& h : sim_info) {
    h.versions.resize(1);
    h.versions[0].path = "Halden/Resources/x.txt";
    h.versions[0].sig_want = "0123456789abcdef0123456789abcdef";
  }
  sim_info[13].versions[0].sig_want = "../../../home/victim/.profile";
  sim_info[13].versions[0].path = "Halden/Custom Scenery/Global Scenery/+40-080/+45-075.dsf";

  dvd_unpack_task a(12, temp_path);
  dvd_unpack_task b(11, temp_path);
  EXPECT_EQ(a.temp_file, temp_path + "0123456789abcdef0123456789abcdef_12..zip");
  EXPECT_NE(a.temp_file, b.temp_file);
  EXPECT_EQ(a.dest_path, dest_dir_path + "Resources/x.txt");
  EXPECT_EQ(a.source, "/media/disc/" + kInstall + "/Halden/Resources/x.txt.zip");
  EXPECT_EQ(a.stage, 0);
  EXPECT_EQ(a.err, 0);

  dvd_unpack_task c(13, temp_path);
  EXPECT_EQ(c.suffix, ".7z");
  EXPECT_EQ(c.temp_file.find('/', temp_path.size()), std::string::npos) << c.temp_file;
  EXPECT_EQ(c.temp_file.rfind("..7z"), c.temp_file.size() - 4);
}

TEST_F(DiscInstall, SwitchAndVerifyWithoutADisc) {
  sim_info.resize(1);
  sim_info[0].versions.resize(1);
  sim_info[0].versions[0].path = "Halden/Resources/x.txt";
  sim_info[0].versions[0].disk = 3;
  want_file_disk = 0;
  current_disk = 1;
  disc.set(work / "empty-drive");
  EXPECT_EQ(UTIL_switch_disk(1), 3);
  EXPECT_FALSE(UTIL_verify_disk());
  EXPECT_EQ(current_disk, 1);
  EXPECT_EQ(dvd_path, work / "empty-drive/");
  want_file_disk = 5;  // outside the table
  EXPECT_FALSE(UTIL_verify_disk());
}

// ---------------------------------------------------------------------------
// The disc description file

bool parse_copy(const std::string& text, std::string& name) {
  // An exact-size heap copy, so a read past the end is caught.
  std::unique_ptr<char[]> buf(new char[text.size() ? text.size() : 1]);
  std::memcpy(buf.get(), text.data(), text.size());
  return parse_dvd_version(text.empty() ? nullptr : buf.get(), static_cast<std::int64_t>(text.size()), name);
}

TEST(DiscVersionFile, LastVersionLineWinsAndBlanksAroundTheWordAreDropped) {
  std::string name = "before";
  EXPECT_TRUE(parse_copy("I\n900 version\nDVD\nVERSION First\n \t VERSION \t Corvane 900 beta\r\nOTHER x\n", name));
  EXPECT_EQ(name, "Corvane 900 beta");
  EXPECT_TRUE(parse_copy("I\r\n900 version\r\nDVD\r\n\r\n\tVERSION Disc Set", name));
  EXPECT_EQ(name, "Disc Set") << "the name runs to the end of the data";
}

TEST(DiscVersionFile, WrongHeaderOrNoNameLeavesTheNameAlone) {
  const char* const refused[] = {
      "I\n820 version\nDVD\nVERSION x\n",       // another version
      "I\n900 version\nINSTALLER\nVERSION x\n",  // another kind of file
      "X\n900 version\nDVD\nVERSION x\n",       // no header
      "I\n900 version\nDVD\nVERSIONx\nVERSION\nversion y\n",  // no VERSION record
      "I\n900 version\nDVD\nVERSION \t \n",     // a record without a name
      "",
  };
  for (const char* text : refused) {
    std::string name = "unchanged";
    EXPECT_FALSE(parse_copy(text, name)) << text;
    EXPECT_EQ(name, "unchanged") << text;
  }
}

TEST(DiscVersionFile, EveryTruncationStopsAtTheEndOfTheData) {
  const std::string full = "I\n900 version\nDVD\n  VERSION Corvane 900\nVERSION Corvane 901\n";
  for (std::size_t n = 0; n <= full.size(); ++n) {
    std::string name = "none";
    const bool found = parse_copy(full.substr(0, n), name);
    if (found) {
      // Whatever was read is a prefix of one of the names.
      EXPECT_TRUE(std::string("Corvane 900").rfind(name, 0) == 0 || std::string("Corvane 901").rfind(name, 0) == 0)
          << n << ": " << name;
    } else {
      EXPECT_EQ(name, "none") << n;
    }
  }
  std::string name;
  EXPECT_TRUE(parse_copy(full, name));
  EXPECT_EQ(name, "Corvane 901");
}

// ---------------------------------------------------------------------------
// Finding the mounted disc

TEST(DiscMountTable, FindsTheMountedFolderThatHoldsTheDiscFile) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string mnt = dir / "mnt/";
  ASSERT_TRUE(write_file(mnt + "empty/readme.txt", ""));
  ASSERT_TRUE(write_file(mnt + "sysfs/dvd_version.txt", ""));           // a system file system: not looked at
  ASSERT_TRUE(write_file(mnt + "My Disc\tA\\B/DVD_Version.TXT", "I\n"));  // the disc, in another letter case
  ASSERT_TRUE(write_file(mnt + "later/dvd_version.txt", ""));

  const std::string table = dir / "mounts";
  ASSERT_TRUE(write_file(table,
                         "proc /proc proc rw,nosuid 0 0\n"
                         "short-line\n"
                         "/dev/sda1 " + mnt + "empty ext4 rw 0 0\n"
                         "none " + mnt + "sysfs sysfs rw 0 0\n"
                         "/dev/sdz " + mnt + "bad\\000name iso9660 ro 0 0\n"
                         "\n"
                         "/dev/sr0 " + mnt + "My\\040Disc\\011A\\134B iso9660 ro,nosuid 0 0\n"
                         "/dev/sr1 " + mnt + "later udf ro 0 0"));
  EXPECT_EQ(find_disc_in_mount_table(table), mnt + "My Disc\tA\\B/");

  // Without that entry the last line, which has no line end, is found.
  ASSERT_TRUE(write_file(table, "/dev/sda1 " + mnt + "empty ext4 rw 0 0\n/dev/sr1 " + mnt + "later udf ro 0 0"));
  EXPECT_EQ(find_disc_in_mount_table(table), mnt + "later/");

  ASSERT_TRUE(write_file(table, "/dev/sda1 " + mnt + "empty ext4 rw 0 0\n"));
  EXPECT_EQ(find_disc_in_mount_table(table), "");

  // Network, FUSE, shared-folder and cluster mounts are passed over, even
  // when they hold the file.
  for (const char* type : {"nfs", "nfs4", "cifs", "smb3", "fuse", "fuseblk", "fuse.sshfs", "9p", "ceph", "virtiofs",
                           "vboxsf", "vmhgfs", "gluster", "fuse.glusterfs", "lustre", "gpfs"}) {
    ASSERT_TRUE(write_file(table, "server:/share " + mnt + "later " + type + " rw 0 0\n"));
    EXPECT_EQ(find_disc_in_mount_table(table), "") << type;
  }
  ASSERT_TRUE(write_file(table, "server:/share " + mnt + "later nfs rw 0 0\n/dev/sr1 " + mnt +
                                    "My\\040Disc\\011A\\134B udf ro 0 0\n"));
  EXPECT_EQ(find_disc_in_mount_table(table), mnt + "My Disc\tA\\B/");
  EXPECT_EQ(find_disc_in_mount_table(dir / "no such table"), "");

  // Truncated tables end cleanly wherever they end.
  const std::string full = "/dev/sr0 " + mnt + "My\\040Disc\\011A\\134B iso9660 ro 0 0\n";
  for (std::size_t n = 0; n < full.size(); ++n) {
    ASSERT_TRUE(write_file(table, full.substr(0, n)));
    const std::string found = find_disc_in_mount_table(table);
    EXPECT_TRUE(found.empty() || found == mnt + "My Disc\tA\\B/") << n << ": " << found;
  }
}

TEST(DiscMountTable, TheEnvironmentNamesTheDiscFolder) {
  DiscVariable disc;
  disc.set("/some/disc image");
  EXPECT_EQ(find_disc_folder(), "/some/disc image/");
  disc.set("/some/disc image/");
  EXPECT_EQ(find_disc_folder(), "/some/disc image/");
}

TEST(DiscMountTable, WithoutADiscTheTableIsSearchedAtMostOnceASecond) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string mnt = dir / "disc";
  ASSERT_TRUE(write_file(mnt + "/dvd_version.txt", ""));
  const std::string table = dir / "mounts";
  const std::string no_disc = "/dev/sda1 " + dir.path() + " ext4 rw 0 0\n";
  const std::string with_disc = no_disc + "/dev/sr0 " + mnt + " iso9660 ro 0 0\n";
  ASSERT_TRUE(write_file(table, no_disc));
  DiscVariable disc;
  disc.clear();
  const float saved_elapsed = xtim.elapsed;
  xtim.elapsed = saved_elapsed + 10.0f;  // past any search made before

  EXPECT_EQ(find_disc_folder(table, table), "");
  ASSERT_TRUE(write_file(table, with_disc));
  EXPECT_EQ(find_disc_folder(table, table), "") << "searched again within the second";
  xtim.elapsed += 0.5f;
  EXPECT_EQ(find_disc_folder(table, table), "") << "searched again within the second";
  xtim.elapsed += 0.6f;
  EXPECT_EQ(find_disc_folder(table, table), mnt + "/");
  // After a disc was found, the search for the next one is made at once.
  EXPECT_EQ(find_disc_folder(table, table), mnt + "/");
  ASSERT_TRUE(write_file(table, no_disc));
  EXPECT_EQ(find_disc_folder(table, table), "");
  // The fallback table is read when the first cannot be.
  ASSERT_TRUE(write_file(dir / "fallback", with_disc));
  xtim.elapsed += 1.0f;
  EXPECT_EQ(find_disc_folder(dir / "no such table", dir / "fallback"), mnt + "/");

  // The environment is honoured at once, also while the tables wait.
  EXPECT_EQ(find_disc_folder(table, table), "");
  disc.set(dir / "named");
  EXPECT_EQ(find_disc_folder(table, table), dir / "named/");
  disc.clear();
  EXPECT_EQ(find_disc_folder(table, table), "");

  // A search asked for now is made at once.
  ASSERT_TRUE(write_file(table, with_disc));
  disc_search_now();
  EXPECT_EQ(find_disc_folder(table, table), mnt + "/");
  ASSERT_TRUE(write_file(table, no_disc));
  EXPECT_EQ(find_disc_folder(table, table), "");

  // A frame timer started afresh holds the search off no longer than the pause.
  ASSERT_TRUE(write_file(table, with_disc));
  xtim.elapsed = saved_elapsed;
  EXPECT_EQ(find_disc_folder(table, table), mnt + "/");
}

// ---------------------------------------------------------------------------
// The two-button question

TEST(DiscAbortAlert, ScriptedClicksAnswerWithTheButtonsNumber) {
  BTN_script_clear();
  MACIBM_startwind(wind_main, 0);
  BTN_script_click("Cancel");
  EXPECT_EQ(abort_alert("An error occurred", "Cancel", "the install.", "Continue", "the install."), 1);
  EXPECT_EQ(mnw.cur_wind, wind_main);
  BTN_script_click("Continue");
  EXPECT_EQ(abort_alert("An error occurred", "Cancel", "the install.", "Continue", "the install."), 0);
  EXPECT_EQ(mnw.cur_wind, wind_main);
  EXPECT_EQ(BTN_script_pending(), 0);
}

// Without a fixture: the child that runs the death test ends inside the
// alert, so nothing it made would be cleaned up.
TEST(DiscDeathTest, AQuestionWithNobodyToAnswerEndsAHeadlessRun) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  BTN_script_clear();
  EXPECT_EXIT(abort_alert("text", "Stop", "the repair.", "Continue", "the repair."), ::testing::ExitedWithCode(1),
              "there is no window to ask in");
  BTN_script_click("Something else");
  EXPECT_EXIT(abort_alert("text", "Stop", "the repair.", "Continue", "the repair."), ::testing::ExitedWithCode(1),
              "there is no window to ask in");
  BTN_script_clear();
}

TEST(DiscDeathTest, AnUnreadableDirectoryArchiveOnTheDiscIsFatal) {
  // "fast": the child is forked at the statement and shares the parent's
  // folder, which the parent removes (a re-run child would make its own and
  // die before removing it).
  GTEST_FLAG_SET(death_test_style, "fast");
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(write_file(dir / "disc/dvd_version.txt", "I\n900 version\nDVD\nVERSION Set\n"));
  ASSERT_TRUE(write_file(dir / "disc/Set/directory.txt.zip", "this is no zip archive"));
  DiscVariable disc;
  disc.set(dir / "disc/");
  const std::string saved_temp = temp_path;
  const std::string saved_name = install_name;
  const std::string saved_dvd = dvd_path;
  const int saved_status = stg.dir_status;
  temp_path = dir / "temp/";
  install_name = no_install_name;
  dvd_path.clear();
  stg.dir_status = 0;
  EXPECT_EXIT(UTIL_scan_dvd(), ::testing::ExitedWithCode(1), "DVD scan: The installer cannot extract a file.");
  temp_path = saved_temp;
  install_name = saved_name;
  dvd_path = saved_dvd;
  stg.dir_status = saved_status;
}

TEST(DiscDeathTest, ADirectoryArchiveHoldingMoreThanTheDirectoryIsRefusedAsFatal) {
  GTEST_FLAG_SET(death_test_style, "fast");  // for the reason given in the test above
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string directory = "I\n900 version\nINSTALLER\nDIR Halden/\n";
  ASSERT_TRUE(write_file(dir / "disc/dvd_version.txt", "I\n900 version\nDVD\nVERSION Set\n"));
  ASSERT_TRUE(write_file(dir / "disc/Set/placeholder", ""));
  ASSERT_TRUE(write_file(dir / "extra/directory.txt", directory));
  ASSERT_TRUE(write_file(dir / "extra/intruder.txt", "not part of the directory"));
  // A link in the directory's place, to a sound directory beside it.
  ASSERT_TRUE(write_file(dir / "link/placeholder", ""));
  ASSERT_EQ(symlink("planted.txt", (dir / "link/directory.txt").c_str()), 0);
  const std::string archive = dir / "disc/Set/directory.txt.zip";
  const std::string commands[] = {
      "cd '" + dir / "extra" + "' && zip -q '" + archive + "' directory.txt intruder.txt",
      "cd '" + dir / "link" + "' && zip -q -y '" + archive + "' directory.txt",
  };
  LogCapture log(dir / "log.txt");
  DiscVariable disc;
  disc.set(dir / "disc/");
  const std::string saved_temp = temp_path;
  const std::string saved_name = install_name;
  const std::string saved_dvd = dvd_path;
  const int saved_status = stg.dir_status;
  for (const std::string& command : commands) {
    SCOPED_TRACE(command);
    std::remove(archive.c_str());
    ASSERT_TRUE(run_ok(command));
    temp_path = dir / "temp/";
    ASSERT_TRUE(write_file(temp_path + "planted.txt", directory));
    install_name = no_install_name;
    dvd_path.clear();
    stg.dir_status = 0;
    EXPECT_EXIT(UTIL_scan_dvd(), ::testing::ExitedWithCode(1), "DVD scan: The installer cannot extract a file.");
    // Nothing of the archive reached the temporary folder.
    EXPECT_FALSE(exists_at_all(temp_path + "directory.txt"));
    EXPECT_FALSE(exists_at_all(temp_path + "intruder.txt"));
  }
  temp_path = saved_temp;
  install_name = saved_name;
  dvd_path = saved_dvd;
  stg.dir_status = saved_status;
  const std::string text = log.text();
  EXPECT_NE(text.find("Refused to unpack " + archive + ": it should hold only the file \"directory.txt\" but holds 2"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("(no plain file)"), std::string::npos) << text;
}

}  // namespace
