// The list of installed copies in the preferences folder, and the test that
// a folder holds a copy of the simulator.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "engine/installed_copies.h"
#include "engine/installer_state.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"

namespace {

const char kNoPrefs[] = "WARNING: registration of this halden folder failed!\n";

// Gives each test its own HOME and log, and puts the engine's globals back
// afterwards.
class InstalledCopies : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* home = std::getenv("HOME");
    had_home_ = home != nullptr;
    if (home) saved_home_ = home;
    saved_dest_ = dest_dir_path;
    saved_haldens_ = all_haldens;
    home_ = dir_ / "home";
    ASSERT_EQ(mkdir(home_.c_str(), 0755), 0);
    setenv("HOME", home_.c_str(), 1);
    list_ = home_ + "/.corvane/corvane_install.txt";
  }
  void TearDown() override {
    if (had_home_)
      setenv("HOME", saved_home_.c_str(), 1);
    else
      unsetenv("HOME");
    dest_dir_path = saved_dest_;
    all_haldens = saved_haldens_;
  }

  // Makes an existing folder below the test folder; returns it with its '/'.
  std::string folder(const std::string& name) {
    const std::string path = dir_ / name + "/";
    EXPECT_TRUE(write_file(path + ".keep", ""));
    return path;
  }

  void write_list(const std::string& content) {
    ASSERT_EQ(mkdir((home_ + "/.corvane").c_str(), 0755), 0);
    ASSERT_TRUE(write_file(list_, content));
  }

  void register_folder(const std::string& path) {
    dest_dir_path = path;
    register_new_corvane();
  }

  TempDir dir_;
  LogCapture log_{dir_ / "log.txt"};
  std::string home_;
  std::string list_;

 private:
  bool had_home_ = false;
  std::string saved_home_;
  std::string saved_dest_;
  std::vector<std::string> saved_haldens_;
};

}  // namespace

TEST_F(InstalledCopies, RegisteringAppendsEachFolderOnceComparedExactly) {
  const std::string a = folder("Corvane A");
  const std::string b = folder("Corvane B");

  register_folder(a);
  EXPECT_EQ(read_file(list_), a + "\n") << "the list and its folder are made";
  register_folder(b);
  register_folder(a);
  EXPECT_EQ(read_file(list_), a + "\n" + b + "\n");

  std::string a_without_slash = a;
  a_without_slash.pop_back();
  register_folder(a_without_slash);
  EXPECT_EQ(read_file(list_), a + "\n" + b + "\n" + a_without_slash + "\n");

  locate_all_corvanes();
  EXPECT_EQ(all_haldens, (std::vector<std::string>{a, b, a_without_slash}));
  EXPECT_EQ(log_.text(), "");
}

