// Runs the installer program itself.
#include <gtest/gtest.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

// Runs the program with HOME set to `home` and the given arguments; returns
// its exit status.
int run_installer(const std::string& exe, const std::string& home, std::vector<std::string> args = {}) {
  std::vector<char*> argv{const_cast<char*>(exe.c_str())};
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    setenv("HOME", home.c_str(), 1);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

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

TEST(Entry, SavesThePreferencesUnlessItIsAFrameRateTest) {
  TempDir dir;
  const std::string home = dir / "home";
  ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
  const std::string prefs = home + "/.corvane/Corvane Installer.prf";

  EXPECT_EQ(run_installer(CORVANE_INSTALLER_EXE, home, {"--fps_test=1", "--pref:_stream_count=3"}), 0);
  EXPECT_FALSE(exists_at_all(prefs)) << "a frame-rate test writes no preferences";

  EXPECT_EQ(run_installer(CORVANE_INSTALLER_EXE, home,
                          {"--pref:_stream_count=3", "--pref:_proxy_host=127.0.0.1", "--pref:_proxy_port_int=8123"}),
            0);
  const std::string saved = read_file(prefs);
  EXPECT_EQ(saved.rfind("I\n9002 version\n", 0), 0u) << saved;
  EXPECT_NE(saved.find("_stream_count 3\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("_proxy_host 127.0.0.1\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("_proxy_port_int 8123\n"), std::string::npos) << saved;

  // The next run starts from what was saved.
  EXPECT_EQ(run_installer(CORVANE_INSTALLER_EXE, home, {"--pref:_get_beta=1"}), 0);
  const std::string again = read_file(prefs);
  EXPECT_NE(again.find("_stream_count 3\n"), std::string::npos) << again;
  EXPECT_NE(again.find("_get_beta 1\n"), std::string::npos) << again;
}

TEST(Entry, AFolderItCannotChangeToIsLoggedAndTheRunGoesOn) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string exe = dir / "corvane_installer";
  ASSERT_EQ(system(("cp '" + std::string(CORVANE_INSTALLER_EXE) + "' '" + exe + "'").c_str()), 0);
  const std::string home = dir / "home";
  const std::string start = dir / "start";
  ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
  ASSERT_EQ(mkdir(start.c_str(), 0755), 0);

  // The program is started from another folder, and its change to its own
  // folder fails.
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("HOME", home.c_str(), 1);
    if (chdir(start.c_str()) != 0) _exit(126);
    if (!fail_every_chdir()) _exit(125);
    execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 125) GTEST_SKIP() << "this system does not let a test make chdir fail";
  EXPECT_EQ(WEXITSTATUS(status), 0);

  const std::string log = read_file(dir / "Corvane Installer Log.txt");
  EXPECT_NE(log.find("\nCould not change to the program's folder " + dir.path() +
                     ": Permission denied. Perhaps you do not have access to a directory or file system\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("\nClean exit from threads.\n"), std::string::npos) << log;
  EXPECT_TRUE(exists_at_all(home + "/.corvane/Corvane Installer.prf")) << "the run went on to its orderly end";
}
