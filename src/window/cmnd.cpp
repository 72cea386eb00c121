#include "window/cmnd.h"

#include <set>

// This program has only the do-nothing command, to which every key binding
// resolves.
const default_command default_commands[] = {
    {"cmnd_nothing", "sim/-none-/-none-", "Do nothing at all!", 3, 0, 0},
};
const std::size_t default_command_count = sizeof default_commands / sizeof default_commands[0];

cmnd_class cmnd;

namespace {
int fp = 0;
}  // namespace

void set_plane_focus(int plane) { fp = plane; }
int get_plane_focus() { return fp; }

cmnd_class::cmnd_class() {
  names.resize(default_command_count);
  paths.resize(default_command_count);
  descriptions.resize(default_command_count);
  types.resize(default_command_count);
  press_counts.resize(default_command_count);
  for (std::size_t i = 0; i < default_command_count; ++i) {
    names[i] = default_commands[i].name;
    paths[i] = default_commands[i].path;
    descriptions[i] = default_commands[i].description;
    types[i] = default_commands[i].type;
  }
}

int cmnd_class::get_cmnd_by_name(const std::string& path) const {
  for (std::size_t i = 0; i < paths.size(); ++i)
    if (paths[i] == path) return static_cast<int>(i);
  return 0;
}

void cmnd_class::get_cmds_in_path(const std::string& path, std::vector<std::string>& out) const {
  out.clear();
  std::set<std::string> items;  // byte-wise order, duplicates fall away
  for (const std::string& p : paths) {
    if (p.size() <= path.size() || p.compare(0, path.size(), path) != 0) continue;
    const std::string::size_type slash = p.find('/', path.size());
    if (slash == std::string::npos)
      items.insert(p.substr(path.size()));
    else
      items.insert(p.substr(path.size(), slash + 1 - path.size()));
  }
  out.assign(items.begin(), items.end());
}

int cmnd_class::add_cmd(const std::string& path, const std::string& description) {
  const int index = static_cast<int>(paths.size());
  names.emplace_back("DYNAMIC");
  paths.push_back(path);
  descriptions.push_back(description);
  types.push_back(2);
  press_counts.push_back(0);
  return index;
}

// An index outside the registry (an empty one has none) is ignored.
void cmnd_class::press_one(int index) {
  if (index >= 0 && static_cast<std::size_t>(index) < press_counts.size()) ++press_counts[static_cast<std::size_t>(index)];
}
void cmnd_class::release_one(int index) {
  if (index >= 0 && static_cast<std::size_t>(index) < press_counts.size()) --press_counts[static_cast<std::size_t>(index)];
}
void cmnd_class::press_always(int) {}
void cmnd_class::single_press(int) {}
