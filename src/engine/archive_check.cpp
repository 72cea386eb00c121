#include "engine/archive_check.h"

#include <archive.h>
#include <archive_entry.h>
#include <minizip/unzip.h>

#include <cerrno>
#include <cstddef>
#include <vector>

#include "files/archives.h"
#include "files/io_utils.h"
#include "runtime/globals.h"

namespace {

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Lists what a zip archive would write: every entry but the "__MACOSX"
// ones that the unpacking skips. is_plain tells whether each is a plain
// file (not a folder, not a link). 0, or the code of a failure to read the
// archive's catalogue.
int list_zip(const std::string& archive, std::vector<std::string>& names, std::vector<bool>& is_plain) {
  unzFile uf = unzOpen64((app_path + archive).c_str());
  if (!uf) return err_zip_open;
  int err = unzGoToFirstFile(uf);
  std::vector<char> name_buf;
  while (err == UNZ_OK) {
    unz_file_info64 info;
    err = unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0);
    if (err != UNZ_OK) break;
    name_buf.assign(info.size_filename + 1, '\0');
    err = unzGetCurrentFileInfo64(uf, &info, name_buf.data(), name_buf.size(), nullptr, 0, nullptr, 0);
    if (err != UNZ_OK) break;
    name_buf.back() = '\0';
    const std::string entry(name_buf.data());
    if (entry.compare(0, 8, "__MACOSX") != 0) {
      const bool folder = !entry.empty() && entry.back() == '/';
      const bool link = ((info.external_fa >> 16) & 0xA000) == 0xA000;
      names.push_back(entry);
      is_plain.push_back(!folder && !link);
    }
    err = unzGoToNextFile(uf);
  }
  unzClose(uf);
  return err == UNZ_END_OF_LIST_OF_FILE ? 0 : err;
}

// The same for a 7z archive: only plain files are written by its unpacking
// (folders make nothing, links are skipped), so only they are listed.
int list_7z(const std::string& archive, std::vector<std::string>& names, std::vector<bool>& is_plain) {
  struct archive* a = archive_read_new();
  if (!a) return ENOMEM;
  int code = 0;
  if (archive_read_support_format_7zip(a) != ARCHIVE_OK ||
      archive_read_open_filename(a, archive.c_str(), 65536) != ARCHIVE_OK) {
    code = err_zip_open;
  }
  while (code == 0) {
    struct archive_entry* e = nullptr;
    const int r = archive_read_next_header(a, &e);
    if (r == ARCHIVE_EOF) break;
    if (r != ARCHIVE_OK) {
      code = err_zip_read;
      break;
    }
    if (archive_entry_filetype(e) != AE_IFREG) continue;
    const char* path = archive_entry_pathname(e);
    names.push_back(path ? path : "");
    is_plain.push_back(true);
  }
  archive_read_free(a);
  return code;
}

}  // namespace

int check_single_entry(const std::string& archive, const std::string& name, std::string* refusal) {
  std::vector<std::string> names;
  std::vector<bool> is_plain;
  const int code = ends_with(archive, ".7z") ? list_7z(archive, names, is_plain) : list_zip(archive, names, is_plain);
  if (code != 0) return code;
  if (names.size() == 1 && is_plain[0] && names[0] == name) return 0;
  std::string line = "Refused to unpack " + archive + ": it should hold only the file \"" + name + "\" but holds " +
                     std::to_string(names.size()) + " entries";
  for (std::size_t i = 0; i < names.size() && i < 5; ++i)
    line += (i ? ", \"" : ": \"") + names[i] + "\"" + (is_plain[i] ? "" : " (no plain file)");
  line += ".\n";
  if (refusal)
    *refusal = line;
  else
    xer << line;
  return EPERM;
}

int unpack_single_file(const std::string& archive, const std::string& destination, std::string* refusal) {
  const int code = check_single_entry(archive, last_component(destination), refusal);
  if (code != 0) return code;
  const std::string folder = folder_part(destination);
  return ends_with(archive, ".7z") ? p7z_to_file(archive, folder, nullptr, 0)
                                   : zip_to_file(archive, folder, nullptr, 0);
}
