// Fuzzes the directory file reader with arbitrary bytes as "directory.txt".
//
// The input is written to a file in a private temporary folder, mapped and
// header-checked as the installer does it. The body (the whole input when
// the header is refused, so the record parser sees every input) is then
// copied into a heap buffer of exactly its size and handed to
// parse_directory, so AddressSanitizer catches any read past the end. The
// parser reports a path without a file as a result code instead of the fatal
// alert read_directory raises for it, so no input ends the process for a
// valid reason. The folder is removed at exit.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "engine/directory.h"
#include "engine/installer_state.h"
#include "files/xmap.h"

namespace {

std::string g_folder;  // private temporary folder, ends in "/"
std::string g_file;    // the directory file in it

void remove_folder() {
  if (g_file.empty()) return;
  unlink(g_file.c_str());
  rmdir(g_folder.c_str());
}

// Writes a new file each time: truncating the old one instead would make
// some file systems flush it to disk on close, which slows every run.
bool write_all(const std::string& path, const std::uint8_t* data, std::size_t size) {
  unlink(path.c_str());
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return close(fd) == 0 && done == size;
}

// What the reader promises about the table it builds.
void check_table() {
  int scenery = 0;
  int sim = 0;
  for (const file_history_struct& h : sim_info) {
    if (h.versions.empty()) abort();
    for (const file_version_struct& v : h.versions) {
      if (v.path != h.versions.front().path) abort();
      if (v.path.empty() || v.path.back() == '/' || v.path[0] == '/') abort();
      for (std::size_t b = 0; b <= v.path.size();) {
        std::size_t e = v.path.find('/', b);
        if (e == std::string::npos) e = v.path.size();
        const std::string part = v.path.substr(b, e - b);
        if (part == "." || part == "..") abort();
        b = e + 1;
      }
      if (v.platform < 0 || v.platform > 6) abort();
    }
    const file_version_struct& v = h.versions.back();
    if (v.is_global_scenery) {
      if (v.lon_col < 0 || v.lon_col >= kTileCols || v.lat_row < 0 || v.lat_row >= kTileRows) abort();
      if (!stg.tile_avail[v.lon_col][v.lat_row]) abort();
      ++scenery;
    } else {
      ++sim;
    }
  }
  if (stg.has_scenery != (scenery > 0 ? 1 : 0) || stg.has_sim != (sim > 0 ? 1 : 0)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char tmpl[] = "/tmp/corvane-directory-fuzz-XXXXXX";
  if (!mkdtemp(tmpl)) abort();
  g_folder = std::string(tmpl) + "/";
  g_file = g_folder + "directory.txt";
  atexit(remove_folder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!write_all(g_file, data, size)) abort();

  std::size_t body = 0;
  {
    xmap_class file(g_file);
    if (!file.start) abort();
    if (static_cast<std::size_t>(file.end - file.start) != size) abort();
    static const int kVersions[] = {840, 900, 0};
    if (file.check_file(header_text, kVersions, "INSTALLER", nullptr)) {
      if (file.cursor < file.start || file.cursor > file.end) abort();
      body = static_cast<std::size_t>(file.cursor - file.start);
    }
  }

  const std::size_t n = size - body;
  std::unique_ptr<char[]> buf(new char[n]);
  if (n) std::memcpy(buf.get(), data + body, n);
  std::string bad_path;
  const int result = parse_directory(buf.get(), buf.get() + n, &bad_path);
  if (result == directory_path_no_file) {
    if (bad_path.empty() || bad_path.back() != '/' || !sim_info.empty()) abort();
  } else if (result == directory_parsed) {
    check_table();
  } else {
    abort();
  }
  return 0;
}
