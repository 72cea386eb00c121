// A fixture that drives the web update's engine the way the wizard's screens
// do (search, scan, disk space, install), without a display, against a
// TestHttpServer reached through the proxy settings and a release made by
// ReleaseBuilder.
#pragma once

#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/checksum.h"
#include "engine/decisions.h"
#include "engine/download.h"
#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "engine/make_dirs.h"
#include "engine/server_list.h"
#include "files/http.h"
#include "runtime/cmdline.h"
#include "runtime/prefs.h"
#include "runtime/xtim.h"
#include "support/http_server.h"
#include "support/log_capture.h"
#include "support/release_builder.h"
#include "support/temp_dir.h"
#include "support/scripted_clicks.h"

class UpdateRig : public ::testing::Test {
 protected:
  // What one installation run did, watched frame by frame.
  struct RunStats {
    int result = 0;              // last grab_files result; 0 when the time ran out
    int frames = 0;
    int calls = 0;               // grab_files calls
    int max_unpacks = 0;         // most unpackings in flight at once
    int max_active = 0;          // most streams switched on at once
    int final_active = 0;        // streams switched on at the end
    bool saw_failure = false;    // download_failed was set at some point
    float max_installed = 0.0f;  // highest kb_installed seen
  };

  void SetUp() override {
    // The unpack threads set file times with mktime. With TZ unset, glibc
    // reads the zone file under a lock that the thread sanitizer cannot
    // see; naming the zone once keeps that out of its reports.
    if (!getenv("TZ")) setenv("TZ", ":/etc/localtime", 1);
    tzset();
    ASSERT_TRUE(www.ok() && work.ok());
    server = std::make_unique<TestHttpServer>(www.path());
    saved_stg_ = stg;
    stg_reset_for_start();
    stg.log_actions = 0;
    stg.get_beta = 0;
    std::memset(stg.tile_want, 0, sizeof stg.tile_want);
    set_install_filter(1, 1);
    temp_path = work / "temp/";
    ASSERT_TRUE(write_file(temp_path + "placeholder", ""));
    dest_dir_path = work / "Corvane 9/";
    install_name = "Not Yet Scanned";
    // The servers are reached the way the installer reaches them in the
    // tests: through its proxy preferences given on the command line.
    const char* home = getenv("HOME");
    saved_home_ = home ? home : "";
    had_home_ = home != nullptr;
    setenv("HOME", (work / "home").c_str(), 1);
    saved_options_ = cmdline.options;
    cmdline.options["--pref:_proxy_host"] = "127.0.0.1";
    cmdline.options["--pref:_proxy_port_int"] = std::to_string(server->port());
    pref.IO_set(11, 0);
    ASSERT_EQ(http.proxy_host, "127.0.0.1");
    ASSERT_EQ(http.proxy_port, server->port());
    sim_info.clear();
    deleted_files.clear();
    next = next_class{};
    BTN_script_clear();
    // A slot rests for a while of the frame timer after a failed transfer:
    // an earlier test's failure is waited out, or it would hold back this
    // test's first transfer on that slot.
    for (int slot = 0; slot < http_class::kSlots; ++slot)
      while (xtim.xtim_update(), http.rest_left(slot) > 0.0f) nap();
    log_ = std::make_unique<LogCapture>(work / "log.txt");
  }

  void TearDown() override {
    checksum_directory_kill();
    next.reset_all_streams();  // takes back what is still being unpacked
    web_unpacks_max = 30;
    for (int slot = 0; slot < http_class::kSlots; ++slot) http.abort(slot);
    http.proxy_host.clear();
    http.proxy_port_text.clear();
    http.proxy_port = 0;
    cmdline.options = saved_options_;
    if (had_home_)
      setenv("HOME", saved_home_.c_str(), 1);
    else
      unsetenv("HOME");
    stg = saved_stg_;
    sim_info.clear();
    deleted_files.clear();
    next = next_class{};
    temp_path.clear();
    dest_dir_path.clear();
    install_name.clear();
    crnt_file_name.clear();
    crnt_file_path.clear();
    for (int i = 0; i < kMaxServers; ++i) server_name[i] = server_path[i] = server_desc[i] = "";
    BTN_script_clear();
    log_.reset();
  }

  std::string log_text() { return log_->text(); }

  void publish() {
    std::string error;
    ASSERT_TRUE(builder.publish(www.path(), servers, kInstallName, &error)) << error;
  }

  // The search screen: fetch the server list and the directory (or read the
  // directory again on a later visit), frame by frame.
  bool fetch_directory(double seconds = 10.0) {
    if (stg.dir_status == 3) stg.dir_status = 1;
    const auto limit = deadline(seconds);
    while (stg.dir_status != 3) {
      if (std::chrono::steady_clock::now() > limit || stg.dir_status == 2) return false;
      xtim.xtim_update();
      UTL_download_directory();
      nap();
    }
    return true;
  }

