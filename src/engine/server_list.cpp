// The server list "serverlist9.txt", fetched from the maker's web host:
//   BETA <version folder>        used when stg.get_beta is set
//   FINAL <version folder>       used otherwise
//   SERVER <host>                followed by two lines: the path on the host
//   <path>                       and the label of the server
//   <description>
//   ENDOFLIST
// Up to ten servers are kept. One of them is picked, and "directory.txt.zip"
// is fetched from it (from another one after a failure), checked to hold only
// "directory.txt", unpacked into the temporary folder and read into the file
// table.

#include "engine/server_list.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/archive_check.h"
#include "engine/directory.h"
#include "engine/installer_state.h"
#include "engine/record_scan.h"
#include "engine/web_host.h"
#include "files/archives.h"
#include "files/http.h"
#include "files/io_utils.h"
#include "files/xmap.h"
#include "runtime/alert.h"
#include "runtime/globals.h"
#include "runtime/translate.h"
#include "runtime/xtim.h"

namespace {

using namespace record_scan;

constexpr int kListSlot = 0;       // HTTP slot of the server list
constexpr int kDirectorySlot = 1;  // HTTP slot of the directory archive

// When the server list may be fetched again after it named no usable server.
float list_retry_at = 0.0f;

// A server that the HTTP client can reach: a bare host name and a path from
// the host's root.
bool server_is_usable(const std::string& host, const std::string& path) {
  if (host.empty() || host.back() == '/') return false;
  if (host.find_first_of(" \t/") != std::string::npos) return false;
  return !path.empty() && path[0] == '/';
}

}  // namespace

int pick_server_index(int n) { return server_index_for(n, static_cast<double>(rand()) / 2147483648.0); }

int pick_other_server_index(int n, int avoid) {
  if (n <= 1) return 0;
  if (avoid < 0 || avoid >= n) return pick_server_index(n);
  const int k = pick_server_index(n - 1);
  return k >= avoid ? k + 1 : k;
}

int server_index_for(int n, double r) {
  int index = static_cast<int>(n * std::pow(r, 1.5));
  if (index > n - 1) index = n - 1;
  if (index < 0) index = 0;
  return index;
}

int read_server_list(const char* data, const char* end) {
  stg.num_servers = 0;
  std::string host, path, desc, name;
  const char* p = data;
  skip_white(p, end);
  while (p < end) {
    skip_blanks(p, end);
    if (take_keyword(p, end, "BETA", true)) {
      read_rest(p, end, name);
      if (stg.get_beta) install_name = name;
    } else if (take_keyword(p, end, "FINAL", true)) {
      read_rest(p, end, name);
      if (!stg.get_beta) install_name = name;
    } else if (take_keyword(p, end, "ENDOFLIST", true)) {
      break;
    } else if (take_keyword(p, end, "SERVER", true)) {
      // The host is on the record's own line; the path and the description
      // are the next two lines that are not blank.
      read_rest(p, end, host);
      skip_white(p, end);
      read_rest(p, end, path);
      skip_white(p, end);
      read_rest(p, end, desc);
      if (!server_is_usable(host, path)) {
        xer << "Skipped the update server \"" << host << "\" with the path \"" << path
            << "\": the server list names it wrongly.\n";
      } else if (stg.num_servers < kMaxServers) {
        if (path.back() != '/') path += '/';
        server_name[stg.num_servers] = host;
        server_path[stg.num_servers] = path + install_name + "/";
        server_desc[stg.num_servers] = desc;
        ++stg.num_servers;
      }
    } else {
      skip_to_line_end(p, end);
    }
    skip_white(p, end);
  }
  return stg.num_servers;
}

namespace {

// Failed fetches of the server list, then of the directory, in this search.
int list_failures = 0;
int directory_failures = 0;
// The directory archive's first unpacking failure of a search is shown, the
// later ones only logged: one box tells the user, the end state the rest.
bool unpack_failure_shown = false;
// When the directory may be fetched again after an unusable archive.
float directory_retry_at = 0.0f;
// The last search ended without a directory ("problem reading").
bool search_gave_up = false;

// The search is over without a directory: the screens show that reading
// from the servers failed.
void give_up(const char* why) {
  xer << "Giving up the search for an update server: " << why << ".\n";
  stg.dir_status = 2;
  if (stg.num_servers < 0) stg.num_servers = 0;
  reset_directory_search();
  search_gave_up = true;
}

// A file of the search could not be written into the temporary folder: no
// server can help with that.
void local_failure(const std::string& file, int err) {
  __MACIBM_alert(0, UTL_translate_string("The installer cannot save the information it downloads."),
                 UTL_translate_string("Folder: ") + folder_part(file),
                 UTL_translate_string("Error: ") + error_str(err),
                 UTL_translate_string("Please make room or fix the folder's permissions, then try again."), t_alert,
                 "utils", __LINE__);
  give_up("the temporary folder cannot be written");
}

// The server list could not be used; fetched again after a pause, a
// bounded number of times.
void list_failed(const std::string& why) {
  ++list_failures;
  xer << "The server list " << why << " (try " << list_failures << " of " << kMaxFetchTries << ").\n";
  stg.num_servers = -1;
  list_retry_at = xtim.elapsed + kServerListRetryPause;
  if (list_failures >= kMaxFetchTries) give_up("no usable server list");
}

// The directory could not be had from the chosen server: another server
// (when there is one), after a pause, a bounded number of times.
void directory_failed(const std::string& why) {
  ++directory_failures;
  xer << "The directory from " << server_name[stg.server_index] << " " << why << " (try " << directory_failures
      << " of " << kMaxFetchTries << ").\n";
  if (stg.num_servers > 1) {
    // Uniformly among the others.
    int k = int_rand(0, stg.num_servers - 2);
    if (k >= stg.server_index) ++k;
    stg.server_index = k;
  }
  directory_retry_at = xtim.elapsed + kServerListRetryPause;
  if (directory_failures >= kMaxFetchTries) give_up("no usable directory");
}

// The version of the shared text header that the data begins with: a line
// holding only "I" or "A", then a line "<number> version". 0 when it does
// not begin so (an error page, an empty answer).
int text_header_version(const char* p, const char* end) {
  skip_white(p, end);
  if (p >= end || (*p != 'I' && *p != 'A')) return 0;
  ++p;
  skip_blanks(p, end);
  if (p < end && !is_line_end(*p)) return 0;
  skip_white(p, end);
  const char* digits = p;
  int version = 0;
  while (p < end && *p >= '0' && *p <= '9' && p - digits < 9) version = version * 10 + (*p++ - '0');
  if (p == digits) return 0;
  skip_blanks(p, end);
  return end - p >= 7 && std::memcmp(p, "version", 7) == 0 ? version : 0;
}

// Unpacking failures with a positive errno other than a refusal's EPERM
// come from writing into the temporary folder.
bool is_local_error(int code) { return code > 0 && code < err_zip_open && code != EPERM; }

}  // namespace

