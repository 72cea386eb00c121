#include "engine/archive_check.h"

#include <archive.h>
#include <archive_entry.h>
#include <minizip/unzip.h>

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <vector>

#include "engine/installer_state.h"
#include "files/archives.h"
#include "files/io_utils.h"
#include "runtime/globals.h"

namespace {

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Equal apart from the letter case of ASCII letters; other bytes compare
// exactly.
bool same_ignoring_ascii_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  return true;
}

// Lists what a zip archive would write: every entry but the "__MACOSX"
// ones that the unpacking skips. is_plain tells whether each is a plain
// file (not a folder, not a link). 0, or the code of a failure to read the
// archive's catalogue.
int list_zip(const std::string& archive, std::vector<std::string>& names, std::vector<bool>& is_plain) {
  unzFile uf = open_zip_for_reading(app_path + archive);
  if (!uf) return err_zip_open;
  int err = unzGoToFirstFile(uf);
  while (err == UNZ_OK) {
    unz_file_info64 info;
    std::string entry;
    err = read_zip_entry(uf, &info, &entry);
    if (err != UNZ_OK) break;
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
  p7z_reader reader(archive);
  int code = reader.code() == 0 ? 0 : err_zip_open;
  while (code == 0) {
    struct archive_entry* e = nullptr;
    const int r = archive_read_next_header(reader.get(), &e);
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
  return code;
}

}  // namespace

int check_single_entry(const std::string& archive, const std::string& name, std::string* refusal) {
  std::vector<std::string> names;
  std::vector<bool> is_plain;
  const int code = ends_with(archive, ".7z") ? list_7z(archive, names, is_plain) : list_zip(archive, names, is_plain);
  if (code != 0) return code;
  // Archives made on systems that do not tell letter case apart may spell
  // the name otherwise; the unpacking writes it under the name asked for.
  if (names.size() == 1 && is_plain[0] && same_ignoring_ascii_case(names[0], name)) return 0;
  std::string line = "Refused to unpack " + archive + ": it should hold only the file \"" + name + "\" but holds " +
                     std::to_string(names.size()) + " entries";
  for (std::size_t i = 0; i < names.size() && i < 5; ++i)
    line += (i ? ", \"" : ": \"") + names[i] + "\"" + (is_plain[i] ? "" : " (no plain file)");
  line += ".\n";
  if (refusal)
    *refusal = line;
  else
    xer << line;
  return err_not_the_file;
}

std::int64_t max_bytes_for_kb(float unpacked_kb) {
  const double kb = unpacked_kb > 0.0f ? std::floor(static_cast<double>(unpacked_kb)) : 0.0;
  return (static_cast<std::int64_t>(kb) + 1) * 1024;
}

void expect_version(unpack_check& check, const file_version_struct& want) {
  check.want_md5 = want.sig_want;
  check.max_bytes = max_bytes_for_kb(want.unpacked_kb);
}

int unpack_single_file(const std::string& archive, const std::string& destination, std::string* refusal,
                       unpack_check* check) {
  const std::string file_name = last_component(destination);
  int code = check_single_entry(archive, file_name, refusal);
  if (code != 0) return code;
  const std::string folder = folder_part(destination);
  // The one file is written under the destination's own name, whatever the
  // letter case of its entry.
  std::string name = file_name;
  code = ends_with(archive, ".7z") ? p7z_to_file(archive, folder, &name, 1, check)
                                   : zip_to_file(archive, folder, &name, 1, check);
  if (check && (code == err_too_large || code == err_wrong_signature)) {
    std::string line = "Did not install " + destination + " from " + archive + ": ";
    if (code == err_too_large)
      line += "it is larger than the " + std::to_string(check->max_bytes) + " bytes the directory allows (" +
              std::to_string(check->found_bytes) + " bytes or more)";
    else
      line += "its signature is " + check->found_md5 + ", the directory wants " + check->want_md5;
    line += ". The file there before stays.\n";
    if (refusal)
      *refusal += line;
    else
      xer << line;
  }
  return code;
}
