// The command registry: the named commands that keys can be bound to, listed
// by path. Each command has a slash-separated path (its lookup key, as in
// "sim/-none-/-none-"), an English description, a type and a press count; a
// command's index is its position in the lists and never changes, since
// commands are only appended. Defined by the window layer (window/cmnd.cpp).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// One built-in command, with the key that is bound to it by default.
struct default_command {
  const char* name;
  const char* path;
  const char* description;
  int type;
  int default_vkey;   // key code of the default binding, 0 none
  int default_flags;  // modifier bits of the default binding (1 Shift, 2 Alt, 4 Control)
};

// The built-in commands, in index order.
extern const default_command default_commands[];
extern const std::size_t default_command_count;

class cmnd_class {
 public:
  // Registers the built-in commands, in table order.
  cmnd_class();

  // Index of the first command whose path equals `path` exactly; 0 (the
  // do-nothing command) when none does.
  int get_cmnd_by_name(const std::string& path) const;

  // Fills names with the distinct next path components of every command whose
  // path is longer than `path` and begins with it, in ascending byte order. A
  // component that is itself a group ends with '/'. names is emptied first.
  void get_cmds_in_path(const std::string& path, std::vector<std::string>& names) const;

  // Appends a command and returns its index (the number of commands before
  // the call). The path may repeat an existing one.
  int add_cmd(const std::string& path, const std::string& description);

  // A bound key went down or up: the press count goes up or down by one (a
  // release is not held at 0). An index outside the registry is ignored.
  void press_one(int index);
  void release_one(int index);
  // Once per frame for each held binding; commands here have no repeat.
  void press_always(int index);
  void single_press(int index);

  // Parallel lists, one entry per command, in registration order.
  std::vector<std::string> names;         // the table's name, or "DYNAMIC" when added at run time
  std::vector<std::string> paths;
  std::vector<std::string> descriptions;
  std::vector<int> types;                 // the table's type, or 2 when added at run time
  std::vector<int> press_counts;          // presses minus releases
};

extern cmnd_class cmnd;

// The plane that commands address; kept beside the registry.
void set_plane_focus(int plane);
int get_plane_focus();
