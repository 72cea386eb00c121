#include "support/installer_run.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/temp_folder.h"
#include "support/click_table.h"
#include "support/frame_watch.h"
#include "support/wait.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"

extern char** environ;

namespace {

// A copy of the executable of its own: a hard link where the file system
// allows one (the program finds its folder through the link's path),
// otherwise a real copy.
bool place_executable(const std::string& from, const std::string& to) {
  if (link(from.c_str(), to.c_str()) == 0) return true;
  const std::string cmd = "cp '" + from + "' '" + to + "'";
  return system(cmd.c_str()) == 0;
}

}  // namespace

namespace {
const InstallerRun* newest_run = nullptr;
}  // namespace

InstallerRun::InstallerRun(const XServer* x, Options options) : dir_(options.base) {
  if (!dir_.ok()) return;
  mkdir((dir_ / "app").c_str(), 0755);
  mkdir((dir_ / "home").c_str(), 0755);
  const std::string exe = dir_ / "app/corvane_installer";
  const std::string source = options.executable.empty() ? std::string(CORVANE_INSTALLER_EXE) : options.executable;
  if (!place_executable(source, exe)) return;

  // Everything the child needs is built before the fork.
  std::vector<std::string> dropped = options.unset;
  for (const char* name : {"DISPLAY", "HOME", "LP_NUM_THREADS"}) dropped.push_back(name);
  const auto is_dropped = [&](const std::string& entry) {
    for (const std::string& name : dropped)
      if (entry.rfind(name + "=", 0) == 0) return true;
    return false;
  };
  const auto is_unset = [&](const char* name) {
    for (const std::string& u : options.unset)
      if (u == name) return true;
    return false;
  };
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (!is_dropped(*e)) env.push_back(*e);
  if (x) env.push_back("DISPLAY=" + x->name());
  if (!is_unset("HOME")) env.push_back("HOME=" + home());
  // Two rasterizer threads keep the GL driver polite beside other tests;
  // unset, the driver takes its own default.
  if (!is_unset("LP_NUM_THREADS")) env.push_back("LP_NUM_THREADS=2");
  // The unpack threads set file times with mktime; with TZ unset glibc reads
  // the zone afresh under a lock that the thread sanitizer cannot see, and
  // reports a race there. Naming the zone keeps that out of its reports.
  if (!getenv("TZ")) env.push_back("TZ=:/etc/localtime");
  for (const std::string& e : options.env) env.push_back(e);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  std::vector<std::string> args{exe};
  for (const std::string& a : options.args) args.push_back(a);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  const std::string out_path = dir_ / "stdout.txt";
  const std::string err_path = dir_ / "stderr.txt";
  const std::string start_folder = app_folder();
  const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (out < 0 || err < 0 || in < 0) return;

  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    // The installer goes when the test does, even when the test is killed.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (chdir(start_folder.c_str()) != 0) _exit(126);
    if (options.before_exec && !options.before_exec()) _exit(125);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(out);
  close(err);
  close(in);
  if (pid_ > 0) newest_run = this;
}

std::string InstallerRun::keep_logs_in;

const InstallerRun* InstallerRun::current() { return newest_run; }

InstallerRun::~InstallerRun() {
  if (newest_run == this) newest_run = nullptr;
  if (running()) kill();
  keep_log();
}

void InstallerRun::keep_log() const {
  if (keep_logs_in.empty() || pid_ <= 0) return;
  const std::string log = read_file(log_path());
  if (!log.empty()) write_file(keep_logs_in + "Corvane Installer Log.txt", log);
}

std::string InstallerRun::log() const { return read_file(log_path()); }
std::string InstallerRun::out() const { return read_file(dir_ / "stdout.txt"); }
std::string InstallerRun::err() const { return read_file(dir_ / "stderr.txt"); }

bool InstallerRun::running() {
  if (pid_ <= 0 || status_ != -2) return false;
  int status = 0;
  const pid_t got = waitpid(pid_, &status, WNOHANG);
  if (got == 0 || (got < 0 && errno == EINTR)) return true;
  // A program reaped elsewhere (by stop_child) has ended too, how is unknown
  // here; it is not signalled again, as its number may be another's by now.
  status_ = got == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return false;
}

bool InstallerRun::wait_for_log(const std::string& text, int timeout_ms) {
  bool found = false;
  wait_until(
      [&] {
        found = log().find(text) != std::string::npos;
        return found || !running();
      },
      timeout_ms);
  return found || log().find(text) != std::string::npos;
}

int InstallerRun::wait_exit(int timeout_ms) {
  if (pid_ <= 0) return -2;
  wait_until([&] { return !running(); }, timeout_ms);
  return status_;
}

void InstallerRun::kill() {
  if (!running()) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  status_ = -1;
  // A killed program cannot remove its temporary folder; the test that
  // killed it does.
  const std::string mine = "corvane-" + std::to_string(pid_) + "-";
  if (DIR* d = opendir("/tmp")) {
    std::vector<std::string> folders;
    while (const dirent* e = readdir(d))
      if (std::strncmp(e->d_name, mine.c_str(), mine.size()) == 0) folders.push_back(std::string("/tmp/") + e->d_name);
    closedir(d);
    for (const std::string& folder : folders) remove_run_temp_folder(folder);
  }
}

bool wait_for_installer_window(const XServer& x, int timeout_ms) {
  const unsigned long w = wait_for_window(x.display(), "Halden", timeout_ms);
  return w != 0 && wait_until([&] { return has_property(x.display(), w, "_CORVANE_FRAME_COUNT"); }, timeout_ms);
}

bool program_caught_up(Display* display) {
  const unsigned long w = wait_for_window(display, "Halden", kProgramTimeoutMs);
  if (!w) return false;
  FrameWatch frames(display, w);
  return frames.taken([&] { key_tap(display, "Shift_L"); });
}

bool click_on_what_is_shown(Display* display, int x, int y, int hold_ms) {
  const bool caught_up = program_caught_up(display);
  click_at(display, x, y, hold_ms);
  return caught_up;
}

int quit_by_button(InstallerRun& run, const XServer& x, int timeout_ms) {
  if (!wait_for_installer_window(x, timeout_ms) || !click_on_what_is_shown(x.display(), clicks::quit.x, clicks::quit.y))
    return -2;
  return run.wait_exit(timeout_ms);
}
