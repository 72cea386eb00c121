#include "engine/make_dirs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <set>
#include <unordered_set>
#include <vector>

#include "engine/delete_files.h"
#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "files/find_path.h"
#include "files/folder_list.h"
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

bool is_folder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A folder itself, not a link to one.
bool is_real_folder(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// path lies below folder (which ends in '/').
bool inside(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0;
}

// A file to install that cannot be put in place without removing what is
// not the release's: it is left as it is, an error of the run, which goes
// on with the other files.
void give_up(file_version_struct& v, const std::string& why) {
  v.do_install = 0;
  v.is_current = 0;
  stg.had_errors = 1;
  xer << "Did not install " << local_path_of(v) << ": " << why << ". What is there stays.\n";
}

// Deletes, ahead of the other deletions of the run, the files marked for
// deletion that stand where a file or a folder of the release is to go.
class place_clearing {
 public:
  // Deletes the marked file whose local path is place or, when place ends
  // in '/', every marked file below it, then the folders below place that
  // this leaves empty, and place itself when it is then empty. A deleted
  // file is marked absent and no more to delete.
  void remove_marked(const std::string& place) {
    if (!listed_) {
      listed_ = true;
      for (int i = 0; i < static_cast<int>(sim_info.size()); ++i)
        if (current_version(i).do_delete) marked_.push_back(i);
    }
    const bool folder = !place.empty() && place.back() == '/';
    std::set<std::string> emptied;
    for (const int i : marked_) {
      file_version_struct& v = current_version(i);
      if (!v.do_delete) continue;
      const std::string local = local_path_of(v);
      if (folder ? !inside(local, place) : local != place) continue;
      stg.file_action = action_deleting;
      const int code = delete_file(local);
      const bool gone = code == 0 || code == ENOENT;
      if (stg.log_actions || !gone) xer << "DELETING  file " << local << ", with result=" << code << ".\n";
      if (!gone) {
        stg.had_errors = 1;
        continue;  // the deletion of the run tries again
      }
      v.do_delete = 0;
      v.is_current = 0;
      v.sig_have = kSigNone;
      if (folder) add_folder_chain(emptied, local, place);
    }
    if (!folder) return;
    remove_empty_folders(emptied, place);
    std::vector<std::string> names;
    std::vector<int> types;
    if (opensave_getitems(place, 0, names, types) == 0) {
      const int code = delete_file(place);
      if (stg.log_actions) xer << "cleanup: DELETING  file " << place << ", with result=" << code << ".\n";
    }
  }

 private:
  bool listed_ = false;
  std::vector<int> marked_;  // files marked for deletion, by index
};

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
  place_clearing clearing;
  std::unordered_set<std::string> made;  // folders this call made: nothing stood in them
  std::vector<std::string> blocked;      // files that stay where a folder goes, each with a '/' added
  for (const std::string& folder : folders) {
    const std::string as_folder = folder + "/";
    if (std::any_of(blocked.begin(), blocked.end(), [&](const std::string& b) { return inside(as_folder, b); }))
      continue;
    int code = make_folder(folder);
    if (code == EEXIST && !is_folder(folder)) {
      // A file stands where the release puts a folder: a file the release
      // removes goes now, before anything is put into the folder. One that
      // stays (the user's) keeps its place, and the files of the release
      // below it are not installed.
      clearing.remove_marked(folder);
      code = make_folder(folder);
      if (code == EEXIST && !is_folder(folder)) {
        blocked.push_back(as_folder);
        continue;
      }
    }
    if (code == 0) made.insert(as_folder);
    if (show_make_dir_err(code)) {
      make_dir_error(folder, code);
      return code;
    }
  }
  for (const std::string& place : blocked) {
    for (int i = 0; i < count; ++i) {
      file_version_struct& v = current_version(i);
      if (v.do_install && inside(local_path_of(v), place))
        give_up(v, "the file " + place.substr(0, place.size() - 1) + " stands where the release puts a folder");
    }
  }

  // A folder where the release puts a file: what the release removes from
  // it goes now, and the folder with it once it is empty. Only a file the
  // scan did not find can have a folder in its place, and none in a folder
  // made just now.
  for (int i = 0; i < count; ++i) {
    file_version_struct& v = current_version(i);
    if (!v.do_install || (!v.sig_have.empty() && v.sig_have != kSigNone)) continue;
    const std::string local = local_path_of(v);
    if (made.count(folder_part(local)) != 0 || !is_real_folder(local)) continue;
    // A release that also puts files into that folder keeps it.
    if (folders.count(local) == 0) clearing.remove_marked(local + "/");
    if (is_real_folder(local))
      give_up(v, "the folder of that name holds files that are not part of the release");
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
  // They are made in the spelling of a folder that is there in another
  // letter case, as the scan finds the files in it; a file of that name in
  // another case is not one, and stays beside the folder made. A file of
  // the user's named as one of them stays too: that folder and those below
  // it are left out, with a line in the log, since nothing the user can do
  // in an alert would make them.
  std::vector<std::string> kept_files;  // each with a '/' added
  for (const char* folder : kFixedFolders) {
    std::string path = dest_dir_path + folder + "/";
    repair_case(path);
    if (std::any_of(kept_files.begin(), kept_files.end(), [&](const std::string& f) { return inside(path, f); }))
      continue;
    path.pop_back();
    const int code = make_folder(path);
    if (code == EEXIST && !is_folder(path)) {
      xer << "The file " << path << " stays where a working folder goes: it and the working folders below it "
          << "are not made.\n";
      kept_files.push_back(path + "/");
    } else if (show_make_dir_err(code)) {
      make_dir_error(path, code);
    }
  }
  return 0;
}
