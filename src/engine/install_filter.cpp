// The install filter, recognition of global scenery tiles, the wanted-tile
// grid and the totals shown before an install.

#include "engine/install_filter.h"

#include <cctype>
#include <cstddef>
#include <cstring>

#include "engine/installer_state.h"
#include "runtime/globals.h"

int g_want_sim = 1;
int g_want_global = 1;

namespace {

// The cell of tile_want for a global scenery version; a tile outside the
// grid counts as not chosen and is never written.
bool tile_in_grid(const file_version_struct& v) {
  return v.lon_col >= 0 && v.lon_col < kTileCols && v.lat_row >= 0 && v.lat_row < kTileRows;
}

bool tile_chosen(const file_version_struct& v) {
  return tile_in_grid(v) && stg.tile_want[v.lon_col][v.lat_row] != 0;
}

// The filter and the operating system take the version.
bool passes_filter(const file_version_struct& v) {
  if (v.is_global_scenery) {
    if (!g_want_global) return false;
  } else if (!g_want_sim) {
    return false;
  }
  if (v.platform == stg.want_os || v.platform == 0) return true;
  if (v.platform == 6) return stg.want_os == os_linux;
  return false;
}

// Calls visit(j) for file and for every other history that names its local
// path, each once: the ring of same_path links, followed until it comes
// back to file (or, were it broken, for as many steps as the table has
// histories).
template <class Visit>
void walk_path(int file, Visit visit) {
  const int count = static_cast<int>(sim_info.size());
  for (int j = file, steps = 0; j >= 0 && j < count && steps < count; ++steps) {
    visit(j);
    j = sim_info[static_cast<std::size_t>(j)].same_path;
    if (j == file) break;
  }
}

// Of two histories of one local path, a counts rather than b: a keeps the
// file and b removes it, or both do the same and a is listed later.
bool counts_before(int a, int b) {
  const bool a_keeps = current_version(a).sig_want != kSigGone;
  const bool b_keeps = current_version(b).sig_want != kSigGone;
  return a_keeps != b_keeps ? a_keeps : a > b;
}

}  // namespace

// Of the histories that name one local path and pass the filter, the one
// that counts is the last that keeps the file (a release may list a path
// again, to remove it or with another signature), or the last of all when
// each removes it. The others are not this installation's files: scanning,
// deciding or counting them would fetch, ask about or delete the file of
// the one that counts. One walk of each ring (same_path_rings) finds that
// history, a second marks the others, so a path listed many times costs
// what as many paths cost, and a path listed once nothing.
void settle_same_paths() {
  for (const int ring : same_path_rings) {
    int best = -1;
    walk_path(ring, [&](int j) {
      if (passes_filter(current_version(j)) && (best < 0 || counts_before(j, best))) best = j;
    });
    walk_path(ring, [&](int j) {
      sim_info[static_cast<std::size_t>(j)].another_counts = best >= 0 && best != j && counts_before(best, j) ? 1 : 0;
    });
  }
}

void set_install_filter(int want_sim, int want_global) {
  g_want_sim = want_sim;
  g_want_global = want_global;
  settle_same_paths();
}

void set_want_os(int os) {
  stg.want_os = os;
  settle_same_paths();
}

int want_this_f(int file, int version) {
  const file_history_struct& history = sim_info[static_cast<std::size_t>(file)];
  return passes_filter(history.versions[static_cast<std::size_t>(version)]) && !history.another_counts ? 1 : 0;
}

bool release_lists(int file, const std::string& sig) {
  bool listed = false;
  walk_path(file, [&](int j) {
    for (const file_version_struct& v : sim_info[static_cast<std::size_t>(j)].versions)
      if (v.sig_want == sig) listed = true;
  });
  return listed;
}

