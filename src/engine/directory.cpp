// The directory file reader: turns "directory.txt" into the file table.
//
// After the shared text header (type word "INSTALLER", versions 840 and 900)
// every line is one record:
//   DIR  <prefix: rest of the line>
//   DISK <disc number> ...
//   FILE <n> <platform> <extra> <archive KB> <unpacked KB> <signature> <name: rest of the line>
// Consecutive FILE records with the same path form one history; the last of
// them is the version the installer wants on disk.

#include "engine/directory.h"

#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "engine/record_scan.h"
#include "engine/ui_calls.h"
#include "engine/web_host.h"
#include "files/xmap.h"
#include "runtime/alert.h"
#include "runtime/globals.h"
#include "runtime/translate.h"

namespace {

using namespace record_scan;

// A table path becomes a local path by dropping its first component (the
// install folder's own name) and putting the install folder in front. The
// path is safe when that local path stays inside the install folder: what is
// left after the first component is not empty, not absolute, and no
// component of the path is "." or "..". Sets empty when a component before
// the last is empty ("//"): the walk that looks at each component tells so
// for nothing, where a search of its own would cost every path.
bool path_stays_inside(const std::string& path, bool& empty) {
  if (path.empty() || path[0] == '/') return false;
  // Where trim_dest_folder lets the path begin: after the first "/", or the
  // whole path when it has none.
  const std::size_t first = path.find('/');
  const std::size_t rest = first == std::string::npos ? 0 : first + 1;
  if (rest == path.size() || path[rest] == '/') return false;
  std::size_t begin = 0;
  while (begin <= path.size()) {
    std::size_t slash = path.find('/', begin);
    if (slash == std::string::npos) slash = path.size();
    const std::size_t len = slash - begin;
    if ((len == 1 && path[begin] == '.') || (len == 2 && path.compare(begin, 2, "..") == 0)) return false;
    if (len == 0 && slash < path.size()) empty = true;
    begin = slash + 1;
  }
  return true;
}

// The longest name of one folder or file, and of a whole path, that the
// file system of the install folder allows (the usual limits while there is
// no install folder yet).
struct name_limits {
  std::size_t name = NAME_MAX;
  std::size_t path = PATH_MAX - 1;
};

name_limits limits_here() {
  name_limits limits;
  if (dest_dir_path.empty()) return limits;
  errno = 0;
  const long name = pathconf(dest_dir_path.c_str(), _PC_NAME_MAX);
  if (name > 0) limits.name = static_cast<std::size_t>(name);
  const long path = pathconf(dest_dir_path.c_str(), _PC_PATH_MAX);
  if (path > 0) limits.path = static_cast<std::size_t>(path) - 1;
  return limits;
}

// The local path of a table path would be longer than the file system
// allows, as a whole or in one of its names.
bool path_too_long(const std::string& path, const name_limits& limits) {
  const std::size_t first = path.find('/');
  const std::size_t rest = first == std::string::npos ? 0 : first + 1;
  if (dest_dir_path.size() + (path.size() - rest) > limits.path) return true;
  std::size_t begin = rest;
  while (begin <= path.size()) {
    std::size_t slash = path.find('/', begin);
    if (slash == std::string::npos) slash = path.size();
    if (slash - begin > limits.name) return true;
    begin = slash + 1;
  }
  return false;
}

// The part of a table path below the install folder, as trim_dest_folder
// leaves it.
std::string_view local_part(std::string_view path) {
  path.remove_prefix(std::min(path.size(), path.find('/') + 1));
  return path;
}

// Reads a path without its empty components ("//" as "/"), which name no
// folder, so that both spellings name one local path.
void drop_empty_components(std::string& path) {
  path.erase(std::unique(path.begin(), path.end(), [](char a, char b) { return a == '/' && b == '/'; }), path.end());
}

// Empties the file table and what is kept beside it, which names its
// histories by index: neither outlives the table.
void forget_file_table() {
  sim_info.clear();
  same_path_rings.clear();
  listed_paths.clear();
}

// Names of releases that this installer never installs.
bool name_is_dropped(const std::string& name) {
  return name.find("900 red terrain") != std::string::npos ||
         name.find("Earth Orbit Textures") != std::string::npos;
}

}  // namespace

