// The command line table, the command listing and the usage text.
#include "runtime/cmdline.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/globals.h"
#include "support/temp_dir.h"
#include "support/log_capture.h"
#include "window/cmnd.h"

namespace {

// Parses the arguments as a program started with them would.
void parse(UTL_cmdline& c, std::vector<const char*> args) {
  args.insert(args.begin(), "corvane_installer");
  args.push_back(nullptr);
  c.init_unix(static_cast<int>(args.size()) - 1, args.data());
}

// In a death-test child: from here on standard output goes to path.
void stdout_to(const std::string& path) {
  fflush(stdout);
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) _exit(99);
  close(fd);
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type from = 0;
  for (std::string::size_type nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
    lines.push_back(text.substr(from, nl - from));
  if (from < text.size()) lines.push_back(text.substr(from));  // an unterminated tail
  return lines;
}

std::string padded(const std::string& path, const std::string& description) {
  std::string line = path;
  line.resize(50, ' ');
  return line + " " + description + "\n";
}

}  // namespace

TEST(Cmdline, SplitsAtTheFirstEqualsSign) {
  TempDir dir;
  LogCapture log(dir / "log.txt");
  UTL_cmdline c;
  parse(c, {"a=b=c", "--flag=", "--bare", "=lonely", "-path", "/some folder/x"});

  EXPECT_EQ(c.get_option("a"), "b=c");
  EXPECT_EQ(c.options.count("a=b"), 0u);
  EXPECT_EQ(c.has_option("--flag"), 1);
  EXPECT_EQ(c.get_option("--flag"), "");
  EXPECT_EQ(c.has_option("--bare"), 1);
  EXPECT_EQ(c.get_option("--bare"), "");
  EXPECT_EQ(c.has_option(""), 1) << "an argument that begins with '=' gives an empty key";
  EXPECT_EQ(c.get_option(""), "lonely");
  EXPECT_EQ(c.has_option("-path"), 1);
  EXPECT_EQ(c.has_option("/some folder/x"), 1);
  EXPECT_EQ(c.options.size(), 6u);

  // Values are echoed only when present; "--flag=" and "--bare" look alike.
  EXPECT_EQ(log.text(),
            "     'a'='b=c'\n"
            "     '--flag'\n"
            "     '--bare'\n"
            "     ''='lonely'\n"
            "     '-path'\n"
            "     '/some folder/x'\n");
}

TEST(Cmdline, RepeatedOptionWarnsAndTheLastOneWins) {
  TempDir dir;
  LogCapture log(dir / "log.txt");
  UTL_cmdline c;
  parse(c, {"--fps_test=1", "--fps_test=2", "--quiet", "--quiet"});

  EXPECT_EQ(c.get_option("--fps_test"), "2");
  EXPECT_EQ(log.text(),
            "     '--fps_test'='1'\n"
            "WARNING: command line option --fps_test=2included twice.\n"
            "     '--fps_test'='2'\n"
            "     '--quiet'\n"
            "WARNING: command line option --quiet=included twice.\n"
            "     '--quiet'\n");
}

TEST(Cmdline, KeysAreExactAndLookupsAddNothing) {
  TempDir dir;
  LogCapture log(dir / "log.txt");
  UTL_cmdline c;
  // Neither is a help option: the parse returns and both are simply stored.
  parse(c, {"--Help", "-help", "--no_dds"});
  EXPECT_EQ(c.has_option("--Help"), 1);
  EXPECT_EQ(c.has_option("-help"), 1);
  EXPECT_EQ(c.has_option("--help"), 0);
  EXPECT_EQ(c.has_option("-h"), 0);
  EXPECT_EQ(c.has_option("no_dds"), 0) << "dashes count";
  EXPECT_EQ(c.has_option("--NO_DDS"), 0) << "case counts";

  EXPECT_EQ(c.get_option("--absent"), "");
  EXPECT_EQ(c.has_option("--absent"), 0) << "get_option must not add the key";
  EXPECT_EQ(c.options.size(), 3u);
  EXPECT_EQ(c.has_option(nullptr), 0);
  EXPECT_EQ(c.get_option(nullptr), "");
}

