// The program's long-lived global objects, the log stream and the shared
// number tables.
#pragma once

#include <fstream>
#include <mutex>
#include <string>

// Default names and paths of the simulator, shared by every source file.
inline const std::string afl_path = "Airfoils/";
inline const std::string wpn_path = "Weapons/";
inline const std::string apt_path_def = "LOWI";
inline const std::string acf_path = "Aircraft/";
inline const std::string acf_path_def = acf_path + "General Aviation/Cirrus TheJet/c4.acf";
inline const std::string no_install_name = "Not Yet Scanned";
inline const std::string data_path = "Resources/default data/";
inline const std::string build_name[3] = {"Corvane 9.10r1", "Mars", "Moon"};

// Scratch text for formatted alert lines.
extern std::string stl_global;

// Prefix put in front of relative paths by the file layer; empty in this
// program, so relative paths resolve from the working folder.
extern std::string app_path;

// A file buffer for the log. It keeps no put area of its own, so every
// write, whether of a string, a character or a formatted number, goes
// through a call that holds its lock: threads writing at once interleave
// their pieces instead of corrupting the buffer.
class locked_filebuf : public std::streambuf {
 public:
  ~locked_filebuf() override;
  bool open(const std::string& path, std::ios::openmode mode);
  bool is_open() const { return fd_ >= 0; }
  // Writes what is pending and closes the file; false when either failed.
  bool close();

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool flush_pending();

  int fd_ = -1;
  std::string pending_;
  std::recursive_mutex lock_;
};

// An output file stream over a locked_filebuf, used like std::ofstream.
class log_stream : public std::ostream {
 public:
  log_stream();
  void open(const std::string& path, std::ios::openmode mode = std::ios::out | std::ios::trunc);
  bool is_open() const { return buf_.is_open(); }
  void close();

 private:
  locked_filebuf buf_;
};

// `xer` is the log, opened at start-up and written from any thread;
// `ouf` writes data files on the main thread.
extern std::ofstream ouf;
extern log_stream xer;

// Label strings of the window and widget code.
class stls_class {
 public:
  stls_class();

  std::string window_title;    // title of the current window, drawn by its frame
  std::string mouse_help;      // help text of the widget under the pointer this frame
  std::string ok_caption;      // caption of the alert box's button ("OK")
  std::string cancel_caption;  // caption of the file dialog's cancel button
  std::string msg_head;        // simple message box: head text
  std::string msg_tail;        // simple message box: tail text
  std::string msg_button[3];   // simple message box: button captions
  std::string modal_title[7];  // titles of the modal windows 993 to 999
};
extern stls_class stls;

// Sine and cosine of whole degrees 0..360, and 10000 fixed pseudo-random
// ratios in [0, 1); filled by UTL_init_tables during the display start-up.
extern float lookup_sin[361];
extern float lookup_cos[361];
extern float randrat[10000];

// Fills the number tables and then seeds rand() from the clock, so that later
// rand() values differ from run to run.
void UTL_init_tables();

// Pseudo-random int in lo..hi inclusive; lo > hi is a fatal alert.
int int_rand(int lo, int hi);

// Formats value as a fixed-point number in a field of `digits` digits, of
// which `decimals` follow the point; see the source for the exact layout.
void flt_to_str(float value, std::string* out, int digits, int decimals, int blank_sign);
