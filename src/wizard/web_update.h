// The web update flow: welcome, pick the copy, search for updates, check
// the disk space, install the updates, finish (and start the simulator).
#pragma once

#include "wizard/wizard.h"

int net_start(int first_frame, wizard_screen& ws);
int net_pick_dest(int first_frame, wizard_screen& ws);
int net_get_updates(int first_frame, wizard_screen& ws);
int net_check_disk(int first_frame, wizard_screen& ws);
int net_run_patch(int first_frame, wizard_screen& ws);
int net_done(int first_frame, wizard_screen& ws);

// Starts the simulator of dest_dir_path and ends the installer. A start
// that fails is shown in an alert, once for each arrival on the screen;
// Back then leads to the screen the wizard came from.
int dvd_do_run_sim(int first_frame, wizard_screen& ws);

// The simulator's program inside a copy's folder.
inline constexpr const char kSimulatorProgram[] = "Corvane-i686";
