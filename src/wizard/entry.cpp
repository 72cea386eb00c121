#include "wizard/entry.h"

#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "files/io_utils.h"
#include "files/temp_folder.h"
#include "files/tree_ops.h"
#include "runtime/globals.h"
#include "runtime/prefs.h"

bool relaunch_wanted(const std::string& disc_folder, const std::string& exe_path, const std::string& temp_folder) {
  if (disc_folder.empty() || exe_path.size() <= disc_folder.size()) return false;
  if (exe_path.compare(0, disc_folder.size(), disc_folder) != 0) return false;
  // A copy started from the temporary folder never starts another.
  return temp_folder.empty() || exe_path.compare(0, temp_folder.size(), temp_folder) != 0;
}

void relaunch_from_temp(const std::string& exe_path, const std::string& temp_folder) {
  std::string name = exe_path;
  if (name.size() > 1 && name.back() == '/') name.pop_back();
  name = last_component(name);

  // The shutdown before the restart saves the settings: they are read first,
  // so that it writes back what the user had.
  pref.IO_set(11, 0);

  // A folder of its own (mode 0700) for the copy; it is not this run's
  // temporary folder, which goes when this run ends. The copy holds it
  // while it runs; a later start removes it once the copy has ended.
  int hold = -1;
  const std::string folder = make_disc_copy_folder(temp_folder, &hold);
  if (folder.empty()) {
    xer << "Could not make a folder in " << temp_folder << " to run the installer from; running from the disc.\n";
    return;
  }
  const std::string copy = folder + name;
  const int copied = copy_file_recursive(exe_path, copy);
  if (copied != 0) {
    xer << "Could not copy the installer to " << copy << ": " << error_str(copied) << "; running from the disc.\n";
    close(hold);
    remove_run_temp_folder(folder);
    return;
  }
  // The copy opens on the disc's own screens.
  const int started = launch_program(copy, {kDiscOption}, kDiscOption);
  xer << "Could not start " << copy << ": " << error_str(started) << "; running from the disc.\n";
  close(hold);
  remove_run_temp_folder(folder);
}
