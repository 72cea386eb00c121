// The screens that install from the discs, told once over the table of the
// three installing flows (a new copy, a repair, new scenery): the run
// screen that copies and unpacks the files frame by frame, the verify and
// switch screens that get the next disc into the drive, the stop question
// of the screen before the run, and the finish screen.
#include "wizard/disc_run.h"

#include "engine/decisions.h"
#include "engine/delete_files.h"
#include "engine/disc_install.h"
#include "engine/installed_copies.h"
#include "engine/installer_state.h"
#include "engine/make_dirs.h"
#include "files/io_utils.h"
#include "files/tree_ops.h"
#include "runtime/globals.h"
#include "runtime/xtim.h"
#include "wizard/new_folder.h"
#include "wizard/screen_text.h"
#include "wizard/web_update.h"

int dvd_install_is_running = 0;
int repair_is_running = 0;
int scenery_install_is_running = 0;
int num_install_errors = 0;

namespace {

// The folder that the running new install made: it did not exist when the
// run's set-up began. Only this folder is ever deleted by a cancel.
std::string new_install_folder;
// The running new install's set-up added its folder to the list of
// installed copies: a cancel takes it off again.
bool listed_by_new_install = false;

const char kFinishing[] = "Finishing up...";
const char kContinue[] = "Continue";
const char kErrorsAdvice[] =
    "\n\nYou can click Go Back and use the repair and add-remove scenery functions to try to reinstall any missing "
    "or damaged files.";

int install_position = 0, repair_position = 0, scenery_position = 0;

std::string install_success() { return T("Installation was successful."); }
std::string install_errors() {
  return T("There were errors during the install; your copy of Corvane may not be usable.") + T(kErrorsAdvice);
}
std::string repair_success() {
  return T("I have finished repairing ") + dest_dir_path + T(" - click Go Back to return to the main menu.");
}
std::string repair_errors() {
  return T("There were errors during the repair; your copy of Corvane may not be usable.") + T(kErrorsAdvice);
}
std::string scenery_success() {
  return T("I have successfully ") + T(scenery_verb(stg.files_to_get, stg.files_to_delete, true)) +
         T(" scenery to match your choices on the map.");
}
std::string scenery_errors() {
  return T("There were errors while ") + T(scenery_verb(stg.files_to_get, stg.files_to_delete, false)) +
         T(" your scenery; your copy of Corvane may not be usable.") + T(kErrorsAdvice);
}

int quit_install_run();
int quit_repair_run();
int quit_scenery_run();

}  // namespace

const char* scenery_verb(int to_get, int to_delete, bool done) {
  if (to_get < 1) return to_delete > 0 ? (done ? "removed" : "removing") : (done ? "updated" : "updating");
  return to_delete > 0 ? (done ? "added and removed" : "adding and removing")
                       : (done ? "installed more" : "installing more");
}

const disc_flow kInstallFlow = {
    &dvd_install_is_running,
    &install_position,
    true,
    dvd_scenery_install,
    dvd_run_install,
    dvd_verify_disk_install,
    dvd_switch_disk_install,
    dvd_done_install,
    dvd_pick_install,
    "Installing Corvane",
    "I am installing Corvane in ",
    "Installing: ",
    kFinishing,
    "Installing Corvane - Checking DVD...",
    "Installing Corvane - Please Change DVDs",
    "An error occurred during installation:",
    "You can continue with the installation and attempt to repair the damaged files later, or you can cancel the "
    "installation.",
    "Cancel",
    "the install.",
    "the install.",
    "Are you sure you want to cancel the installation?  This will delete the partially installed copy of Corvane 9.",
    "Cancel",
    "the installation and delete partial installation.",
    "the installation process.",
    "Finished Installing Corvane",
    install_success,
    install_errors,
    quit_install_run,
};

const disc_flow kRepairFlow = {
    &repair_is_running,
    &repair_position,
    false,
    dvd_confirm_repair,
    dvd_install_repair,
    dvd_verify_disk_repair,
    dvd_switch_disk_repair,
    dvd_done_repair,
    dvd_confirm_repair,
    "Repairing Corvane",
    "I am repairing ",
    "Repairing: ",
    kFinishing,
    "Repairing Corvane - Checking DVD",
    "Repairing Corvane - Please Change DVDs",
    "An error occurred during the repair:",
    "Corvane may not be usable until you are able to repair the sim without errors.",
    "Stop",
    "the repair.",
    "the repair.",
    "Are you sure you want to stop the repair operation?  Corvane may not be usable until repairs are complete.  You "
    "can run the repair operation on Corvane again later to complete repairs.",
    "Stop",
    "the repair operation.",
    "the repair operation.",
    "Finished Repairing Corvane.",
    repair_success,
    repair_errors,
    quit_repair_run,
};

