// Installing from the install discs.
//
// Every file of every version lies on the discs as an archive of its own,
// at <disc folder><install folder name>/<table path> + ".zip" (".7z" for
// global scenery). The root of each disc holds "dvd_version.txt", which
// names the install folder; that folder also holds "directory.txt.zip", the
// directory of the disc set, whose DISK records tell on which disc each
// archive lies.
//
// A run copies the archives of the files to install from the disc into the
// temporary folder on a pool of one thread (so the disc is read in order)
// and unpacks them into the install folder on a pool of one thread per
// processor. Everything else runs on the main thread, one short step per
// frame.
#pragma once

#include <cstdint>
#include <string>

#include "files/archives.h"
#include "runtime/worker_pool.h"

// Installs one file from the disc in two stages, one per pool: the first
// do_it copies the archive of the file's current version from the disc to
// the temporary folder, the second unpacks it into the install folder and
// marks the version as installed. A file larger than the directory says,
// or whose signature is not the version's, is not put in place: the task
// fails and the file there before stays. The temporary copy is deleted
// whatever happens.
class dvd_unpack_task : public UTL_work_task {
 public:
  // Reads the file table and the path globals: on the main thread only.
  dvd_unpack_task(int file_index, const std::string& temp_folder);
  // Writes the "EXPANDING file" log line when stg.log_actions is set (and
  // the unpack check's refusal line, if any): on the main thread only.
  ~dvd_unpack_task() override;

  void do_it() override;
  // message = the failure's sentence (empty on success); returns its code.
  int check_error(std::string& message) override;

  int file_index;
  int stage = 0;          // 0 until the copy stage has run, then 1
  std::string temp_file;  // the archive's copy in the temporary folder
  std::string suffix;     // ".7z" or ".zip"
  std::string dest_path;  // the installed file: dest_dir_path + path without its first component
  std::string err_msg;    // English sentence of the failure; empty when none
  int err = 0;            // 0, or the code of the stage that failed
  std::string source;     // the archive on the disc, as named by the table
  std::string refusal;    // log lines of an archive refused, or of a file found wrong
  unpack_check check;     // what the unpacked file must be: the version's size and signature
};

// The two pools of a run; null while no disc install runs.
extern UTL_worker_threads* copy_pool;
extern UTL_worker_threads* unzip_pool;
// The first failure since the last install_files_get_error; 0 for none.
extern int install_err_num;
extern std::string install_err_msg;

// Called every frame by the disc welcome screen: finds the mounted disc
// (dvd_path, with find_disc_folder), reads its install folder name
// (install_name) from "dvd_version.txt" (a file that is refused or names no
// folder is logged once per disc folder), then unpacks and reads the disc
// set's directory (stg.dir_status 3 when read, 2 when refused). A directory
// archive that cannot be unpacked, or that holds anything but the file
// "directory.txt", is a fatal alert.
void UTIL_scan_dvd();

// With eject set, lets the disc at dvd_path go and forgets dvd_path, so the
// next disc is looked for afresh. Returns the disc number of the current
// version of file want_file_disk.
int UTIL_switch_disk(int eject);

// Finds the mounted disc when dvd_path is empty, searching at once (the
// user has just asked for the look); true (and current_disk set to the
// file's disc) when that disc holds the archive of file want_file_disk.
bool UTIL_verify_disk();

// ".7z" when the path of the file's current version contains
// "Global Scenery" (letter case counts), else ".zip".
std::string suffix_for_file(int file);

// One frame of a run from disc number disk. next_file is the next file of
// the table to hand out (0 at the start; advanced here). Returns 0 while
// working, 1 when every file is done (the pools are then gone), 2 when the
// next file to install lies on another disc and nothing is in flight
// (next_file stays on it), 3 when a file failed (install_files_get_error
// tells which; calling again goes on with the other files).
int install_files(int& next_file, int disk);

// message = the last failure's sentence; returns its code (0 none) and
// forgets both.
int install_files_get_error(std::string& message);

// Stops a run: every archive already handed to the copy pool is still
// copied and unpacked, then both pools are collected and destroyed.
// Nothing when no run is going on.
void install_files_kill();

// The two-button question of the disc flows in window 997: text on top,
// and each button with its explanation to its right. Returns 1 for the
// first button, 0 for the second, 3 when the window was closed another
// way. Without a display a scripted click (BTN_script_click) must answer
// it, else it is a fatal alert.
int abort_alert(std::string text, std::string label1, std::string text1, std::string label2, std::string text2);

// --- Pieces of the above, open for tests ---

// The install folder name that the disc description file names: the header
// ("I", "900 version", "DVD") is checked, then the last "VERSION <name>"
// line wins. Reads only [data, data + size). False (name unchanged) when the
// header is refused or no VERSION line names a folder.
bool parse_dvd_version(const char* data, std::int64_t size, std::string& name);

// The folder of the install disc, ending in "/"; empty when none is found.
// The environment variable CORVANE_DISC, when set, names it at once;
// otherwise the first mounted folder of the mount table (the fallback table
// when the first cannot be read) whose root holds "dvd_version.txt" (in any
// letter case). Only local file systems are looked at: network and FUSE
// mounts, which could leave the look hanging, are passed over. After a search that found no disc the tables are searched
// again only once the frame timer (xtim.elapsed) has moved on a second;
// calls before that give an empty folder. Main thread only.
std::string find_disc_folder(const std::string& table_path = "/proc/self/mounts",
                             const std::string& fallback_table_path = "/proc/mounts");
// The next find_disc_folder searches the tables at once, whenever the last
// search was.
void disc_search_now();

// The mount-table half of find_disc_folder, over a table in the format of
// /proc/self/mounts (octal escapes such as "\040" in the names).
std::string find_disc_in_mount_table(const std::string& table_path);
