// The private folder that holds this run's temporary files.
#pragma once

#include <string>

// Makes a folder only this user can enter (mode 0700) inside `base` (which
// ends in "/") and returns its path with a final "/"; empty on failure.
std::string make_run_temp_folder(const std::string& base);

// Removes the folder made by make_run_temp_folder with everything in it.
// Returns 0 or the errno of the first failure.
int remove_run_temp_folder(const std::string& folder);
