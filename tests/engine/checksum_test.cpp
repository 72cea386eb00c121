// The checksum scan of the install folder against the file table.
#include <gtest/gtest.h>
#include <sched.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/checksum.h"
#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "runtime/globals.h"
#include "runtime/threads.h"
#include "support/temp_dir.h"

namespace {

const std::string kMd5Abc = "900150983cd24fb0d6963f7d28e17f72";
const std::string kMd5Empty = "d41d8cd98f00b204e9800998ecf8427e";
const std::string kOtherMd5 = "0123456789abcdef0123456789abcdef";

// md5sum's answers for every file of a folder, by file name.
std::map<std::string, std::string> md5sum_folder(const std::string& folder) {
  std::map<std::string, std::string> sums;
  FILE* p = popen(("cd '" + folder + "' && md5sum *").c_str(), "r");
  if (!p) return sums;
  char line[4096];
  while (fgets(line, sizeof line, p)) {
    std::string text(line);
    if (text.size() < 35 || text.back() != '\n') continue;
    sums[text.substr(34, text.size() - 35)] = text.substr(0, 32);
  }
  pclose(p);
  return sums;
}

file_version_struct version(const std::string& path, const std::string& want, int platform = 0) {
  file_version_struct v;
  v.path = path;
  v.sig_want = want;
  v.sig_have = "before";  // what the scan found last time
  v.is_current = 7;
  v.platform = platform;
  return v;
}

// Runs the scan as a screen does, one call per frame, until it completes.
int run_scan(int& queued, float& fraction, int* calls = nullptr) {
  int n = 0;
  int done = 0;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!(done = checksum_directory(queued, fraction)) && std::chrono::steady_clock::now() < give_up) {
    ++n;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  if (calls) *calls = n + 1;
  return done;
}

// Keeps the engine's globals and gives each test a fresh install folder and
// log.
class ChecksumScan : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_sim_ = sim_info;
    saved_dest_ = dest_dir_path;
    saved_stg_ = stg;
    saved_want_sim_ = g_want_sim;
    saved_want_global_ = g_want_global;
    sim_info.clear();
    stg.want_os = os_linux;
    set_install_filter(1, 1);
    dest_dir_path = dir_ / "Corvane 9/";
    xer.open(dir_ / "log.txt", std::ios::out | std::ios::trunc);
  }
  void TearDown() override {
    checksum_directory_kill();
    if (xer.is_open()) xer.close();
    sim_info = saved_sim_;
    dest_dir_path = saved_dest_;
    stg = saved_stg_;
    set_install_filter(saved_want_sim_, saved_want_global_);
  }

  std::string log() {
    xer.flush();
    return read_file(dir_ / "log.txt");
  }
  // Writes a file of the install folder by its table path.
  void install(const std::string& table_path, const std::string& content) {
    std::string rel = table_path;
    trim_dest_folder(rel);
    ASSERT_TRUE(write_file(dest_dir_path + rel, content));
  }
  void add(const file_version_struct& v) { sim_info.push_back(file_history_struct{{v}}); }

  TempDir dir_;

 private:
  std::vector<file_history_struct> saved_sim_;
  std::string saved_dest_;
  stg_struct saved_stg_{};
  int saved_want_sim_ = 1, saved_want_global_ = 1;
};

}  // namespace

