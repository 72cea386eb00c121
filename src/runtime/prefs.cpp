#include "runtime/prefs.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "runtime/cmdline.h"
#include "runtime/file_calls.h"
#include "runtime/globals.h"
#include "runtime/mnw.h"
#include "runtime/text_chars.h"
#include "runtime/xmap.h"

pref_class pref;

namespace {

constexpr int kPrefsVersion = 9002;
const char kInstallerPrefs[] = "Corvane Installer.prf";
const char kDisplayPrefs[] = "Resources/preferences/Res Halden.prf";
const char kCalPrefs[] = "Resources/preferences/Cal Corvane.prf";

using text_chars::is_blank;
using text_chars::is_gap;
using text_chars::is_line_end;

// A value as it can stand on one line: CR, LF and NUL would end the line
// early and let the rest of the value read as a line of its own.
std::string one_line(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value)
    if (!is_line_end(c)) out += c;
  return out;
}

}  // namespace

int pref_parse_int(const std::string& text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  // The magnitude stops growing once it is past every int, so it cannot
  // overflow however many digits follow.
  constexpr long long kPastInt = 1LL << 31;
  long long magnitude = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p)
    if (magnitude <= kPastInt) magnitude = magnitude * 10 + (*p - '0');
  if (negative) return magnitude >= kPastInt ? INT_MIN : static_cast<int>(-magnitude);
  return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

void pref_parse_body(const char* begin, const char* end, std::map<std::string, std::string>& values) {
  // The data has no terminating NUL: every step is bounded by end.
  const char* p = begin;
  if (!p) return;
  while (p < end && is_gap(*p)) ++p;
  while (p < end) {
    while (p < end && is_blank(*p)) ++p;
    const char* const key = p;
    while (p < end && !is_gap(*p)) ++p;
    const char* const key_end = p;
    while (p < end && is_blank(*p)) ++p;
    const char* const value = p;
    while (p < end && !is_line_end(*p)) ++p;
    const char* const value_end = p;
    while (p < end && is_gap(*p)) ++p;
    values[std::string(key, key_end)] = std::string(value, value_end);
  }
}

int pref_parse_file(const char* begin, const char* end, std::map<std::string, std::string>& values) {
  values.clear();
  xmap_class file("");
  file.view(begin, begin ? end - begin : 0);
  static const int versions[] = {kPrefsVersion, 0};
  if (file.check_file(header_text, versions, nullptr, nullptr) == 0) return 0;
  pref_parse_body(file.cursor, file.end, values);
  return 1;
}

scan_class::scan_class(const std::string& path, int m) : mode(m), path_(path) {
  if (path.empty()) return;
  if (mode == 0) {
    xmap_class file(path);
    if (file.start) pref_parse_file(file.start, file.end, values);
    return;
  }
  if (mode != 1) return;

  // ouf_open creates the file it is given: give it a name of this process's
  // own beside the real file, which stays untouched until the new one is
  // complete. (The name ends in lower case, which ouf_open keeps.)
  const std::string temp = path + "." + std::to_string(getpid()) + ".tmp";
  if (ouf_open(temp, header_text, kPrefsVersion, "no-copyright-string")) {
    temp_ = temp;
  } else {
    // ouf_open has warned; whatever it managed to create goes.
    unlink((app_path + temp).c_str());
    xer << "Preferences not saved to " << path << ": the file could not be created.\n";
  }
}

scan_class::~scan_class() { close(); }

int scan_class::close() {
  if (temp_.empty()) return 1;
  const std::string temp = app_path + temp_;
  const std::string real = app_path + path_;
  temp_.clear();

  // close() flushes what is still buffered; a failed write or close leaves
  // the stream failed.
  ouf.close();
  int err = ouf.fail() ? EIO : 0;
  if (!err && rename(temp.c_str(), real.c_str()) != 0) err = errno;
  if (!err) return 1;

  unlink(temp.c_str());
  xer << "Preferences not saved to " << real << " (" << error_str(err)
      << "): the earlier file is kept.\n";
  return 0;
}

