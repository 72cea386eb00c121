// The install filter, the scenery tiles and the totals shown before an install.
#pragma once

#include <string>

// Versions that are not global scenery, and global scenery versions, pass the
// filter while these are non-zero. Both start at 1.
extern int g_want_sim;
extern int g_want_global;

// Sets the filter, or the operating system (stg.want_os), and decides anew
// which file of each local path counts (settle_same_paths). Called on the
// main thread while no scan runs: the scan's tasks read what they set.
void set_install_filter(int want_sim, int want_global);
void set_want_os(int os);

// Decides, for every local path that several files of sim_info name (a
// path listed again, a ring of same_path_rings), the one that counts of
// those that pass the filter and the operating system: the last that keeps
// the file, or the last when each removes it. The directory reader and the
// two setters above call it.
void settle_same_paths();

// 1 when version `version` of file `file` passes the filter and is for the
// operating system being installed, and no other file of its local path
// counts instead (settle_same_paths). Safe from the scan's worker threads.
int want_this_f(int file, int version);

// sig is the signature of a version that some file of file's local path
// lists, in any of its versions: a release version, not a change of the
// user's.
bool release_lists(int file, const std::string& sig);

// 1 when the path names a global scenery tile file.
int is_global_scenery_f(const char* path);

// Reads the tile of a scenery file from its name (e.g. "+40-080.dsf"): the
// latitude row from the first three characters, the longitude column from
// the next four. Writes both out-parameters; returns 1 when they name a valid
// tile. Out-of-range values are left in the out-parameters on result 0; a
// name shorter than three characters gives -1 in both.
int find_sector(int* lon_col, int* lat_row, std::string path);

// tile_want = tile_avail.
void scenery_take_all();

// tile_want = the tiles that have an installed file.
void scenery_from_install();

// Removes the first path component and its "/" in place.
void trim_dest_folder(std::string& path);

// The local path of a file of the table: dest_dir_path + the table's path
// without its first component (trim_dest_folder). Reads dest_dir_path,
// which is only read while worker threads run.
std::string local_path(const std::string& table_path);

// The local path that installing and deleting act on for version v: where
// the scan found the file in another letter case (found_path), else
// local_path(v.path). So a file stored as "Old.txt" is the one deleted when
// the table lists "old.txt", and an update of it replaces it instead of
// putting a second file beside it.
struct file_version_struct;
std::string local_path_of(const file_version_struct& v);

// 1 when the path ends in "/"; 0 for an empty path.
int path_has_no_file(std::string path);

// Recomputes kb_to_download, kb_to_install, files_to_get and files_to_delete.
void recalc_disk_sizes();