TEST_F(ChecksumScan, RecordsWhatTheInstallFolderHolds) {
  install("Corvane 9/Resources/same.txt", "abc");
  install("Corvane 9/Resources/changed.txt", "");
  install("Corvane 9/gone but present.txt", "abc");
  install("Corvane 9/Windows only.dll", "abc");
  install("Corvane 9/Custom Scenery/Global Scenery/+40-080.dsf", "abc");
  install("toplevel.txt", "abc");  // a path without "/" is looked up whole

  add(version("Corvane 9/Resources/same.txt", kMd5Abc));
  // Two versions: only the last one is compared.
  file_history_struct changed;
  changed.versions.push_back(version("Corvane 9/Resources/changed.txt", kMd5Empty));
  changed.versions.push_back(version("Corvane 9/Resources/changed.txt", kOtherMd5));
  sim_info.push_back(changed);
  add(version("Corvane 9/Resources/absent.txt", kMd5Abc));
  add(version("Corvane 9/gone and absent.txt", kSigGone));
  add(version("Corvane 9/gone but present.txt", kSigGone));
  add(version("Corvane 9/Windows only.dll", kMd5Abc, os_windows));  // refused by the filter
  file_version_struct tile = version("Corvane 9/Custom Scenery/Global Scenery/+40-080.dsf", kMd5Abc);
  tile.is_global_scenery = 1;
  add(tile);
  add(version("toplevel.txt", kMd5Abc));
  add(version("Corvane 9/Resources/unreadable", kMd5Abc));
  ASSERT_TRUE(write_file(dest_dir_path + "Resources/unreadable/inner", "x"));  // a folder, not a file
  set_install_filter(1, 0);  // global scenery not wanted

  int queued = 0;
  float fraction = -1;
  ASSERT_EQ(run_scan(queued, fraction), 1);
  EXPECT_EQ(queued, 9);
  EXPECT_FLOAT_EQ(fraction, 1.0f);
  EXPECT_EQ(checksum_workers, nullptr);

  auto have = [](int i) { return current_version(i).sig_have; };
  auto current = [](int i) { return current_version(i).is_current; };
  EXPECT_EQ(have(0), kMd5Abc);
  EXPECT_EQ(current(0), 1);
  EXPECT_EQ(have(1), kMd5Empty) << "the real signature of a modified file";
  EXPECT_EQ(current(1), 0);
  EXPECT_EQ(sim_info[1].versions[0].sig_have, "before") << "older versions are not touched";
  EXPECT_EQ(sim_info[1].versions[0].is_current, 7);
  EXPECT_EQ(have(2), kSigNone);
  EXPECT_EQ(current(2), 0);
  EXPECT_EQ(have(3), kSigNone);
  EXPECT_EQ(current(3), 0) << "a removed file is never current";
  EXPECT_EQ(have(4), kMd5Abc);
  EXPECT_EQ(current(4), 0);
  EXPECT_EQ(have(5), "before") << "refused by the filter: untouched";
  EXPECT_EQ(current(5), 7);
  EXPECT_EQ(have(6), "before") << "global scenery not wanted: untouched";
  EXPECT_EQ(current(6), 7);
  EXPECT_EQ(have(7), kMd5Abc);
  EXPECT_EQ(current(7), 1);
  EXPECT_EQ(have(8), kSigNone);
  EXPECT_EQ(current(8), 0);

  const std::string text = log();
  const auto start = text.find(" Start of MD5 at ");
  const auto end = text.find(" End of MD5 at ");
  EXPECT_EQ(start, 0u) << text;
  ASSERT_NE(end, std::string::npos) << text;
  EXPECT_LT(start, end);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
  char* after = nullptr;
  const double t0 = std::strtod(text.c_str() + 17, &after);
  EXPECT_EQ(*after, '\n') << "the start line holds one number";
  const double t1 = std::strtod(text.c_str() + end + 15, &after);
  EXPECT_EQ(*after, '\n') << "the end line holds one number";
  EXPECT_LE(t0, t1);
}

