// The list of the folders into which the simulator was installed, kept per
// user in "corvane_install.txt" in the preferences folder: one folder per
// line, exactly as dest_dir_path held it, each line ended by LF. A copy is
// taken off the list only when its folder has been deleted.
#pragma once

#include <string>

// 1 when dest_dir_path holds a copy of the simulator: among its sub-folders
// (hidden ones not counted) are names containing "Airfoils", "Instructions",
// "Output" and "Resources". 0 otherwise, also when it cannot be listed.
int path_is_to_a_sim();

// Installers running at once change the list one after the other, each in
// its turn: each change holds an advisory lock from its reading of the list
// until it is in place. The lock is taken on "corvane_install.txt.lock"
// beside the file the list's path leads to (lists that are links to one
// file share it), a file that stays there; a link in its place that leads
// to a file locks that file, unchanged. Where no lock can be had, the log
// says so, with the cause, once in a run and the list is changed without it.

// Appends dest_dir_path to the list unless a line equal to it is there.
// True when this call added the line. Failures are logged; the run goes on.
bool register_new_corvane();

// Takes folder off the list and out of all_haldens: every line equal to
// it goes, the other lines stay as they were. The list is written anew
// beside the file it is (beside a link's target, for a list that is a
// link, which stays), with that file's mode, and then put in its place.
// Failures are logged.
void forget_corvane(const std::string& folder);

// At start-up: removes the new lists that rewrites of runs which ended
// before they were done left beside the list. While another installer
// holds the lock nothing is removed (the log says so) and the call returns
// at once.
void remove_left_list_files();

// Rebuilds all_haldens from the list: the listed folders that exist, in
// list order.
void locate_all_corvanes();
