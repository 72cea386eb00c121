// What the runtime calls in the file layer above it: the standard folders
// and the wording of result codes. Defined in src/files, whose io_utils.h
// includes this one.
#pragma once

#include <string>

enum os_dir_type {
  os_dir_this_app = 0,       // folder of the running executable, ending in "/"
  os_dir_this_app_file = 1,  // path of the running executable
  os_dir_desktop = 2,        // home folder + "/"
  os_dir_default_apps = 3,   // home folder + "/"
  os_dir_temp = 4,           // "/tmp/"
  os_dir_prefs = 5,          // home folder + "/.corvane/", created if missing
};

// Sets out to the folder of the given kind; leaves it unchanged when the
// folder is unknown (no HOME for the per-user kinds, an unknown kind).
void get_OS_abs_path(os_dir_type type, std::string& out);

// A sentence explaining a result code, without a final full stop.
std::string error_str(int code);
