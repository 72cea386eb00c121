// The screens just before each disc run: the scenery of a new copy on the
// world map, the scenery of an installed copy, and the repair's count.
// Each asks first whether to stop a run that is still going.
#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "wizard/disc_run.h"
#include "wizard/disk_space.h"
#include "wizard/folder_scan.h"
#include "wizard/screen_text.h"
#include "wizard/world_map.h"

int dvd_scenery_install(int first_frame, wizard_screen& ws) {
  if (first_frame) {
    if (disc_stop_question(kInstallFlow, ws)) return 1;
    // The folder is new (the scan ends at once), or holds what a stopped
    // run or the user left there.
    folder_scan_start();
  }
  ws.title = T("Select Scenery");
  ws.back_screen = dvd_eula_install;
  switch (folder_scan_step(ws)) {
    case folder_scan_going:
      return 0;
    case folder_scan_ended:
      recalc_disk_sizes();
      break;
    case folder_scan_none:
      break;
  }
  UTIL_world_map();
  ws.body = T("Please pick the scenery you would like to install now.  You can use this installer to add more "
              "scenery or remove scenery later.  If you fly into an area with no scenery installed, you will see "
              "only ocean.\n\nClick on the world map to pick select regions to install.");
  ws.next_screen = dvd_run_install;
  if (!UTIL_disk_space(T("You have enough free disk space to install Corvane 9 with the selected scenery."),
                       T("You do not have enough free disk space to install Corvane 9 with the selected scenery; "
                         "change the install location to another hard driver or select less scenery.")))
    ws.next_screen = nullptr;
  return 0;
}

int dvd_edit_scenery(int first_frame, wizard_screen& ws) {
  if (first_frame) {
    if (disc_stop_question(kSceneryFlow, ws)) return 1;
    scenery_from_install();
    recalc_disk_sizes();
  }
  UTIL_world_map();
  ws.body = T("Click on the world map to select what scenery you would like to install.  Scenery that you deselect "
              "will be removed; scenery that you select will be installed.  If you fly into an area with no scenery "
              "installed, you will see only ocean.");
  ws.title = T("Select Scenery");
  ws.back_screen = dvd_pick_scenery;
  ws.next_screen = dvd_install_scenery;
  if (!UTIL_disk_space(T("You have enough free disk space to install this scenery."),
                       T("You do not have enough free disk space to install this scenery.")))
    ws.next_screen = nullptr;
  return 0;
}

int dvd_confirm_repair(int first_frame, wizard_screen& ws) {
  static int num_file_install = 0;
  if (first_frame) {
    if (disc_stop_question(kRepairFlow, ws)) return 1;
    recalc_disk_sizes();
    num_file_install = 0;
    for (std::size_t i = 0; i < sim_info.size(); ++i) {
      const int last = static_cast<int>(sim_info[i].versions.size()) - 1;
      if (!sim_info[i].versions.back().is_current && want_this_f(static_cast<int>(i), last)) ++num_file_install;
    }
  }
  ws.title = T("Confirm Repairs");
  ws.body = fill_in(T("I need to install approximately %d files to repair "), {std::to_string(num_file_install)}) +
            dest_dir_path + ".";
  ws.back_screen = dvd_pick_repair;
  ws.next_screen = dvd_install_repair;
  if (!UTIL_disk_space(T("You have enough free disk space to repair this copy of Corvane."),
                       T("You do not have enough free disk space to repair this copy of Corvane.")))
    ws.next_screen = nullptr;
  else
    ws.body += T("\n\nClick continue to begin repairing Corvane.");
  return 0;
}