// Twelve races of four installers at once, each adding its own folders and
// forgetting 49 in 50 of them again, so that the list is rewritten all
// the time while the others wait their turn: no line of any is lost or
// comes back, and no new list is left beside the list. They run as a plain
// user under a lock file it cannot write, half of them in a second home
// whose list is a link to the first's; the last third under a link in the
// lock file's place to a file that others are renamed over all the while,
// each by one who holds the lock.
TEST_F(InstalledCopies, InstallersAtOnceLoseNoLine) {
  constexpr int kLines = 500, kAtOnce = 4, kRuns = 12 * kAtOnce;
  const auto own = [](int who, int n) { return "/copies/" + std::to_string(who) + "/" + std::to_string(n) + "/"; };
  const std::string other = dir_ / "other";
  std::filesystem::create_directories(other + "/.corvane");
  write_list("");
  ASSERT_TRUE(write_file(list_ + ".lock", ""));  // root's, or one made read-only
  ASSERT_EQ(chmod((list_ + ".lock").c_str(), geteuid() == 0 ? 0644 : 0444) | chmod(list_.c_str(), 0666), 0);
  const std::string held = dir_ / "held";
  ASSERT_TRUE(write_file(held, "kept\n") && chmod(held.c_str(), 0666) == 0);
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755) | chmod((home_ + "/.corvane").c_str(), 0777), 0);
  ASSERT_EQ(symlink(list_.c_str(), (other + "/.corvane/corvane_install.txt").c_str()), 0);
  const std::string turned = dir_ / "turned", turning = dir_ / "turned~";
  ASSERT_TRUE(write_file(turned, ""));
  pid_t renamer = -1;  // ends by itself once its folder is gone
  std::vector<pid_t> runs;
  for (int who = 0; who < kRuns; ++who) {
    if (who == kRuns / 3) {  // the next under a link in the lock file's place, to a file left as it was
      ASSERT_EQ(unlink((list_ + ".lock").c_str()) | symlink(held.c_str(), (list_ + ".lock").c_str()), 0);
    }
    if (who == 2 * kRuns / 3) {
      ASSERT_EQ(unlink((list_ + ".lock").c_str()) | symlink(turned.c_str(), (list_ + ".lock").c_str()), 0);
      renamer = fork();
      for (int lock, fd; renamer == 0;)  // holding the lock, as one who takes it in its turn
        if ((lock = open(turned.c_str(), O_RDONLY)) < 0 || flock(lock, LOCK_EX) ||
            (fd = open(turning.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666)) < 0 ||
            (close(fd) | rename(turning.c_str(), turned.c_str()) | close(lock)) != 0)
          _exit(1);
      ASSERT_GT(renamer, 0);
    }
    const pid_t run = fork();
    if (run == 0) {
      if (who % 2) setenv("HOME", other.c_str(), 1);
      _exit(as_unprivileged_user([&] {
        for (int n = 0; n < kLines; ++n) {
          dest_dir_path = own(who, n);
          if (!register_new_corvane()) return 2;
          if (n % 50 != 0) forget_corvane(own(who, n));
        }
        return 0;
      }));
    }
    ASSERT_GT(run, 0);
    runs.push_back(run);
    if (runs.size() < kAtOnce) continue;
    for (const pid_t r : runs) {
      int status = -1;
      ASSERT_EQ(waitpid(r, &status, 0), r);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    runs.clear();
  }
  int status = 0;
  ASSERT_EQ(kill(renamer, SIGKILL) | (waitpid(renamer, &status, 0) != renamer), 0);
  EXPECT_TRUE(WIFSIGNALED(status)) << "the renaming went on throughout";

  std::vector<std::string> want, have;
  for (int who = 0; who < kRuns; ++who)
    for (int n = 0; n < kLines; ++n)
      if (n % 50 == 0) want.push_back(own(who, n));
  const std::string text = read_file(list_);
  for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
    have.push_back(text.substr(at, end - at));
  std::sort(want.begin(), want.end());
  std::sort(have.begin(), have.end());
  EXPECT_EQ(have.size(), want.size());
  EXPECT_TRUE(have == want);
  remove_left_list_files();
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(home_ + "/.corvane")) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"corvane_install.txt", "corvane_install.txt.lock"}));
  EXPECT_EQ(read_file(held), "kept\n");
  EXPECT_EQ(std::filesystem::status(held).permissions(), std::filesystem::perms(0666));
}

