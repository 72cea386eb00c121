#include "engine/decisions.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "engine/ui_calls.h"
#include "files/io_utils.h"
#include "runtime/alert.h"
#include "runtime/globals.h"
#include "runtime/mnw.h"
#include "runtime/translate.h"

namespace {

struct question_button_layout {
  const char* install_label;
  const char* delete_label;
  float x, y, w;
  int answer;
};

// Drawn and tested in this order.
const question_button_layout kButtons[] = {
    {"OVERWRITE THE OLD FILE", "DELETE THE OLD FILE", 96, 53, 160, answer_act},
    {"KEEP THE OLD FILE", "KEEP THE OLD FILE", 96, 28, 160, answer_keep},
    {"OVERWRITE EVERY OLD FILE IN THIS DIRECTORY", "DELETE EVERY OLD FILE IN THIS DIRECTORY", 308, 53, 260,
     answer_act_folder},
    {"KEEP EVERY OLD FILE IN THIS DIRECTORY", "KEEP EVERY OLD FILE IN THIS DIRECTORY", 308, 28, 260,
     answer_keep_folder},
    {"CANCEL THE WHOLE INSTALLATION!", "CANCEL THE WHOLE INSTALLATION!", 584, 28, 200, answer_cancel},
};

bool listed(const std::vector<std::string>& folders, const std::string& folder) {
  return std::find(folders.begin(), folders.end(), folder) != folders.end();
}

// The current version of file i belongs to this installation.
bool wanted(int i) {
  return want_this_f(i, static_cast<int>(sim_info[static_cast<std::size_t>(i)].versions.size()) - 1) != 0;
}

}  // namespace

int select_alert(std::string path, int is_delete) {
  const std::string first = UTL_translate_string(is_delete ? "I am about to DELETE:" : "I am about to install:");
  const std::string third = UTL_translate_string(
      is_delete ? "because we no longer use this file, but it appears you have modified it. What to do?"
                : "but it appears you have modified this file. What to do?");
  // The texts wrap 20 units short of the box's right edge, one below the
  // other: a path of several lines pushes the closing line down, and the
  // box grows to hold them.
  const question_text texts[] = {{20, 100, 40, first}, {20, 90, 40, path}, {20, 80, 40, third}};
  constexpr int kButtonCount = static_cast<int>(sizeof kButtons / sizeof kButtons[0]);
  question_button buttons[kButtonCount];
  for (int k = 0; k < kButtonCount; ++k) {
    const question_button_layout& b = kButtons[k];
    buttons[k] = {b.x, b.y, b.w, UTL_translate_string(is_delete ? b.delete_label : b.install_label), b.answer};
  }
  const std::string headless[4] = {"I have to ask you about a file that you changed, but there is no window to ask in.",
                                   first + " " + path, third,
                                   "Run the installer on a display to answer this question."};
  return BTN_question_box(wind_question, texts, 3, 80, buttons, kButtonCount, answer_cancel, headless);
}

int choose_files() {
  std::vector<std::string> act_folders;   // answer 4: act on every changed file of these
  std::vector<std::string> keep_folders;  // answer 5: keep every changed file of these

  const int count = static_cast<int>(sim_info.size());
  for (int i = 0; i < count; ++i) {
    file_version_struct& cur = current_version(i);
    cur.do_install = 0;
    cur.do_delete = 0;
    if (!wanted(i)) continue;

    const std::string local = local_path_of(cur);

    bool gone = cur.sig_want == kSigGone;
    const bool present = cur.sig_have != kSigNone;
    bool same = present && cur.sig_have == cur.sig_want;
    if (cur.is_global_scenery && stg.tile_want[cur.lon_col][cur.lat_row] == 0) {
      // A scenery tile that is not chosen is removed, whatever its signature.
      gone = true;
      same = false;
    }

    bool act = !(!present && gone) && !same;
    // A version that any record of the path lists is the release's, not
    // a change of the user's.
    if (present && !same && !release_lists(i, cur.sig_have)) {
      // The local file is no released version: the user changed it.
      const std::string folder = folder_part(local);
      if (listed(act_folders, folder)) {
        act = true;
      } else if (listed(keep_folders, folder)) {
        act = false;
      } else {
        xer << "File: " << local << "  sig_want=" << cur.sig_want << "  sig_have=" << cur.sig_have << "\n";
        switch (select_alert(local, gone ? 1 : 0)) {
          case answer_act: act = true; break;
          case answer_keep: act = false; break;
          case answer_act_folder:
            act = true;
            act_folders.push_back(folder);
            break;
          case answer_keep_folder:
            act = false;
            keep_folders.push_back(folder);
            break;
          default: return 0;
        }
      }
    }
    cur.do_install = act && !gone ? 1 : 0;
    cur.do_delete = act && gone ? 1 : 0;
  }

  // Progress marks: the share of the unpacked size of all files to install
  // that comes before each file.
  double total = 0.0;
  for (const file_history_struct& h : sim_info)
    if (h.versions.back().do_install) total += h.versions.back().unpacked_kb;
  double running = 0.0;
  for (file_history_struct& h : sim_info) {
    file_version_struct& cur = h.versions.back();
    if (total <= 0.0) {
      cur.progress_mark = 0.5f;
      continue;
    }
    cur.progress_mark = static_cast<float>(running / total);
    if (cur.do_install) running += cur.unpacked_kb;
  }
  return 1;
}
