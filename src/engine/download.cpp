#include "engine/download.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

#include "engine/archive_check.h"
#include "engine/delete_files.h"
#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "engine/pools.h"
#include "engine/server_list.h"
#include "files/archives.h"
#include "files/folder_list.h"
#include "files/http.h"
#include "files/io_utils.h"
#include "runtime/alert.h"
#include "runtime/globals.h"
#include "runtime/threads.h"
#include "runtime/translate.h"
#include "runtime/xtim.h"

UTL_worker_threads* web_unzip_pool = nullptr;
int web_unpacks_max = 30;

namespace {

// The server each stream's transfer was started with: a failed transfer is
// asked for again from another one.
int stream_server[kStreams] = {};

// The run is over before its end: an archive could not be unpacked, or
// files could not be written here. No stream is stepped any more, and
// grab_files reports the end of the run; failures found after it are only
// logged. Other errors of the run (a file that could not be deleted, one
// that no server delivered) are counted in stg.had_errors, and the run
// goes on with the other files.
bool run_stopped = false;

// Failed downloads of each file in this run: a file that every server has
// failed to deliver kDownloadTriesPerServer times (by count, with the tries
// spread over the servers) is given up.
std::map<int, int> download_failures;

// Unpacks one downloaded archive on the unpack pool. The task holds copies
// of everything it needs and touches neither the file table nor the log:
// the main thread reads its result when it collects it and decides then.
class web_unpack_task : public UTL_work_task {
 public:
  // want: the version the directory describes, read here on the main
  // thread; the unpacked file must be no larger and have its signature.
  web_unpack_task(int index, std::string from, std::string to, const file_version_struct& want)
      : file_index(index), archive(std::move(from)), destination(std::move(to)) {
    expect_version(check, want);
  }

  void do_it() override {
    // A file that is not the version wanted is not put in place; the file
    // there before stays.
    err = unpack_single_file(archive, destination, &refusal, &check);
    // The archive is emptied, not removed: the main thread gives the empty
    // file to a stream for its next download, so that the stream never
    // waits for the file system to make a new file (see spare_archives).
    // A file that cannot be emptied is removed.
    if (truncate(archive.c_str(), 0) == 0)
      emptied = true;
    else
      unlink(archive.c_str());
  }
  int check_error(std::string& message) override {
    message = refusal;
    return err;
  }

