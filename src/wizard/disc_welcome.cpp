// The disc welcome with its choices, and the screens that choose the
// installed copy a disc flow works on: the run flow's picker, and the
// repair and scenery flows' pickers with their scans.
#include <algorithm>

#include "engine/checksum.h"
#include "engine/disc_install.h"
#include "engine/install_filter.h"
#include "engine/installed_copies.h"
#include "engine/installer_state.h"
#include "runtime/globals.h"
#include "wizard/disc_flows.h"
#include "wizard/pick_install.h"
#include "wizard/screen_text.h"
#include "wizard/web_update.h"

namespace {

// A destination left by another screen (a new install's parent folder, a
// copy found and forgotten) is kept only when it is one of the installed
// copies, so that a flow never works on a folder the user did not pick.
void forget_unlisted_destination() {
  if (std::find(all_haldens.begin(), all_haldens.end(), dest_dir_path) == all_haldens.end()) dest_dir_path.clear();
}

const char kSeveralCopies[] = "You have more than one copy of Corvane 9 installed on this computer.  ";

}  // namespace

void set_disc_install_steps() {
  static const flow_step steps[] = {
      {"Welcome", dvd_start},
      {"Pick Destination", dvd_pick_install},
      {"License", dvd_eula_install},
      {"Select Scenery", dvd_scenery_install},
      {"Install", dvd_run_install},
      {"Finish", dvd_done_install},
  };
  set_steps(steps, sizeof steps / sizeof steps[0]);
}

int dvd_start(int first_frame, wizard_screen& ws) {
  if (first_frame) {
    locate_all_corvanes();
    set_disc_install_steps();
  }
  ws.title = T("Corvane 9 Installer");
  UTIL_scan_dvd();

  if (dvd_path.empty()) {
    ws.body = T("Please insert Corvane 9 DVD number one to begin.");
  } else if (install_name == no_install_name || stg.dir_status == 2) {
    ws.body = T("This DVD does not appear to be an Corvane 9 DVD.");
  } else if (stg.dir_status != 3) {
    // Nothing to say until the directory is read.
  } else if (all_haldens.empty() && !stg.has_sim) {
    ws.body = T("This DVD (") + install_name +
              T(") contains global scenery.  You must install the sim before you install the global scenery.");
  } else if (all_haldens.empty()) {
    ws.body = T("Welcome to the Corvane 9 Installer.  I will guide you through the proess of installing ") +
              install_name + ".";
    ws.next_screen = dvd_pick_install;
  } else {
    ws.body = T("You already have Corvane 9 installed on this computer.  What would you like to do?");
    const auto offer = [&](const char* label, screen_func target) {
      ws.choices.push_back(T(label));
      ws.choice_funcs.push_back(target);
    };
    offer("Run Corvane Now", dvd_pick_run_sim);
    if (stg.has_scenery) offer("Add Or Remove Scenery", dvd_pick_scenery);
    if (stg.has_sim) {
      offer("Repair Corvane", dvd_pick_repair);
      offer("Install A Second Copy of Corvane", dvd_pick_install);
    }
  }
  return 0;
}

int dvd_pick_run_sim(int first_frame, wizard_screen& ws) {
  if (first_frame) forget_unlisted_destination();
  ws.title = T("Run Corvane");
  ws.back_screen = dvd_start;
  ws.next_screen = dvd_do_run_sim;
  if (all_haldens.size() == 1) {
    // The user never sees this screen with one copy: Back from a start
    // that failed passes on to the welcome instead of into the same start.
    if (first_frame && wizard_last_screen() == dvd_do_run_sim) {
      ws.next_screen = dvd_start;
      return 1;
    }
    dest_dir_path = all_haldens[0];
    return 1;
  }
  UTIL_pick_install();
  if (dest_dir_path.empty()) ws.next_screen = nullptr;
  const std::string pick = T("Please pick which copy of Corvane 9 you would like to run.");
  ws.body = all_haldens.size() > 1 ? T(kSeveralCopies) + pick : pick;
  return 0;
}

// --- The repair and scenery flows' copy pickers and scans ---

