#include "wizard/pick_install.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/installed_copies.h"
#include "engine/installer_state.h"
#include "files/io_utils.h"
#include "ui/alert.h"
#include "ui/folder_chooser.h"
#include "ui/font.h"
#include "ui/widgets.h"
#include "wizard/layout.h"
#include "wizard/screen_text.h"

namespace {

constexpr int kListColour = 45;

// The folder chooser, starting in the chosen copy (or at the root while
// none is chosen); a folder chosen there is checked and walked up.
void find_it() {
  const std::string previous = dest_dir_path;
  const std::string start = dest_dir_path.empty() ? std::string("/") : dest_dir_path;
  dest_dir_path = start;
  char chosen[2048] = {};
  if (!GetFilePathFromUser(2, T("Please select your Corvane 9 folder."), T("Select"), 1, start.c_str(), chosen,
                           sizeof chosen)) {
    dest_dir_path = previous;
    return;
  }
  pick_accept_folder(chosen, previous);
}

}  // namespace

int pick_accept_folder(const std::string& chosen, const std::string& previous) {
  dest_dir_path = chosen;
  for (;;) {
    if (path_is_to_a_sim()) {
      register_new_corvane();
      locate_all_corvanes();
      return 1;
    }
    const std::string parent = folder_part(dest_dir_path);
    if (parent.empty() || parent == dest_dir_path) break;
    dest_dir_path = parent;
  }
  dest_dir_path = previous;
  MACIBM_alert(0, T("You selected the folder path:"), chosen,
               T("But it does not appear to be an installed copy of Corvane 9."),
               T("Please be sure to select the folder that contains the Corvane application."), t_alert);
  return 0;
}

pick_rows pick_layout(const std::vector<std::string>& folders) {
  pick_rows out;
  const std::size_t n = folders.size();
  out.shown = folders;
  std::vector<int> lines(n);
  int extra = 0;  // lines beyond the first of every row
  for (std::size_t i = 0; i < n; ++i) {
    lines[i] = std::max(1, OGL_text_lines(folders[i], kPickTextWrap));
    extra += lines[i] - 1;
  }
  // The further lines the room above kPickLowestLine holds besides a line
  // for each row.
  const int room = static_cast<int>(
      std::floor((kPickRowTop - kPickLowestLine - kPickRowStep * static_cast<float>(n)) / kLineStep));
  if (extra > room) {
    // Each row's share: the most lines every row may keep while they fit;
    // what the share leaves over goes a line each to the first rows cut.
    const auto extra_within = [&](int share) {
      int sum = 0;
      for (int l : lines) sum += std::min(l, share) - 1;
      return sum;
    };
    int share = 1;
    while (extra_within(share + 1) <= room) ++share;
    int spare = room - extra_within(share);
    for (std::size_t i = 0; i < n; ++i) {
      if (lines[i] <= share) continue;
      const int keep = share + (spare > 0 ? 1 : 0);
      if (spare > 0) --spare;
      out.shown[i] = OGL_cut_to_lines(folders[i], kPickTextWrap, keep);
      lines[i] = std::max(1, OGL_text_lines(out.shown[i], kPickTextWrap));
    }
  }
  float y = kPickRowTop;
  for (std::size_t i = 0; i < n; ++i) {
    out.y.push_back(y);
    y -= kPickRowStep + kLineStep * static_cast<float>(lines[i] - 1);
  }
  out.below = y;
  return out;
}

void UTIL_pick_install() {
  if (all_haldens.size() == 1 && dest_dir_path.empty()) dest_dir_path = all_haldens[0];
  // A few microseconds a frame for a list that fits; about half a
  // millisecond for twelve rows that must be cut.
  const pick_rows rows = pick_layout(all_haldens);
  for (std::size_t i = 0; i < all_haldens.size(); ++i) {
    const std::string& folder = all_haldens[i];
    OGL_string(kListColour, kPickTextX, rows.y[i], rows.shown[i], kPickTextWrap, charset_prop, 0);
    int on = dest_dir_path == folder ? 1 : 0;
    if (BTN_bool(kPickRadioX, rows.y[i], &on, "", 1)) dest_dir_path = folder;
  }
  OGL_string(kListColour, kPickQuestionX, rows.below,
             T("Is the copy of Corvane 9 you're looking for missing from this list?"), kPickTextWrap, charset_prop, 0);
  if (BTN_action(kFindItX, rows.below + kFindItRaise, kFindItWidth, 0, 1, T("Find It"), "-")) find_it();
}
