// Fuzzes the zip unpacking with arbitrary bytes as an archive.
//
// The input is written as "in.zip" to a private temporary folder and
// unpacked twice into a fresh folder "out/" beside it: as the installs do
// (the first entry under a name of its own, every file checked for a size
// limit and a signature, so that entries of more than the unpacking's ring,
// which deflate to a few bytes, are hashed and written on its helper
// thread), and plainly. Afterwards nothing but "in.zip" and "out" may be in
// the folder (nothing written outside the output folder), no temporary file
// may be left in "out" (failures remove theirs), and, checked, no plain
// file may be in place: the signature wanted is no file's. The folder is
// removed at exit.
//
// Seeds: fuzz/make_zip_corpus.py FOLDER writes a few small archives.

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "files/archives.h"
#include "files/io_utils.h"
#include "files/temp_folder.h"

namespace {

std::string g_folder;   // private temporary folder, ends in "/"
std::string g_archive;  // the input in it
std::string g_out;      // the output folder in it, ends in "/"

int remove_one(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

// Removes the folder's contents (links are not followed), keeping the folder.
void empty_folder(const std::string& folder) {
  nftw(folder.c_str(), remove_one, 16, FTW_DEPTH | FTW_PHYS);
  if (mkdir(folder.c_str(), 0700) != 0) abort();
}

void remove_folder() {
  if (g_folder.empty()) return;
  nftw(g_folder.c_str(), remove_one, 16, FTW_DEPTH | FTW_PHYS);
}

bool write_all_to(const std::string& path, const std::uint8_t* data, std::size_t size) {
  unlink(path.c_str());
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  const bool written = write_all(fd, reinterpret_cast<const char*>(data), size) == 0;
  return close(fd) == 0 && written;
}

// Visits every name below folder (not following links).
template <typename Visit>
void each_name(const std::string& folder, Visit visit) {
  DIR* d = opendir(folder.c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    visit(folder, name);
    struct stat st;
    if (lstat((folder + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) each_name(folder + name + "/", visit);
  }
  closedir(d);
}

// no_files: no plain file may have been put in place.
void check_folders(bool no_files) {
  each_name(g_folder, [](const std::string& folder, const std::string& name) {
    if (folder == g_folder && name != "in.zip" && name != "out") abort();
  });
  each_name(g_out, [no_files](const std::string& folder, const std::string& name) {
    if (is_temp_beside_name(name)) abort();
    struct stat st;
    if (no_files && lstat((folder + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) abort();
  });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char tmpl[] = "/tmp/corvane-zip-fuzz-XXXXXX";
  if (!mkdtemp(tmpl)) abort();
  g_folder = std::string(tmpl) + "/";
  g_archive = g_folder + "in.zip";
  g_out = g_folder + "out/";
  atexit(remove_folder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!write_all_to(g_archive, data, size)) abort();

  // As the installs unpack: the first entry as "f", checked. No file has
  // the signature wanted, so none may take its place.
  empty_folder(g_out);
  unpack_check check;
  check.want_md5 = "00000000000000000000000000000000";
  check.max_bytes = 4 << 20;
  std::string name = "f";
  const int rc = zip_to_file(g_archive, g_out, &name, 1, &check);
  if (check.found_bytes < 0) abort();
  (void)rc;
  check_folders(true);

  // Plainly, every entry under its own name.
  empty_folder(g_out);
  zip_to_file(g_archive, g_out, nullptr, 0);
  check_folders(false);
  return 0;
}