int parse_directory(const char* data, const char* end, std::string* bad_path) {
  forget_file_table();

  std::string prefix;     // DIR: put in front of every FILE name
  int disk = 0;           // DISK: disc of the FILE records that follow
  std::string prev_path;  // path of the last FILE record that was kept
  std::string name;
  std::string sig;
  const name_limits limits = limits_here();
  std::vector<std::size_t> local_hash;  // of each history's local_part

  const char* p = data;
  skip_white(p, end);
  while (p < end) {
    skip_blanks(p, end);
    if (take_keyword(p, end, "DIR")) {
      read_rest(p, end, prefix);
    } else if (take_keyword(p, end, "DISK")) {
      disk = read_int(p, end);
      skip_to_line_end(p, end);
    } else if (take_keyword(p, end, "FILE")) {
      file_version_struct v;
      read_int(p, end);  // first number: not used
      const int platform = read_int(p, end);
      v.platform = platform < 0 ? 0 : platform > 6 ? 6 : platform;
      v.extra_value = read_int(p, end);
      // A size below 0 counts as 0: the totals and the disk-space check
      // add them up.
      v.size_kb = static_cast<float>(std::max(read_int(p, end), 0));
      v.unpacked_kb = static_cast<float>(std::max(read_int(p, end), 0));
      read_word(p, end, sig);
      read_rest(p, end, name);

      if (!name_is_dropped(name)) {
        v.sig_want = sig;
        v.path = prefix + name;
        bool empty = false;
        const bool inside = path_stays_inside(v.path, empty);
        // Both spellings of a path name one file; the server is asked for
        // its archive under the one the directory gives.
        const bool respelled = inside && empty;
        if (respelled) drop_empty_components(v.path);
        if (!inside) {
          // Such a record would make the installer write or delete outside
          // the install folder; it does not count as a kept record.
          xer << "Skipped a directory entry whose path leaves the install folder: \"" << v.path << "\"\n";
        } else if (name.empty() && v.path.back() == '/') {
          // A record without a name under a folder names no file: nothing
          // to download or delete, and one entry must not stop the whole
          // update. (With the whole path in the prefix it names a file.)
          xer << "Skipped a directory entry without a file name under \"" << prefix << "\"\n";
        } else if (path_too_long(v.path, limits)) {
          // No such file can be made here; one entry must not stop the
          // whole update.
          xer << "Skipped a directory entry whose path is longer than the file system allows: \"" << v.path
              << "\"\n";
        } else {
          if (sim_info.empty() || v.path != prev_path) {
            sim_info.emplace_back();
            prev_path = v.path;
            local_hash.push_back(std::hash<std::string_view>{}(local_part(v.path)));
          }
          if (path_has_no_file(v.path)) {
            if (bad_path) *bad_path = v.path;
            forget_file_table();
            return directory_path_no_file;
          }
          std::vector<file_version_struct>& versions = sim_info.back().versions;
          if (respelled)
            listed_paths[{static_cast<int>(sim_info.size()) - 1, static_cast<int>(versions.size())}] = prefix + name;
          v.disk = disk;
          int lon_col = 0;
          int lat_row = 0;
          if (is_global_scenery_f(v.path.c_str()) && find_sector(&lon_col, &lat_row, v.path)) {
            v.is_global_scenery = 1;
            v.lon_col = lon_col;
            v.lat_row = lat_row;
          }
          versions.push_back(std::move(v));
        }
      }
    } else {
      skip_to_line_end(p, end);
    }
    skip_white(p, end);
  }

  // Histories that name one local path are linked in rings (one of each
  // counts, settle_same_paths), with an open-addressed table of their
  // indexes by the hash of that path: each path is hashed where it was read
  // and only paths of equal hash are compared, which keeps this to a few
  // per cent of the reading (a hash map of the paths took a third more).
  const std::size_t count = sim_info.size();
  std::size_t mask = 1;
  while (mask < 2 * count) mask <<= 1;
  std::vector<int> slots(mask--, -1);
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t at = local_hash[i] & mask;; at = (at + 1) & mask) {
      const int other = slots[at];
      if (other < 0) {
        slots[at] = static_cast<int>(i);
        break;
      }
      file_history_struct& first = sim_info[static_cast<std::size_t>(other)];
      if (local_hash[static_cast<std::size_t>(other)] != local_hash[i] ||
          local_part(first.versions.back().path) != local_part(sim_info[i].versions.back().path))
        continue;
      if (first.same_path < 0) same_path_rings.push_back(other);
      sim_info[i].same_path = first.same_path < 0 ? other : first.same_path;
      first.same_path = static_cast<int>(i);
      break;
    }
  }
  settle_same_paths();

  // What the directory offers, judged by the current version of each file,
  // whatever its platform and even when it removes the file.
  std::memset(stg.tile_avail, 0, sizeof stg.tile_avail);
  int scenery = 0;
  int sim = 0;
  for (const file_history_struct& h : sim_info) {
    const file_version_struct& v = h.versions.back();
    if (v.is_global_scenery) {
      ++scenery;
      stg.tile_avail[v.lon_col][v.lat_row] = 1;
    } else {
      ++sim;
    }
  }
  stg.has_scenery = scenery > 0 ? 1 : 0;
  stg.has_sim = sim > 0 ? 1 : 0;
  return directory_parsed;
}

int read_directory(const std::string& path) {
  deleted_files.clear();
  stg.kb_to_download = 0.0f;
  stg.kb_to_install = 0.0f;
  stg.files_to_get = 0;
  stg.files_to_delete = 0;
  forget_file_table();

  xmap_class file(path);
  if (file.start == nullptr)
    __MACIBM_alert(0, "I tried to read a directory file that does not exist!", "The file is:", path, "", t_exit,
                   "utils", __LINE__);

  static const int kVersions[] = {840, 900, 0};
  if (!file.check_file(header_text, kVersions, "INSTALLER", nullptr)) {
    new_format(path);
    return 2;
  }

  std::string bad_path;
  if (parse_directory(file.cursor, file.end, &bad_path) == directory_path_no_file)
    __MACIBM_alert(0, "I am reading the directory text file and found a path that has no file!",
                   "This is impossible to download or delete!", "It is:", bad_path, t_exit, "utils", __LINE__);
  return 3;
}

void new_format(const std::string& file_name) {
  __MACIBM_alert(0,
                 UTL_translate_string("OK I am checking the Brightwell Labs servers and I am finding file formats "
                                      "that are newer than I can understand!"),
                 UTL_translate_string("In other words, you need to get a new installer!"),
                 UTL_translate_string(std::string("No problem... grab it at the download section of ") + kMakerSite +
                                      "."),
                 file_name, t_alert, "utils", __LINE__);
  go_to_URL(kMakerDownloadPage);
  stg.format_too_new = 2;
  app_done = 1;
}
