// The sample run of "scripts/run.sh --sample": builds the sample release
// (sample_release.h) in a private folder under /tmp, serves it on 127.0.0.1
// with the tests' HTTP server and starts the installer on it, which reaches
// the server through its proxy preferences, so nothing leaves this machine.
// When the installer, and what it started, have ended, the server stops and
// the folder goes. When this program is interrupted or told to end, it tells
// them to end first (and kills them after a few seconds).
//
//   corvane_sample --installer PATH            the web update of the older copy
//   corvane_sample --installer PATH --demo     the web demo install
//   corvane_sample --installer PATH --disc     the disc flows, from two discs
//
// The installer runs with its HOME in the sample folder, so that its
// settings, its list of installed copies and the copies it installs stay
// there. Exit code: the installer's, 128 + the signal that ended it or this
// program, 1 when the sample could not be made, 2 for a wrong command line.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "files/temp_folder.h"
#include "sample/http_server.h"
#include "sample/sample_release.h"

extern char** environ;

namespace {

enum class Mode { web_update, demo, disc };

constexpr int kTermGraceSeconds = 5;  // after SIGTERM, the installer is killed

int usage(const char* me) {
  std::fprintf(stderr, "usage: %s --installer PATH [--demo | --disc]\n", me);
  return 2;
}

std::vector<std::string> installer_args(const std::string& installer, Mode mode, const sample::Folders& f, int port) {
  std::vector<std::string> args{installer};
  if (mode == Mode::web_update) {
    args.push_back("-path");
    args.push_back(f.older_copy);
  } else {
    args.push_back(mode == Mode::demo ? "--demo" : "--disc");
  }
  // The port as the installer keeps it twice: the number its downloads use
  // and the text its Options window shows and edits, which becomes the
  // number again when the window is used.
  args.push_back("--pref:_proxy_host=127.0.0.1");
  args.push_back("--pref:_proxy_port=" + std::to_string(port));
  args.push_back("--pref:_proxy_port_int=" + std::to_string(port));
  return args;
}

// This program's environment with HOME in the sample folder and, for the
// disc flows, CORVANE_DISC naming the drive. The X server's key, which
// Xlib finds through HOME unless XAUTHORITY names it, is named.
std::vector<std::string> installer_env(Mode mode, const sample::Folders& f) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "HOME=", 5) != 0 && std::strncmp(*e, "CORVANE_DISC=", 13) != 0) env.push_back(*e);
  env.push_back("HOME=" + f.home);
  const char* home = std::getenv("HOME");
  if (!std::getenv("XAUTHORITY") && home && *home) {
    const std::string key = std::string(home) + "/.Xauthority";
    if (access(key.c_str(), R_OK) == 0) env.push_back("XAUTHORITY=" + key);
  }
  if (mode == Mode::disc) env.push_back("CORVANE_DISC=" + f.drive);
  return env;
}

