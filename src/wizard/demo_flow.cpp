// The screens of the web demo install.
#include "wizard/demo_flow.h"

#include <string>

#include "engine/disc_install.h"
#include "engine/installed_copies.h"
#include "engine/installer_state.h"
#include "engine/server_list.h"
#include "engine/web_host.h"
#include "wizard/install_screen.h"
#include "wizard/licence.h"
#include "wizard/new_folder.h"
#include "wizard/screen_text.h"
#include "wizard/web_update.h"

int accept_eula_demo = 0;
int demo_install_is_running = 0;

namespace {

// The demo's progress bar, kept from one visit of the install screen to
// the next.
float totl_inst_rat = 0.0f;

// The folder that the running install's set-up made, the only one that a
// cancel may delete.
std::string made_folder;

std::string demo_default_name() { return install_name + " " + T("Demo"); }

// The demo's picker, and its choice kept for the life of the program.
const new_folder_kind kPicker = {
    demo_default_name,
    "Pick a folder to install the Corvane 9 demo into.",
    "You have enough free disk space to install the Corvane9  demo at this location.",
    "You do not have enough free disk space to install the Corvane 9 demo at this location.  You can install to a "
    "different location, or save disk space by installing only some of the global scenery.",
    true,
    true,
};
new_folder_choice choice;

// Asks whether to cancel the running install: 1 when the user goes on with
// it; otherwise (Cancel, or the question closed) the install is stopped, the
// folder its set-up made is deleted, and 0.
int cancel_question() {
  const int answer = abort_alert(
      T("Are you sure you want to cancel the installation?  This will delete the partially installed copy of the "
        "Corvane 9 demo."),
      T("Cancel"), T("the demo installation and delete partial installation."), T("Continue"),
      T("the demo installation process."));
  if (answer == 0) return 1;
  // The transfers stop and the unpackings in hand finish before the
  // folder goes, so that nothing of the run lands in it afterwards.
  next.reset_all_streams();
  delete_cancelled_install(made_folder, dest_dir_path, false);
  demo_install_is_running = 0;
  return 0;
}

// Quit during the install asks the same question; the program ends unless
// the user goes on with the install.
int quit_question() { return demo_install_is_running && cancel_question() ? 0 : 1; }

}  // namespace

int demo_start(int first_frame, wizard_screen& ws) {
  if (first_frame) {
    accept_eula_demo = 0;
    locate_all_corvanes();
    static const flow_step steps[] = {
        {"Welcome", demo_start},          {"License", demo_eula},   {"Check Servers", demo_get_updates},
        {"Pick Destination", demo_pick_dest}, {"Install", demo_run_patch}, {"Finish", demo_done},
    };
    set_steps(steps, sizeof steps / sizeof steps[0]);
    next.reset_all_streams();
  }
  ws.title = T("Welcome");
  ws.prefs_ok = 1;
  ws.body = T("I will guide you through the process of installing the web demo of Corvane 9.");
  if (!all_haldens.empty())
    ws.body += T("\n\nWarning: you already have Corvane 9 installed on this computer.  Are you sure you want to "
                 "install a new demo copy of Corvane 9?");
  ws.next_screen = demo_eula;
  return 0;
}

int demo_eula(int /*first_frame*/, wizard_screen& ws) {
  static const licence_kind kind = {&accept_eula_demo, demo_start, demo_get_updates};
  return licence_page(kind, ws);
}

int demo_get_updates(int first_frame, wizard_screen& ws) {
  // Back again after a check that succeeded: the directory file already
  // unpacked is read again, and nothing is fetched.
  if (first_frame && stg.dir_status == 3) stg.dir_status = 1;
  // A search that found no directory is made again.
  if (first_frame) restart_failed_directory_search();
  ws.title = T("Check Servers");
  ws.back_screen = demo_eula;
  ws.next_screen = nullptr;

  UTL_download_directory();
  if (stg.num_servers == -1) {
    ws.body = T((std::string("I am contacting ") + kMakerHost + " to find a demo server.").c_str());
  } else if (stg.dir_status == 1) {
    ws.body = T("I am processing information about the available demo.");
  } else if (stg.dir_status == 2) {
    ws.body = T("There was a problem reading information from the servers.");
  } else if (stg.dir_status == 0) {
    ws.body = T("I am downloading demo info from ") + server_name[stg.server_index];
    show_directory_download(ws);
  } else {
    ws.back_screen = nullptr;
    ws.next_screen = demo_pick_dest;
    return 1;
  }
  return 0;
}

int demo_pick_dest(int first_frame, wizard_screen& ws) {
  if (first_frame) {
    // Back from the running install.
    if (demo_install_is_running && cancel_question()) {
      ws.next_screen = demo_run_patch;
      return 1;
    }
    next.reset_all_streams();
    // The table was read anew by the check, or decided for an install that
    // has ended: it is prepared again for the chosen folder.
    new_folder_arrive(choice, true);
  }
  ws.title = T("Pick Install Destination.");
  ws.back_screen = demo_eula;
  ws.next_screen = demo_run_patch;
  new_folder_frame(kPicker, choice, ws);
  return 0;
}

int demo_run_patch(int first_frame, wizard_screen& ws) {
  static const install_screen_kind kind = {&totl_inst_rat, demo_pick_dest, demo_done, &demo_install_is_running};
  // The set-up runs on this frame: what it makes is noted first.
  if (!demo_install_is_running) made_folder = folder_to_be_made(dest_dir_path);
  const int r = install_screen_frame(kind, first_frame, ws);
  ws.quit_question = quit_question;
  return r;
}

int demo_done(int /*first_frame*/, wizard_screen& ws) {
  ws.back_screen = nullptr;
  ws.next_screen = wizard_quit;
  ws.title = T("Finshed Web Demo Install");
  if (stg.had_errors) {
    ws.body = T("There were problem installing the Corvane 9 web demo - it may not be usable.");
    return 0;
  }
  ws.body = T("I have finished installing the Corvane 9 web demo at: ") + dest_dir_path + ".";
  ws.choices.push_back(T("Fly Corvane 9 Now"));
  ws.choice_funcs.push_back(dvd_do_run_sim);
  return 0;
}
