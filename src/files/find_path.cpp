#include "files/find_path.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstring>
#include <string>


namespace {

// The entry name of folder is a folder, or a link to one.
bool entry_is_folder(const std::string& folder, const dirent* entry) {
  if (entry->d_type == DT_DIR) return true;
  if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return false;
  struct stat st;
  return stat((folder + "/" + entry->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Looks through folder for an entry whose name equals the len characters at
// name apart from letter case and that is a folder (with as_folder) or is
// none (without), and copies that entry's spelling over them. name must be
// NUL-terminated at name[len].
bool match_in_folder(const std::string& folder, char* name, std::size_t len, bool as_folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return false;
  bool found = false;
  while (const dirent* entry = readdir(dir)) {
    if (strcasecmp(entry->d_name, name) == 0 && entry_is_folder(folder, entry) == as_folder) {
      // Equal apart from case means equal length, so the path keeps its size.
      std::memcpy(name, entry->d_name, len);
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

void findPath(char* path) {
  if (!path || !*path) return;
  struct stat st;
  if (stat(path, &st) == 0) return;  // already right: leave it alone

  const std::size_t len = std::strlen(path);
  std::size_t pos = 0;
  for (;;) {
    while (path[pos] == '/') ++pos;  // step over the separator(s)
    if (pos >= len) return;          // the path ends with '/'

    std::size_t end = pos;
    while (end < len && path[end] != '/') ++end;
    const bool last = end == len;

    // The folder that holds this component: "." for the first component of a
    // relative path, else everything in front of it ("/" for the first
    // component of an absolute path).
    const std::string folder = pos == 0 ? std::string(".") : std::string(path, pos);

    const char saved = path[end];
    path[end] = '\0';
    // A component that exists as written is kept, even where another entry
    // of the folder differs from it only in case; only a missing one is
    // looked up without regard to case. A component followed by '/' names a
    // folder: a file of that name is no match for it. The last one of a path
    // without a final '/' names a file: a folder is no match for it, so a
    // file is put beside a folder of its name in another case, not in it.
    bool ok = last ? lstat(path, &st) == 0 : stat(path, &st) == 0 && S_ISDIR(st.st_mode);
    if (!ok) ok = match_in_folder(folder, path + pos, end - pos, !last);
    path[end] = saved;

    if (last || !ok) return;
    pos = end;
  }
}

void repair_case(std::string& path) {
  if (g_case_sensitive && !path.empty()) findPath(path.data());
}