// A word as a shell takes it.
std::string shell_word(const std::string& s) {
  if (s.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-+=:./,@") == std::string::npos)
    return s;
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Starts the installer; -1 when it cannot be.
pid_t start(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  std::vector<char*> argv, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // The installer goes when this program goes, however it ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(126);
    // It leads a process group of its own, which what it starts joins, so
    // that they can all be told to end together, even once the installer
    // itself has gone.
    setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  // Set on both sides, so that the group is there before either goes on.
  if (pid > 0) setpgid(pid, pid);
  return pid;
}

// Sends sig to the installer's process group (the installer and what it
// started) and to every child of this program: once the installer has gone,
// this program is the parent of what it started, also of what left the
// group.
void signal_run(pid_t group, int sig) {
  kill(-group, sig);
  const long me = static_cast<long>(getpid());
  DIR* d = opendir("/proc");
  if (!d) return;
  while (const dirent* e = readdir(d)) {
    char* end = nullptr;
    const long pid = std::strtol(e->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') continue;
    // "pid (name) state ppid ...": the name may hold anything, the last ')'
    // ends it.
    FILE* f = std::fopen(("/proc/" + std::string(e->d_name) + "/stat").c_str(), "r");
    if (!f) continue;
    char buf[512];
    const std::size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = '\0';
    const char* name_end = std::strrchr(buf, ')');
    char state = 0;
    long ppid = 0;
    if (name_end && std::sscanf(name_end + 1, " %c %ld", &state, &ppid) == 2 && ppid == me)
      kill(static_cast<pid_t>(pid), sig);
  }
  closedir(d);
}

// Enter typed in the terminal changes the disc in the drive, until stop():
// the sample folder is not removed while a disc goes in.
class DiscChanger {
 public:
  explicit DiscChanger(const sample::Folders& folders) : folders_(folders) {
    if (pipe2(stop_, O_CLOEXEC) != 0) {
      std::fprintf(stderr, "Discs cannot be changed from here: %s\n", std::strerror(errno));
      return;
    }
    thread_ = std::thread([this] { run(); });
  }
  ~DiscChanger() { stop(); }
  DiscChanger(const DiscChanger&) = delete;
  DiscChanger& operator=(const DiscChanger&) = delete;

  // Returns once the disc changes are over.
  void stop() {
    if (!thread_.joinable()) return;
    const char one = 1;
    while (write(stop_[1], &one, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
    close(stop_[0]);
    close(stop_[1]);
  }

 private:
  void run() {
    int in_drive = 0;
    char buf[256];
    for (;;) {
      pollfd fds[2] = {{0, POLLIN, 0}, {stop_[0], POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents) return;
      const ssize_t n = read(0, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      if (!std::memchr(buf, '\n', static_cast<std::size_t>(n))) continue;
      in_drive = 1 - in_drive;
      if (sample::insert_disc(folders_, in_drive))
        std::printf("Disc %d is now in the drive.\n", in_drive + 1);
      else
        std::printf("Could not change the disc in %s.\n", folders_.drive.c_str());
      std::fflush(stdout);
    }
  }

  const sample::Folders folders_;
  int stop_[2] = {-1, -1};
  std::thread thread_;
};

double now_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  std::string installer;
  Mode mode = Mode::web_update;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--installer" && i + 1 < argc)
      installer = argv[++i];
    else if (a == "--demo" && mode == Mode::web_update)
      mode = Mode::demo;
    else if (a == "--disc" && mode == Mode::web_update)
      mode = Mode::disc;
    else
      return usage(argv[0]);
  }
  if (installer.empty()) return usage(argv[0]);
  if (access(installer.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "%s: cannot start %s: %s\n", argv[0], installer.c_str(), std::strerror(errno));
    return 1;
  }

  // The signals that end the run, and the end of a child, are taken in turn
  // by the loop below, never by a handler. They are blocked before any
  // thread starts, so that every thread keeps them blocked.
  sigset_t watched;
  sigemptyset(&watched);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD}) sigaddset(&watched, s);
  pthread_sigmask(SIG_BLOCK, &watched, nullptr);
  // A program that the installer starts (the simulator) becomes this
  // program's child when the installer ends, so that it can be waited for.
  prctl(PR_SET_CHILD_SUBREAPER, 1);

  // The folder is this run's: exit() removes it, and a run that was killed
  // leaves it to the next run (or the installer's next start) to remove.
  remove_stale_run_temp_folders("/tmp/");
  const std::string root = make_run_temp_folder("/tmp/");
  if (root.empty()) {
    std::fprintf(stderr, "%s: cannot make a folder in /tmp/: %s\n", argv[0], std::strerror(errno));
    return 1;
  }
  const sample::Folders folders(root);
  std::printf("Sample folder:  %s\n", root.c_str());
  std::fflush(stdout);
  std::string error;
  if (!sample::build(folders, &error)) {
    std::fprintf(stderr, "%s: cannot build the sample: %s\n", argv[0], error.c_str());
    return 1;
  }
  // Interrupted while the sample was being built.
  for (timespec no_wait{0, 0};;) {
    const int early = sigtimedwait(&watched, nullptr, &no_wait);
    if (early <= 0) break;
    if (early != SIGCHLD) return 128 + early;
  }

  int code = 1;
  int stop_signal = 0;
  {
    TestHttpServer server(folders.www);
    if (server.port() <= 0) {
      std::fprintf(stderr, "%s: cannot listen on 127.0.0.1\n", argv[0]);
      return 1;
    }
    const std::vector<std::string> args = installer_args(installer, mode, folders, server.port());
    const std::vector<std::string> env = installer_env(mode, folders);
    std::printf("Release:        %s, %zu files, %.1f MB, served on 127.0.0.1:%d through the installer's proxy settings\n",
                sample::kInstallName, sample::file_count(), static_cast<double>(sample::byte_count()) / 1e6,
                server.port());
    std::printf("Older copy:     %s\n", folders.older_copy.c_str());
    std::printf("Install discs:  %sdisc0/ and disc1/; %s holds the first\n", folders.discs.c_str(),
                folders.drive.c_str());
    std::string command = "HOME=" + shell_word(folders.home);
    if (mode == Mode::disc) command += " CORVANE_DISC=" + shell_word(folders.drive);
    for (const std::string& a : args) command += " " + shell_word(a);
    std::printf("Starting:       %s\n", command.c_str());
    if (mode == Mode::disc)
      std::printf("When the installer asks for the other disc, press Enter here to change discs.\n");
    std::fflush(stdout);

    const pid_t pid = start(args, env);
    if (pid < 0) {
      std::fprintf(stderr, "%s: cannot start %s: %s\n", argv[0], installer.c_str(), std::strerror(errno));
      return 1;
    }
    std::unique_ptr<DiscChanger> disc_changer;
    if (mode == Mode::disc) disc_changer = std::make_unique<DiscChanger>(folders);

    double kill_at = 0;
    for (;;) {
      timespec tick{0, 200 * 1000 * 1000};
      const int got = sigtimedwait(&watched, nullptr, &tick);
      if (got > 0 && got != SIGCHLD && stop_signal == 0) {
        // The installer, or what it started when it has gone, is told to
        // end, and after a while killed.
        stop_signal = got;
        signal_run(pid, SIGTERM);
        kill_at = now_seconds() + kTermGraceSeconds;
      }
      bool children_left = true;
      for (;;) {
        int status = 0;
        const pid_t ended = waitpid(-1, &status, WNOHANG);
        if (ended < 0 && errno == EINTR) continue;
        if (ended < 0) children_left = false;
        if (ended <= 0) break;
        if (ended == pid) code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      // Once the installer has ended, what it started is waited for too:
      // nothing runs from the folder when it goes.
      if (!children_left) break;
      if (stop_signal && now_seconds() > kill_at) signal_run(pid, SIGKILL);
    }
    // No disc goes into the drive while the folder goes.
    disc_changer.reset();
  }

  // A killed installer leaves its own temporary folder behind.
  remove_stale_run_temp_folders("/tmp/");
  const int removed = remove_run_temp_folder(root);
  if (removed == 0)
    std::printf("The sample folder %s is removed.\n", root.c_str());
  else
    std::fprintf(stderr, "%s: cannot remove the sample folder %s: %s\n", argv[0], root.c_str(),
                 std::strerror(removed));
  return stop_signal ? 128 + stop_signal : code;
}
