// Deleting the installed files that the per-file decisions marked for
// deletion, and removing the folders those deletions left empty.
#pragma once

#include <set>
#include <string>

// Deletes the local file of every current version marked do_delete (the
// path below dest_dir_path), then removes the folders that became empty.
// A version is marked absent (is_current 0, sig_have "NONE") when its file
// was deleted or was already gone; a failed deletion leaves the version as
// it was, is always logged and sets stg.had_errors. Does nothing without a
// dest_dir_path.
void delete_files();

// Adds the folders that hold local_path, up to but not including root, to
// `folders`: for root + "p/q/name" that is root + "p/q/" and root + "p/",
// each with its final '/'. Nothing is added for a path directly in root or
// one that does not lie below root. root is a folder; its final '/' may be
// left off.
void add_folder_chain(std::set<std::string>& folders, const std::string& local_path,
                      const std::string& root);

// Visits the folders deepest first (reverse sorted order, so a folder comes
// before the folders that contain it) and removes each that lists no entry
// (hidden names are not listed; removing a folder never removes anything in
// it, so one holding only hidden names stays). Only folders strictly below
// root that end in '/' are visited; root itself never is. With
// stg.log_actions set, each removal is logged as "cleanup: DELETING  file
// <folder>, with result=<code>.".
void remove_empty_folders(const std::set<std::string>& folders, const std::string& root);
