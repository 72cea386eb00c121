#include "wizard/install_screen.h"

#include <cmath>

#include "engine/decisions.h"
#include "engine/download.h"
#include "engine/installer_state.h"
#include "engine/make_dirs.h"
#include "runtime/xtim.h"
#include "wizard/screen_text.h"

namespace {

// Each frame gives the downloads this much of its time.
constexpr double kSliceSeconds = 0.02;

}  // namespace

std::string install_caption(int file_action, const std::string& name, float fraction) {
  switch (file_action) {
    case action_deleting:
      return T("Deleting ") + name + T(" because that file is no longer needed!");
    case action_installing:
      return T("Downloading and installing ") + name + T(", currently ") +
             int_text(static_cast<double>(fraction) * 100.0) + T("% done with that file.");
    case action_current:
      return T("duplicate filename through file ") + name +
             T(", but not installing it because you already have this file.");
    case action_not_needed:
      return T("Browsing through file ") + name + T(", but not installing it because you don't need this file.");
    default:
      return std::string();
  }
}

std::string install_time_sentence(double kb_arrived, double kb_to_download, double seconds, int streams) {
  double remaining = kb_to_download - kb_arrived;
  if (remaining < 0.0) remaining = 0.0;
  if (seconds < 1.0) seconds = 1.0;
  const double rate = kb_arrived / seconds;
  const double eta = remaining / rate;

  std::string number, unit;
  if (eta < 120.0) {
    number = int_text(eta);
    unit = T(" seconds");
  } else if (eta < 7200.0) {
    number = int_text(eta * (1.0 / 60.0));
    unit = T(" minutes");
  } else {
    number = int_text(eta * (1.0 / 3600.0));
    unit = T(" hours");
  }
  // With nothing arrived yet there is no rate to tell the time by.
  if (!std::isfinite(eta)) number = kTimeUnknown;
  return T("About ") + number + unit + T(" left in the install, downloading at ") + int_text(rate) +
         T(" kilobytes/second ") + T("with ") + std::to_string(streams) + T(" simultaneous download streams.");
}

std::string install_failure_text(const std::string& download_path) {
  return T("I can not download the file '") + download_path +
         T("'.\n\nYour internet connection may not be working, or the server could be undergoing maintainance or "
           "an upgrade right now.\n\nI am trying another server now to see if I can still get you a download...");
}

float install_smooth(float current, float frame_prd, double installed, double to_install) {
  const double weight = 5.0 * static_cast<double>(frame_prd);
  const double v = (1.0 - weight) * static_cast<double>(current) + weight * (installed / to_install);
  if (v < 0.0) return 0.0f;
  if (v <= 1.0) return static_cast<float>(v);
  return 1.0f;  // above 1, or not a number
}

int install_screen_frame(const install_screen_kind& kind, int first_frame, wizard_screen& ws) {
  const bool set_up = kind.running ? *kind.running == 0 : first_frame != 0;
  if (set_up) {
    // A run reports only its own problems.
    stg.had_errors = 0;
    if (!choose_files() || make_dirs() != 0) {
      ws.next_screen = kind.back;
      return 1;
    }
    next.reset_all_streams();
    if (kind.running) *kind.running = 1;
  }

  ws.title = T("Installing");
  ws.show_servers = 1;
  // The frame's share of time goes to the downloads; the texts and the bar
  // follow once, from where the downloads stand after it.
  if (grab_files_slice(kSliceSeconds) != 0) {
    next.reset_all_streams();
    if (kind.running) *kind.running = 0;
    ws.back_screen = nullptr;
    ws.next_screen = kind.done;
    return 1;
  }
  float& bar = *kind.totl_inst_rat;
  bar = install_smooth(bar, xtim.frame_period[0], next.kb_installed, stg.kb_to_install);
  if (!stg.download_failed) {
    if (bar > 0.01f) {
      int streams = 0;
      for (int s = 0; s < kStreams; ++s) streams += next.slot_active[s] ? 1 : 0;
      ws.body = install_time_sentence(static_cast<double>(next.kb_downloaded) + next.kb_partial,
                                      stg.kb_to_download, static_cast<double>(xtim.elapsed) - next.start_time,
                                      streams);
    }
    ws.progress_text = install_caption(stg.file_action, crnt_file_name, stg.file_fraction);
    ws.progress = bar;
  } else {
    ws.body = install_failure_text(crnt_file_path);
  }
  ws.back_screen = kind.back;
  ws.next_screen = nullptr;
  return 0;
}
