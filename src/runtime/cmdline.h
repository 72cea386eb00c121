// The command line: every argument as an option "key" or "key=value".
#pragma once

#include <map>
#include <string>

class UTL_cmdline {
 public:
  // Parses every argument after the program name, then acts on "--cmnds" and
  // "-h"/"--help" (both end the process with exit code 0).
  void init_unix(int argc, const char* const* argv);
  void init_win(const char* line);
  void init_common();

  int has_option(const char* key) const;
  std::string get_option(const char* key) const;

  std::map<std::string, std::string> options;
};

extern UTL_cmdline cmdline;
