// The disc install's destination picker and its licence page.
#include "engine/installer_state.h"
#include "ui/font.h"
#include "ui/widgets.h"
#include "wizard/disc_flows.h"
#include "wizard/layout.h"
#include "wizard/licence.h"
#include "wizard/new_folder.h"
#include "wizard/screen_text.h"

int accept_eula = 0;

bool install_folder_name_ok(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

namespace {

std::string disc_default_name() { return install_name; }

// The disc install's picker, and its choice kept for the life of the program.
const new_folder_kind kPicker = {
    disc_default_name,
    "Pick a folder to install Corvane 9 into.",
    "You have enough free disk space to install Corvane 9 at this location.",
    "You do not have enough free disk space to install Corvane 9 at this location.  You can install to a different "
    "location, or save disk space by installing only some of the global scenery.",
    false,
    // Too little space leaves Next on: the scenery choice after the
    // licence can make the install smaller.
    false,
};
new_folder_choice choice;

}  // namespace

int dvd_pick_install(int first_frame, wizard_screen& ws) {
  if (first_frame) {
    accept_eula = 0;
    set_disc_install_steps();
    // The table, the filter and the tiles are this flow's again unless the
    // user only stepped back from the licence: another flow may have set
    // them for an installed copy in the meantime.
    new_folder_arrive(choice, wizard_last_screen() != dvd_eula_install);
  }
  ws.title = T("Pick Install Destination.");
  ws.back_screen = dvd_start;
  ws.next_screen = dvd_eula_install;
  new_folder_frame(kPicker, choice, ws);
  return 0;
}

// --- The licence pages ---

namespace {

const char* const kLicence[3] = {
    "You may use this flight simulator.\n\n",
    "You may not make copies of this program.\n\n",
    ("You may not share the artwork of the simulator, or anything made from it, with anyone else unless its maker "
     "has said that you may."),
};

}  // namespace

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

int dvd_eula_install(int /*first_frame*/, wizard_screen& ws) {
  static const licence_kind kind = {&accept_eula, dvd_pick_install, dvd_scenery_install};
  return licence_page(kind, ws);
}
