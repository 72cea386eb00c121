#include "engine/checksum.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "files/io_utils.h"
#include "files/md5.h"
#include "runtime/globals.h"
#include "runtime/threads.h"
#include "runtime/xtim.h"

UTL_worker_threads* checksum_workers = nullptr;

namespace {

// Set while a scan is stopped: the tasks in flight give up their files at
// once, since nothing reads what a stopped scan found.
std::atomic<bool> scan_stopping{false};

constexpr int kTasksPerThread = 4;

// A task takes at least kFilesPerTask files (fewer only at the end of the
// table) and then more while its estimated work stays within kTaskKb: the
// sizes the directory gives, plus kFileCostKb for opening and closing each
// file. Small files thus come in batches large enough that the tasks in
// flight keep every thread busy from one frame to the next, whatever the
// frame rate, while the limit of tasks in flight still bounds what is
// queued.
constexpr int kFilesPerTask = 10;
constexpr double kTaskKb = 8 * 1024.0;
constexpr double kFileCostKb = 8.0;

double file_cost_kb(int i) {
  const double kb = static_cast<double>(current_version(i).unpacked_kb);
  return (kb > 0.0 ? kb : 0.0) + kFileCostKb;
}

}  // namespace

int checksum_batch_end(int first, int total, int share) {
  if (first >= total) return first;
  int end = first;
  double cost = 0.0;
  for (; end < total && end - first < kFilesPerTask; ++end) cost += file_cost_kb(end);
  // Towards the end of the table batches shrink, so the last ones are
  // spread over every thread instead of a few threads finishing alone.
  const int most = share > 0 ? std::max(kFilesPerTask, (total - first) / share) : total - first;
  for (; end < total && end - first < most; ++end) {
    const double more = file_cost_kb(end);
    if (cost + more > kTaskKb) break;
    cost += more;
  }
  return end;
}

namespace {

double seconds_now() { return static_cast<double>(xtim_class::microsecs()) * 0.000001; }

// Files handed to the tasks of the running scan's pool.
int handed_out = 0;

// The local path of every file of the table. A file found only by
// repairing the letter case of its path is not taken when it is another
// file of the table: a file whose name changed only in case between
// releases would otherwise stand for its own removed name, and be deleted.
// Only a task that finds a file that way asks, so the set is made by the
// first task of a scan that needs it, on its worker thread, and not at all
// when no file needs the repair; the main thread only marks it out of date
// when a scan starts.
std::mutex table_paths_lock;
std::unordered_set<std::string> table_paths;
bool table_paths_made = false;

// Set by a task that found a kept or new file of the table by repairing
// its letter case (or the folders on its way): only then can a removed file
// have been found at that file's place, and the scan's end settle it.
std::atomic<bool> found_by_case{false};

bool is_table_path(const std::string& path) {
  const std::lock_guard<std::mutex> hold(table_paths_lock);
  if (!table_paths_made) {
    table_paths.clear();
    for (const file_history_struct& file : sim_info) table_paths.insert(local_path(file.versions.back().path));
    table_paths_made = true;
  }
  return table_paths.count(path) != 0;
}

}  // namespace

void checksum_task::do_it() {
  // Tasks cover disjoint runs and write only the current versions of their
  // own files; the main thread reads them after the task has come back.
  for (int i = first_file; i < end_file && !scan_stopping.load(std::memory_order_relaxed); ++i) {
    file_version_struct& version = current_version(i);
    // What an earlier scan found (perhaps in another copy's folder) goes,
    // for the files this scan leaves out as well.
    version.found_path.clear();
    const int last = static_cast<int>(sim_info[static_cast<std::size_t>(i)].versions.size()) - 1;
    if (!want_this_f(i, last)) continue;
    version.sig_have = kSigNone;
    // A file stored in another letter case is found, and remembered where
    // it is, so that installing and deleting act on that same file.
    calc_file_md5(local_path(version.path), version.sig_have, &version.found_path, &scan_stopping);
    if (!version.found_path.empty() && is_table_path(version.found_path)) {
      version.found_path.clear();
      version.sig_have = kSigNone;
    }
    if (!version.found_path.empty() && version.sig_want != kSigGone) found_by_case.store(true);
    version.is_current = version.sig_have == version.sig_want ? 1 : 0;
  }
}

