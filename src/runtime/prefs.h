// The preferences files: a few settings kept between runs as text lines of
// a key, one space and a value, after the shared text header (version 9002).
//
// Every setting passes through one call of scan_class::fetch_or_get or
// scan_class::int_io in both directions, so reading and writing always agree
// on the list of keys. On reading, a command-line option "--pref:<key>=<value>"
// wins over the file.
#pragma once

#include <map>
#include <string>

// One open scan of one preferences file, either collecting the file's pairs
// (read mode) or writing lines to the shared output stream `ouf` (write mode).
//
// A write scan writes to a temporary file beside the real one and renames it
// over the real file only when everything was written and the close
// succeeded, so a failed write leaves the earlier file as it was. No other
// file may be written through `ouf` while a write scan is open.
class scan_class {
 public:
  // mode 1: opens the temporary file and writes the header. mode 0: reads and
  // parses the whole file into `values`; a file that is missing, empty or has
  // another header or version gives no pairs, without a message. An empty
  // path reads nothing and writes nothing.
  scan_class(const std::string& path, int mode);
  // Closes a write scan that close() has not closed.
  ~scan_class();
  scan_class(const scan_class&) = delete;
  scan_class& operator=(const scan_class&) = delete;

  // Write mode: writes key, one space, out_value (without any CR, LF or NUL,
  // which would break the line) and LF; returns 0. Read mode: stores the
  // value of the option "--pref:" + key, or else the file's value for key,
  // into in_value and returns 1; returns 0 and leaves in_value alone when
  // neither has the key. Callers pass the same variable twice.
  int fetch_or_get(const std::string& out_value, std::string& in_value, const std::string& key);
  // The same for an integer, written with "%d" and read as pref_parse_int
  // does; returns whether a value was found (always false in write mode).
  bool int_io(int* value, const std::string& key);
  // int_io for a setting that must lie in lo..hi: a value read outside it
  // becomes 0, with the line "Preferences: <key> <value> is out of range;
  // using 0." in the log, so that a damaged file or a mistyped option cannot
  // hand the program a stream count, language or port it cannot use.
  void int_io_in_range(int* value, const std::string& key, int lo, int hi);

  // Write mode: closes `ouf` and puts the finished file in place of the real
  // one. Returns 1 when the file was written completely, 0 when nothing or
  // not all of it could be written (the earlier file is then kept and the
  // temporary removed; the reason is logged). Read mode, and any later
  // call: 1.
  int close();

  int mode;                                   // 1 write scan, 0 read scan
  std::map<std::string, std::string> values;  // the pairs read; empty in write mode

 private:
  std::string path_;  // the real file
  std::string temp_;  // write mode: the file being written; empty when none is open
};

class pref_class {
 public:
  ~pref_class() {}

  // Reads (dir 0) or writes (dir 1) preferences file `which`:
  //  10  the display settings, "Resources/preferences/Res Halden.prf" in the
  //      current folder;
  //  11  the installer's settings, "Corvane Installer.prf" in the per-user
  //      folder (the home folder + ".corvane/"); without a home folder
  //      nothing is read or written;
  //  12  "Resources/preferences/Cal Corvane.prf": the header only.
  // Any other file number or direction does nothing. On reading, a stream
  // count outside 0..4, a language outside 0..6 or a proxy port number
  // outside 0..65535 becomes 0, with the line "Preferences: <key> <value> is
  // out of range; using 0." in the log.
  void IO_set(int which, int dir);
  // Kept for the framework; does nothing.
  int IO_sta(int, int, std::string);
};

extern pref_class pref;

// Reads (dir 0) or writes (dir 1) the install engine's settings in the
// installer's preferences file (11): the stream count, the action log, the
// proxy and the beta choice, in that order. Defined by the install engine.
void pref_io_installer_settings(scan_class& scan, int dir);

// The path of preferences file `which`; empty for an unknown number and for
// 11 when there is no home folder (asking for it creates the per-user folder).
std::string pref_file_path(int which);

// Parses a whole preferences file held in memory, header included, into
// values (emptied first), reading no byte at or past end. Returns 1 when the
// header is a text header of version 9002, else 0 with values empty.
int pref_parse_file(const char* begin, const char* end, std::map<std::string, std::string>& values);
// Parses the lines after the header into values (a later key replaces an
// earlier one), reading no byte at or past end. CR, LF and NUL end a line;
// the key ends at a blank; blanks before the value are skipped and the rest
// of the line, trailing blanks included, is the value.
void pref_parse_body(const char* begin, const char* end, std::map<std::string, std::string>& values);

// The integer at the start of text as atoi reads it (leading white space, an
// optional sign, decimal digits up to the first other byte; 0 when there are
// none), except that a number out of range gives INT_MAX or INT_MIN.
int pref_parse_int(const std::string& text);