int is_global_scenery_f(const char* path) {
  if (path == nullptr) return 0;
  if (std::strstr(path, "Global Scenery/") == nullptr &&
      std::strstr(path, "/-global overlays-/") == nullptr &&
      std::strstr(path, "/-global terrain-/") == nullptr &&
      std::strstr(path, "/default scenery/DSF 820") == nullptr)
    return 0;
  const std::size_t n = std::strlen(path);
  if (n < 5) return 0;
  const char* ext = path + n - 4;
  static const char kDsf[] = ".dsf";
  for (int i = 0; i < 4; ++i)
    if (std::tolower(static_cast<unsigned char>(ext[i])) != kDsf[i]) return 0;
  return 1;
}

int find_sector(int* lon_col, int* lat_row, std::string path) {
  // The name is the last component; a single trailing "/" is not taken as
  // the separator, so such a name keeps it.
  std::size_t name_start = 0;
  const std::size_t n = path.size();
  if (n > 0) {
    std::size_t i = n - 1;
    if (i >= 2 && path[n - 1] == '/') i = n - 2;
    const std::size_t k = path.rfind('/', i);
    if (k != std::string::npos) name_start = k + 1;
  }
  const std::string name = path.substr(name_start);

  // Too short to hold even the latitude: no tile.
  if (name.size() < 3) {
    *lat_row = -1;
    *lon_col = -1;
    return 0;
  }

  const int lat = str_to_int(name.substr(0, 3));
  *lat_row = (lat + 90) / 10;
  const int lon = str_to_int(name.substr(3, 4));
  *lon_col = (lon + 180) / 10;

  if (*lat_row < 0 || *lat_row >= kTileRows) return 0;
  if (*lon_col < 0 || *lon_col >= kTileCols) return 0;
  return 1;
}

void scenery_take_all() {
  for (int c = 0; c < kTileCols; ++c)
    for (int r = 0; r < kTileRows; ++r) stg.tile_want[c][r] = stg.tile_avail[c][r];
}

void scenery_from_install() {
  for (int c = 0; c < kTileCols; ++c)
    for (int r = 0; r < kTileRows; ++r) stg.tile_want[c][r] = 0;
  for (const file_history_struct& h : sim_info) {
    const file_version_struct& v = h.versions.back();
    // Only a file the scan found on disk: a record it never looked at (one
    // the filter refuses, or not the one that counts of its path) has no
    // signature at all.
    if (v.is_global_scenery && !v.sig_have.empty() && v.sig_have != kSigNone && tile_in_grid(v))
      stg.tile_want[v.lon_col][v.lat_row] = 1;
  }
}

void trim_dest_folder(std::string& path) {
  const std::size_t k = path.find('/');
  if (k != std::string::npos) path.erase(0, k + 1);
}

std::string local_path(const std::string& table_path) {
  std::string rel = table_path;
  trim_dest_folder(rel);
  return dest_dir_path + rel;
}

std::string local_path_of(const file_version_struct& v) {
  return v.found_path.empty() ? local_path(v.path) : v.found_path;
}

int path_has_no_file(std::string path) {
  return !path.empty() && path.back() == '/' ? 1 : 0;
}

void recalc_disk_sizes() {
  stg.kb_to_download = 0.0f;
  stg.kb_to_install = 0.0f;
  stg.files_to_get = 0;
  stg.files_to_delete = 0;
  for (std::size_t f = 0; f < sim_info.size(); ++f) {
    const std::vector<file_version_struct>& versions = sim_info[f].versions;
    const std::size_t last = versions.size() - 1;
    const file_version_struct& v = versions[last];
    const bool take = want_this_f(static_cast<int>(f), static_cast<int>(last)) != 0;
    if (!take) continue;
    const bool gone = v.sig_want == kSigGone;
    if (!gone && !v.is_current && (!v.is_global_scenery || tile_chosen(v))) {
      stg.kb_to_download += v.size_kb;
      stg.files_to_get += 1;
      stg.kb_to_install += v.unpacked_kb;
    }
    // A file to remove counts once, whether its release removes it, its
    // tile is not chosen, or both. A removed file is never current, so it
    // counts while the scan found it on disk.
    const bool on_disk = !v.sig_have.empty() && v.sig_have != kSigNone;
    if ((gone && (v.is_current || on_disk)) || (v.is_current && v.is_global_scenery && !tile_chosen(v)))
      stg.files_to_delete += 1;
  }
}
