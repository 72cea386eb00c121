#include "engine/make_dirs.h"

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <set>
#include <vector>

#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "files/io_utils.h"
#include "files/temp_folder.h"
#include "runtime/alert.h"
#include "runtime/globals.h"
#include "runtime/translate.h"

namespace {

// The simulator's working folders, made in every install folder.
const char* const kFixedFolders[] = {
    "Output", "Output/FMS plans", "Output/logbooks", "Output/movies", "Output/situations",
    "Resources", "Resources/preferences",
};

// Makes one folder; a failure other than "it exists" is shown and returned.
int make_one(const std::string& path) {
  const int code = make_folder(path);
  if (!show_make_dir_err(code)) return 0;
  make_dir_error(path, code);
  return code;
}

}  // namespace

void make_dir_error(std::string path, int code) {
  __MACIBM_alert(0,
                 UTL_translate_string("I am unable to install or update Corvane. An error occurred while creating "
                                      "new folders. Make sure you are installing to a directory that you have "
                                      "access to!"),
                 UTL_translate_string("Error: ") + error_str(code),
                 UTL_translate_string("Install Location: ") + dest_dir_path,
                 UTL_translate_string("Install Path:") + path, t_alert, "utils", 166);
}

int make_dirs() {
  // The install folder and every folder above it, shortest first; the part
  // before the first '/' (the root of an absolute path) is never made.
  std::string d = dest_dir_path;
  if (!d.empty()) d.pop_back();
  const std::size_t first_slash = d.find('/');
  if (first_slash != std::string::npos) {
    for (std::size_t at = d.find('/', first_slash + 1); at != std::string::npos; at = d.find('/', at + 1)) {
      if (const int code = make_one(d.substr(0, at))) return code;
    }
  }
  if (!d.empty()) {
    if (const int code = make_one(d)) return code;
  }

  // An install folder that cannot be written is told once, naming it and
  // the reason, before any file is touched: every file of the run would
  // fail the same way.
  const int count = static_cast<int>(sim_info.size());
  bool work = false;
  for (int i = 0; i < count && !work; ++i) work = current_version(i).do_install || current_version(i).do_delete;
  if (work && !dest_dir_path.empty() && access(dest_dir_path.c_str(), W_OK) != 0) {
    const int code = errno;
    __MACIBM_alert(0,
                   UTL_translate_string("I am unable to install or update Corvane because I cannot write into its "
                                        "folder. Make sure you are installing to a directory that you have access "
                                        "to!"),
                   UTL_translate_string("Error: ") + error_str(code),
                   UTL_translate_string("Install Location: ") + dest_dir_path, "", t_alert, "utils", __LINE__);
    return code;
  }

  // The folders of the files to install below the install folder. All
  // share the install folder's path, so in byte order a folder comes before
  // its sub-folders.
  std::set<std::string> folders;
  // A slash at or before this index ends no folder below the install folder.
  const std::size_t below = dest_dir_path.size();
  for (int i = 0; i < count; ++i) {
    const file_history_struct& history = sim_info[static_cast<std::size_t>(i)];
    const file_version_struct& cur = history.versions.back();
    if (!cur.do_install || !want_this_f(i, static_cast<int>(history.versions.size()) - 1)) continue;
    std::string name = local_path_of(cur);
    for (std::size_t slash = name.rfind('/'); slash != std::string::npos && slash > below; slash = name.rfind('/')) {
      name.erase(slash);
      folders.insert(name);
    }
  }
  for (const std::string& folder : folders) {
    if (const int code = make_one(folder)) return code;
  }

  // Temporary files that a run stopped part-way (killed, or the power gone)
  // left beside the files it was replacing are removed, in every folder of
  // the table's files.
  std::set<std::string> table_folders;
  table_folders.insert(dest_dir_path);
  for (int i = 0; i < count; ++i) table_folders.insert(folder_part(local_path_of(current_version(i))));
  const std::vector<std::string> sweep(table_folders.begin(), table_folders.end());
  if (const int removed = remove_temp_beside_files(sweep.data(), sweep.size()))
    xer << "Removed " << removed << " temporary files that an earlier run left in " << dest_dir_path << ".\n";

  // The working folders: a failure is shown but the installation goes on.
  for (const char* folder : kFixedFolders) make_one(dest_dir_path + folder);
  return 0;
}
