// The "-path" option and the start-up's look for installed copies.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/installer_run.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/x_server.h"
#include "wizard/wizard.h"

namespace {

std::string option_of(std::vector<const char*> args) {
  args.insert(args.begin(), "corvane_installer");
  return path_option(static_cast<int>(args.size()), args.data());
}

}  // namespace

TEST(PathOption, TakenOnlyAsTheFirstTwoArguments) {
  EXPECT_EQ(option_of({"-path", "/data/sim/"}), "/data/sim/");
  EXPECT_EQ(option_of({"-path", "/data/sim"}), "/data/sim/") << "a folder path ends in /";
  EXPECT_EQ(option_of({"-path", "sim"}), "sim/");
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
  XServer x;
  ASSERT_TRUE(x.ok());
  InstallerRun::Options o;
  o.args = {"-path", "/data/sim/"};
  o.unset = {"HOME"};
  InstallerRun run(&x, o);
  ASSERT_TRUE(run.started());
  EXPECT_EQ(quit_by_button(run, x, kProgramTimeoutMs), 0) << run.err();

  const std::string log = run.log();
  EXPECT_NE(log.find("\nWARNING: registration of this halden folder failed!\n"), std::string::npos) << log;
  EXPECT_FALSE(exists_at_all(run.app_folder() + "corvane_install.txt"));
  EXPECT_FALSE(exists_at_all(run.app_folder() + ".corvane"));
}