TEST(Cmdline, MissingOrShortArgumentListsAreHarmless) {
  UTL_cmdline c;
  c.init_unix(0, nullptr);
  c.init_unix(3, nullptr);
  const char* const only_name[] = {"corvane_installer", nullptr};
  c.init_unix(0, only_name);
  c.init_unix(1, only_name);
  EXPECT_TRUE(c.options.empty());

  // argc claims more arguments than there are: the list ends at the null.
  const char* const short_list[] = {"corvane_installer", "--a=1", nullptr};
  c.init_unix(5, short_list);
  EXPECT_EQ(c.options.size(), 1u);
  EXPECT_EQ(c.get_option("--a"), "1");
}

TEST(Cmdline, WindowsLineIsCutAtWhiteSpace) {
  TempDir dir;
  LogCapture log(dir / "log.txt");
  UTL_cmdline c;
  c.init_win("  --a=1\t-b\n=skipped \r\v\f--c==d   --e= --a=x=y");

  EXPECT_EQ(c.get_option("--a"), "x=y");
  EXPECT_EQ(c.has_option("-b"), 1);
  EXPECT_EQ(c.get_option("--c"), "=d");
  EXPECT_EQ(c.has_option("--e"), 1);
  EXPECT_EQ(c.get_option("--e"), "");
  EXPECT_EQ(c.has_option(""), 0) << "a token with an empty key is skipped";
  EXPECT_EQ(c.options.size(), 4u);
  EXPECT_EQ(log.text(),
            "     '--a'='1'\n"
            "     '-b'\n"
            "     '--c'='=d'\n"
            "     '--e'\n"
            "WARNING: command line option --a=x=yincluded twice.\n"
            "     '--a'='x=y'\n");

  UTL_cmdline empty;
  empty.init_win(nullptr);
  empty.init_win("");
  empty.init_win(" \t\n ");
  EXPECT_TRUE(empty.options.empty());
}