const disc_flow kSceneryFlow = {
    &scenery_install_is_running,
    &scenery_position,
    false,
    dvd_edit_scenery,
    dvd_install_scenery,
    dvd_verify_disk_scenery,
    dvd_switch_disk_scenery,
    dvd_done_scenery,
    dvd_edit_scenery,
    "Installing New Scenery",
    "I am installing new scenery for ",
    "Installing: ",
    "Finishing Up...",
    "Installing Scenery - Verifying DVD",
    "Installing Scenery - Please change DVDs",
    "An error occurred during scenery installation:",
    "You can continue with the installation and attempt to reinstall the damaged files later, or you can stop the "
    "installation",
    "Stop",
    "the scenery install.",
    "the scenery install.",
    "Are you sure you want to stop scenery installation?  You can add or remove more scenery later.",
    "Stop",
    "the scenery install.",
    "the scenery install.",
    "Finished With Add/Remove Scenery",
    scenery_success,
    scenery_errors,
    quit_scenery_run,
};

namespace {

// The stop question asked by Quit: the run stops as it does from the screen
// before it, and the program goes on quitting; "Continue" keeps it running.
int quit_during(const disc_flow& flow) {
  wizard_screen unused;
  return disc_stop_question(flow, unused) ? 0 : 1;
}
int quit_install_run() { return quit_during(kInstallFlow); }
int quit_repair_run() { return quit_during(kRepairFlow); }
int quit_scenery_run() { return quit_during(kSceneryFlow); }

}  // namespace

int UTIL_cancel_install(std::string head, std::string tail, std::string label1, std::string explain1,
                        std::string label2, std::string explain2) {
  std::string message;
  const int code = install_files_get_error(message);
  const std::string detail = message + " (" + error_str(code) + ")";
  return abort_alert(head + "\n\n" + detail + "\n\n" + tail, label1, explain1, label2, explain2);
}

int disc_run_frame(const disc_flow& flow, wizard_screen& ws) {
  int& f = *flow.position;
  if (!*flow.running) {
    f = 0;
    xer << "Starting install at " << static_cast<double>(xtim_class::microsecs()) * 1e-06 << "\n";
    // A file that could not be deleted, or one that something of the
    // user's keeps from its place, is an error of the run, which goes on;
    // the finish screen tells of it.
    stg.had_errors = 0;
    if (!choose_files()) {
      ws.next_screen = flow.before_run;
      return 1;
    }
    if (flow.new_copy) new_install_folder = folder_to_be_made(dest_dir_path);
    if (make_dirs() != 0) {
      ws.next_screen = flow.dirs_failed;
      return 1;
    }
    listed_by_new_install = flow.new_copy && register_new_corvane();
    delete_files();
    *flow.running = 1;
    num_install_errors = 0;
    // The disc in the drive is checked before the first file is handed
    // out: a run stopped at a disc switch leaves the drive empty, or
    // another disc in it.
    current_disk = -1;
  }

  ws.title = T(flow.run_title);
  ws.kill = install_files_kill;
  ws.quit_question = flow.quit_question;
  const int r = install_files(f, current_disk);
  const int files = static_cast<int>(sim_info.size());
  switch (r) {
    case 0: {
      ws.back_screen = flow.before_run;
      ws.body = T(flow.run_body) + dest_dir_path + ".";
      if (f < 0) {
        ws.progress = 0.0f;
      } else if (f < files) {
        ws.progress = current_version(f).progress_mark;
        ws.progress_text = T(flow.run_caption) + current_version(f).path;
      } else {
        ws.progress = 1.0f;
        ws.progress_text = T(flow.finishing);
      }
      return 0;
    }
    case 1:
      *flow.running = 0;
      ws.next_screen = flow.done;
      return 1;
    case 2:
      want_file_disk = f;
      ws.next_screen = flow.verify;
      return 1;
    case 3: {
      ++num_install_errors;
      const int answer = UTIL_cancel_install(T(flow.error_head), T(flow.error_tail), T(flow.error_first),
                                             T(flow.error_first_explain), T(kContinue),
                                             T(flow.error_second_explain));
      if (answer == 0) return 0;
      if (!flow.new_copy) {
        // The run ends here; the finish screen tells of the errors.
        install_files_kill();
        *flow.running = 0;
        ws.next_screen = flow.done;
      } else {
        // The screen before the run asks whether to cancel it.
        ws.next_screen = flow.before_run;
      }
      return 1;
    }
    default:
      return 0;
  }
}

