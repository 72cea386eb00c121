// The disk-space block that every screen shows before files are installed,
// and the one rule by which sizes in KB become text.
#pragma once

#include <string>

// A size in KB as text: above 1024000 KB "%.1f GB" (of KB / 1048576), above
// 1024 KB "%.0f MB" (of KB / 1024), else "%.0f KB".
std::string size_string(float kb);

// The block's text for a disk of total_kb with free_kb free when needed_kb
// are to be installed: the three sizes and, last, ok_text when the need is
// at most the free space, else short_text.
std::string disk_space_text(float total_kb, float free_kb, float needed_kb, const std::string& ok_text,
                            const std::string& short_text);

// Draws the block for the disk of dest_dir_path (the file system of the
// folder that holds it, so it works before the copy's folder exists) and
// stg.kb_to_install. Returns 1 when the need is strictly below the free
// space, or when the free space cannot be read (nothing is drawn then);
// else 0.
int UTIL_disk_space(const std::string& ok_text, const std::string& short_text);
