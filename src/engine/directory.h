// The directory file: every file of every released version.
#pragma once

#include <cstdint>
#include <string>

// The largest directory file the installer unpacks (from a server or a
// disc): many times the size of any release's, yet far below what a small
// archive can swell to. A directory archive whose file is larger counts as
// damaged.
constexpr std::int64_t kDirectoryMaxBytes = std::int64_t{128} << 20;

// Reads the directory file into sim_info. Returns 3 when the table is read,
// 2 when the header was refused (a newer format). A missing file, or a kept
// FILE record whose name ends in "/", is a fatal alert.
int read_directory(const std::string& path);

// Tells the user that the server's files are newer than this installer
// understands, and ends the program after this frame.
void new_format(const std::string& file_name);

// Results of parse_directory.
enum {
  directory_parsed = 0,        // the table is read
  directory_path_no_file = 1,  // a kept FILE record's path ends in "/"
};

// Reads the records of a directory file's body, the bytes [data, end), into
// sim_info (emptied first), and sets tile_avail, has_scenery and has_sim of
// stg. Never reads at or past end; the data need not be NUL-terminated.
// FILE records whose path could reach outside the install folder, or whose
// local path (below dest_dir_path) would be longer than its file system
// allows, as a whole or in one name, are skipped with a log line, and so
// are records without a name under a prefix that ends in "/" (they name no
// file). A path is read without empty components ("//" as "/"), so its two
// spellings name one file. Sizes below 0 are read as 0. On directory_path_no_file the
// offending path is stored in *bad_path (when not null), reading stops and
// sim_info is left empty.
int parse_directory(const char* data, const char* end, std::string* bad_path);
