// The start-up steps of the installer's entry that are worth naming: the
// restart from an install disc, and the program's state before the loop.
#pragma once

#include <string>

// Whether a program at exe_path, with the install disc mounted at
// disc_folder (ending in "/"; empty when there is none), runs from the disc
// and should run from a copy instead: the disc folder is a proper prefix of
// the program's path, and the program does not already run from the
// temporary folder temp_folder.
bool relaunch_wanted(const std::string& disc_folder, const std::string& exe_path, const std::string& temp_folder);

// The option that opens the wizard on the disc welcome instead of the web
// update; the copy started from the disc is given it, and nothing else.
inline constexpr const char kDiscOption[] = "--disc";

// Copies the program at exe_path into a private folder made in temp_folder
// and, once the copy is complete, starts it with kDiscOption and ends this
// process (exit code 1). Returns only when that could not be done (logged):
// the program then runs on from where it is.
void relaunch_from_temp(const std::string& exe_path, const std::string& temp_folder);
