#include "engine/delete_files.h"

#include <cerrno>
#include <vector>

#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "files/folder_list.h"
#include "files/io_utils.h"
#include "runtime/alert.h"
#include "runtime/globals.h"
#include "runtime/translate.h"

namespace {

// root as a folder path, with its final '/'.
std::string as_folder(const std::string& root) {
  if (!root.empty() && root.back() != '/') return root + '/';
  return root;
}

// path lies strictly below the folder root (which ends in '/').
bool below(const std::string& path, const std::string& root) {
  return path.size() > root.size() && path.compare(0, root.size(), root) == 0;
}

}  // namespace

void add_folder_chain(std::set<std::string>& folders, const std::string& local_path,
                      const std::string& given_root) {
  const std::string root = as_folder(given_root);
  if (!below(local_path, root)) return;
  // The folder part of the path: everything up to and including its last '/'.
  std::size_t slash = local_path.rfind('/');
  while (slash != std::string::npos && slash + 1 > root.size()) {
    folders.insert(local_path.substr(0, slash + 1));
    if (slash == 0) break;
    slash = local_path.rfind('/', slash - 1);
  }
}

void remove_empty_folders(const std::set<std::string>& folders, const std::string& given_root) {
  const std::string root = as_folder(given_root);
  std::vector<std::string> names;
  std::vector<int> types;
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
    if (!below(*it, root) || it->back() != '/') continue;
    if (opensave_getitems(*it, 0, names, types) != 0) continue;
    const int code = delete_file(*it);
    if (stg.log_actions) xer << "cleanup: DELETING  file " << *it << ", with result=" << code << ".\n";
  }
}

void delete_files() {
  // Every local path is built below the install folder; without one there
  // is nothing to delete.
  if (dest_dir_path.empty()) return;

  std::set<std::string> folders;
  for (std::size_t i = 0; i < sim_info.size(); ++i) {
    file_version_struct& v = sim_info[i].versions.back();
    if (!v.do_delete) continue;

    const std::string local = local_path_of(v);

    stg.file_action = action_deleting;
    const int code = delete_file(local);
    // A file that was already gone is as good as deleted; any other failure
    // is always worth a line in the log.
    const bool gone = code == 0 || code == ENOENT;
    if (!gone) stg.had_errors = 1;  // an error of the run
    if (stg.log_actions || !gone)
      xer << "DELETING  file " << local << ", with result=" << code << ".\n";

    add_folder_chain(folders, local, dest_dir_path);

    if (show_del_err(code))
      __MACIBM_alert(0, UTL_translate_string("Could not delete a file that I no longer want to have!"),
                     error_str(code), local, "", t_exit, "delete_files", 1);

    // The file is still there when the deletion failed: keep its record.
    if (gone) {
      v.is_current = 0;
      v.sig_have = kSigNone;
    }
  }

  // A folder that a file to install goes into stays, though the deletions
  // emptied it: the copies from the disc come after them.
  if (!folders.empty()) {
    for (std::size_t i = 0; i < sim_info.size(); ++i) {
      const file_version_struct& v = sim_info[i].versions.back();
      if (v.do_install) folders.erase(folder_part(local_path_of(v)));
    }
  }
  remove_empty_folders(folders, dest_dir_path);
}
