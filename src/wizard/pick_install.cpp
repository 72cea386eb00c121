#include "wizard/pick_install.h"

#include <string>

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

void UTIL_pick_install() {
  if (all_haldens.size() == 1 && dest_dir_path.empty()) dest_dir_path = all_haldens[0];
  const int n = static_cast<int>(all_haldens.size());
  for (int i = 0; i < n; ++i) {
    const std::string& folder = all_haldens[static_cast<std::size_t>(i)];
    const float y = pick_row_y(i);
    OGL_string(kListColour, kPickTextX, y, folder, kPickTextWrap, charset_prop, 0);
    int on = dest_dir_path == folder ? 1 : 0;
    if (BTN_bool(kPickRadioX, y, &on, "", 1)) dest_dir_path = folder;
  }
  const float y = pick_row_y(n);
  OGL_string(kListColour, kPickQuestionX, y, T("Is the copy of Corvane 9 you're looking for missing from this list?"),
             kPickTextWrap, charset_prop, 0);
  if (BTN_action(kFindItX, y + kFindItRaise, kFindItWidth, 0, 1, T("Find It"), "-")) find_it();
}