// A list that is a link is changed where it points, keeping its mode; a
// new list that a run killed in its rewrite left beside it goes at the next
// start, and only that, unless another installer holds the lock.
TEST_F(InstalledCopies, AListThatIsALinkStaysOneWithItsMode) {
  const std::string a = folder("A");
  const std::string b = folder("B");
  const std::string target = dir_ / "elsewhere/my list";
  ASSERT_TRUE(write_file(target, a + "\n"));
  ASSERT_EQ(chmod(target.c_str(), 0604), 0);
  ASSERT_EQ(mkdir((home_ + "/.corvane").c_str(), 0755), 0);
  ASSERT_EQ(symlink(target.c_str(), list_.c_str()), 0);

  dest_dir_path = b;
  EXPECT_TRUE(register_new_corvane());
  EXPECT_FALSE(register_new_corvane()) << "listed before";
  forget_corvane(a);
  struct stat st;
  ASSERT_EQ(lstat(list_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(read_file(target), b + "\n");
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);

  const std::string left = target + ".cvpart-Ab12Cd";
  const std::string others[] = {dir_ / "elsewhere/other.cvpart-Ab12Cd", home_ + "/.corvane/corvane_install.txt.cvpart"};
  for (const std::string& path : {left, others[0], others[1]}) ASSERT_TRUE(write_file(path, "x"));
  const int held = open((target + ".lock").c_str(), O_RDONLY | O_CLOEXEC);  // another installer's
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  alarm(10);  // rather than wait without end
  remove_left_list_files();
  alarm(0);
  close(held);
  EXPECT_TRUE(exists_at_all(left)) << "left for a later start";
  remove_left_list_files();
  EXPECT_FALSE(exists_at_all(left));
  for (const std::string& path : others) EXPECT_TRUE(exists_at_all(path)) << path;
  EXPECT_EQ(read_file(target), b + "\n");
  EXPECT_EQ(log_.text(), "Another installer is changing the list of installed copies " + list_ +
                             ": what a rewrite left beside it is removed at a later start.\n");
  // A link in the lock file's place is not followed. The log names the
  // cause once in a run, looked at in a run of its own: this process may
  // have told of a lock before.
  ASSERT_EQ(unlink((target + ".lock").c_str()) | symlink((dir_ / "x").c_str(), (target + ".lock").c_str()), 0);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        forget_corvane(b);
        forget_corvane(b);
        std::cerr << log_.text();
        _exit(occurrences(log_.text(), list_ + " cannot be locked (it is a link to nothing)") == 1 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  forget_corvane(b);
  EXPECT_TRUE(read_file(target).empty() && !exists_at_all(dir_ / "x"));
  // An installer at work while the link is pointed back and forth between two lists: each keeps its own lines.
  const std::string lists[] = {dir_ / "0", dir_ / "1"}, next = list_ + "~";
  std::string lines[2];
  for (int i = 0; i < 10000; ++i) lines[i % 2] += std::to_string(i) + "\n";
  ASSERT_TRUE(write_file(lists[0], lines[0]) && write_file(lists[1], lines[1]));
  const pid_t run = fork();
  for (int n = 0; run == 0 && n < 400; ++n) n % 2 ? forget_corvane("/new/") : register_folder("/new/");
  if (run == 0) _exit(0);
  ASSERT_GT(run, 0);
  for (int k = 0; waitpid(run, nullptr, WNOHANG) == 0; k ^= 1)
    ASSERT_EQ(symlink(lists[k].c_str(), next.c_str()) | rename(next.c_str(), list_.c_str()), 0);
  for (const int k : {0, 1})
    EXPECT_TRUE(read_file(lists[k]) == lines[k] || read_file(lists[k]) == lines[k] + "/new/\n") << k;
}

TEST_F(InstalledCopies, ReadsCrLfListsAndAppendsWithLfAlone) {
  const std::string a = folder("A");
  const std::string b = folder("B");
  const std::string c = folder("C");
  write_list(a + "\r\n" + b + "\r\n");

  locate_all_corvanes();
  EXPECT_EQ(all_haldens, (std::vector<std::string>{a, b}));

  register_folder(b);
  EXPECT_EQ(read_file(list_), a + "\r\n" + b + "\r\n") << "b is there already";
  register_folder(c);
  EXPECT_EQ(read_file(list_), a + "\r\n" + b + "\r\n" + c + "\n");

  // A folder forgotten loses its line; the other lines stay as written.
  all_haldens = {a, b, c};
  forget_corvane(b);
  EXPECT_EQ(read_file(list_), a + "\r\n" + c + "\n");
  EXPECT_EQ(all_haldens, (std::vector<std::string>{a, c}));
}

TEST_F(InstalledCopies, KeepsDuplicatesSkipsMissingFoldersAndEmptyLines) {
  const std::string a = folder("A");
  const std::string b = folder("B");
  write_list(a + "\n" + dir_ / "gone/\n\n\r\n" + a + "\n" + b);  // b without its LF

  all_haldens = {"left over from before"};
  locate_all_corvanes();
  EXPECT_EQ(all_haldens, (std::vector<std::string>{a, a, b}));
  EXPECT_NE(read_file(list_).find(dir_ / "gone/"), std::string::npos) << "reading the list removes no line";
  // Forgetting a folder listed twice takes both its lines.
  forget_corvane(a);
  EXPECT_EQ(read_file(list_), dir_ / "gone/\n\n\r\n" + b);
}

TEST_F(InstalledCopies, AppendingAfterALastLineWithoutItsLf) {
  const std::string a = folder("A");
  const std::string b = folder("B");
  write_list(a);

  register_folder(b);
  EXPECT_EQ(read_file(list_), a + "\n" + b + "\n");
  locate_all_corvanes();
  EXPECT_EQ(all_haldens, (std::vector<std::string>{a, b}));
}

TEST_F(InstalledCopies, LinesLongerThan2047CharactersStayWhole) {
  // A real folder with a path of well over 2047 characters.
  std::string path = dir_.path();
  while (path.size() < 2600) {
    path += std::string(200, 'n') + "/";
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
  }
  const std::string small = folder("S");
  write_list(path + "\n" + small + "\n");

  locate_all_corvanes();
  EXPECT_EQ(all_haldens, (std::vector<std::string>{path, small}));

  register_folder(path);
  EXPECT_EQ(read_file(list_), path + "\n" + small + "\n");
  // A folder that begins like the long line is a different folder.
  register_folder(path.substr(0, 2047));
  EXPECT_EQ(read_file(list_), path + "\n" + small + "\n" + path.substr(0, 2047) + "\n");
}

TEST_F(InstalledCopies, WithoutHomeNothingIsReadOrWrittenAnywhere) {
  const std::string a = folder("A");
  // What the current folder holds must not be taken for the list.
  const std::string cwd_dir = dir_ / "cwd";
  ASSERT_TRUE(write_file(cwd_dir + "/corvane_install.txt", a + "\n"));
  ASSERT_TRUE(write_file(cwd_dir + "/.corvane/corvane_install.txt", a + "\n"));
  char saved_cwd[4096];
  ASSERT_NE(getcwd(saved_cwd, sizeof saved_cwd), nullptr);
  ASSERT_EQ(chdir(cwd_dir.c_str()), 0);

  for (const bool empty_home : {false, true}) {
    if (empty_home)
      setenv("HOME", "", 1);
    else
      unsetenv("HOME");
    all_haldens = {"left over"};
    locate_all_corvanes();
    EXPECT_TRUE(all_haldens.empty());
    register_folder(folder("B"));
  }
  EXPECT_EQ(chdir(saved_cwd), 0);

  EXPECT_EQ(log_.text(), std::string(kNoPrefs) + kNoPrefs + kNoPrefs + kNoPrefs);
  EXPECT_EQ(read_file(cwd_dir + "/corvane_install.txt"), a + "\n");
  EXPECT_EQ(read_file(cwd_dir + "/.corvane/corvane_install.txt"), a + "\n");
  EXPECT_FALSE(exists_at_all(cwd_dir + "/.corvane/.corvane"));
  EXPECT_FALSE(exists_at_all(list_));
}

TEST_F(InstalledCopies, AListThatCannotBeWrittenIsLoggedAndTheRunGoesOn) {
  const std::string a = folder("A");

  // A folder in the list's place can be neither read nor appended to.
  ASSERT_EQ(mkdir((home_ + "/.corvane").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(list_.c_str(), 0755), 0);
  register_folder(a);
  locate_all_corvanes();
  EXPECT_TRUE(all_haldens.empty());
  EXPECT_EQ(log_.text(), "WARNING: could not append registration file: " + list_ + "\n");
  ASSERT_EQ(rmdir(list_.c_str()), 0);

  // The list opens but the write fails.
  ASSERT_EQ(symlink("/dev/full", list_.c_str()), 0);
  register_folder(a);
  EXPECT_EQ(log_.text(), "WARNING: could not append registration file: " + list_ + "\n" +
                             "WARNING: could not append registration file: " + list_ + "\n");
  EXPECT_FALSE(exists_at_all("/dev/full.lock"));
}

TEST_F(InstalledCopies, AFolderWhoseNameHoldsALineEndIsNotRegistered) {
  const std::string a = folder("A");
  const std::string b = folder("B");
  // Written as it is, this would read back as two other folders, one of
  // them b.
  const std::string tricky = dir_ / "x\n" + b;

  register_folder(a);
  register_folder(tricky);
  EXPECT_EQ(read_file(list_), a + "\n");
  EXPECT_EQ(log_.text(), kNoPrefs);
}

TEST_F(InstalledCopies, PathIsToASim) {
  auto sim_with = [&](const std::string& name, const std::vector<std::string>& subfolders,
                      const std::vector<std::string>& files) {
    const std::string root = dir_ / name + "/";
    EXPECT_EQ(mkdir(root.c_str(), 0755), 0);
    for (const std::string& s : subfolders) EXPECT_EQ(mkdir((root + s).c_str(), 0755), 0);
    for (const std::string& f : files) EXPECT_TRUE(write_file(root + f, "x"));
    dest_dir_path = root;
    return path_is_to_a_sim();
  };

  EXPECT_EQ(sim_with("exact", {"Airfoils", "Instructions", "Output", "Resources"}, {}), 1);
  EXPECT_EQ(sim_with("longer", {"Old Airfoils", "Instructions2", "Output-x", "My Resources"}, {}), 1);
  EXPECT_EQ(sim_with("shared", {"Airfoils+Instructions", "OutputResources"}, {}), 1);
  EXPECT_EQ(sim_with("file", {"Airfoils", "Instructions", "Output"}, {"Resources"}), 0);
  EXPECT_EQ(sim_with("missing", {"Airfoils", "Instructions", "Output"}, {}), 0);
  EXPECT_EQ(sim_with("case", {"Airfoils", "Instructions", "Output", "resources"}, {}), 0);
  EXPECT_EQ(sim_with("hidden", {"Airfoils", "Instructions", "Output", ".Resources"}, {}), 0);
  EXPECT_EQ(sim_with("empty", {}, {}), 0);

  dest_dir_path = dir_ / "not there/";
  EXPECT_EQ(path_is_to_a_sim(), 0);
  dest_dir_path = "";
  EXPECT_EQ(path_is_to_a_sim(), 0);
  dest_dir_path = dir_ / "exact";  // without its final '/'
  EXPECT_EQ(path_is_to_a_sim(), 1);
  EXPECT_EQ(dest_dir_path, dir_ / "exact");
}
