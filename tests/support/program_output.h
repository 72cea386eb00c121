// The standard output of a program that a test runs, read line by line as
// the program's signals: each wait looks only after the line found last.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/installer_run.h"
#include "support/wait.h"

class Output {
 public:
  explicit Output(InstallerRun& run) : run_(run) {}
  // Waits for the whole line; a failure when it does not come in time.
  bool next(const std::string& line, int timeout_ms = kProgramTimeoutMs) {
    const bool seen = wait_until(
        [&] {
          const std::string out = run_.out();
          const std::size_t at = out.find(line + "\n", from_);
          if (at == std::string::npos || (at != 0 && out[at - 1] != '\n')) return false;
          from_ = at + line.size() + 1;
          return true;
        },
        timeout_ms);
    if (!seen) ADD_FAILURE() << "no line \"" << line << "\" after:\n" << rest();
    return seen;
  }
  // The output from the current position on.
  std::string rest() const { return run_.out().substr(std::min(from_, run_.out().size())); }

 private:
  InstallerRun& run_;
  std::size_t from_ = 0;
};
