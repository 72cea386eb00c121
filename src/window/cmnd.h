// The command registry: the named commands that keys can be bound to, listed
// by path. Each command has a slash-separated path (its lookup key, as in
// "sim/-none-/-none-") and an English description; a command's index is its
// position in the lists and never changes, since commands are only appended.
#pragma once

#include <string>
#include <vector>

class cmnd_class {
 public:
  // Registers the built-in commands, in table order.
  cmnd_class();

  // Appends a command and returns its index (the number of commands before
  // the call). The path may repeat an existing one.
  int add_cmd(const std::string& path, const std::string& description);

  // Fills names with the distinct next path components of every command whose
  // path is longer than `path` and begins with it, in ascending byte order. A
  // component that is itself a group ends with '/'. names is emptied first.
  void get_cmds_in_path(const std::string& path, std::vector<std::string>& names) const;

  // Parallel lists, one entry per command, in registration order.
  std::vector<std::string> paths;
  std::vector<std::string> descriptions;
};

extern cmnd_class cmnd;
