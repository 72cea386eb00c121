#include "engine/download.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/archive_check.h"
#include "engine/install_filter.h"
#include "engine/delete_files.h"
#include "engine/installer_state.h"
#include "engine/server_list.h"
#include "files/archives.h"
#include "files/folder_list.h"
#include "files/http.h"
#include "files/io_utils.h"
#include "runtime/globals.h"
#include "runtime/translate.h"
#include "runtime/xtim.h"
#include "ui/alert.h"

namespace {

// The server each stream's transfer was started with: a failed transfer is
// asked for again from another one.
int stream_server[kStreams] = {};

// The run was stopped because files could not be written here: the other
// streams are not stepped any more in the call that found it.
bool stopped_by_local_failure = false;

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
  const std::string local = local_path(v.path);
  int server = stg.server_index;
  if (server < 0 || server >= kMaxServers || (stg.num_servers > 0 && server >= stg.num_servers)) server = 0;
  const std::string request = server_path[server] + v.path + ".zip";
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
  if (v.do_delete) {
    stg.file_action = action_deleting;
    const int code = delete_file(local);
    // A deletion that failed for a reason other than the file being gone
    // already is always worth a line in the log.
    if (stg.log_actions || (code != 0 && code != ENOENT))
      xer << "now we want to nuke a file: DELETING  file " << local << ", with result=" << code << ".\n";
    add_folder_chain(deleted_files, local, dest_dir_path);
    if (show_del_err(code)) {
      __MACIBM_alert(0, UTL_translate_string("Could not delete a file that I no longer want to have!"),
                     error_str(code), local, "", t_exit, "utils", __LINE__);
    }
    finished = true;
  } else if (v.do_install) {
    stg.file_action = action_installing;
    const int http_slot = s + kFirstStreamHttp;
    // A call on an idle slot starts the transfer (now or, after a failure,
    // once the slot's pause is over) from this server.
    if (!http.slots[http_slot]) stream_server[s] = server;
    switch (http.net_check(http_slot, host, request, archive)) {
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
      case 1: {
        stg.download_failed = 0;
        const int code = extract_and_delete_file(archive, local, &v);
        next.kb_downloaded += v.size_kb;
        if (code == 0) {
          v.is_current = 1;
          next.kb_installed += v.unpacked_kb;
        } else {
          v.is_current = 0;
        }
        finished = true;
        break;
      }
      case 2:
        if (const int local_err = http.local_error(http_slot)) {
          // The archive could not be written here (a full disc, no
          // permission): no server can help with that, so the run stops.
          stg.had_errors = 1;
          stopped_by_local_failure = true;
          __MACIBM_alert(0, UTL_translate_string("The installer cannot save the files it downloads."),
                         UTL_translate_string("Folder: ") + folder_part(archive),
                         UTL_translate_string("Error: ") + error_str(local_err),
                         UTL_translate_string("Please make room or fix the folder's permissions, then try again."),
                         t_alert, "utils", __LINE__);
          break;
        }
        // Only this stream asks again for its own file, from another
        // server; the other streams go on with theirs.
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

std::string stream_archive(int s) { return temp_path + static_cast<char>('0' + s) + ".zip"; }

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
    if (!temp_path.empty()) delete_file(stream_archive(s));
  }

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
  if (code != 0) {
    stg.had_errors = 1;
    __MACIBM_alert(0, UTL_translate_string("The installer cannot extract a file."),
                   UTL_translate_string("Error: ") + error_str(code),
                   UTL_translate_string("Compressed File: ") + archive,
                   UTL_translate_string("Destination: ") + destination, t_alert, "utils", __LINE__);
  }
  if (stg.log_actions) xer << "EXPANDING file " << destination << ", with result=" << code << ".\n";
  delete_file(archive);
  return code;
}

bool wait_for_streams(double seconds) {
  const int count = static_cast<int>(sim_info.size());
  int watch[kStreams];
  int n = 0;
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
    const int slot = s + kFirstStreamHttp;
    if (http.slots[slot]) {
      watch[n++] = slot;
    } else if (http.rest_left(slot) <= 0.0f) {
      return true;  // the next call starts the transfer
    }
    // A resting slot waits for the frame timer, which moves between frames.
  }
  if (n == 0) return false;
  http.wait_ready(watch, n, seconds);
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
  stopped_by_local_failure = false;
  for (int s = 0; s < kStreams && !stopped_by_local_failure; ++s) {
    if (!next.slot_active[s]) continue;
    if (next.slot_wants_file[s]) {
      next.slot_file[s] = next.next_file;
      next.next_file = std::min(std::max(next.next_file + 1, 0), count);
    }
    const int f = next.slot_file[s];
    if (f >= 0 && f < count) file_step(s, f);
  }

  for (int s = 0; s < kStreams; ++s) {
    if (!next.slot_active[s]) continue;
    const int f = next.slot_file[s];
    if (f >= 0 && f < count) return stg.had_errors;
  }
  next.all_done = 1;
  remove_empty_folders(deleted_files, dest_dir_path);
  return 1;
}
