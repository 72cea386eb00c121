#include "files/folder_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstddef>

#include "runtime/alert.h"
#include "runtime/cmnd.h"
#include "runtime/globals.h"

namespace {

// Extensions in the order they are tried; the first match gives the type.
const struct {
  char ext[5];
  int type;
} kExtensions[] = {
    {".AFL", ftype_afl}, {".WPN", ftype_wpn}, {".ACF", ftype_acf}, {".OBJ", ftype_obj},
    {".SIT", ftype_sit}, {".SMO", ftype_smo}, {".TXT", ftype_txt}, {".FMS", ftype_fms},
    {".TRA", ftype_tra}, {".CAR", ftype_car}, {".SPA", ftype_spa}, {".REG", ftype_reg},
    {".WAV", ftype_wav}, {".BMP", ftype_image}, {".PNG", ftype_image}, {".FDR", ftype_fdr},
    {".DSF", ftype_dsf}, {".HGT", ftype_hgt},
};

// The folder of the panel bitmaps, which the image filter never offers; only
// its first 32 characters are compared.
const char kPanelFolder[] = "Resources/bitmaps/cockpit/-panels-/";
constexpr std::size_t kPanelCompare = sizeof kPanelFolder - 1 - 3;

inline char to_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char to_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The first n characters of s, starting at `at`, equal `with` ignoring case.
bool same_ignoring_case(const std::string& s, std::size_t at, const char* with, std::size_t n) {
  if (s.size() < at + n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (to_upper(s[at + i]) != to_upper(with[i])) return false;
  return true;
}

// The listing order: byte by byte with A-Z taken as a-z, every byte as a
// signed 8-bit number (so bytes from 0x80 up come before all of ASCII), and
// a name that is a proper prefix of the other first. Names that differ only
// in letter case are equal.
bool comes_before(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const signed char x = static_cast<signed char>(to_lower(a[i]));
    const signed char y = static_cast<signed char>(to_lower(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

}  // namespace

int opensave_getitems(const std::string& folder, int filter, std::vector<std::string>& names,
                      std::vector<int>& types) {
  names.clear();
  types.clear();

  // The command registry, listed under the folder taken as a command path;
  // groups come back without their '/' and typed as folders. Unsorted: the
  // registry already gives them in byte order.
  if (filter == ftype_commands || filter == ftype_command_paths) {
    if (filter == ftype_command_paths) cmnd.get_cmds_in_path(folder, names);
    types.assign(names.size(), filter);
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (!names[i].empty() && names[i].back() == '/') {
        names[i].pop_back();
        types[i] = ftype_folder;
      }
    }
    return static_cast<int>(names.size());
  }

  const std::string path = app_path + folder;
  if (path.size() > 1 && path.back() != '/')
    __MACIBM_alert(0, "Working path does not appear to be a directory!",
                   "This is not consistent with my labelling practices!",
                   "I need to end all paths with the directory indicator!", path, t_exit, "folder_list", 3);

  // An empty path opens nothing, so it lists as empty like any folder that
  // cannot be opened.
  DIR* dir = opendir(path.c_str());
  if (!dir) return 0;
  const int dir_fd = dirfd(dir);

  while (const dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    // "." and ".." and hidden entries never pass: they need no status.
    if (name[0] == '.' || name[0] == '\0') continue;

    // The status of the entry itself, or of what a link points to; entries
    // that vanished meanwhile and dangling links are left out.
    struct stat st;
    if (fstatat(dir_fd, name, &st, 0) != 0) continue;

    int type = S_ISDIR(st.st_mode) ? ftype_folder : ftype_file;
    std::string entry_name(name);
    if (!opensave_takeit(folder, entry_name, filter, type)) continue;
    names.push_back(std::move(entry_name));
    types.push_back(type);
  }
  closedir(dir);

  // Sort an index by name and apply it to both lists. A stable sort keeps
  // names that are equal ignoring case in the order the folder gave them, and
  // is O(n log n): a folder of tens of thousands of entries (a scenery
  // folder, a cache) sorts in milliseconds, where exchanging pairs grows with
  // the square of the count.
  const std::size_t n = names.size();
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&names](std::size_t a, std::size_t b) { return comes_before(names[a], names[b]); });

  std::vector<std::string> sorted_names(n);
  std::vector<int> sorted_types(n);
  for (std::size_t i = 0; i < n; ++i) {
    sorted_names[i] = std::move(names[order[i]]);
    sorted_types[i] = types[order[i]];
  }
  names.swap(sorted_names);
  types.swap(sorted_types);
  return static_cast<int>(n);
}

bool opensave_takeit(const std::string& folder, const std::string& name, int filter, int& type) {
  // Folder and name have no length limit.
  const std::string full = folder + name;

  // The extension decides the type, for folders too.
  if (name.size() >= 4) {
    char ext[4];
    for (std::size_t i = 0; i < 4; ++i) ext[i] = to_upper(name[name.size() - 4 + i]);
    for (const auto& e : kExtensions) {
      if (std::equal(ext, ext + 4, e.ext)) {
        type = e.type;
        break;
      }
    }
  }

  if (filter == ftype_images_filter) {
    // Nothing from the panel bitmaps, nor the numbered variants of an image
    // (x-1.png .. x-4.png) beside it.
    if (same_ignoring_case(full, 0, kPanelFolder, kPanelCompare)) return false;
    if (full.size() >= 6) {
      const std::size_t at = full.size() - 6;
      for (const char* variant : {"-1.", "-2.", "-3.", "-4."})
        if (same_ignoring_case(full, at, variant, 3)) return false;
    }
  }

  if (name.empty() || name[0] == '.') return false;

  if (type == ftype_folder || type == filter || filter == 0) return true;
  if (filter == ftype_images_filter) return type == ftype_image;
  return false;
}
