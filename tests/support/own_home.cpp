// Every test program runs with a home folder of its own: before its first
// test, HOME is set to a fresh folder under /tmp, removed when the program
// ends, so that nothing the code under test keeps in the user's home (the
// settings, the list of installed copies) reaches the home of whoever runs
// the tests. Forked children share the folder and only its maker removes
// it; a death test started afresh finds it in CORVANE_TEST_HOME and keeps it.
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

const bool installed = [] {
  const char* home_now = std::getenv("HOME");
  const char* marked = std::getenv(kMarker);
  if (home_now && marked && std::strcmp(home_now, marked) == 0) return true;
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
  // The GL driver would keep its shader cache in the home it finds through
  // the password file, and its cache thread would be at work while a test
  // program ends: the tests run without one.
  setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
  std::atexit([] {
    if (getpid() == maker) delete made;
  });
  return true;
}();

}  // namespace
