// Copying and removing whole folder trees.
#pragma once

#include <string>

// Copies a file (bytes and permission bits) or a whole folder tree. A folder
// is given without a final '/'. The letter case of the source path is
// repaired first, and the repaired path is the one read. Folders are made with mode 0755; an existing
// destination folder is filled, files of the same name are overwritten and
// the others kept. Entries are taken as the folder listing gives them
// (filter 0): hidden names are not copied, links are followed, so a link to a
// file is copied as a file and a link to a folder as a folder tree. Pipes,
// devices and sockets are not copied (EINVAL when the source is one). A folder
// that is already being copied further up the walk (a link back to one of
// its own parents, or the destination made inside the source) is left out
// instead of being copied into itself without end. Stops at the first
// failure and returns its code; what was copied before stays. 0 on success,
// also for an empty or unreadable folder; a missing source gives 2.
int copy_file_recursive(const std::string& source, const std::string& destination);

// Removes a folder (given with a final '/') with everything in it, hidden
// entries included. Entries are told apart by what they are, not by their
// names, and symbolic links are removed themselves, never followed: nothing
// outside the folder is touched, whatever its links point to. A folder that
// is itself a link is removed as a link. The root of the file system and
// the home folder (HOME) are never emptied, however the path names them
// ("/x/..", "/./", a link on the way): EBUSY. Stops at the first failure
// and returns its code, leaving the folder with what remains in it; a
// missing folder gives 2.
int recursive_delete_folder(std::string folder);
