// The disc install's destination picker and its licence page.
#include <cstring>

#include "engine/checksum.h"
#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "files/io_utils.h"
#include "ui/enterstring.h"
#include "ui/folder_chooser.h"
#include "ui/font.h"
#include "ui/widgets.h"
#include "wizard/disc_flows.h"
#include "wizard/disk_space.h"
#include "wizard/layout.h"
#include "wizard/screen_text.h"

int accept_eula = 0;

bool install_folder_name_ok(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

namespace {

// The choice of the picker, kept for the life of the program.
std::string parent_dir;      // the folder the new copy is made in; ends in "/"
std::string install_folder;  // the new folder's name as typed
std::string desktop_f;       // the desktop, for the note that the copy appears there
// The table is to be prepared for the chosen folder: set by a change, kept
// over frames on which the name is refused, cleared once prepared.
int table_stale = 0;

// The file table as for a new, empty folder: every file absent, the
// simulator and its scenery wanted, every tile chosen.
void prepare_full_install() {
  int position = 0;
  float fraction = 0.0f;
  while (!checksum_directory(position, fraction)) {
  }
  set_install_filter(1, 1);
  scenery_take_all();
  recalc_disk_sizes();
}

}  // namespace

int dvd_pick_install(int first_frame, wizard_screen& ws) {
  int& changed = table_stale;
  if (first_frame) {
    get_OS_abs_path(os_dir_desktop, desktop_f);
    accept_eula = 0;
    set_disc_install_steps();
    // The table, the filter and the tiles are this flow's again unless the
    // user only stepped back from the licence: another flow may have set
    // them for an installed copy in the meantime.
    if (wizard_last_screen() != dvd_eula_install) changed = 1;
  }
  if (parent_dir.empty()) {
    get_OS_abs_path(os_dir_default_apps, parent_dir);
    install_folder = install_name;
    changed = 1;
  }
  ws.title = T("Pick Install Destination.");
  ws.back_screen = dvd_start;
  ws.next_screen = dvd_eula_install;

  if (BTN_action(kChangeDestX, kChangeDestY, 0, 0, 1, T("Change Destination"), "-")) {
    char chosen[2048] = {};
    std::strncpy(chosen, parent_dir.c_str(), sizeof chosen - 1);
    if (GetFilePathFromUser(2, T("Pick a folder to install Corvane 9 into."), T("Select"), 1, parent_dir.c_str(),
                            chosen, sizeof chosen)) {
      parent_dir = chosen;
      changed = 1;
    }
  }
  if (BTN_enterstring(kInstallNameX, kInstallNameY, &install_folder, kInstallNameMax, T("Install Name:"),
                      kInstallNameW, 0))
    changed = 1;

  // A name that is empty, or that would lead into the parent itself or
  // elsewhere, names no new folder: an install there could later be
  // cancelled and delete what it did not make.
  if (!install_folder_name_ok(install_folder)) {
    dest_dir_path = parent_dir;
    ws.next_screen = nullptr;
    ws.body = T("Please pick a name for your Corvane 9 installation...");
    return 0;
  }
  dest_dir_path = parent_dir + install_folder + "/";
  if (dir_exists(dest_dir_path)) {
    ws.next_screen = nullptr;
    ws.body = T("The folder '") + install_folder + T("' already exists in the dir '") + parent_dir +
              T("'.\n\nPlease change the install name or destination.");
    return 0;
  }
  ws.body = T("I will create the folder '") + install_folder + T("' in the directory '") + parent_dir + "'.";
  if (parent_dir == desktop_f) ws.body += T("\n\n(The folder ") + install_folder + T(" will appear on your desktop.)");
  if (changed) {
    prepare_full_install();
    changed = 0;
  }
  UTIL_disk_space(T("You have enough free disk space to install Corvane 9 at this location."),
                  T("You do not have enough free disk space to install Corvane 9 at this location.  You can install "
                    "to a different location, or save disk space by installing only some of the global scenery."));
  return 0;
}

// --- The licence pages ---

namespace {

// What differs between the licence pages of the flows.
struct licence_kind {
  int* accepted;
  screen_func back;
  screen_func next;
};

const char* const kLicence[3] = {
    "You may use this flight simulator.\n\n",
    "You may not make copies of this program.\n\n",
    "You may not share the artwork of the simulator, or anything made from it, with anyone else unless its maker "
    "has said that you may.",
};

int licence_page(const licence_kind& kind, wizard_screen& ws) {
  ws.title = T("End User License Agreement (EULA)");
  ws.body = T(kLicence[0]) + T(kLicence[1]) + T(kLicence[2]);
  ws.back_screen = kind.back;
  // Read before the box below: a tick takes effect from the next frame.
  ws.next_screen = *kind.accepted ? kind.next : nullptr;
  OGL_string(45, kLicenceTextX, kLicenceY, T("I accept this agreement."), kLicenceTextWrap, charset_prop, 0);
  BTN_bool(kLicenceBoxX, kLicenceY, kind.accepted, "", 0);
  return 0;
}

}  // namespace

int dvd_eula_install(int /*first_frame*/, wizard_screen& ws) {
  static const licence_kind kind = {&accept_eula, dvd_pick_install, dvd_scenery_install};
  return licence_page(kind, ws);
}
