// Runs the installer program itself.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>
#include <vector>

#include "files/temp_folder.h"
#include "support/click_table.h"
#include "support/installer_run.h"
#include "support/release_builder.h"
#include "support/screen_text.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/wizard_view.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"

namespace {

// Makes every later chdir of this process, and of the programs it runs,
// fail with EACCES; false when the system does not allow that.
bool fail_every_chdir() {
#if defined(__x86_64__) || defined(__aarch64__)
#if defined(__x86_64__)
  constexpr unsigned kArch = AUDIT_ARCH_X86_64;
#else
  constexpr unsigned kArch = AUDIT_ARCH_AARCH64;
#endif
  sock_filter code[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_chdir, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EACCES & SECCOMP_RET_DATA)),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
#else
  return false;
#endif
}

// The temporary folders in /tmp of the run with process id pid.
std::vector<std::string> run_folders_of(pid_t pid) {
  std::vector<std::string> found;
  const std::string prefix = "corvane-" + std::to_string(pid) + "-";
  if (DIR* d = opendir("/tmp")) {
    while (const dirent* e = readdir(d))
      if (std::string(e->d_name).rfind(prefix, 0) == 0) found.push_back(e->d_name);
    closedir(d);
  }
  return found;
}

}  // namespace

TEST(Entry, StartsWritesItsLogAndEndsInOrder) {
  XServer x;
  ASSERT_TRUE(x.ok());
  InstallerRun run(&x);
  ASSERT_TRUE(run.started());
  EXPECT_EQ(quit_by_button(run, x, kProgramTimeoutMs), 0) << run.err();

  const std::string log = run.log();
  const std::string app = run.app_folder();
  const std::string home = run.home();
  EXPECT_EQ(log.rfind("Installer log.txt for Corvane Web Updater 2.03r1 compiled on ", 0), 0u) << log;
  EXPECT_NE(log.find("\nHalden folder:'', case sensitive=1\n"), std::string::npos) << log;
  EXPECT_NE(log.find("os_dir_this_app\t\t=" + app + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find("os_dir_temp\t\t\t=/tmp/\n"), std::string::npos) << log;
  EXPECT_NE(log.find("os_dir_prefs\t\t\t=" + home + "/.corvane/\n"), std::string::npos) << log;
  struct stat st;
  EXPECT_EQ(stat((home + "/.corvane").c_str(), &st), 0) << "asking for the preferences folder makes it";
  EXPECT_TRUE(run_folders_of(run.pid()).empty()) << "the orderly end takes the run's temporary folder";
}

// A run that a test kills cannot remove its temporary folder: the test does.
TEST(Entry, AKilledRunsTemporaryFolderGoesWithIt) {
  XServer x;
  ASSERT_TRUE(x.ok());
  InstallerRun run(&x);
  ASSERT_TRUE(run.started());
  ASSERT_TRUE(wait_until([&] { return !run_folders_of(run.pid()).empty(); }, kProgramTimeoutMs)) << run.err();
  run.kill();
  EXPECT_TRUE(run_folders_of(run.pid()).empty());
}

TEST(Entry, SavesThePreferencesUnlessItIsAFrameRateTest) {
  XServer x;
  ASSERT_TRUE(x.ok());
  TempDir home;
  ASSERT_TRUE(home.ok());
  const std::string prefs = home / ".corvane/Corvane Installer.prf";
  const auto run_with = [&](std::vector<std::string> args) {
    InstallerRun::Options o;
    o.args = std::move(args);
    o.env = {"HOME=" + home.path()};
    o.unset = {"HOME"};
    InstallerRun run(&x, o);
    return quit_by_button(run, x, kProgramTimeoutMs);
  };

  EXPECT_EQ(run_with({"--fps_test=1", "--pref:_stream_count=3"}), 0);
  EXPECT_FALSE(exists_at_all(prefs)) << "a frame-rate test writes no preferences";

  EXPECT_EQ(run_with({"--pref:_stream_count=3", "--pref:_proxy_host=127.0.0.1", "--pref:_proxy_port_int=8123"}), 0);
  const std::string saved = read_file(prefs);
  EXPECT_EQ(saved.rfind("I\n9002 version\n", 0), 0u) << saved;
  EXPECT_NE(saved.find("_stream_count 3\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("_proxy_host 127.0.0.1\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("_proxy_port_int 8123\n"), std::string::npos) << saved;

  // The next run starts from what was saved.
  EXPECT_EQ(run_with({"--pref:_get_beta=1"}), 0);
  const std::string again = read_file(prefs);
  EXPECT_NE(again.find("_stream_count 3\n"), std::string::npos) << again;
  EXPECT_NE(again.find("_get_beta 1\n"), std::string::npos) << again;
}

TEST(Entry, AFolderItCannotChangeToIsLoggedAndTheRunGoesOn) {
  XServer x;
  ASSERT_TRUE(x.ok());
  // The program is started from another folder, and its change to its own
  // folder fails.
  InstallerRun::Options o;
  o.before_exec = [] { return chdir("/") == 0 && fail_every_chdir(); };
  InstallerRun run(&x, o);
  ASSERT_TRUE(run.started());
  if (!wait_for_installer_window(x, kProgramTimeoutMs) && run.wait_exit(0) == 125)
    GTEST_SKIP() << "this system does not let a test make chdir fail";
  EXPECT_EQ(quit_by_button(run, x, kProgramTimeoutMs), 0) << run.err();

  const std::string log = run.log();
  EXPECT_NE(log.find("\nCould not change to the program's folder " + run.app_folder() +
                     ": Permission denied. Perhaps you do not have access to a directory or file system\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("\nClean exit from threads.\n"), std::string::npos) << log;
  EXPECT_TRUE(exists_at_all(run.home() + "/.corvane/Corvane Installer.prf")) << "the run went on to its orderly end";
}

// Started from inside the disc's folder, the program runs from a copy of
// itself in a private folder under /tmp, started with "--disc" alone: the
// first process ends with 1 (the settings it saved on the way are those it
// read), the copy opens on the disc welcome, does not restart again, and
// ends in order.
TEST(Entry, StartedFromTheDiscItRunsFromACopyInTheTemporaryFolder) {
  XServer x;
  ASSERT_TRUE(x.ok());
  // The disc lies outside /tmp (a copy already in /tmp never restarts),
  // wherever the checkout and its build are.
  TempDir discs("/var/tmp/");
  TempDir home, staging;
  ASSERT_TRUE(discs.ok() && home.ok() && staging.ok());
  ReleaseBuilder release(staging.path());
  release.add("Resources/a.txt", "alpha", 0, 0);
  std::string error;
  ASSERT_TRUE(release.publish_discs(discs.path(), "v910", 1, &error)) << error;
  const std::string disc = ReleaseBuilder::disc_folder(discs.path(), 0);
  const std::string prefs = home / ".corvane/Corvane Installer.prf";
  ASSERT_TRUE(write_file(prefs, "I\n9002 version\n_proxy_host cache.example.net\n_proxy_port_int 3128\n"));
  InstallerRun::Options o;
  o.base = disc;  // the executable is copied into the disc's folder
  o.env = {"HOME=" + home.path(), "CORVANE_DISC=" + disc};
  o.unset = {"HOME"};
  InstallerRun run(&x, o);
  ASSERT_TRUE(run.started());
  EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 1) << run.err();

  const std::string log = run.log();
  const std::size_t at = log.find("Launching: /tmp/corvane-disc-");
  ASSERT_NE(at, std::string::npos) << log;
  const std::size_t line_end = log.find('\n', at);
  const std::string copy = log.substr(at + 11, log.find(" with ", at) - at - 11);
  EXPECT_EQ(log.substr(at, line_end - at), "Launching: " + copy + " with --disc");
  const std::string copy_folder = copy.substr(0, copy.rfind('/') + 1);
  // The copy's folder goes with the test, also when a check below fails
  // (the copy itself ends with the test's X server).
  struct RemovedAtEnd {
    std::string folder;
    ~RemovedAtEnd() {
      if (folder.rfind("/tmp/corvane-disc-", 0) == 0) remove_run_temp_folder(folder);
    }
  } copy_folder_goes{copy_folder};
  EXPECT_EQ(copy, copy_folder + "corvane_installer");
  struct stat st;
  ASSERT_EQ(stat(copy_folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_NE(read_file(prefs).find("_proxy_port_int 3128\n"), std::string::npos) << read_file(prefs);
  EXPECT_NE(read_file(prefs).find("_proxy_host cache.example.net\n"), std::string::npos);

  // The copy's window shows the disc welcome; Quit ends it in order.
  ASSERT_TRUE(wait_for_installer_window(x, kProgramTimeoutMs));
  std::string why;
  EXPECT_TRUE(wait_for_texts(x.display(),
                             {wizard_view::title("Corvane 9 Installer"),
                              wizard_view::body("Welcome to the Corvane 9 Installer.  I will guide you through the "
                                                "proess of installing v910.")},
                             kProgramTimeoutMs, &why))
      << why;
  // The copy holds its folder while it runs, so a start of the program
  // meanwhile leaves it; once the copy has ended the hold is gone with it.
  const int probe = open((copy_folder + ".in-use").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(probe, 0);
  EXPECT_NE(flock(probe, LOCK_EX | LOCK_NB), 0);
  // The test holds the folder as well, so that a start of the program in
  // another test, which removes the folders of copies that have ended,
  // leaves it until the copy's log is read.
  ASSERT_EQ(flock(probe, LOCK_SH | LOCK_NB), 0);
  const std::string copy_log_path = copy_folder + "Corvane Installer Log.txt";
  EXPECT_TRUE(click_on_what_is_shown(x.display(), clicks::quit.x, clicks::quit.y));
  EXPECT_TRUE(wait_until([&] { return read_file(copy_log_path).find("Clean exit from threads.") != std::string::npos; },
                         kProgramTimeoutMs));
  const std::string copy_log = read_file(copy_log_path);
  EXPECT_NE(copy_log.find("os_dir_this_app\t\t=" + copy_folder + "\n"), std::string::npos) << copy_log;
  EXPECT_EQ(copy_log.find("Launching: "), std::string::npos) << "the copy does not restart";
  EXPECT_TRUE(wait_until([&] { return windows_named(x.display(), "Halden").empty(); }, kProgramTimeoutMs));
  EXPECT_TRUE(wait_until([&] { return flock(probe, LOCK_EX | LOCK_NB) == 0; }, kProgramTimeoutMs));
  close(probe);
}