int disc_verify_frame(const disc_flow& flow, wizard_screen& ws) {
  ws.title = T(flow.verify_title);
  ws.kill = install_files_kill;
  ws.quit_question = flow.quit_question;
  ws.next_screen = UTIL_verify_disk() ? flow.run : flow.switch_to;
  return 1;
}

int disc_switch_frame(const disc_flow& flow, int first_frame, wizard_screen& ws) {
  const int disk = UTIL_switch_disk(first_frame);
  ws.title = T(flow.switch_title);
  ws.body = fill_in(T("Please insert DVD number %d and click continue."), {std::to_string(disk + 1)});
  ws.back_screen = flow.before_run;
  ws.next_screen = flow.verify;
  // Quit asks whether to stop the run, then waits for the files in hand and
  // stops the workers.
  ws.kill = install_files_kill;
  ws.quit_question = flow.quit_question;
  return 0;
}

int disc_stop_question(const disc_flow& flow, wizard_screen& ws) {
  if (!*flow.running) return 0;
  const int answer = abort_alert(T(flow.stop_message), T(flow.stop_first), T(flow.stop_first_explain),
                                 T(kContinue), T(flow.stop_second_explain));
  if (answer == 0) {
    ws.next_screen = flow.run;
    return 1;
  }
  install_files_kill();
  *flow.running = 0;
  // Any answer but "Continue" cancels a new install, and its partial copy
  // goes: but only the folder this run made.
  if (flow.new_copy) delete_cancelled_install(new_install_folder, dest_dir_path, listed_by_new_install);
  listed_by_new_install = false;
  return 0;
}

int disc_done_frame(const disc_flow& flow, wizard_screen& ws) {
  ws.title = T(flow.done_title);
  if (num_install_errors < 1 && !stg.had_errors) {
    ws.body = flow.success_text();
    ws.choices.push_back(T("Run Corvane Now"));
    ws.choice_funcs.push_back(dvd_do_run_sim);
  } else {
    ws.body = flow.error_text();
  }
  ws.back_screen = dvd_start;
  ws.next_screen = wizard_quit;
  return 0;
}

int dvd_run_install(int, wizard_screen& ws) { return disc_run_frame(kInstallFlow, ws); }
int dvd_install_repair(int, wizard_screen& ws) { return disc_run_frame(kRepairFlow, ws); }
int dvd_install_scenery(int, wizard_screen& ws) { return disc_run_frame(kSceneryFlow, ws); }

int dvd_verify_disk_install(int, wizard_screen& ws) { return disc_verify_frame(kInstallFlow, ws); }
int dvd_verify_disk_repair(int, wizard_screen& ws) { return disc_verify_frame(kRepairFlow, ws); }
int dvd_verify_disk_scenery(int, wizard_screen& ws) { return disc_verify_frame(kSceneryFlow, ws); }

int dvd_switch_disk_install(int first_frame, wizard_screen& ws) {
  return disc_switch_frame(kInstallFlow, first_frame, ws);
}
int dvd_switch_disk_repair(int first_frame, wizard_screen& ws) {
  return disc_switch_frame(kRepairFlow, first_frame, ws);
}
int dvd_switch_disk_scenery(int first_frame, wizard_screen& ws) {
  return disc_switch_frame(kSceneryFlow, first_frame, ws);
}

int dvd_done_install(int, wizard_screen& ws) { return disc_done_frame(kInstallFlow, ws); }
int dvd_done_repair(int, wizard_screen& ws) { return disc_done_frame(kRepairFlow, ws); }
int dvd_done_scenery(int, wizard_screen& ws) { return disc_done_frame(kSceneryFlow, ws); }
