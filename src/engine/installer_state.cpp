// The install engine's working state and its start values.

#include "engine/installer_state.h"

#include <cstddef>

#include "engine/install_filter.h"
#include "files/io_utils.h"
#include "runtime/xtim.h"

stg_struct stg{};

std::vector<file_history_struct> sim_info;

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
  stg.want_os = os_linux;
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
}

namespace {

// True when a relative path (as read from the directory file, with its first
// component removed) has a ".." component and so could reach outside the
// install folder.
bool climbs_out(const std::string& rel) {
  std::size_t start = 0;
  while (start <= rel.size()) {
    std::size_t end = rel.find('/', start);
    if (end == std::string::npos) end = rel.size();
    if (end - start == 2 && rel[start] == '.' && rel[start + 1] == '.') return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

void next_class::reset_all_streams() {
  // Clear away what an interrupted run may have left next to the files of
  // the streams that were working. Only paths inside the install folder are
  // touched; without a known install folder there is nothing to clear.
  for (int s = 0; s < 4; ++s) {
    if (!slot_active[s]) continue;
    const int f = slot_file[s];
    if (f < 0 || static_cast<std::size_t>(f) >= sim_info.size()) continue;
    if (dest_dir_path.empty()) continue;
    std::string rel = current_version(f).path;
    trim_dest_folder(rel);
    if (climbs_out(rel)) continue;
    delete_file(dest_dir_path + rel + ".zip");
  }

  next_file = 0;
  for (int s = 0; s < 4; ++s) {
    slot_active[s] = s < 2 ? 1 : 0;
    slot_wants_file[s] = s < 2 ? 1 : 0;
    slot_file[s] = 0;
  }
  start_time = xtim.elapsed;
  kb_partial = 0.0f;
  kb_downloaded = 0.0f;
  kb_installed = 0.0f;
}