TEST_F(ChecksumScan, ManyFilesQueueInBatchesWithinTheLimitAndReportProgress) {
  // The pool is sized by the processors this thread may run on: here two of
  // them (or all, when there are no more), however many the machine has.
  cpu_set_t all;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  struct Restore {
    cpu_set_t set;
    ~Restore() { sched_setaffinity(0, sizeof set, &set); }
  } restore{all};
  cpu_set_t two;
  CPU_ZERO(&two);
  int cpus = 0;
  for (int c = 0; c < CPU_SETSIZE && cpus < 2; ++c)
    if (CPU_ISSET(c, &all)) {
      CPU_SET(c, &two);
      ++cpus;
    }
  ASSERT_EQ(sched_setaffinity(0, sizeof two, &two), 0);
  ASSERT_EQ(UTL_count_usable_processors(), cpus);
  const int limit_files = 4 * cpus * 10;
  const int total = limit_files + 15;
  for (int i = 0; i < total; ++i)
    if (i % 3 != 0)  // every third file is absent
      install("Corvane 9/data/f" + std::to_string(i) + ".bin",
              std::string(static_cast<std::size_t>(100 + i * 7), static_cast<char>('a' + i % 26)));
  const std::map<std::string, std::string> sums = md5sum_folder(dest_dir_path + "data");
  std::map<int, std::string> want;
  for (int i = 0; i < total; ++i) {
    const std::string name = "f" + std::to_string(i) + ".bin";
    if (sums.count(name)) want[i] = sums.at(name);
    // Half of the present files match their version. The table calls each
    // file a MiB large, so that every task takes ten of them.
    file_version_struct v = version("Corvane 9/data/" + name, i % 2 && want.count(i) ? want[i] : kOtherMd5);
    v.unpacked_kb = 1024.0f;
    add(v);
  }
  ASSERT_EQ(want.size(), static_cast<std::size_t>(total - (total + 2) / 3));

  int queued = 0;
  float fraction = -1;
  ASSERT_EQ(checksum_directory(queued, fraction), 0);
  EXPECT_EQ(queued, limit_files) << "the first call fills every slot, ten files per task";
  EXPECT_FLOAT_EQ(fraction, static_cast<float>(limit_files) / static_cast<float>(total));
  ASSERT_NE(checksum_workers, nullptr);
  EXPECT_LE(checksum_workers->count_total_tasks(), static_cast<std::size_t>(4 * cpus));

  // Tasks that have finished are collected before more are queued: once
  // some are done, one call hands out more files at once.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_EQ(checksum_directory(queued, fraction), 0);
  EXPECT_GT(queued, limit_files) << "the slots freed by this call's collection were filled in it";

  ASSERT_EQ(run_scan(queued, fraction), 1);
  EXPECT_EQ(queued, total);
  EXPECT_FLOAT_EQ(fraction, 1.0f);
  for (int i = 0; i < total; ++i) {
    const file_version_struct& v = current_version(i);
    if (want.count(i)) {
      EXPECT_EQ(v.sig_have, want[i]) << i;
      EXPECT_EQ(v.is_current, i % 2) << i;
    } else {
      EXPECT_EQ(v.sig_have, kSigNone) << i;
      EXPECT_EQ(v.is_current, 0) << i;
    }
  }
}

TEST_F(ChecksumScan, EmptyTableCompletesAtOnceWithBothLogLines) {
  ASSERT_TRUE(write_file(dest_dir_path + "x", ""));
  int queued = 0;
  float fraction = -1;
  EXPECT_EQ(checksum_directory(queued, fraction), 1);
  EXPECT_EQ(queued, 0);
  EXPECT_EQ(fraction, 0.0f);
  EXPECT_EQ(checksum_workers, nullptr);
  const std::string text = log();
  EXPECT_EQ(text.rfind(" Start of MD5 at ", 0), 0u) << text;
  EXPECT_NE(text.find("\n End of MD5 at "), std::string::npos) << text;
}

// A file found by repairing the letter case of its path stands for its
// table entry unless another entry of the table names it, by the table of
// the scan that finds it, also when an earlier scan knew another table.
TEST_F(ChecksumScan, AFileFoundInAnotherLetterCaseIsNotTakenWhenTheTableNamesIt) {
  install("Corvane 9/Resources/readme.txt", "abc");
  add(version("Corvane 9/Resources/Readme.txt", kMd5Abc));
  add(version("Corvane 9/Resources/Other.txt", kMd5Abc));
  int queued = 0;
  float fraction = 0;
  ASSERT_EQ(run_scan(queued, fraction), 1);
  EXPECT_EQ(current_version(0).sig_have, kMd5Abc);
  EXPECT_EQ(current_version(0).is_current, 1);
  EXPECT_EQ(current_version(0).found_path, dest_dir_path + "Resources/readme.txt");

  // The release renames the file in letter case only.
  sim_info[1].versions.back().path = "Corvane 9/Resources/readme.txt";
  queued = 0;
  ASSERT_EQ(run_scan(queued, fraction), 1);
  EXPECT_EQ(current_version(0).sig_have, kSigNone);
  EXPECT_EQ(current_version(0).found_path, "");
  EXPECT_EQ(current_version(1).sig_have, kMd5Abc);
  EXPECT_EQ(current_version(1).found_path, "");
}

