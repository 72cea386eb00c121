// The web update's engine road without a display, timed: server list and
// directory, scan of the install folder, decisions, folders, then the
// download streams until every file is in place; then a second scan checks
// that every file is current.
//
//   bench_web_update PORT INSTALL_FOLDER TEMP_FOLDER [STREAMS [PASS_WAIT_MS]]
//
// The update server (bench_http_serve) listens on 127.0.0.1:PORT and is
// reached through the proxy settings, as the tests reach theirs. STREAMS is
// the fixed number of download streams (default 4; 0 for automatic). The
// engine is driven as the window's event loop drives it: each pass first
// waits for the rest of a frame of PASS_WAIT_MS milliseconds (default 16; 0
// runs the passes back to back) counted from the end of the last wait, so
// that a pass whose own work took a frame or more is followed by no wait,
// then calls the current screen's step once (the directory fetch, the scan)
// or, on the install screen, the download step for its 20 ms slice
// (grab_files_slice). Prints one line; "total_ns=" is the whole road from
// the first pass to the one that installs the last file.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/checksum.h"
#include "engine/decisions.h"
#include "engine/download.h"
#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "engine/make_dirs.h"
#include "engine/server_list.h"
#include "files/http.h"
#include "runtime/globals.h"
#include "runtime/xtim.h"

namespace {

using clock_type = std::chrono::steady_clock;

double since(clock_type::time_point t0) {
  return std::chrono::duration<double>(clock_type::now() - t0).count();
}

int pass_wait_ms = 16;

// When the last wait ended.
clock_type::time_point last_wait_end = clock_type::now();

// The start of one pass of the event loop (src/window/event_loop.cpp): the
// wait on the window for what is left of the frame since the last wait
// ended, none when the pass's own work took the whole frame, then the frame
// timer.
void next_pass() {
  if (pass_wait_ms > 0) {
    const long full = pass_wait_ms * 1000L;
    const long spent = static_cast<long>(
        std::chrono::duration_cast<std::chrono::microseconds>(clock_type::now() - last_wait_end).count());
    const long wait = std::clamp(full - spent, 0L, full);
    timespec ts{wait / 1000000, (wait % 1000000) * 1000L};
    nanosleep(&ts, nullptr);
  }
  last_wait_end = clock_type::now();
  xtim.xtim_update();
}

void scan_all() {
  int queued = 0;
  float fraction = 0.0f;
  do {
    next_pass();
  } while (!checksum_directory(queued, fraction));
  recalc_disk_sizes();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 6) {
    std::fprintf(stderr, "usage: %s PORT INSTALL_FOLDER TEMP_FOLDER [STREAMS [PASS_WAIT_MS]]\n", argv[0]);
    return 2;
  }
  stg_reset_for_start();
  stg.stream_count = argc >= 5 ? std::atoi(argv[4]) : 4;
  if (argc == 6) pass_wait_ms = std::atoi(argv[5]);
  http.proxy_host = "127.0.0.1";
  http.proxy_port = std::atoi(argv[1]);
  dest_dir_path = argv[2];
  temp_path = argv[3];
  if (dest_dir_path.back() != '/') dest_dir_path += '/';
  if (temp_path.back() != '/') temp_path += '/';
  xer.open(temp_path + "log.txt", std::ios::out | std::ios::trunc);

  const auto t0 = clock_type::now();
  last_wait_end = t0;
  int passes = 0;
  while (stg.dir_status != 3) {
    if (stg.dir_status == 2 || since(t0) > 60.0) {
      std::fprintf(stderr, "the directory could not be fetched\n");
      return 1;
    }
    if (passes++ > 0) next_pass();
    else xtim.xtim_update();
    UTL_download_directory();
  }
  const double t_directory = since(t0);
  scan_all();
  const double t_scan = since(t0);
  const int files = stg.files_to_get;
  const double kb = stg.kb_to_download;
  if (!choose_files() || make_dirs() != 0) {
    std::fprintf(stderr, "the installation could not start\n");
    return 1;
  }
  next.reset_all_streams();
  const auto t_start = clock_type::now();
  int frames = 0;
  int r = 0;
  while (r == 0) {
    next_pass();
    r = grab_files_slice(0.02);
    ++frames;
  }
  next.reset_all_streams();
  const double t_download = since(t_start);
  const double t_total = since(t0);

  // Not timed: every file must now be current.
  scan_all();
  int not_current = 0;
  for (const file_history_struct& h : sim_info) {
    const file_version_struct& v = h.versions.back();
    if (v.sig_want != kSigGone && !v.is_current) ++not_current;
  }
  std::printf("files %d  archives %.1f MiB  directory %.3f s  scan %.3f s  downloads %.3f s (%d passes)  total %.3f s  "
              "total_ns=%.0f\n",
              files, kb / 1024.0, t_directory, t_scan - t_directory, t_download, frames, t_total, t_total * 1e9);
  if (stg.had_errors || not_current) {
    std::fprintf(stderr, "FAILED: had_errors=%d, %d files not current\n", stg.had_errors, not_current);
    return 1;
  }
  return 0;
}
