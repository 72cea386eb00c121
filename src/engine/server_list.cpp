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

#include <cmath>
#include <cstdlib>

#include "engine/archive_check.h"
#include "engine/directory.h"
#include "engine/installer_state.h"
#include "engine/record_scan.h"
#include "engine/web_host.h"
#include "files/archives.h"
#include "files/http.h"
#include "files/io_utils.h"
#include "files/xmap.h"
#include "runtime/globals.h"
#include "runtime/translate.h"
#include "runtime/xtim.h"
#include "ui/alert.h"

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

void UTL_download_directory() {
  if (stg.num_servers == -1) {
    if (xtim.elapsed < list_retry_at) return;
    const std::string list_path = temp_path + "serverlist9.txt";
    if (http.net_check(kListSlot, kMakerHost, "/serverlist9.txt", list_path) != 1) return;

    xmap_class list(list_path);
    static const int kVersions[] = {820, 0};
    if (list.start == nullptr || !list.check_file(header_text, kVersions, "SERVERS", nullptr)) {
      new_format(list_path);
      return;
    }
    if (read_server_list(list.cursor, list.end) == 0) {
      // Nothing to fetch from: treat it like a failed fetch of the list and
      // try again shortly.
      xer << "The server list names no update server; fetching it again.\n";
      stg.num_servers = -1;
      list_retry_at = xtim.elapsed + kServerListRetryPause;
      return;
    }
    stg.server_index = pick_server_index(stg.num_servers);
    return;
  }

  if (stg.dir_status == 0) {
    if (stg.server_index < 0 || stg.server_index >= stg.num_servers) stg.server_index = 0;
    const std::string archive = temp_path + "directory.txt.zip";
    const int result = http.net_check(kDirectorySlot, server_name[stg.server_index],
                                      server_path[stg.server_index] + "directory.txt.zip", archive);
    if (result == 0) return;
    if (result == 2) {
      stg.server_index = int_rand(0, stg.num_servers - 1);
      return;
    }
    // The archive must hold the directory file and nothing else: anything
    // more would be written into the temporary folder beside it.
    int err = check_single_entry(archive, "directory.txt");
    if (err == 0) err = zip_to_file(archive, temp_path, nullptr, 0);
    if (err == 0) {
      stg.dir_status = 1;
    } else {
      MACIBM_alert(0, UTL_translate_string("The installer cannot extract a file."),
                   UTL_translate_string("Error: ") + error_str(err),
                   UTL_translate_string("Compressed File/") + archive,
                   UTL_translate_string("Destination Path/") + temp_path, t_alert);
    }
    delete_file(archive);
    return;
  }

  if (stg.dir_status == 1) stg.dir_status = read_directory(temp_path + "directory.txt");
}