TEST_F(ChecksumScan, MissingFolderMarksEveryCurrentVersionAbsent) {
  add(version("Corvane 9/a.txt", kMd5Abc));
  add(version("Corvane 9/b.txt", kSigNone));
  add(version("Corvane 9/w.dll", kMd5Abc, os_windows));  // the filter does not matter here
  file_history_struct two;
  two.versions.push_back(version("Corvane 9/c.txt", kMd5Abc));
  two.versions.push_back(version("Corvane 9/c.txt", kSigGone));
  sim_info.push_back(two);

  int queued = 5;
  float fraction = 0.25f;
  EXPECT_EQ(checksum_directory(queued, fraction), 1);
  EXPECT_EQ(queued, 5);
  EXPECT_EQ(fraction, 0.25f);
  EXPECT_EQ(checksum_workers, nullptr);
  EXPECT_EQ(current_version(0).sig_have, kSigNone);
  EXPECT_EQ(current_version(0).is_current, 0);
  EXPECT_EQ(current_version(1).is_current, 1) << "absent is what a NONE version wants";
  EXPECT_EQ(current_version(2).sig_have, kSigNone);
  EXPECT_EQ(current_version(3).sig_have, kSigNone);
  EXPECT_EQ(current_version(3).is_current, 0);
  EXPECT_EQ(sim_info[3].versions[0].sig_have, "before");
  EXPECT_EQ(log(), "") << "no log line without a scan";
}

TEST_F(ChecksumScan, FolderThatGoesDuringAScanIsMarkedAbsentAfterTheTasksAreCollected) {
  const int total = 4 * UTL_count_processors() * 10 + 30;
  const std::string body(64 * 1024, 'q');
  for (int i = 0; i < total; ++i) {
    const std::string path = "Corvane 9/f" + std::to_string(i);
    install(path, body);
    file_version_struct v = version(path, kOtherMd5);
    v.unpacked_kb = 1024.0f;  // ten files a task, so many tasks are in flight
    add(v);
  }
  int queued = 0;
  float fraction = 0;
  ASSERT_EQ(checksum_directory(queued, fraction), 0);
  ASSERT_NE(checksum_workers, nullptr);
  // The folder goes while tasks are in flight.
  ASSERT_EQ(rename(dest_dir_path.substr(0, dest_dir_path.size() - 1).c_str(), (dir_ / "moved").c_str()), 0);
  EXPECT_EQ(checksum_directory(queued, fraction), 1);
  EXPECT_EQ(checksum_workers, nullptr) << "the pool is gone with its tasks";
  for (int i = 0; i < total; ++i) {
    ASSERT_EQ(current_version(i).sig_have, kSigNone) << "no task wrote after the folder branch: " << i;
    ASSERT_EQ(current_version(i).is_current, 0) << i;
  }
}

TEST_F(ChecksumScan, KillStopsTheTasksInFlightAndDropsThePool) {
  checksum_directory_kill();  // no scan: nothing happens
  EXPECT_EQ(checksum_workers, nullptr);

  // The first file is one whose signature would take minutes (a sparse
  // file of 64 GiB).
  const int total = 4 * UTL_count_processors() * 10 + 30;
  for (int i = 0; i < total; ++i) {
    const std::string path = "Corvane 9/f" + std::to_string(i);
    install(path, "abc");
    file_version_struct v = version(path, kMd5Abc);
    v.unpacked_kb = 1024.0f;  // ten files a task: more than fit in flight
    add(v);
  }
  ASSERT_EQ(truncate((dest_dir_path + "f0").c_str(), 64LL << 30), 0);
  int queued = 0;
  float fraction = 0;
  ASSERT_EQ(checksum_directory(queued, fraction), 0);
  ASSERT_LT(queued, total);
  checksum_directory_kill();
  EXPECT_EQ(checksum_workers, nullptr);
  for (int i = 0; i < total; ++i) {
    const file_version_struct& v = current_version(i);
    if (i < queued) {
      // Done before the kill, or given up: never a signature half read.
      ASSERT_TRUE(v.sig_have == kMd5Abc || v.sig_have == kSigNone || v.sig_have == "before") << i << v.sig_have;
      if (v.sig_have != "before") {
        ASSERT_EQ(v.is_current, v.sig_have == kMd5Abc ? 1 : 0) << i;
      }
    } else {
      ASSERT_EQ(v.sig_have, "before") << "files not queued stay untouched: " << i;
    }
  }
  EXPECT_NE(current_version(0).sig_have.size(), 32u) << "the large file was given up";
  EXPECT_EQ(log().find(" End of MD5 at "), std::string::npos) << "a killed scan did not end";

  // A new scan starts over from queued = 0.
  install("Corvane 9/f0", "abc");
  queued = 0;
  ASSERT_EQ(run_scan(queued, fraction), 1);
  for (int i = 0; i < total; ++i) ASSERT_EQ(current_version(i).is_current, 1) << i;

  // Started over while the pool of the scan before still runs, with every
  // file handed out (the pool then takes no more tasks): that pool is
  // stopped first, and the new scan runs whole.
  bool restarted = false;
  for (int attempt = 0; attempt < 20 && !restarted; ++attempt) {
    for (int i = 0; i < total; ++i) current_version(i).sig_have = "before";
    queued = 0;
    int done = 0;
    while (queued < total && !done) done = checksum_directory(queued, fraction);
    if (done || !checksum_workers) continue;  // that scan was over at once: try again
    queued = 0;
    ASSERT_EQ(run_scan(queued, fraction), 1);
    restarted = true;
  }
  ASSERT_TRUE(restarted);
  for (int i = 0; i < total; ++i) ASSERT_EQ(current_version(i).sig_have, kMd5Abc) << i;
}