  // The scan, one call per frame.
  bool scan(double seconds = 20.0) {
    int queued = 0;
    float fraction = 0.0f;
    const auto limit = deadline(seconds);
    while (!checksum_directory(queued, fraction)) {
      if (std::chrono::steady_clock::now() > limit) return false;
      xtim.xtim_update();
      nap();
    }
    recalc_disk_sizes();
    return true;
  }

  // The first frame of the install screen: 1 when the streams start, 0 when
  // the user cancelled, -1 when a folder could not be made.
  int start_install() {
    if (!choose_files()) return 0;
    if (make_dirs() != 0) return -1;
    next.reset_all_streams();
    return 1;
  }

  // One frame of the install screen: grab_files again and again for 20 ms,
  // waiting for the transfers between calls, as grab_files_slice does.
  int frame(RunStats& stats) {
    xtim.xtim_update();
    const double s0 = static_cast<double>(xtim_class::microsecs()) * 1e-6;
    int r = 0;
    for (;;) {
      r = grab_files();
      ++stats.calls;
      int active = 0;
      for (int s = 0; s < kStreams; ++s) active += next.slot_active[s] ? 1 : 0;
      if (active > stats.max_active) stats.max_active = active;
      stats.final_active = active;
      if (stg.download_failed) stats.saw_failure = true;
      if (next.kb_installed > stats.max_installed) stats.max_installed = next.kb_installed;
      stats.max_unpacks = std::max(stats.max_unpacks, unpacks_in_flight());
      if (on_call) on_call();
      if (r) break;
      const double left = s0 + 0.02 - static_cast<double>(xtim_class::microsecs()) * 1e-6;
      if (left <= 0.0 || !wait_for_streams(left)) break;
    }
    ++stats.frames;
    return r;
  }

  // Install frames until grab_files returns non-zero (then the streams are
  // reset, as the screen does), stop() holds, or the time runs out.
  RunStats run_install(double seconds = 20.0, const std::function<bool()>& stop = nullptr) {
    RunStats stats;
    const auto limit = deadline(seconds);
    while (std::chrono::steady_clock::now() < limit) {
      stats.result = frame(stats);
      if (stats.result) {
        next.reset_all_streams();
        break;
      }
      if (stop && stop()) break;
      nap();
    }
    return stats;
  }

  // The whole road of one web update; false when a step before the
  // downloads did not finish.
  bool road(RunStats& stats, double seconds = 20.0) {
    if (!fetch_directory() || !scan()) return false;
    if (start_install() != 1) return false;
    stats = run_install(seconds);
    return true;
  }

  // Index in sim_info of a file by its path below the install folder; -1
  // when the table has no such file.
  int index_of(const std::string& path) const {
    for (std::size_t i = 0; i < sim_info.size(); ++i)
      if (sim_info[i].versions.back().path == "Halden/" + path) return static_cast<int>(i);
    return -1;
  }

  std::string local(const std::string& path) const { return dest_dir_path + path; }
  std::string request_of(const std::string& path, const std::string& server_folder = "/corvane/") const {
    return server_folder + kInstallName + "/Halden/" + path + ".zip";
  }

  // Every file of the release is on disk with exactly its bytes, and every
  // file the release removes is gone.
  void expect_release_on_disk(const std::map<std::string, std::string>& release,
                              const std::vector<std::string>& removed) {
    for (const auto& [path, content] : release) {
      EXPECT_TRUE(exists_at_all(local(path))) << path;
      EXPECT_TRUE(read_file(local(path)) == content) << path << " differs from the release";
    }
    for (const std::string& path : removed) EXPECT_FALSE(exists_at_all(local(path))) << path;
  }

  // After a fresh scan, every file that the release keeps is current and
  // every file it removes is absent.
  void expect_all_current() {
    ASSERT_TRUE(scan());
    for (const file_history_struct& h : sim_info) {
      const file_version_struct& v = h.versions.back();
      if (v.sig_want == kSigGone) {
        EXPECT_EQ(v.sig_have, kSigNone) << v.path;
      } else {
        EXPECT_EQ(v.is_current, 1) << v.path;
      }
    }
    EXPECT_EQ(stg.files_to_get, 0);
    EXPECT_EQ(stg.files_to_delete, 0);
    EXPECT_EQ(stg.kb_to_install, 0.0f);
  }

  static std::chrono::steady_clock::time_point deadline(double seconds) {
    return std::chrono::steady_clock::now() +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
  }
  static void nap() {
    timespec ts{0, 500000};
    nanosleep(&ts, nullptr);
  }

  static constexpr const char* kInstallName = "v910";

  // Called after every grab_files call of frame(), when set.
  std::function<void()> on_call;

  TempDir www, work;
  std::unique_ptr<TestHttpServer> server;
  ReleaseBuilder builder{work / "staging/"};
  std::vector<ReleaseBuilder::Server> servers = {{"s1.example.com", "/corvane/", "First server", true}};

 private:
  std::map<std::string, std::string> saved_options_;
  std::string saved_home_;
  bool had_home_ = false;
  stg_struct saved_stg_{};
  std::unique_ptr<LogCapture> log_;
};
