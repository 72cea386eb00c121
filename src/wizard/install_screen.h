// The install screens of the web flows: on set-up the engine decides every
// file (asking about files changed locally) and makes the folders; then, in
// every frame, the download streams run for 20 ms (waiting for their
// transfers between steps), and after each step the screen recomputes its
// smoothed progress, the caption of the file in hand, the time left, or the
// failure text while a download is being asked from another server. The
// web update and the web demo run the same screen with the differences of
// install_screen_kind.
#pragma once

#include <string>

#include "wizard/wizard.h"

struct install_screen_kind {
  float* totl_inst_rat;  // the screen's own smoothed progress, 0..1, kept between visits
  screen_func back;      // Back, and where a set-up that failed returns
  screen_func done;      // where the finished (or failed) install leads
  // Null: the set-up runs on every first frame. Otherwise the set-up runs
  // while *running is 0, which it sets to 1 until the install ends.
  int* running;
};

// One frame of an install screen.
int install_screen_frame(const install_screen_kind& kind, int first_frame, wizard_screen& ws);

// --- The texts and the bar, open for tests ---

// The caption for the engine's last action on a file (stg.file_action);
// fraction is the share of its download received (-0.01 while unknown).
std::string install_caption(int file_action, const std::string& name, float fraction);

// "About N <unit> left in the install, downloading at R kilobytes/second
// with K simultaneous download streams." from the KB arrived (downloaded
// plus partial), the KB to download, the seconds since the streams were
// reset and the number of streams. While nothing has arrived the rate is 0
// and N shows as kTimeUnknown.
std::string install_time_sentence(double kb_arrived, double kb_to_download, double seconds, int streams);
inline constexpr const char kTimeUnknown[] = "--";

std::string install_failure_text(const std::string& download_path);

// The bar's next value: one smoothing step of weight 5 frame_prd toward
// installed / to_install, held within 0..1 (1 for a target that is not a
// number).
float install_smooth(float current, float frame_prd, double installed, double to_install);