  int file_index;
  std::string archive;      // its own name in the temporary folder
  std::string destination;  // the installed file
  unpack_check check;       // size and signature of the version wanted
  std::string refusal;      // log lines of a refused archive or a wrong file
  int err = 0;
  bool emptied = false;     // the archive is left as an empty file
};

// Per stream: its download is done, but its archive waits for room on the
// pool (or for an earlier unpacking of the same file to come back). The
// archive is still the stream's own.
bool stream_holds_archive[kStreams] = {};
// Files whose unpacking is on the pool.
std::vector<int> files_unpacking;
// Names the archives handed to the pool.
unsigned long long unpack_serial = 0;
// Empty files in the temporary folder, left by unpackings that have come
// back. Making a new file can take the file system far longer than
// renaming one, so a stream that hands its archive to the pool renames a
// spare to its own archive's name, and its next download is written into
// that file. All of them are removed when the run's pool ends.
std::vector<std::string> spare_archives;

void remove_spare_archives() {
  for (const std::string& spare : spare_archives) delete_file(spare);
  spare_archives.clear();
}

bool unpacking(int file) {
  return std::find(files_unpacking.begin(), files_unpacking.end(), file) != files_unpacking.end();
}

// Shows (or, quietly, only logs) an unpacking that failed, and writes the
// "EXPANDING" line.
void report_unpack(const std::string& archive, const std::string& destination, int code, bool quiet) {
  if (code != 0) {
    stg.had_errors = 1;
    const std::string lines[4] = {UTL_translate_string("The installer cannot extract a file."),
                                  UTL_translate_string("Error: ") + error_str(code),
                                  UTL_translate_string("Compressed File: ") + archive,
                                  UTL_translate_string("Destination: ") + destination};
    if (quiet)
      xer << lines[0] << " " << lines[1] << " " << lines[2] << " " << lines[3] << "\n";
    else
      __MACIBM_alert(0, lines[0], lines[1], lines[2], lines[3], t_alert, "utils", __LINE__);
  }
  if (stg.log_actions) xer << "EXPANDING file " << destination << ", with result=" << code << ".\n";
}

// A file of the run could not be unpacked into place (code not 0): the run
// stops. One box tells the user why; what else fails after that goes to the
// log. Returns whether the failure is to be reported quietly.
bool stop_run(int code, bool quiet) {
  if (code == 0) return quiet;
  quiet = quiet || run_stopped;
  run_stopped = true;
  return quiet;
}

// Takes back one unpacking from the pool: only now does its file count as
// installed, and only when it was unpacked well.
void collect_unpack(UTL_work_task* done, bool quiet) {
  web_unpack_task* task = static_cast<web_unpack_task*>(done);
  std::string refusal;
  const int code = task->check_error(refusal);
  if (!refusal.empty()) xer << refusal;
  if (task->emptied) spare_archives.push_back(task->archive);
  auto at = std::find(files_unpacking.begin(), files_unpacking.end(), task->file_index);
  if (at != files_unpacking.end()) files_unpacking.erase(at);
  if (task->file_index >= 0 && task->file_index < static_cast<int>(sim_info.size())) {
    file_version_struct& v = current_version(task->file_index);
    if (code == 0) {
      v.is_current = 1;
      next.kb_installed += v.unpacked_kb;
    } else {
      v.is_current = 0;
    }
  }
  report_unpack(task->archive, task->destination, code, stop_run(code, quiet));
  delete task;
}

void collect_finished_unpacks() {
  if (!web_unzip_pool) return;
  while (UTL_work_task* done = web_unzip_pool->check_retired_tasks()) collect_unpack(done, false);
}

// Waits for every unpacking on the pool, takes them back and ends the pool.
void drain_unpack_pool(bool quiet) {
  if (!web_unzip_pool) return;
  while (UTL_work_task* done = web_unzip_pool->wait_retired_tasks()) collect_unpack(done, quiet);
  delete web_unzip_pool;
  web_unzip_pool = nullptr;
  files_unpacking.clear();
  remove_spare_archives();
}

// Hands stream s's downloaded archive of file i to the unpack pool under a
// name of its own, so the stream can download its next file while this one
// is unpacked. False when the pool has no room or the same file is still
// being unpacked: the stream then holds the archive and tries again in its
// next step.
bool hand_to_unpack_pool(int s, int i, const std::string& archive, const std::string& local) {
  if (!web_unzip_pool) web_unzip_pool = new UTL_worker_threads(unpack_pool_threads(), web_unpacks_max);
  if (!web_unzip_pool->has_free_slot() || unpacking(i)) {
    stream_holds_archive[s] = true;
    return false;
  }
  stream_holds_archive[s] = false;
  const std::string own = temp_path + static_cast<char>('0' + s) + "-" + std::to_string(++unpack_serial) + ".zip";
  if (std::rename(archive.c_str(), own.c_str()) != 0) {
    const int code = errno;
    current_version(i).is_current = 0;
    report_unpack(archive, local, code, stop_run(code, false));
    delete_file(archive);
    return true;
  }
  files_unpacking.push_back(i);
  web_unzip_pool->enqueue_task(new web_unpack_task(i, own, local, current_version(i)));
  if (!spare_archives.empty()) {
    if (std::rename(spare_archives.back().c_str(), archive.c_str()) != 0) delete_file(spare_archives.back());
    spare_archives.pop_back();
  }
  return true;
}

// The number of slots switched on.
int active_streams() {
  int n = 0;
  for (int s = 0; s < kStreams; ++s)
    if (next.slot_active[s]) ++n;
  return n;
}

// After stream s has finished a file: adapt the number of streams to the
// target and let s take another file unless it is switched off.
void stream_rule(int s) {
  const double since = std::max(static_cast<double>(xtim.elapsed) - next.start_time, 1.0);
  const double rate = (static_cast<double>(next.kb_downloaded) + next.kb_partial) / since;
  const int target = stg.stream_count != 0 ? stg.stream_count : streams_for_rate(rate);
  const int active = active_streams();
  if (active < target) {
    for (int t = 0; t < kStreams; ++t) {
      if (!next.slot_active[t]) {
        next.slot_active[t] = 1;
        next.slot_wants_file[t] = 1;
        break;
      }
    }
  }
  if (active > target)
    next.slot_active[s] = 0;
  else
    next.slot_wants_file[s] = 1;
}

// One step of stream s on file i.
void file_step(int s, int i) {
  file_version_struct& v = current_version(i);
  const std::string local = local_path_of(v);
  int server = stg.server_index;
  if (server < 0 || server >= kMaxServers || (stg.num_servers > 0 && server >= stg.num_servers)) server = 0;
  const int current = static_cast<int>(sim_info[static_cast<std::size_t>(i)].versions.size()) - 1;
  const auto listed = listed_paths.find({i, current});
  const std::string request = server_path[server] + (listed == listed_paths.end() ? v.path : listed->second) + ".zip";
  const std::string& host = server_name[server];
  const std::string archive = stream_archive(s);

  next.slot_wants_file[s] = 0;
  crnt_file_name = last_component(request);
  crnt_file_path = request;

  if (!v.path.empty() && v.path.back() == '/') {
    __MACIBM_alert(0, "I am working through the list and found a path that has no file!",
                   "This is impossible to download or delete!", "It is:", v.path, t_exit, "utils", __LINE__);
  }

  bool finished = false;
  if (v.do_delete && dest_dir_path.empty()) {
    // Without an install folder the path would name a file of the working
    // folder: nothing is deleted, and the file counts as not done.
    stg.file_action = action_deleting;
    stg.had_errors = 1;
    xer << "Did not delete " << v.path << ": there is no install folder.\n";
    finished = true;
  } else if (v.do_delete) {
    stg.file_action = action_deleting;
    const int code = delete_file(local);
    // A deletion that failed for a reason other than the file being gone
    // already is an error of the run, and always worth a line in the log;
    // the run goes on with the other files, and the next run tries again.
    const bool failed = code != 0 && code != ENOENT;
    if (failed) stg.had_errors = 1;
    if (stg.log_actions || failed)
      xer << "now we want to nuke a file: DELETING  file " << local << ", with result=" << code << ".\n";
    add_folder_chain(deleted_files, local, dest_dir_path);
    if (show_del_err(code)) {
      __MACIBM_alert(0, UTL_translate_string("Could not delete a file that I no longer want to have!"),
                     error_str(code), local, "", t_exit, "utils", __LINE__);
    }
    finished = true;
  } else if (v.do_install && stream_holds_archive[s]) {
    stg.file_action = action_installing;
    finished = hand_to_unpack_pool(s, i, archive, local);
  } else if (v.do_install) {
    stg.file_action = action_installing;
    const int http_slot = s + kFirstStreamHttp;
    // A call on an idle slot starts the transfer (now or, after a failure,
    // once the slot's pause is over) from this server.
    if (!http.slots[http_slot]) stream_server[s] = server;
    switch (http.net_check(http_slot, host, request, archive, archive_download_limit(v))) {
      case 0: {
        const int64_t length = http.content_length(http_slot);
        if (!http.slots[http_slot])
          stg.file_fraction = 0.0f;
        else if (length <= 0)
          stg.file_fraction = -0.01f;
        else
          stg.file_fraction = static_cast<float>(static_cast<double>(http.written(http_slot)) /
                                                 static_cast<double>(length));
        next.kb_partial += stg.file_fraction * v.size_kb;
        break;
      }
      case 1:
        // The file counts as installed once its unpacking has come back
        // from the pool and succeeded.
        stg.download_failed = 0;
        next.kb_downloaded += v.size_kb;
        finished = hand_to_unpack_pool(s, i, archive, local);
        break;
      case 2:
        if (const int local_err = http.local_error(http_slot)) {
          // The archive could not be written here (a full disc, no
          // permission): no server can help with that, so the run stops.
          stg.had_errors = 1;
          run_stopped = true;
          __MACIBM_alert(0, UTL_translate_string("The installer cannot save the files it downloads."),
                         UTL_translate_string("Folder: ") + folder_part(archive),
                         UTL_translate_string("Error: ") + error_str(local_err),
                         UTL_translate_string("Please make room or fix the folder's permissions, then try again."),
                         t_alert, "utils", __LINE__);
          break;
        }
        // Only this stream asks again for its own file, from another
        // server; the other streams go on with theirs. A file that every
        // server has failed to deliver again and again is given up: an
        // error of the run, which goes on with the other files.
        if (++download_failures[i] >= kDownloadTriesPerServer * std::max(stg.num_servers, 1)) {
          stg.had_errors = 1;
          stg.download_failed = 0;
          v.is_current = 0;
          xer << "Gave up downloading " << request << " after " << download_failures[i]
              << " failed tries on the update servers; the file stays as it was.\n";
          finished = true;
          break;
        }
        stg.download_failed = 1;
        if (stg.num_servers >= 1) stg.server_index = pick_other_server_index(stg.num_servers, stream_server[s]);
        break;
      default: break;
    }
  } else {
    stg.file_action = v.is_current ? action_current : action_not_needed;
    finished = true;
  }
  if (finished) stream_rule(s);
}

}  // namespace

