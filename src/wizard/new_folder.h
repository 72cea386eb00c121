// What the flows that make a new copy share: the picker of the new folder
// (a parent folder chosen in the folder chooser, the name of a folder that
// must not exist yet, the table prepared as for an empty folder and the
// disk space), and the rule of what a cancelled new install may delete.
#pragma once

#include <string>

#include "wizard/wizard.h"

// What differs between the pickers of the flows.
struct new_folder_kind {
  std::string (*default_name)();  // the name offered on the first visit
  const char* chooser_prompt;
  const char* enough_text;
  const char* short_text;
  // The desktop note joins the name and its translated tail with a blank
  // of its own, instead of the blank leading the tail.
  bool blank_before_desktop_note;
  // Too little free space greys Next.
  bool short_space_greys_next;
};

// A picker's choice, kept for the life of the program.
struct new_folder_choice {
  std::string parent_dir;      // the folder the new copy is made in; ends in "/"
  std::string install_folder;  // the new folder's name as typed
  std::string desktop_f;       // the desktop, for the note that the copy appears there
  // The table is to be prepared for the chosen folder: set by a change,
  // kept over frames on which the name is refused, cleared once prepared.
  int table_stale = 0;
};

// On a first frame: the desktop folder is read again; with prepare_again
// the table is prepared afresh on the next frame that names a new folder
// (another screen may have read or used it since).
void new_folder_arrive(new_folder_choice& c, bool prepare_again);

// The every-frame part of a picker, once the caller has set the title and
// the Back and Next targets: takes the defaults on the first visit, draws
// "Change Destination" and the "Install Name:" field, sets dest_dir_path,
// and fills the body. A name that names no new folder (empty, ".", "..",
// or holding "/"), one longer than a folder name may be in the parent, or a
// folder that exists already greys Next.
void new_folder_frame(const new_folder_kind& kind, new_folder_choice& c, wizard_screen& ws);

// The folder that a new install's set-up is about to make: dest when
// nothing is there yet, else empty (a folder that was there before is
// never the install's to delete).
std::string folder_to_be_made(const std::string& dest);

// After the question whether to cancel a running new install was answered
// other than "Continue" (a button, or the question closed): deletes the
// folder dest with everything in it, and takes it off the list of
// installed copies, only when made, the folder the install's set-up made,
// is dest. A folder that was there before stays with everything in it; it
// goes off the list when listed_by_run, the run's set-up having added it.
// made is forgotten in every case.
void delete_cancelled_install(std::string& made, const std::string& dest, bool listed_by_run);
