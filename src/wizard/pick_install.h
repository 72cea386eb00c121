// The installed-copy chooser that several flows draw inside a screen: one
// radio row per installed copy and "Find It", which lets the user find a
// copy that is not listed with the folder chooser. Its only output is
// dest_dir_path.
#pragma once

#include <string>

// Draws the chooser and applies this frame's clicks; once per frame.
void UTIL_pick_install();

// What "Find It" makes of a folder the user chose: the folder itself or
// the nearest folder above it that holds a copy of the simulator becomes
// dest_dir_path and is added to the list of installed copies (which is then
// read again); 1 then. 0 when no such folder is found: dest_dir_path is
// set back to previous and the user is told.
int pick_accept_folder(const std::string& chosen, const std::string& previous);
