// Creating the folders an installation writes into, before any file is
// downloaded, copied or unpacked.
#pragma once

#include <string>

// Creates the install folder dest_dir_path with its parents, the folder of
// every file to install, and the simulator's working folders under "Output"
// and "Resources". A folder that exists already counts as made. Returns 0,
// or the code of the first failure among the install folder and the folders
// of the files (each failure is shown with make_dir_error; a working folder
// that cannot be made is shown but does not fail the call). When a file is
// to be installed or deleted and the install folder cannot be written (read
// only, no permission), one alert names the folder and the reason, and the
// call returns that errno before anything else is made. Temporary files
// that an earlier run left beside the files it was replacing (the form of
// temp_beside_suffix) are removed from the folders of every file of the
// table.
// The folders of the files are made where the scan found them (local_path_of)
// and the working folders in the spelling of a folder that is there in
// another letter case, so that no second folder appears beside it (a file so
// named is no such folder: it stays, and the working folder is made). A file
// named exactly as a working folder stays as well: that folder and the ones
// below it are left out with a line in the log naming the file, and no
// alert.
// Where a release turns a file into a folder, or a folder into a file, what
// it removes from that place goes first: a file marked for deletion that
// stands where a folder is to be made, or the files marked for deletion in a
// folder that stands where a file is to go, with the folders this empties
// and that folder itself. A deleted file is marked absent and not deleted
// again. When such a folder still holds something else (the user's), the
// file to install is not installed (do_install 0), a line goes to the log and
// stg.had_errors is set: an error of the run, which goes on. Likewise a file
// that stays where a folder of the release goes (the user's) keeps its
// place: no file below it is installed, each with a log line naming it.
int make_dirs();

// Shows the folder-creation alert for path with the result code.
void make_dir_error(std::string path, int code);