void grab_files_kill() { drain_unpack_pool(true); }

std::string stream_archive(int s) { return temp_path + static_cast<char>('0' + s) + ".zip"; }

int64_t archive_download_limit(const file_version_struct& v) {
  // Sizes come as whole KB stored in floats; anything beyond a petabyte is
  // held there, so the sum below stays far from overflow.
  double kb = std::ceil(std::max(static_cast<double>(v.size_kb), static_cast<double>(v.unpacked_kb)));
  if (!(kb >= 0.0)) kb = 0.0;
  if (kb > 1e12) kb = 1e12;
  const int64_t bytes = static_cast<int64_t>(kb) * 1024;
  return bytes + bytes / 64 + (int64_t{64} << 10);
}

int streams_for_rate(double kb_per_second) {
  if (kb_per_second > 200.0) return 9;
  if (kb_per_second > 150.0) return 8;
  if (kb_per_second > 100.0) return 6;
  if (kb_per_second > 50.0) return 4;
  return 2;
}

void next_class::reset_all_streams() {
  // Transfers of an earlier run that are still under way are dropped, and
  // the streams' archives removed, so that nothing of that run can be
  // unpacked over a file of the next one.
  for (int s = 0; s < kStreams; ++s) {
    http.abort(s + kFirstStreamHttp);
    stream_holds_archive[s] = false;
    if (!temp_path.empty()) delete_file(stream_archive(s));
  }
  // Archives already on the unpack pool are unpacked to the end (each file
  // is replaced whole or not at all) and taken back; a failure among them
  // is only logged, as the run they belong to is over.
  drain_unpack_pool(true);
  run_stopped = false;
  download_failures.clear();

  next_file = 0;
  for (int s = 0; s < kStreams; ++s) {
    slot_active[s] = s < 2 ? 1 : 0;
    slot_wants_file[s] = s < 2 ? 1 : 0;
    slot_file[s] = 0;
  }
  start_time = xtim.elapsed;
  kb_partial = 0.0f;
  kb_downloaded = 0.0f;
  kb_installed = 0.0f;
}

