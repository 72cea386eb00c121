// Letter-case repair of paths on case-sensitive file systems.
#pragma once

#include <string>

// Repairs the letter case of the NUL-terminated path (any length) in place,
// component by component: a component that exists as written is kept, any
// other is matched against the names in its folder without regard to case.
// A component followed by '/' (every one but the last, and the last of a
// path that ends in '/') is taken only as a folder: a file of that name is
// neither kept nor matched for it. The last component of a path without a
// final '/' names a file: it matches only an entry that is no folder (a
// file, or a link to no folder). So a folder is named with its '/' to be
// repaired. Stops at the first component that cannot
// be found, leaving the rest as it was. The length of the path never
// changes.
void findPath(char* path);

// Repairs the letter case of path in place with findPath, when the file
// system is case-sensitive (g_case_sensitive) and the path is not empty.
void repair_case(std::string& path);

// Non-zero when the file system distinguishes letter case; 1 from the start.
// Defined and set by the display start-up in the window layer.
extern int g_case_sensitive;
