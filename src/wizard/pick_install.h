// The installed-copy chooser that several flows draw inside a screen: one
// radio row per installed copy and "Find It", which lets the user find a
// copy that is not listed with the folder chooser. Its only output is
// dest_dir_path.
#pragma once

#include <string>
#include <vector>

// Draws the chooser and applies this frame's clicks; once per frame.
void UTIL_pick_install();

// Where the chooser puts the rows of these folders: each row takes the
// lines its folder takes, and the next row stands below it (kPickRowStep
// below a row of one line, kLineStep lower for each further line). When
// the rows would push the line below them under kPickLowestLine, the
// folders longer than their share of the room are cut in their middle,
// keeping their start and their last name.
struct pick_rows {
  std::vector<float> y;            // each row's y: its radio and its folder's first line
  std::vector<std::string> shown;  // each row's folder as shown
  float below = 0.0f;              // the question's line and "Find It" (less kFindItRaise)
};
pick_rows pick_layout(const std::vector<std::string>& folders);

// What "Find It" makes of a folder the user chose: the folder itself or
// the nearest folder above it that holds a copy of the simulator becomes
// dest_dir_path and is added to the list of installed copies (which is then
// read again); 1 then. 0 when no such folder is found: dest_dir_path is
// set back to previous and the user is told.
int pick_accept_folder(const std::string& chosen, const std::string& previous);
