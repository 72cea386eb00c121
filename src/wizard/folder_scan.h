// The checksum scan of dest_dir_path that a screen runs before it shows
// what is to be installed there (the scenery choice, the pickers of a new
// folder). A folder left by a stopped install can hold gigabytes, so the
// scan goes one step a frame, as on the scan screens: while it runs the
// screen shows its progress in place of its own texts, Next is greyed and
// Quit stops it; the wizard stops it when it leaves the screen.
#pragma once

#include "wizard/wizard.h"

// Starts the scan afresh from the first file for the current screen,
// stopping one that is still going.
void folder_scan_start();

// Stops the scan, if one is going.
void folder_scan_stop();

enum folder_scan_state {
  folder_scan_none,   // no scan is going
  folder_scan_going,  // still going: the record shows its progress
  folder_scan_ended,  // it ended in this step: the table holds what it found
};

// One step of a scan that is going. While it goes it fills in the record's
// body, bar and caption, greys Next and has Quit stop it; the screen then
// shows nothing else of its own.
folder_scan_state folder_scan_step(wizard_screen& ws);

// Called by the frame driver when the wizard leaves screen `left`: a scan
// that screen started stops.
void folder_scan_leave(screen_func left);
