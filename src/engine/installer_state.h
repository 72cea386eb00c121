// The install engine's working state: the installer state record, the file
// table read from the directory file, the update servers and the paths the
// engine works on.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Operating systems a release can be installed for (`stg.want_os`).
enum { os_mac = 1, os_windows = 2, os_linux = 3 };

// Per-file action shown in the progress text (`stg.file_action`).
enum {
  action_deleting = 0,
  action_installing = 1,
  action_current = 2,
  action_not_needed = 3,
};

constexpr int kTileCols = 36;  // ten-degree longitude columns, 180 W first
constexpr int kTileRows = 18;  // ten-degree latitude rows, 90 S first

struct stg_struct {
  int dir_status;      // 0 fetch directory archive, 1 read directory file, 2 format refused, 3 table read
  int want_os;         // operating system to install for: 1 Mac, 2 Windows, 3 Linux
  int log_actions;     // log a line about each file downloaded, unpacked or deleted
  int format_too_new;  // 2 once the newer-format notice was shown
  int download_failed; // a download failed and another server is being tried
  int had_errors;      // a file could not be installed, unpacked or deleted during this run
  int num_servers;     // update servers read from the server list; -1 before
  int server_index;    // chosen update server
  int tile_want[kTileCols][kTileRows];   // tiles chosen by the user, [lon_col][lat_row]
  int tile_avail[kTileCols][kTileRows];  // tiles the directory lists
  int file_action;     // see action_* above
  float file_fraction; // fraction downloaded of the current file; -0.01 before a size is known
  int stream_count;    // download streams fixed by the user, 1..4; 0 automatic
  int get_beta;        // install the beta version named by the server list
  float kb_to_download;
  float kb_to_install;
  int files_to_get;
  int files_to_delete;
  int has_scenery;     // the directory's current versions include global scenery tiles
  int has_sim;         // the directory's current versions include other files
};

extern stg_struct stg;

// Signature values compared exactly.
inline const std::string kSigGone = "GONE";  // sig_want: this version removes the file
inline const std::string kSigNone = "NONE";  // sig_have: there is no local file

// One released version of one file.
struct file_version_struct {
  int platform = 0;        // 0 every OS; 1..3 a want_os value; 6 Linux only; 4, 5 none
  int extra_value = 0;     // third number of the FILE record, stored as read
  float size_kb = 0;       // size of the version's archive
  float unpacked_kb = 0;   // size of the file once unpacked
  std::string sig_want;    // MD5 of this version, or "GONE"
  std::string sig_have;    // MD5 found on disk, "NONE" when absent; empty before the scan
  std::string path;        // relative path, first component is the install folder's name
  // The local path under which the scan found the file (or the folders on
  // its way) in another letter case; empty when the path as the table gives
  // it needed no repair. Installing and deleting act on it (local_path_of).
  std::string found_path;
  int disk = 0;            // disc holding the version's archive
  int is_current = 0;      // the installed file is this version
  int is_global_scenery = 0;
  int lat_row = 0;         // 0..17 when is_global_scenery
  int lon_col = 0;         // 0..35 when is_global_scenery
  int do_install = 0;
  int do_delete = 0;
  float progress_mark = 0; // share of the total unpacked size that comes before this file
};

// Every version of one path, in directory order; the last is the current
// version, the one wanted on disk. Never empty.
struct file_history_struct {
  std::vector<file_version_struct> versions;
  // The next history, in a ring, whose path names the same local path (the
  // path listed again after others, or under another first folder); -1
  // when no other does. Set by the directory reader.
  int same_path = -1;
  // Another history of the ring counts instead of this one under the
  // current filter and operating system (settle_same_paths): want_this_f
  // refuses this one.
  int another_counts = 0;
};

// The file table, in directory order.
extern std::vector<file_history_struct> sim_info;

// One history of each ring of same_path links, so that deciding which of
// a ring counts looks at no history of a path listed once. Set by the
// directory reader with the links.
extern std::vector<int> same_path_rings;

// The path as the directory spells it, by file and version, of the few
// versions whose spelling has empty components ("//") that their path
// leaves out. The server's archive of such a version is asked for under
// this spelling. Set by the directory reader.
extern std::map<std::pair<int, int>, std::string> listed_paths;

// The current version of file i.
inline file_version_struct& current_version(int i) { return sim_info[static_cast<std::size_t>(i)].versions.back(); }

constexpr int kMaxServers = 10;
extern std::string server_name[kMaxServers];  // host of each update server
extern std::string server_path[kMaxServers];  // path prefix on that host, ends with "/"
extern std::string server_desc[kMaxServers];  // label in the server chooser

extern std::string install_name;    // version folder on the servers or the disc
extern std::string dest_dir_path;   // the install folder, ends with "/"
extern std::string temp_path;       // the temporary folder, ends with "/"
extern std::string crnt_file_name;  // file being worked on, for the progress text
extern std::string crnt_file_path;  // file named by the download-failure text
extern std::string dvd_path;        // mount folder of the install disc, ends with "/"; empty when none
extern std::vector<std::string> all_haldens;  // installed copies known to the installer
extern int want_file_disk;          // file whose disc is wanted next
extern int current_disk;            // disc in the drive
extern std::set<std::string> deleted_files;   // folders that held deleted files

// The download streams of the web update.
class next_class {
 public:
  int next_file;            // next file to hand to a stream
  int all_done;             // the run is finished
  int slot_active[4];       // the stream is switched on
  int slot_wants_file[4];   // the stream takes the next file at its next turn
  int slot_file[4];         // the stream's file; >= the file count when it has none left
  float start_time;         // frame-timer seconds at the last reset
  float kb_partial;         // KB of the downloads still running
  float kb_downloaded;      // compressed KB finished since the reset
  float kb_installed;       // unpacked KB installed since the reset

  void reset_all_streams();
};

extern next_class next;

// Gives the state record the start values that the program entry sets before
// reading the preferences.
void stg_reset_for_start();