TEST(CmdlineDeathTest, CmndsAllPadsEachPathTo50Columns) {
  TempDir dir;
  const std::string out = dir / "out.txt";
  // The program's own registry: one command.
  EXPECT_EXIT(
      {
        stdout_to(out);
        UTL_cmdline c;
        parse(c, {"--cmnds=all"});
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file(out), padded("sim/-none-/-none-", "Do nothing at all!"));

  // A registry of exactly one command of our own, then one more after it.
  EXPECT_EXIT(
      {
        stdout_to(out);
        cmnd.paths.clear();
        cmnd.descriptions.clear();
        cmnd.add_cmd("test/x", "Short path");
        UTL_cmdline c;
        parse(c, {"--cmnds=all"});
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file(out), "test/x                                             Short path\n");

  EXPECT_EXIT(
      {
        stdout_to(out);
        cmnd.add_cmd("test/a path that is longer than fifty columns in all/cmd", "Long path");
        UTL_cmdline c;
        parse(c, {"--cmnds=all"});
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file(out), padded("sim/-none-/-none-", "Do nothing at all!") +
                                "test/a path that is longer than fifty columns in all/cmd Long path\n");
}

TEST(CmdlineDeathTest, CmndsListsOneLevelUnderItsValue) {
  TempDir dir;
  const std::string out = dir / "out.txt";
  const auto list = [&](const char* arg) {
    EXPECT_EXIT(
        {
          stdout_to(out);
          cmnd.add_cmd("sim/view/forward", "Look ahead");
          UTL_cmdline c;
          parse(c, {arg});
        },
        ::testing::ExitedWithCode(0), "");
    return read_file(out);
  };
  EXPECT_EQ(list("--cmnds"), "sim/\n");
  EXPECT_EQ(list("--cmnds="), "sim/\n");
  EXPECT_EQ(list("--cmnds=sim/"), "-none-/\nview/\n");
  EXPECT_EQ(list("--cmnds=si"), "m/\n");
}

TEST(CmdlineDeathTest, CmndsWinsOverHelp) {
  TempDir dir;
  const std::string out = dir / "out.txt";
  EXPECT_EXIT(
      {
        stdout_to(out);
        UTL_cmdline c;
        parse(c, {"--help", "--cmnds", "-h"});
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file(out), "sim/\n");
}

// The installer itself, started with --help, prints the usage text and ends
// before anything after the command line runs.
TEST(CmdlineUsage, InstallerPrintsTheUsageTextAndStops) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string exe = dir / "corvane_installer";
  ASSERT_EQ(system(("cp '" + std::string(CORVANE_INSTALLER_EXE) + "' '" + exe + "'").c_str()), 0);
  const std::string home = dir / "home";
  ASSERT_TRUE(write_file(home + "/placeholder", ""));

  const std::string command = "HOME='" + home + "' '" + exe + "' --help --fps_test=1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) output.append(buf, n);
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  // The usage text ends with a line end, and one more follows it.
  ASSERT_GE(output.size(), 2u);
  EXPECT_EQ(output.substr(output.size() - 2), "\n\n");
  const std::string usage = output.substr(0, output.size() - 1);
  const std::vector<std::string> lines = split_lines(usage);
  ASSERT_EQ(lines.size(), 86u) << usage;
  std::vector<int> blanks;
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].empty()) blanks.push_back(static_cast<int>(i) + 1);
  EXPECT_EQ(blanks, (std::vector<int>{2, 6, 10, 13, 48, 71}));

  EXPECT_EQ(lines[0], "Usage: Corvane [options...]");
  EXPECT_EQ(lines[4],
            "applications; the frame-rate test is only for Corvane itself.  Here is a listof current flags:");
  EXPECT_EQ(lines[6], "--help");
  EXPECT_EQ(lines[7], "-h");
  EXPECT_EQ(lines[13], "OPTIONS TO DISABLE HARDWARE ACCELERATION");
  EXPECT_NE(usage.find("--no_fbos\nDisable the use of framebuffer obects, even if the hardware supports them.\n"),
            std::string::npos);
  EXPECT_NE(usage.find("--no_glsl\nDisable the use of GLSL, even on hardware theat supports it.\n"),
            std::string::npos);
  EXPECT_EQ(lines[46], "Disable the use of OpenGL via multiple threads.");
  EXPECT_EQ(lines[48], "OPTIONS TO ENABLE INCOMPATIBLE HARDWARE ACCELERATION");
  EXPECT_EQ(lines[63],
            "Force the use of GLSL even on cards where we would avoid it due to driver compatibility problems.");
  EXPECT_EQ(lines[71], "FRAMERATE TEST");
  EXPECT_EQ(lines[72], "--fps_test=n");
  EXPECT_EQ(lines[80], "--require_fps=n");

  // The options were echoed to the log, and the start-up went no further.
  const std::string log = read_file(dir / "Corvane Installer Log.txt");
  EXPECT_NE(log.find("\n     '--help'\n     '--fps_test'='1'\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("os_dir_this_app"), std::string::npos) << log;
  EXPECT_FALSE(exists_at_all(home + "/.corvane")) << "nothing after the command line may run";
}

TEST(CmdlineUsageDeathTest, ShortHelpPrintsTheSameText) {
  TempDir dir;
  const std::string out = dir / "out.txt";
  EXPECT_EXIT(
      {
        stdout_to(out);
        UTL_cmdline c;
        parse(c, {"-h"});
      },
      ::testing::ExitedWithCode(0), "");
  const std::string text = read_file(out);
  const std::vector<std::string> lines = split_lines(text);
  ASSERT_EQ(lines.size(), 87u) << "86 lines and the extra line end";
  EXPECT_EQ(lines.back(), "");
  EXPECT_EQ(lines[0], "Usage: Corvane [options...]");
  EXPECT_EQ(lines[85], "for the settings of a test.");
}
