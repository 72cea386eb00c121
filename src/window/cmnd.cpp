#include "window/cmnd.h"

#include <set>

namespace {

struct default_command {
  const char* name;
  const char* path;
  const char* description;
  int type;
  int default_vkey;
  int default_flags;
};

// The built-in commands. This program has only the do-nothing command, to
// which every key binding resolves.
const default_command default_commands[] = {
    {"cmnd_nothing", "sim/-none-/-none-", "Do nothing at all!", 3, 0, 0},
};

}  // namespace

cmnd_class cmnd;

cmnd_class::cmnd_class() {
  for (const default_command& row : default_commands) {
    paths.emplace_back(row.path);
    descriptions.emplace_back(row.description);
  }
}

int cmnd_class::add_cmd(const std::string& path, const std::string& description) {
  const int index = static_cast<int>(paths.size());
  paths.push_back(path);
  descriptions.push_back(description);
  return index;
}

void cmnd_class::get_cmds_in_path(const std::string& path, std::vector<std::string>& names) const {
  names.clear();
  std::set<std::string> items;  // byte-wise order, duplicates fall away
  for (const std::string& p : paths) {
    if (p.size() <= path.size() || p.compare(0, path.size(), path) != 0) continue;
    const std::string::size_type slash = p.find('/', path.size());
    if (slash == std::string::npos)
      items.insert(p.substr(path.size()));
    else
      items.insert(p.substr(path.size(), slash + 1 - path.size()));
  }
  names.assign(items.begin(), items.end());
}
