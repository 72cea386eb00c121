// The web update flow: welcome, pick the copy, search for updates, check
// the disk space, install the updates, finish (and start the simulator).
#pragma once

#include <cstdint>
#include <string>

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

// The bar of the directory archive's download at written of length bytes
// (0 and "0" while no transfer is under way; a length of 0 or less is
// unknown: -0.01, no bar and no caption); percent gets the share in whole
// percent as text.
float directory_share(bool transfer, int64_t written, int64_t length, std::string* percent);
// The bar and caption of a search screen while the directory archive
// comes.
void show_directory_download(wizard_screen& ws);

// The simulator's program inside a copy's folder.
inline constexpr const char kSimulatorProgram[] = "Corvane-i686";
