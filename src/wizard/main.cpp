// The installer's entry: the display start-up, the installer's own state,
// then the event loop, which runs the wizard frame by frame until the
// program is done, and the orderly finish.
#include <unistd.h>

#include <cerrno>

#include "engine/disc_install.h"
#include "engine/installed_copies.h"
#include "engine/installer_state.h"
#include "files/io_utils.h"
#include "files/temp_folder.h"
#include "runtime/cmdline.h"
#include "runtime/globals.h"
#include "runtime/prefs.h"
#include "ui/alert.h"
#include "ui/shutdown.h"
#include "window/macibm.h"
#include "wizard/entry.h"
#include "wizard/demo_flow.h"
#include "wizard/disc_flows.h"
#include "wizard/wizard.h"

int main(int argc, char** argv) {
  MACIBM_init(argc, argv);

  std::string system_temp = "/tmp/", exe_path;
  get_OS_abs_path(os_dir_temp, system_temp);
  get_OS_abs_path(os_dir_this_app_file, exe_path);

  // A program started from an install disc runs from a copy, so that the
  // disc can be changed.
  dvd_path = find_disc_folder();
  const bool from_disc = relaunch_wanted(dvd_path, exe_path, system_temp);
  if (from_disc) relaunch_from_temp(exe_path, system_temp);

  std::string folder;
  get_OS_abs_path(os_dir_this_app, folder);
  // Relative paths resolve from the program's folder, or, when it cannot be
  // entered, from the folder the program was started in.
  if (chdir(folder.c_str()) != 0)
    xer << "Could not change to the program's folder " << folder << ": " << error_str(errno) << "\n";

  static const struct {
    const char* label;
    os_dir_type kind;
  } kFolders[] = {
      {"os_dir_this_app\t\t=", os_dir_this_app},     {"os_dir_desktop\t\t=", os_dir_desktop},
      {"os_dir_default_apps\t=", os_dir_default_apps}, {"os_dir_temp\t\t\t=", os_dir_temp},
      {"os_dir_prefs\t\t\t=", os_dir_prefs},
  };
  for (const auto& f : kFolders) {
    std::string path;
    get_OS_abs_path(f.kind, path);
    xer << f.label << path << "\n";
  }
  xer << "\n";

  // This run's temporary files go into a folder of its own; those that
  // earlier runs left behind (killed, or the machine gone down) go now.
  remove_stale_run_temp_folders(system_temp);
  remove_left_list_files();
  temp_path = make_run_temp_folder(system_temp);
  if (temp_path.empty()) {
    MACIBM_alert(0, "I could not make a folder for temporary files in " + system_temp + ".",
                 "Please check that the folder exists and that you can write to it.", "", "", t_exit);
  }

  stls.ok_caption = "OK";
  install_name = no_install_name;
  stg_reset_for_start();
  pref.IO_set(11, 0);
  cmd_line_path = path_option(argc, argv);
  locate_all_corvanes();
  // The disc's copy (or the program still on the disc, when it could not
  // start one) opens on the disc flows.
  if (from_disc || cmdline.has_option(kDiscOption))
    g_wizard = dvd_start;
  else if (cmdline.has_option(kDemoOption))
    g_wizard = demo_start;

  while (!app_done) MACIBM_event_proc();

  MACIBM_finishup(1);
  return 0;
}
