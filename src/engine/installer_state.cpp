// The install engine's working state and its start values.

#include "engine/installer_state.h"

#include "engine/install_filter.h"
#include "engine/server_list.h"

stg_struct stg{};

std::vector<file_history_struct> sim_info;
std::vector<int> same_path_rings;
std::map<std::pair<int, int>, std::string> listed_paths;

std::string server_name[kMaxServers];
std::string server_path[kMaxServers];
std::string server_desc[kMaxServers];

std::string install_name;
std::string dest_dir_path;
std::string temp_path;
std::string crnt_file_name;
std::string crnt_file_path;
std::string dvd_path;
std::vector<std::string> all_haldens;
int want_file_disk = 0;
int current_disk = 0;
std::set<std::string> deleted_files;

next_class next{};

void stg_reset_for_start() {
  stg.dir_status = 0;
  set_want_os(os_linux);
  stg.format_too_new = 0;
  stg.download_failed = 0;
  stg.had_errors = 0;
  stg.num_servers = -1;
  stg.server_index = 0;
  stg.file_action = action_not_needed;
  stg.file_fraction = 0.0f;
  stg.stream_count = 0;
  stg.kb_to_download = 0.0f;
  stg.kb_to_install = 0.0f;
  // A new search for a server starts with no failure counted.
  reset_directory_search();
}

// next_class::reset_all_streams belongs with the download streams
// (engine/download.cpp).
