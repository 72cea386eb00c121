// The program's long-lived global objects, the log stream and the shared
// number tables.
#pragma once

#include <atomic>
#include <fstream>
#include <mutex>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

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

// Once non-zero, the main loop stops after the current pass and the program
// shuts down in order.
extern int app_done;

// Decimal value of text with an optional leading sign; -1 for empty text,
// for a character other than a digit or sign, for a lone sign or for more
// than nine characters after the sign. Defined by the wizard's options
// module.
int str_to_int(const std::string& text);

// Prefix put in front of relative paths by the file layer; empty in this
// program, so relative paths resolve from the working folder.
extern std::string app_path;

// The log's file. It keeps no put area of its own: every write goes
// through a call that holds its lock.
class locked_filebuf : public std::streambuf {
 public:
  ~locked_filebuf() override;
  bool open(const std::string& path, std::ios::openmode mode);
  bool is_open() const;
  // Writes what is pending and closes the file; false when either failed.
  bool close();
  // Appends whole lines (or, on a flush, whatever the caller had) in one
  // piece; dropped while no file is open.
  void put(const char* s, std::size_t n);

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool flush_pending();

  int fd_ = -1;
  std::string pending_;
  mutable std::recursive_mutex lock_;
};

// The log stream, used like an output file stream and written from any
// thread. Each thread formats into a line of its own, with formatting
// state of its own (the flags set with setf are where every thread's
// formatting starts), and hands its text to the file only in whole lines:
// lines of threads writing at once never mix. flush() and close() also
// hand over the calling thread's unfinished line; a thread's unfinished
// line is handed over when the thread ends. Text written while no file is
// open is dropped.
class log_stream {
 public:
  log_stream() = default;
  log_stream(const log_stream&) = delete;
  log_stream& operator=(const log_stream&) = delete;

  void open(const std::string& path, std::ios::openmode mode = std::ios::out | std::ios::trunc);
  bool is_open() const { return buf_.is_open(); }
  void close();

  template <class T>
  log_stream& operator<<(const T& value) {
    line() << value;
    take_lines();
    return *this;
  }
  log_stream& operator<<(std::ostream& (*manipulator)(std::ostream&));
  log_stream& operator<<(std::ios_base& (*manipulator)(std::ios_base&));
  log_stream& write(const char* s, std::streamsize n);
  log_stream& flush();

  // Sets format flags for every thread's lines from now on.
  void setf(std::ios::fmtflags flags, std::ios::fmtflags mask);

  bool fail() const { return failed_; }
  void clear() { failed_ = false; }
  explicit operator bool() const { return !failed_; }

  // Hands text over to the file: up to its last line end, or all of it
  // with whole set; the text handed over is removed from it.
  void hand_over(std::string& text, bool whole);

 private:
  // The calling thread's line, formatted with its own state.
  std::ostream& line();
  std::string& line_text();
  void take_lines();

  locked_filebuf buf_;
  std::atomic<bool> failed_{false};
  std::atomic<unsigned> flags_{static_cast<unsigned>(std::ios::dec | std::ios::skipws)};
  std::atomic<unsigned> generation_{0};  // moves when flags_ change
};

// `xer` is the log, opened at start-up and written from any thread;
// `ouf` writes data files on the main thread; `cyc` and `dat` are data
// streams that this program never opens.
extern std::ofstream ouf;
extern log_stream xer;
extern std::ofstream cyc;
extern std::ofstream dat;

// Label strings of the window and widget code, in the toolkit's order: the
// window title, the table of widget labels, the captions, the message
// box's texts and the further label table. The three numbers are left as
// static storage has them (0); nothing here reads them.
class stls_class {
 public:
  stls_class();
  stls_class(const stls_class&) = delete;
  stls_class& operator=(const stls_class&) = delete;

  std::string window_title;    // title of the current window, drawn by its frame
  std::string labels[1800];    // widget labels and help texts; nothing fills them in this program
  std::string mouse_help;      // help text of the widget under the pointer this frame
  std::string ok_caption;      // caption of the alert box's button ("OK")
  std::string cancel_caption;  // caption of the file dialog's cancel button
  int label_count;
  std::string msg_head;        // simple message box: head text
  std::string msg_tail;        // simple message box: tail text
  std::string msg_note;        // simple message box: a further line; nothing fills it
  int msg_choice;
  std::string status_text;     // nothing fills it
  int status_kind;
  std::string texts[400];      // further labels: the message box's buttons, the modal windows' titles

  std::string* const msg_button = texts;       // simple message box: the three button captions
  std::string* const modal_title = texts + 3;  // titles of the modal windows 993 to 999
};
extern stls_class stls;

// Plug-in record of the toolkit; nothing in this program uses it.
struct plg_struct {
  int count;
  int flags;
  void* data;
};
extern plg_struct plg;

// Objects of the toolkit that nothing in this program uses; they exist,
// empty or 0, from before main to the end.
extern int magv;
extern std::vector<float> vec_loa;
extern std::vector<float> vec_hia;
extern std::vector<float> vec_fix;
extern std::vector<float> vec_nav;
extern std::vector<float> vec_apt;
extern std::unordered_map<long, long> nav_freq_hash;

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