int checksum_task::check_error(std::string& message) {
  message.clear();
  return 0;
}

int checksum_directory(int& queued, float& fraction) {
  if (!dir_exists(dest_dir_path)) {
    // The folder may have gone while tasks still write their files' entries:
    // collect them all before every entry is written here.
    checksum_directory_kill();
    for (file_history_struct& file : sim_info) {
      file_version_struct& v = file.versions.back();
      v.sig_have = kSigNone;
      v.found_path.clear();
      v.is_current = v.sig_want == kSigNone ? 1 : 0;
    }
    return 1;
  }

  // A scan started again from the beginning (a screen entered anew) while
  // the pool of an earlier one still exists: that pool, which may already
  // take no more tasks, is stopped first.
  if (checksum_workers && queued < handed_out) checksum_directory_kill();

  if (!checksum_workers) {
    handed_out = 0;
    // The table paths are made anew for this scan's table. Nothing here goes
    // through the whole table: with 100,000 files that alone would hold
    // up the frame.
    {
      const std::lock_guard<std::mutex> hold(table_paths_lock);
      table_paths_made = false;
    }
    found_by_case = false;
    const int n = UTL_count_usable_processors();
    checksum_workers = new UTL_worker_threads(n, kTasksPerThread * n);
    xer << " Start of MD5 at " << seconds_now() << "\n";
  }

  // Finished tasks are collected first, so the slots they free are filled
  // in this same call rather than a frame later.
  while (UTL_work_task* done = checksum_workers->check_retired_tasks()) delete done;

  const int total = static_cast<int>(sim_info.size());
  if (queued < 0) queued = 0;
  while (queued < total && checksum_workers->has_free_slot()) {
    const int end = checksum_batch_end(queued, total, checksum_workers->task_limit());
    checksum_workers->enqueue_task(new checksum_task(queued, end));
    queued = end;
  }
  handed_out = queued;

  // Once every file is handed out, each thread may end as soon as the work
  // runs out: the frame that completes the scan then only collects ended
  // threads instead of waiting for them to wake and exit.
  if (queued >= total) checksum_workers->close_work_queue();

  fraction = total > 0 ? static_cast<float>(queued) / static_cast<float>(total) : 0.0f;

  if (queued >= total && checksum_workers->count_total_tasks() == 0) {
    delete checksum_workers;
    checksum_workers = nullptr;
    // Every task has come back through the pool: what they found is seen.
    // Settling costs a pass over the table with a string for each removed
    // file on disk, so it is made only when it can find something.
    if (found_by_case.exchange(false)) settle_shared_files();
    xer << " End of MD5 at " << seconds_now() << "\n";
    return 1;
  }
  return 0;
}

void settle_shared_files() {
  // The removed files found on disk, by where they were found.
  std::unordered_map<std::string, std::vector<int>> removed;
  const int count = static_cast<int>(sim_info.size());
  for (int i = 0; i < count; ++i) {
    const file_version_struct& v = current_version(i);
    if (v.sig_want != kSigGone || v.sig_have.empty() || v.sig_have == kSigNone) continue;
    if (!want_this_f(i, static_cast<int>(sim_info[static_cast<std::size_t>(i)].versions.size()) - 1)) continue;
    removed[local_path_of(v)].push_back(i);
  }
  if (removed.empty()) return;
  // Only a file found by repairing its letter case can be found at the
  // place of another file of the table.
  for (int i = 0; i < count; ++i) {
    const file_version_struct& kept = current_version(i);
    if (kept.found_path.empty() || kept.sig_want == kSigGone) continue;
    const auto same = removed.find(kept.found_path);
    if (same == removed.end()) continue;
    // The file is the kept one's: the removed name has none.
    for (const int r : same->second) {
      file_version_struct& gone = current_version(r);
      gone.sig_have = kSigNone;
      gone.found_path.clear();
      gone.is_current = 0;
    }
  }
}

void checksum_directory_kill() {
  if (!checksum_workers) return;
  scan_stopping = true;
  while (UTL_work_task* done = checksum_workers->wait_retired_tasks()) delete done;
  delete checksum_workers;
  checksum_workers = nullptr;
  scan_stopping = false;
}
