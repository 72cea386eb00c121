// Runs the installer program itself.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/temp_dir.h"

namespace {

// Runs the program in `folder` with HOME set to `home`; returns its exit status.
int run_installer(const std::string& exe, const std::string& home) {
  pid_t pid = fork();
  if (pid == 0) {
    setenv("HOME", home.c_str(), 1);
    execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(Entry, StartsWritesItsLogAndEndsInOrder) {
  TempDir dir;
  const std::string exe = dir / "corvane_installer";
  ASSERT_EQ(system(("cp '" + std::string(CORVANE_INSTALLER_EXE) + "' '" + exe + "'").c_str()), 0);
  const std::string home = dir / "home";
  ASSERT_EQ(mkdir(home.c_str(), 0755), 0);

  EXPECT_EQ(run_installer(exe, home), 0);

  const std::string log = read_file(dir / "Corvane Installer Log.txt");
  EXPECT_EQ(log.rfind("Installer log.txt for Corvane Web Updater 2.03r1 compiled on ", 0), 0u) << log;
  EXPECT_NE(log.find("\nHalden folder:'', case sensitive=1\n"), std::string::npos) << log;
  EXPECT_NE(log.find("os_dir_this_app\t\t=" + dir.path() + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find("os_dir_temp\t\t\t=/tmp/\n"), std::string::npos) << log;
  EXPECT_NE(log.find("os_dir_prefs\t\t\t=" + home + "/.corvane/\n"), std::string::npos) << log;
  struct stat st;
  EXPECT_EQ(stat((home + "/.corvane").c_str(), &st), 0) << "asking for the preferences folder makes it";
}