int extract_and_delete_file(std::string archive, std::string destination, const file_version_struct* want) {
  unpack_check check;
  if (want) expect_version(check, *want);
  const int code = unpack_single_file(archive, destination, nullptr, want ? &check : nullptr);
  report_unpack(archive, destination, code, false);
  delete_file(archive);
  return code;
}

int unpacks_in_flight() {
  return web_unzip_pool ? static_cast<int>(web_unzip_pool->count_total_tasks()) : 0;
}

bool wait_for_streams(double seconds) {
  const int count = static_cast<int>(sim_info.size());
  int watch[kStreams];
  int n = 0;
  bool holding = false;
  for (int s = 0; s < kStreams; ++s) {
    if (!next.slot_active[s]) continue;
    const int f = next.slot_file[s];
    // Taking a file, or the end of the table (which the next call must see
    // to end the run), is work; a stream past the end only takes the end
    // again.
    if (next.slot_wants_file[s] && (next.next_file < count || (f >= 0 && f < count))) return true;
    if (f < 0 || f >= count) continue;  // idle
    const file_version_struct& v = current_version(f);
    if (v.do_delete || !v.do_install) return true;  // done in the next call
    if (stream_holds_archive[s]) {
      holding = true;  // waits for the unpack pool
      continue;
    }
    const int slot = s + kFirstStreamHttp;
    if (http.slots[slot]) {
      watch[n++] = slot;
    } else if (http.rest_left(slot) <= 0.0f) {
      return true;  // the next call starts the transfer
    }
    // A resting slot waits for the frame timer, which moves between frames.
  }
  const int unpacks = unpacks_in_flight();
  if (n == 0 && unpacks == 0) return false;
  if (n == 0) {
    // Only unpackings are left to wait for: the first to come back is taken
    // back at once.
    const int ms = seconds > 0.0 ? static_cast<int>(seconds * 1000.0) + 1 : 0;
    if (UTL_work_task* done = web_unzip_pool->check_retired_tasks(ms)) collect_unpack(done, false);
    return true;
  }
  // A stream that waits for room on the pool cannot be woken by the pool
  // while the sockets are watched: it looks again every millisecond.
  http.wait_ready(watch, n, holding && unpacks > 0 && seconds > 0.001 ? 0.001 : seconds);
  return true;
}