TEST_F(ChecksumScan, TasksTakeTenFilesOrMoreSmallOnesUpToAFewMegabytes) {
  // Sizes in KB as the directory gives them.
  const float sizes[] = {4096, 4096, 4096, 0, 0, 0, 0, 0, 0, 0,   // 0-9: ten, however large
                         2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};   // 10-21
  for (float kb : sizes) {
    file_version_struct v = version("Corvane 9/x", kMd5Abc);
    v.unpacked_kb = kb;
    add(v);
  }
  const int n = static_cast<int>(sim_info.size());
  EXPECT_EQ(checksum_batch_end(0, n), 10) << "ten files even when they are large";
  EXPECT_EQ(checksum_batch_end(10, n), n) << "fewer than ten at the end of the table";
  EXPECT_EQ(checksum_batch_end(n, n), n);
  EXPECT_EQ(checksum_batch_end(n + 3, n), n + 3);
  // After ten small files, more follow while the task stays small.
  EXPECT_EQ(checksum_batch_end(3, n), n);

  // Thousands of small files: far more than ten a task, but bounded, and
  // every file of the table in exactly one task.
  sim_info.clear();
  for (int i = 0; i < 20000; ++i) {
    file_version_struct v = version("Corvane 9/x", kMd5Abc);
    v.unpacked_kb = static_cast<float>(1 + i % 8);
    add(v);
  }
  const int total = static_cast<int>(sim_info.size());
  int tasks = 0;
  int smallest = total, largest = 0;
  for (int first = 0; first < total; ++tasks) {
    const int end = checksum_batch_end(first, total);
    ASSERT_GT(end, first);
    if (end < total) smallest = std::min(smallest, end - first);
    largest = std::max(largest, end - first);
    first = end;
  }
  EXPECT_GE(smallest, 100) << "small files come in large batches";
  EXPECT_LE(largest, 2000) << "a batch stays within a few MiB of work";
  EXPECT_LT(tasks, 200);
  // Shared out over 32 tasks in flight, batches shrink towards the end of
  // the table, but never below ten files.
  EXPECT_EQ(checksum_batch_end(0, total, 8), checksum_batch_end(0, total)) << "far from the end: by size";
  EXPECT_EQ(checksum_batch_end(total - 3200, total, 32), total - 3100);
  EXPECT_EQ(checksum_batch_end(total - 100, total, 32), total - 90);
  EXPECT_EQ(checksum_batch_end(total - 4, total, 32), total);

  // A large file after ten small ones starts the next task.
  sim_info.clear();
  for (int i = 0; i < 12; ++i) {
    file_version_struct v = version("Corvane 9/x", kMd5Abc);
    v.unpacked_kb = i == 10 ? 100000.0f : 1.0f;
    add(v);
  }
  EXPECT_EQ(checksum_batch_end(0, 12), 10);
  EXPECT_EQ(checksum_batch_end(10, 12), 12);
}

TEST(ChecksumTask, EmptyRunDoesNothingAndNeverReportsAnError) {
  checksum_task t(3, 3);
  t.do_it();  // touches no entry: the table may even be empty
  std::string message = "stale";
  EXPECT_EQ(t.check_error(message), 0);
  EXPECT_EQ(message, "");
  UTL_work_task* base = new checksum_task(0, 0);
  delete base;  // through the virtual destructor
}
