// Every test program runs with a home folder of its own: before its first
// test, HOME is set to a fresh folder under /tmp, removed when the program
// ends. What the code under test keeps in the user's home (the settings in
// .corvane/, the list of installed copies, a graphics driver's cache) never
// reaches the home of whoever runs the tests. A test that needs
// another HOME still sets it, and puts this one back.
//
// Children that a test forks share the folder, and only the process that
// made it removes it. A death test started afresh (the "threadsafe" style)
// finds the folder in CORVANE_TEST_HOME, next to an unchanged HOME, and
// keeps it.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/temp_dir.h"

namespace {

const char kMarker[] = "CORVANE_TEST_HOME";

TempDir* made = nullptr;
pid_t maker = 0;

bool inherited_from_a_test() {
  const char* home = std::getenv("HOME");
  const char* marked = std::getenv(kMarker);
  struct stat st;
  return home && marked && *marked && std::strcmp(home, marked) == 0 && stat(home, &st) == 0 &&
         S_ISDIR(st.st_mode) && st.st_uid == geteuid();
}

const bool installed = [] {
  if (inherited_from_a_test()) return true;
  made = new TempDir;
  if (!made->ok()) {
    // Better no tests than tests in the user's own home.
    std::fprintf(stderr, "no folder under /tmp for the tests' HOME\n");
    std::abort();
  }
  maker = getpid();
  std::string home = made->path();
  home.pop_back();  // as a login sets it, without the final "/"
  setenv("HOME", home.c_str(), 1);
  setenv(kMarker, home.c_str(), 1);
  // The GL driver keeps no shader cache for the tests (its cache thread
  // would be at work while a test program ends), and libraries that find
  // the user's home through the password file rather than HOME are sent
  // here as well.
  setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
  setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
  setenv("XDG_STATE_HOME", (home + "/.local/state").c_str(), 1);
  std::atexit([] {
    if (getpid() == maker) delete made;
  });
  return true;
}();

}  // namespace