int grab_files_slice(double seconds) {
  const uint64_t start = xtim_class::microsecs();
  const double limit_us = seconds * 1e6;
  for (;;) {
    const int r = grab_files();
    if (r != 0) return r;
    const double left = limit_us - static_cast<double>(xtim_class::microsecs() - start);
    if (left <= 0.0) return 0;
    if (!wait_for_streams(left * 1e-6)) return 0;
  }
}

int grab_files() {
  const int count = static_cast<int>(sim_info.size());
  next.kb_partial = 0.0f;
  // Unpackings that have come back first: their files are installed now,
  // and the room they leave on the pool serves the streams in this call.
  collect_finished_unpacks();
  // Once the run has stopped, no stream is stepped any more.
  for (int s = 0; s < kStreams && !run_stopped; ++s) {
    if (!next.slot_active[s]) continue;
    if (next.slot_wants_file[s]) {
      next.slot_file[s] = next.next_file;
      next.next_file = std::min(std::max(next.next_file + 1, 0), count);
    }
    const int f = next.slot_file[s];
    if (f >= 0 && f < count) file_step(s, f);
  }

  if (run_stopped) return 1;
  for (int s = 0; s < kStreams; ++s) {
    if (!next.slot_active[s]) continue;
    const int f = next.slot_file[s];
    if (f >= 0 && f < count) return 0;
  }
  // The run ends once every unpacking has come back as well.
  if (unpacks_in_flight() > 0) return 0;
  drain_unpack_pool(false);  // nothing left on it: only its threads end
  next.all_done = 1;
  remove_empty_folders(deleted_files, dest_dir_path);
  return 1;
}
