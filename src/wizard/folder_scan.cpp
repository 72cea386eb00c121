#include "wizard/folder_scan.h"

#include <string>

#include "engine/checksum.h"
#include "engine/installer_state.h"
#include "wizard/screen_text.h"

namespace {

bool going = false;
int position = 0;  // files handed to the scan so far
screen_func owner = nullptr;

}  // namespace

void folder_scan_start() {
  checksum_directory_kill();
  going = true;
  position = 0;
  owner = g_wizard;
}

void folder_scan_stop() {
  if (going) checksum_directory_kill();
  going = false;
}

folder_scan_state folder_scan_step(wizard_screen& ws) {
  if (!going) return folder_scan_none;
  float fraction = 0.0f;
  if (checksum_directory(position, fraction)) {
    going = false;
    return folder_scan_ended;
  }
  ws.body = T("I am scanning ") + dest_dir_path + T(" to see what files need updating.");
  ws.progress_text =
      fill_in(T("Scanning %d of %d files."), {std::to_string(position), std::to_string(sim_info.size())});
  ws.progress = fraction;
  ws.next_screen = nullptr;
  ws.kill = checksum_directory_kill;
  return folder_scan_going;
}

void folder_scan_leave(screen_func left) {
  if (going && owner == left) folder_scan_stop();
}