int scan_class::fetch_or_get(const std::string& out_value, std::string& in_value, const std::string& key) {
  if (mode == 1) {
    if (!temp_.empty()) ouf << key << ' ' << one_line(out_value) << '\n';
    return 0;
  }
  const std::string option = "--pref:" + key;
  if (cmdline.has_option(option.c_str())) {
    in_value = cmdline.get_option(option.c_str());
    return 1;
  }
  const auto found = values.find(key);
  if (found == values.end()) return 0;
  in_value = found->second;
  return 1;
}

bool scan_class::int_io(int* value, const std::string& key) {
  if (mode == 1) {
    std::string text = std::to_string(*value);
    fetch_or_get(text, text, key);
    return false;
  }
  std::string text;
  if (!fetch_or_get(text, text, key)) return false;
  *value = pref_parse_int(text);
  return true;
}

void scan_class::int_io_in_range(int* value, const std::string& key, int lo, int hi) {
  if (!int_io(value, key)) return;
  if (*value >= lo && *value <= hi) return;
  xer << "Preferences: " << key << ' ' << *value << " is out of range; using 0.\n";
  *value = 0;
}

std::string pref_file_path(int which) {
  switch (which) {
    case 10:
      return kDisplayPrefs;
    case 11: {
      // Stays empty without a home folder: the preferences are then neither
      // read from nor written to the current folder.
      std::string folder;
      get_OS_abs_path(os_dir_prefs, folder);
      return folder.empty() ? folder : folder + kInstallerPrefs;
    }
    case 12:
      return kCalPrefs;
    default:
      return std::string();
  }
}

void pref_class::IO_set(int which, int dir) {
  if (dir != 0 && dir != 1) return;
  if (which != 10 && which != 11 && which != 12) return;

  const std::string path = pref_file_path(which);
  if (path.empty()) {
    if (dir == 1) xer << "Preferences not saved: there is no home folder (HOME is not set).\n";
    return;
  }

  scan_class scan(path, dir);

  if (which == 11) {
    pref_io_installer_settings(scan, dir);
    scan.int_io_in_range(&mnw.lang, "_lang", 0, 6);
  }

  if (which == 10) {
    // The requested sizes for the other screen layouts are only carried from
    // file to file; they live as long as the process.
    static int x_res_req_pln = 0, y_res_req_pln = 0;
    static int x_res_req_wrl = 0, y_res_req_wrl = 0;
    static int x_res_req_all = 0, y_res_req_all = 0;
    // Carried too: the window state has no place for them in this program.
    static int keylist_up = 0, prefs_found = 0;

    if (dir == 1) {
      x_res_req_all = mnw.x_res_req;
      y_res_req_all = mnw.y_res_req;
      prefs_found = 1;
    }
    scan.int_io(&x_res_req_pln, "_x_res_req_PLN");
    scan.int_io(&y_res_req_pln, "_y_res_req_PLN");
    scan.int_io(&x_res_req_wrl, "_x_res_req_WRL");
    scan.int_io(&y_res_req_wrl, "_y_res_req_WRL");
    scan.int_io(&x_res_req_all, "_x_res_req_ALL");
    scan.int_io(&y_res_req_all, "_y_res_req_ALL");
    if (dir == 0) {
      mnw.x_res_req = x_res_req_all;
      mnw.y_res_req = y_res_req_all;
    }
    scan.int_io(&mnw.col_res_req, "_col_res_req");
    scan.int_io(&mnw.set_res, "_set_res");
    scan.int_io_in_range(&mnw.lang, "_lang", 0, 6);
    scan.int_io(&mnw.alias_req, "_alias_req");
    scan.int_io(&keylist_up, "_keylist_up");
    scan.int_io(&mnw.sec_mon_inuse, "_sec_mon_inuse");
    scan.int_io(&prefs_found, "_prefs_found");
    if (mnw.x_res_req < 600 || mnw.x_res_req > 9999) mnw.x_res_req = 1024;
    if (mnw.y_res_req < 600 || mnw.y_res_req > 9999) mnw.y_res_req = 768;
  }

  scan.close();
}

int pref_class::IO_sta(int, int, std::string) { return 0; }