void reset_directory_search() {
  list_failures = 0;
  directory_failures = 0;
  unpack_failure_shown = false;
  list_retry_at = 0.0f;
  directory_retry_at = 0.0f;
  search_gave_up = false;
}

bool restart_failed_directory_search() {
  if (!search_gave_up || stg.dir_status != 2) return false;
  xer << "Searching for an update server again.\n";
  reset_directory_search();
  stg.num_servers = -1;
  stg.server_index = 0;
  stg.dir_status = 0;
  return true;
}

void UTL_download_directory() {
  if (stg.num_servers == -1) {
    if (xtim.elapsed < list_retry_at && list_retry_at - xtim.elapsed <= kServerListRetryPause) return;
    const std::string list_path = temp_path + "serverlist9.txt";
    const int result = http.net_check(kListSlot, kMakerHost, "/serverlist9.txt", list_path, kServerListMaxBytes);
    if (result == 0) return;
    if (result == 2) {
      if (const int err = http.local_error(kListSlot))
        local_failure(list_path, err);
      else
        list_failed("could not be fetched");
      return;
    }

    xmap_class list(list_path);
    static const int kVersions[] = {820, 0};
    if (list.start == nullptr) {
      list_failed("could not be read");
      return;
    }
    if (!list.check_file(header_text, kVersions, "SERVERS", nullptr)) {
      // A list of a version this installer does not know asks for a newer
      // installer; an answer that is no server list at all (no header, or
      // one of this version for another kind of file) is a failed fetch.
      const int version = text_header_version(list.start, list.end);
      if (version != 0 && version != kVersions[0]) {
        new_format(list_path);
      } else {
        list_failed("that came is no server list");
      }
      return;
    }
    // A list that is not used leaves the version's name as it was.
    const std::string name_before = install_name;
    if (read_server_list(list.cursor, list.end) == 0) {
      install_name = name_before;
      list_failed("names no usable update server");
      return;
    }
    if (install_name.empty()) {
      // The servers' paths would lack the version's folder.
      install_name = name_before;
      list_failed("names no version");
      return;
    }
    list_failures = 0;
    stg.server_index = pick_server_index(stg.num_servers);
    return;
  }

  if (stg.dir_status == 0) {
    if (xtim.elapsed < directory_retry_at && directory_retry_at - xtim.elapsed <= kServerListRetryPause) return;
    if (stg.server_index < 0 || stg.server_index >= stg.num_servers) stg.server_index = 0;
    const std::string archive = temp_path + "directory.txt.zip";
    const int result = http.net_check(kDirectorySlot, server_name[stg.server_index],
                                      server_path[stg.server_index] + "directory.txt.zip", archive,
                                      kDirectoryMaxBytes);
    if (result == 0) return;
    if (result == 2) {
      if (const int err = http.local_error(kDirectorySlot)) {
        local_failure(archive, err);
      } else {
        delete_file(archive);  // whatever part of an answer came
        directory_failed("could not be fetched");
      }
      return;
    }
    // The archive must hold the directory file and nothing else: anything
    // more would be written into the temporary folder beside it. A file
    // larger than any directory is not written out in full either: the
    // archive counts as damaged.
    int err = check_single_entry(archive, "directory.txt");
    unpack_check cap;
    cap.max_bytes = kDirectoryMaxBytes;
    std::string name = "directory.txt";  // whatever the letter case of the entry
    if (err == 0) err = zip_to_file(archive, temp_path, &name, 1, &cap);
    delete_file(archive);
    if (err == 0) {
      directory_failures = 0;
      unpack_failure_shown = false;
      stg.dir_status = 1;
    } else if (is_local_error(err)) {
      local_failure(temp_path + "directory.txt", err);
    } else {
      if (!unpack_failure_shown) {
        unpack_failure_shown = true;
        MACIBM_alert(0, UTL_translate_string("The installer cannot extract a file."),
                     UTL_translate_string("Error: ") + error_str(err),
                     UTL_translate_string("Compressed File/") + archive,
                     UTL_translate_string("Destination Path/") + temp_path, t_alert);
      }
      directory_failed("cannot be unpacked: " + error_str(err));
    }
    return;
  }

  if (stg.dir_status == 1) stg.dir_status = read_directory(temp_path + "directory.txt");
}
