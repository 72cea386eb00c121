// The private folder that holds this run's temporary files, and the
// temporary files written beside the files they are to replace.
#pragma once

#include <cstddef>
#include <string>

// Makes a folder only this user can enter (mode 0700) inside `base` (which
// ends in "/"), named after this process ("corvane-<pid>-XXXXXX"), and
// returns its path with a final "/"; empty on failure. It is this run's
// folder: remove_this_runs_temp_folder removes it, and so does exit().
std::string make_run_temp_folder(const std::string& base);

// Removes the folder made by make_run_temp_folder with everything in it.
// Returns 0 or the errno of the first failure.
int remove_run_temp_folder(const std::string& folder);

// Removes the folder this run made with make_run_temp_folder, if any;
// every exit the program controls calls it. Nothing else is touched, and
// nothing at all in a process forked from the one that made the folder.
void remove_this_runs_temp_folder();

// Removes the folders in base that runs of this program made and left
// behind: this user's, real folders (not links), either named as
// make_run_temp_folder names them and made by a process that no longer
// runs, or named as make_disc_copy_folder names them and no longer held by
// a running copy, or still under the name make_disc_copy_folder gives them
// while it makes them, when the process making them no longer runs and
// none holds them. Returns how many were removed.
//
// A hold on a disc copy's folder that this process inherited from the run
// that started it stays with this process: programs it starts in turn do
// not inherit it.
int remove_stale_run_temp_folders(const std::string& base);

// Makes the folder (mode 0700) in base (ending in "/") into which a run
// started from an install disc copies the program before starting the
// copy: "corvane-disc-XXXXXX", with a final "/"; empty on failure. The
// folder is held through *hold, a descriptor that the copy inherits when it
// is started (it stays open across exec): while a process holds it, the
// folder is in use, and once none does, remove_stale_run_temp_folders
// removes it. The maker closes *hold when the copy could not be started.
std::string make_disc_copy_folder(const std::string& base, int* hold);

// The name suffix of every temporary file written beside its target
// (".cvpart-" and six letters or digits): one form, so that files left
// behind when a run was killed are recognised and removed by the next.
std::string temp_beside_suffix();
// The name has that form.
bool is_temp_beside_name(const std::string& name);

// Removes, in each of the folders (each ending in "/"), the plain files and
// links whose names have the temporary form. Returns how many were
// removed. Safe on any thread.
int remove_temp_beside_files(const std::string* folders, std::size_t count);
