// Runs the installer program as a user would start it: its own copy of the
// executable in a fresh temporary folder (the log is written beside it),
// a temporary HOME, standard output and error kept in files, and DISPLAY
// naming the test's own X server (or unset without one).
//
//   folder()              the temporary folder
//   folder()/app/         the program's folder: the executable and its log
//   folder()/home/        HOME
//   folder()/stdout.txt, folder()/stderr.txt
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

class XServer;
typedef struct _XDisplay Display;

class InstallerRun {
 public:
  struct Options {
    std::vector<std::string> args;                // after the program's name
    std::vector<std::string> env;                 // extra "NAME=value" entries
    std::vector<std::string> unset;               // variables taken away ("HOME", "LP_NUM_THREADS")
    std::string executable;                       // default: the build's installer
    std::string base = "/tmp/";                   // the folder in which folder() is made
    // Run in the child just before the program starts (async-signal-safe
    // calls only); when it returns false the child ends with 125.
    bool (*before_exec)() = nullptr;
  };

  // Starts the program at once; x null runs it without a display.
  explicit InstallerRun(const XServer* x, Options options);
  explicit InstallerRun(const XServer* x) : InstallerRun(x, Options{}) {}
  ~InstallerRun();  // a program still running is killed
  InstallerRun(const InstallerRun&) = delete;
  InstallerRun& operator=(const InstallerRun&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  std::string folder() const { return dir_.path(); }
  std::string app_folder() const { return dir_ / "app/"; }
  std::string home() const { return dir_ / "home"; }
  std::string log_path() const { return dir_ / "app/Corvane Installer Log.txt"; }

  std::string log() const;
  std::string out() const;
  std::string err() const;

  // Waits until the log holds `text`; false when it does not in time or the
  // program ended without writing it.
  bool wait_for_log(const std::string& text, int timeout_ms);
  // Waits for the end: the exit code, -1 after a signal, -2 when the
  // program still runs after timeout_ms.
  int wait_exit(int timeout_ms);
  bool running();
  // Ends the program now (SIGKILL), reaps it and removes its temporary
  // folder, which a killed program cannot.
  void kill();

  // When not empty: the folder that keeps the log of a run that ends
  // (it is copied there before the run's folder goes). The failure report
  // of the tests sets it once a test has failed.
  static std::string keep_logs_in;
  // Copies the log as it is now into keep_logs_in.
  void keep_log() const;
  // The newest run that is still there (null when none is).
  static const InstallerRun* current();

 private:
  TempDir dir_;
  pid_t pid_ = -1;
  int status_ = -2;
};

// Waits until the program's window is on screen with its first frame: a
// click from then on is given on what the program has shown.
bool wait_for_installer_window(const XServer& x, int timeout_ms);

// Waits until the program of the window "Halden" has read a Shift tap,
// which comes after the frame property of every frame it showed: a press
// given from then on is taken on what the screen shows. False when it did
// not read it in time.
bool program_caught_up(Display* display);
// A click (x_input.h) given once program_caught_up; false when it was not.
bool click_on_what_is_shown(Display* display, int x, int y, int hold_ms = 100);

// Ends a program that shows its window as a user does, with a click on the
// Quit button; returns the exit code as wait_exit does.
int quit_by_button(InstallerRun& run, const XServer& x, int timeout_ms);
