#include "files/temp_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <vector>

#include "files/tree_ops.h"

std::string make_run_temp_folder(const std::string& base) {
  std::string pattern = base + "corvane-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) return std::string();
  return std::string(buf.data()) + "/";
}

int remove_run_temp_folder(const std::string& folder) {
  if (folder.empty()) return 0;
  std::string path = folder;
  if (path.back() != '/') path += '/';
  // Removed like any other tree: links inside are removed, never followed.
  const int result = recursive_delete_folder(path);
  return result == ENOENT ? 0 : result;
}
