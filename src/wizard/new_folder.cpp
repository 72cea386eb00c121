#include "wizard/new_folder.h"

#include <cstring>

#include "engine/install_filter.h"
#include "engine/installed_copies.h"
#include "engine/installer_state.h"
#include "files/io_utils.h"
#include "files/tree_ops.h"
#include "runtime/globals.h"
#include "ui/enterstring.h"
#include "ui/folder_chooser.h"
#include "ui/widgets.h"
#include "wizard/disc_flows.h"
#include "wizard/disk_space.h"
#include "wizard/folder_scan.h"
#include "wizard/layout.h"
#include "wizard/screen_text.h"

void new_folder_arrive(new_folder_choice& p, bool prepare_again) {
  // Without a home folder there is no desktop: no stale one either.
  p.desktop_f.clear();
  get_OS_abs_path(os_dir_desktop, p.desktop_f);
  if (prepare_again) p.table_stale = 1;
}

void new_folder_frame(const new_folder_kind& kind, new_folder_choice& p, wizard_screen& ws) {
  if (p.parent_dir.empty()) {
    get_OS_abs_path(os_dir_default_apps, p.parent_dir);
    p.install_folder = kind.default_name();
    p.table_stale = 1;
  }

  if (BTN_action(kChangeDestX, kChangeDestY, 0, 0, 1, T("Change Destination"), "-")) {
    char chosen[2048] = {};
    std::strncpy(chosen, p.parent_dir.c_str(), sizeof chosen - 1);
    if (GetFilePathFromUser(2, T(kind.chooser_prompt), T("Select"), 1, p.parent_dir.c_str(), chosen, sizeof chosen)) {
      p.parent_dir = chosen;
      p.table_stale = 1;
    }
  }
  if (BTN_enterstring(kInstallNameX, kInstallNameY, &p.install_folder, kInstallNameMax, T("Install Name:"),
                      kInstallNameW, 0, field_chars::path))
    p.table_stale = 1;
  // The scan's workers read the folder's name: a scan of the folder named
  // before stops before the name changes.
  if (p.table_stale) folder_scan_stop();

  // A name that is empty, or that would lead into the parent itself or
  // elsewhere, names no new folder: an install there could later be
  // cancelled and delete what it did not make. A name longer than the
  // parent's file system gives a name (in bytes) could not be made.
  const bool named = install_folder_name_ok(p.install_folder);
  if (!named || p.install_folder.size() > longest_name_in(p.parent_dir)) {
    dest_dir_path = p.parent_dir;
    ws.next_screen = nullptr;
    ws.body = named ? T("Please pick a shorter name: this one is longer than a folder name may be.")
                    : T("Please pick a name for your Corvane 9 installation...");
    return;
  }
  dest_dir_path = p.parent_dir + p.install_folder + "/";
  if (dir_exists(dest_dir_path)) {
    ws.next_screen = nullptr;
    ws.body = T("The folder '") + p.install_folder + T("' already exists in the dir '") + p.parent_dir +
              T("'.\n\nPlease change the install name or destination.");
    return;
  }
  ws.body = T("I will create the folder '") + p.install_folder + T("' in the directory '") + p.parent_dir + T("'.");
  if (p.parent_dir == p.desktop_f) {
    ws.body += T("\n\n(The folder ") + p.install_folder +
               (kind.blank_before_desktop_note ? " " + T("will appear on your desktop.)")
                                            : T(" will appear on your desktop.)"));
  }
  // The table as for the new folder: every file absent (the folder does
  // not exist, so the scan ends at once), the simulator and its scenery
  // wanted, every tile chosen.
  if (p.table_stale) {
    // A scan still going reads the filter: it stops before the filter changes.
    folder_scan_stop();
    set_install_filter(1, 1);
    folder_scan_start();
    p.table_stale = 0;
  }
  switch (folder_scan_step(ws)) {
    case folder_scan_going:
      return;
    case folder_scan_ended:
      scenery_take_all();
      recalc_disk_sizes();
      break;
    case folder_scan_none:
      break;
  }
  if (!UTIL_disk_space(T(kind.enough_text), T(kind.short_text)) && kind.short_space_greys_next) ws.next_screen = nullptr;
}

std::string folder_to_be_made(const std::string& dest) {
  return !dest.empty() && !dir_exists(dest) ? dest : std::string();
}

void delete_cancelled_install(std::string& made, const std::string& dest, bool listed_by_run) {
  bool gone = false;
  if (!made.empty() && made == dest) {
    const int err = recursive_delete_folder(dest);
    if (err != 0) xer << "Could not delete all of " << dest << ": " << error_str(err) << "\n";
    gone = !dir_exists(dest);
  }
  // A copy that is gone is no installed copy, and neither is the half copy
  // in a folder that was there before.
  if (gone || listed_by_run) forget_corvane(dest);
  made.clear();
}
