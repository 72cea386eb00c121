// The "-path" option and the start-up's look for installed copies.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "wizard/wizard.h"

namespace {

std::string option_of(std::vector<const char*> args) {
  args.insert(args.begin(), "corvane_installer");
  return path_option(static_cast<int>(args.size()), args.data());
}

}  // namespace

TEST(PathOption, TakenOnlyAsTheFirstTwoArguments) {
  EXPECT_EQ(option_of({"-path", "/data/sim/"}), "/data/sim/");
  EXPECT_EQ(option_of({"-path", "/data/sim"}), "/data/sim") << "taken verbatim";
  EXPECT_EQ(option_of({"-path", "/a/", "/b/"}), "/a/");
  EXPECT_EQ(option_of({"-path", ""}), "");
  EXPECT_EQ(option_of({"-path"}), "");
  EXPECT_EQ(option_of({"-path=/x"}), "");
  EXPECT_EQ(option_of({"--path", "/x"}), "");
  EXPECT_EQ(option_of({"-paths", "/x"}), "");
  EXPECT_EQ(option_of({"/x", "-path"}), "");
  EXPECT_EQ(option_of({"/x", "-path", "/y"}), "");
  EXPECT_EQ(option_of({}), "");
}

TEST(PathOption, StartUpWithoutHomeLooksForNoListInItsOwnFolder) {
  TempDir dir;
  const std::string exe = dir / "corvane_installer";
  ASSERT_EQ(system(("cp '" + std::string(CORVANE_INSTALLER_EXE) + "' '" + exe + "'").c_str()), 0);

  const pid_t pid = fork();
  if (pid == 0) {
    unsetenv("HOME");
    execl(exe.c_str(), exe.c_str(), "-path", "/data/sim/", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  const std::string log = read_file(dir / "Corvane Installer Log.txt");
  EXPECT_NE(log.find("\nWARNING: registration of this halden folder failed!\n"), std::string::npos) << log;
  EXPECT_FALSE(exists_at_all(dir / "corvane_install.txt"));
  EXPECT_FALSE(exists_at_all(dir / ".corvane"));
}
