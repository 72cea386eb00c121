// The flows of the install discs: installing a new copy, repairing an
// installed copy, adding or removing scenery, and running a copy. All start
// on the disc welcome, dvd_start.
//
//   install   dvd_start, dvd_pick_install, dvd_eula_install,
//             dvd_scenery_install, dvd_run_install, dvd_done_install
//   repair    dvd_start, dvd_pick_repair, dvd_scan_repair,
//             dvd_confirm_repair, dvd_install_repair, dvd_done_repair
//   scenery   dvd_start, dvd_pick_scenery, dvd_scan_scenery,
//             dvd_edit_scenery, dvd_install_scenery, dvd_done_scenery
//   run       dvd_start, dvd_pick_run_sim, dvd_do_run_sim
//
// Each run screen hands over to its flow's verify and switch screens when
// the next file lies on another disc. The screens of the three installing
// flows that differ only in texts and targets are one screen each over the
// table of the flows (disc_run.cpp).
#pragma once

#include <string>

#include "wizard/wizard.h"

// --- The welcome and its choices ---
int dvd_start(int first_frame, wizard_screen& ws);
int dvd_pick_run_sim(int first_frame, wizard_screen& ws);

// --- Install a new copy ---
int dvd_pick_install(int first_frame, wizard_screen& ws);
int dvd_eula_install(int first_frame, wizard_screen& ws);
int dvd_scenery_install(int first_frame, wizard_screen& ws);
int dvd_run_install(int first_frame, wizard_screen& ws);
int dvd_verify_disk_install(int first_frame, wizard_screen& ws);
int dvd_switch_disk_install(int first_frame, wizard_screen& ws);
int dvd_done_install(int first_frame, wizard_screen& ws);

// --- Repair a copy ---
int dvd_pick_repair(int first_frame, wizard_screen& ws);
int dvd_scan_repair(int first_frame, wizard_screen& ws);
int dvd_confirm_repair(int first_frame, wizard_screen& ws);
int dvd_install_repair(int first_frame, wizard_screen& ws);
int dvd_verify_disk_repair(int first_frame, wizard_screen& ws);
int dvd_switch_disk_repair(int first_frame, wizard_screen& ws);
int dvd_done_repair(int first_frame, wizard_screen& ws);

// --- Add or remove scenery ---
int dvd_pick_scenery(int first_frame, wizard_screen& ws);
int dvd_scan_scenery(int first_frame, wizard_screen& ws);
int dvd_edit_scenery(int first_frame, wizard_screen& ws);
int dvd_install_scenery(int first_frame, wizard_screen& ws);
int dvd_verify_disk_scenery(int first_frame, wizard_screen& ws);
int dvd_switch_disk_scenery(int first_frame, wizard_screen& ws);
int dvd_done_scenery(int first_frame, wizard_screen& ws);

// --- State shared by the screens ---

// The licence of the disc install is accepted; the destination picker
// clears it whenever it shows.
extern int accept_eula;
// A run of the flow has done its set-up and is not finished: entering the
// run screen resumes it, and the screen before it asks first whether to
// stop it.
extern int dvd_install_is_running;
extern int repair_is_running;
extern int scenery_install_is_running;
// Files that failed in the current (or last) run.
extern int num_install_errors;

// Asks about a file that failed: head, the engine's message with the
// reason, tail; each button with its explanation to its right. 1 for the
// first button, 0 for the second, 3 when the question was closed another
// way.
int UTIL_cancel_install(std::string head, std::string tail, std::string label1, std::string explain1,
                        std::string label2, std::string explain2);

// Makes the disc install's steps the steps of the current flow.
void set_disc_install_steps();

// The name typed for a new install folder may name one: it is not empty,
// not "." or "..", and holds no "/".
bool install_folder_name_ok(const std::string& name);