namespace {

struct copy_flow {
  const char* pick_title;
  const char* pick_question;  // the body's second sentence
  flow_step steps[6];
  screen_func scan;
  screen_func pick;
  screen_func after_scan;
  int want_sim, want_global;  // the install filter of the scan
  const char* scan_title;
  const char* scan_body_tail;  // after "I am scanning " and the folder
};

const copy_flow kRepair = {
    "Repair Corvane 9",
    "Please pick which copy of Corvane 9 you would like to repair.",
    {{"Welcome", dvd_start},
     {"Select Corvane", dvd_pick_repair},
     {"Scan For Problems", dvd_scan_repair},
     {"Confirm Repairs", dvd_confirm_repair},
     {"Repair Corvane", dvd_install_repair},
     {"Finish", dvd_done_repair}},
    dvd_scan_repair,
    dvd_pick_repair,
    dvd_confirm_repair,
    1,
    0,
    "Scanning Corvane for Problems",
    " for missing or damaged files.\n\nNote: if you have updated this copy of Corvane from the Internet, the "
    "repair operation will remove the updates.  Once the repair has finished, you should reapply the updates "
    "from the web.",
};

const copy_flow kScenery = {
    "Select Corvane 9 to Add or Remove Scenery",
    "Please pick which copy of Corvane 9 you would like to add scenery to.",
    {{"Welcome", dvd_start},
     {"Select Corvane", dvd_pick_scenery},
     {"Scan Existing Scenery", dvd_scan_scenery},
     {"Select New Scenery", dvd_edit_scenery},
     {"Install Scenery", dvd_install_scenery},
     {"Finish", dvd_done_scenery}},
    dvd_scan_scenery,
    dvd_pick_scenery,
    dvd_edit_scenery,
    0,
    1,
    "Scanning Corvane 9 for Installed Scenery",
    " to see what scenery you already have installed.\n\nNote: I am only checking for the scenery already "
    "installed from your DVDs.  This scan will not show any custom scenery downloaded from the internet.",
};

int pick_copy(const copy_flow& flow, int first_frame, wizard_screen& ws) {
  ws.title = T(flow.pick_title);
  ws.back_screen = dvd_start;
  ws.next_screen = flow.scan;
  if (first_frame) {
    // Back from the scan: its workers stop before the copy can change.
    checksum_directory_kill();
    set_steps(flow.steps, 6);
    forget_unlisted_destination();
  }
  if (all_haldens.size() == 1) dest_dir_path = all_haldens[0];
  UTIL_pick_install();
  if (dest_dir_path.empty()) ws.next_screen = nullptr;
  const std::string question = T(flow.pick_question);
  ws.body = all_haldens.size() > 1 ? T(kSeveralCopies) + question : question;
  return 0;
}

int scan_copy(const copy_flow& flow, int& ctr, int first_frame, wizard_screen& ws) {
  if (first_frame) {
    ctr = 0;
    // A scan still going reads the filter: it stops before the filter changes.
    checksum_directory_kill();
    set_install_filter(flow.want_sim, flow.want_global);
  }
  ws.title = T(flow.scan_title);
  ws.body = T("I am scanning ") + dest_dir_path + T(flow.scan_body_tail);
  ws.kill = checksum_directory_kill;
  float fraction = 0.0f;
  if (checksum_directory(ctr, fraction)) {
    ws.next_screen = flow.after_scan;
    return 1;
  }
  ws.progress_text = fill_in(T("Scanning %d of %d files."), {std::to_string(ctr), std::to_string(sim_info.size())});
  ws.progress = fraction;
  ws.back_screen = flow.pick;
  return 0;
}

}  // namespace

int dvd_pick_repair(int first_frame, wizard_screen& ws) { return pick_copy(kRepair, first_frame, ws); }
int dvd_pick_scenery(int first_frame, wizard_screen& ws) { return pick_copy(kScenery, first_frame, ws); }

int dvd_scan_repair(int first_frame, wizard_screen& ws) {
  static int ctr = 0;
  return scan_copy(kRepair, ctr, first_frame, ws);
}
int dvd_scan_scenery(int first_frame, wizard_screen& ws) {
  static int ctr = 0;
  return scan_copy(kScenery, ctr, first_frame, ws);
}
