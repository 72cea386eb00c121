// The web demo install: a new demo copy, downloaded from the update
// servers into a folder that the user names. Entered only on demo_start
// (the program's kDemoOption):
//
//   demo_start, demo_eula, demo_get_updates, demo_pick_dest,
//   demo_run_patch, demo_done
//
// The new copy is not added to the list of installed copies.
#pragma once

#include "wizard/wizard.h"

// The option that opens the wizard on the demo's welcome.
inline constexpr const char kDemoOption[] = "--demo";

int demo_start(int first_frame, wizard_screen& ws);
int demo_eula(int first_frame, wizard_screen& ws);
int demo_get_updates(int first_frame, wizard_screen& ws);
int demo_pick_dest(int first_frame, wizard_screen& ws);
int demo_run_patch(int first_frame, wizard_screen& ws);
int demo_done(int first_frame, wizard_screen& ws);

// The demo's licence is accepted; the welcome clears it on each arrival.
extern int accept_eula_demo;
// The demo install has done its set-up and is not finished: entering the
// install screen resumes it, and the picker asks first whether to cancel.
extern int demo_install_is_running;
