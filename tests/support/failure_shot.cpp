// What a failing window test leaves behind: at its first failure, a
// screenshot of its X server and the log of its program as it then stood,
// in a folder of its own, the log replaced by the final one when the
// program's run ends; the test's report names the folder. The folder is
// CORVANE_TEST_SHOTS when that is set, else one of the run's own,
// /tmp/corvane-test-failures-XXXXXX, with one folder per test inside.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "support/installer_run.h"
#include "support/x_server.h"

namespace {

std::string shot_path;  // the screenshot of the test that runs now, once taken
// The test that runs now (asked of gtest while it reports a result, the
// answer would wait for the report's own lock).
const ::testing::TestInfo* running_test = nullptr;

// The run's own folder for the shots, made (0700) at its first failure.
std::string own_folder() {
  static std::string folder;
  std::string made = "/tmp/corvane-test-failures-XXXXXX";
  if (folder.empty() && mkdtemp(made.data())) folder = made;
  return folder;
}

std::string folder_for(const ::testing::TestInfo& test) {
  const char* shots = std::getenv("CORVANE_TEST_SHOTS");
  std::string base = shots && *shots ? shots : own_folder();
  if (base.empty()) return "";
  if (base.back() != '/') base += '/';
  mkdir(base.c_str(), 0755);
  const std::string folder = base + test.test_suite_name() + "." + test.name() + "/";
  mkdir(folder.c_str(), 0755);
  return folder;
}

// Takes the picture at the first failure (and never reports a failure of
// its own: a listener that sees the results may not).
class TakesTheShot : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& test) override {
    running_test = &test;
    shot_path.clear();
    InstallerRun::keep_logs_in.clear();
  }
  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (!result.failed() || !shot_path.empty()) return;
    const XServer* x = XServer::current();
    if (!x || !x->ok() || !running_test) return;
    const std::string folder = folder_for(*running_test);
    if (folder.empty()) return;
    const std::string shot = folder + "screen.png";
    const std::string cmd = "xwd -root -silent -display " + x->name() + " | convert xwd:- png:'" + shot + "'";
    shot_path = std::system(cmd.c_str()) == 0 ? shot : "(no screenshot: " + cmd + ")";
    InstallerRun::keep_logs_in = folder;
    if (const InstallerRun* run = InstallerRun::current()) run->keep_log();
  }
};

// Names the picture in the failing test's report.
class NamesTheShot : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override {
    if (shot_path.empty()) return;
    struct stat st;
    const bool log_kept = !InstallerRun::keep_logs_in.empty() &&
                          stat((InstallerRun::keep_logs_in + "Corvane Installer Log.txt").c_str(), &st) == 0;
    ADD_FAILURE() << "the screen at the first failure: " << shot_path << (log_kept ? ", beside the program's log" : "");
    shot_path.clear();
    InstallerRun::keep_logs_in.clear();
    running_test = nullptr;
  }
};

const bool installed = [] {
  ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
  listeners.Append(new TakesTheShot);
  listeners.Append(new NamesTheShot);
  return true;
}();

}  // namespace
