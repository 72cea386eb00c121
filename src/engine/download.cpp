#include "engine/download.h"

#include <archive.h>
#include <archive_entry.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "engine/server_list.h"
#include "files/archives.h"
#include "files/folder_list.h"
#include "files/http.h"
#include "files/io_utils.h"
#include "runtime/globals.h"
#include "runtime/translate.h"
#include "runtime/xtim.h"
#include "ui/alert.h"

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

// The archive of one file must hold that file under its own name and
// nothing else: an entry with another name would be written over some
// other file of the folder (perhaps one of the user's), a folder or a link
// entry would put something other than the file in its place, and an
// archive without the file would leave it missing while counting it as
// installed. 0 when the archive is sound; EPERM when it is not, with a log
// line; a code of the archive reader when its catalogue cannot be read.
int check_single_entry(const std::string& archive, const std::string& name) {
  std::vector<std::string> names;
  std::vector<bool> is_plain;
  const int code = ends_with(archive, ".7z") ? list_7z(archive, names, is_plain) : list_zip(archive, names, is_plain);
  if (code != 0) return code;
  if (names.size() == 1 && is_plain[0] && names[0] == name) return 0;
  xer << "Refused to unpack " << archive << ": it should hold only the file \"" << name << "\" but holds "
      << names.size() << " entries";
  for (std::size_t i = 0; i < names.size() && i < 5; ++i)
    xer << (i ? ", \"" : ": \"") << names[i] << "\"" << (is_plain[i] ? "" : " (no plain file)");
  xer << ".\n";
  return EPERM;
}

// The number of slots switched on.
int active_streams() {
  int n = 0;
  for (int s = 0; s < kStreams; ++s)
    if (next.slot_active[s]) ++n;
  return n;
}

// After stream s has finished a file: adapt the number of streams to the
// target and let s take another file unless it is switched off.
void stream_rule(int s) {
  const double since = std::max(static_cast<double>(xtim.elapsed) - next.start_time, 1.0);
  const double rate = (static_cast<double>(next.kb_downloaded) + next.kb_partial) / since;
  const int target = stg.stream_count != 0 ? stg.stream_count : streams_for_rate(rate);
  const int active = active_streams();
  if (active < target) {
    for (int t = 0; t < kStreams; ++t) {
      if (!next.slot_active[t]) {
        next.slot_active[t] = 1;
        next.slot_wants_file[t] = 1;
        break;
      }
    }
  }
  if (active > target)
    next.slot_active[s] = 0;
  else
    next.slot_wants_file[s] = 1;
}

// Remembers every folder between a deleted file and the install folder, so
// that the ones left empty are removed at the end of the run.
void remember_folders(const std::string& local) {
  std::string folder = folder_part(local);
  while (folder.size() > dest_dir_path.size() && folder.compare(0, dest_dir_path.size(), dest_dir_path) == 0) {
    deleted_files.insert(folder);
    folder.pop_back();
    folder = folder_part(folder);
  }
}

// Removes the remembered folders that list no entry, deepest first. Only
// folders inside the install folder are ever touched, and a folder that is
// not empty is never removed (names beginning with '.' are not listed, but
// the removal of a folder that holds them fails).
void remove_empty_folders() {
  std::vector<std::string> names;
  std::vector<int> types;
  for (auto it = deleted_files.rbegin(); it != deleted_files.rend(); ++it) {
    const std::string& folder = *it;
    if (dest_dir_path.empty() || folder.size() <= dest_dir_path.size() ||
        folder.compare(0, dest_dir_path.size(), dest_dir_path) != 0 || folder.back() != '/')
      continue;
    names.clear();
    types.clear();
    if (opensave_getitems(folder, 0, names, types) != 0) continue;
    const int code = delete_file(folder);
    if (stg.log_actions) xer << "cleanup: DELETING  file " << folder << ", with result=" << code << ".\n";
  }
}

// One step of stream s on file i.
void file_step(int s, int i) {
  file_version_struct& v = current_version(i);
  std::string rel = v.path;
  trim_dest_folder(rel);
  const std::string local = dest_dir_path + rel;
  int server = stg.server_index;
  if (server < 0 || server >= kMaxServers || (stg.num_servers > 0 && server >= stg.num_servers)) server = 0;
  const std::string request = server_path[server] + v.path + ".zip";
  const std::string& host = server_name[server];
  const std::string archive = stream_archive(s);

  next.slot_wants_file[s] = 0;
  crnt_file_name = last_component(request);
  crnt_file_path = request;

  if (!v.path.empty() && v.path.back() == '/') {
    __MACIBM_alert(0, "I am working through the list and found a path that has no file!",
                   "This is impossible to download or delete!", "It is:", v.path, t_exit, "utils", __LINE__);
  }

  bool finished = false;
  if (v.do_delete) {
    stg.file_action = action_deleting;
    const int code = delete_file(local);
    // A deletion that failed for a reason other than the file being gone
    // already is always worth a line in the log.
    if (stg.log_actions || (code != 0 && code != ENOENT))
      xer << "now we want to nuke a file: DELETING  file " << local << ", with result=" << code << ".\n";
    remember_folders(local);
    if (show_del_err(code)) {
      __MACIBM_alert(0, UTL_translate_string("Could not delete a file that I no longer want to have!"),
                     error_str(code), local, "", t_exit, "utils", __LINE__);
    }
    finished = true;
  } else if (v.do_install) {
    stg.file_action = action_installing;
    const int http_slot = s + kFirstStreamHttp;
    switch (http.net_check(http_slot, host, request, archive)) {
      case 0: {
        const int64_t length = http.content_length(http_slot);
        if (!http.slots[http_slot])
          stg.file_fraction = 0.0f;
        else if (length <= 0)
          stg.file_fraction = -0.01f;
        else
          stg.file_fraction = static_cast<float>(static_cast<double>(http.written(http_slot)) /
                                                 static_cast<double>(length));
        next.kb_partial += stg.file_fraction * v.size_kb;
        break;
      }
      case 1: {
        stg.download_failed = 0;
        const int code = extract_and_delete_file(archive, local);
        next.kb_downloaded += v.size_kb;
        if (code == 0) {
          v.is_current = 1;
          next.kb_installed += v.unpacked_kb;
        } else {
          v.is_current = 0;
        }
        finished = true;
        break;
      }
      case 2:
        // Only this stream asks again for its own file, from another
        // server; the other streams go on with theirs.
        stg.download_failed = 1;
        if (stg.num_servers >= 1) stg.server_index = pick_server_index(stg.num_servers);
        break;
      default: break;
    }
  } else {
    stg.file_action = v.is_current ? action_current : action_not_needed;
    finished = true;
  }
  if (finished) stream_rule(s);
}

}  // namespace

std::string last_component(const std::string& path) {
  if (path.empty()) return std::string();
  std::size_t search_end = path.size();
  if (path.size() > 2 && path.back() == '/') --search_end;
  const std::size_t slash = path.rfind('/', search_end - 1);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folder_part(const std::string& path) {
  return path.substr(0, path.size() - last_component(path).size());
}

std::string stream_archive(int s) { return temp_path + static_cast<char>('0' + s) + ".zip"; }

int streams_for_rate(double kb_per_second) {
  if (kb_per_second > 200.0) return 9;
  if (kb_per_second > 150.0) return 8;
  if (kb_per_second > 100.0) return 6;
  if (kb_per_second > 50.0) return 4;
  return 2;
}

void next_class::reset_all_streams() {
  // Transfers of an earlier run that are still under way are dropped, and
  // the streams' archives removed, so that nothing of that run can be
  // unpacked over a file of the next one.
  for (int s = 0; s < kStreams; ++s) {
    http.abort(s + kFirstStreamHttp);
    if (!temp_path.empty()) delete_file(stream_archive(s));
  }

  next_file = 0;
  for (int s = 0; s < kStreams; ++s) {
    slot_active[s] = s < 2 ? 1 : 0;
    slot_wants_file[s] = s < 2 ? 1 : 0;
    slot_file[s] = 0;
  }
  start_time = xtim.elapsed;
  kb_partial = 0.0f;
  kb_downloaded = 0.0f;
  kb_installed = 0.0f;
}

int extract_and_delete_file(std::string archive, std::string destination) {
  const std::string folder = folder_part(destination);
  int code = check_single_entry(archive, last_component(destination));
  if (code == 0) {
    code = ends_with(archive, ".7z") ? p7z_to_file(archive, folder, nullptr, 0)
                                     : zip_to_file(archive, folder, nullptr, 0);
  }
  if (code != 0) {
    stg.had_errors = 1;
    __MACIBM_alert(0, UTL_translate_string("The installer cannot extract a file."),
                   UTL_translate_string("Error: ") + error_str(code),
                   UTL_translate_string("Compressed File: ") + archive,
                   UTL_translate_string("Destination: ") + destination, t_alert, "utils", __LINE__);
  }
  if (stg.log_actions) xer << "EXPANDING file " << destination << ", with result=" << code << ".\n";
  delete_file(archive);
  return code;
}

int grab_files() {
  const int count = static_cast<int>(sim_info.size());
  next.kb_partial = 0.0f;
  for (int s = 0; s < kStreams; ++s) {
    if (!next.slot_active[s]) continue;
    if (next.slot_wants_file[s]) {
      next.slot_file[s] = next.next_file;
      next.next_file = std::min(std::max(next.next_file + 1, 0), count);
    }
    const int f = next.slot_file[s];
    if (f >= 0 && f < count) file_step(s, f);
  }

  for (int s = 0; s < kStreams; ++s) {
    if (!next.slot_active[s]) continue;
    const int f = next.slot_file[s];
    if (f >= 0 && f < count) return stg.had_errors;
  }
  next.all_done = 1;
  remove_empty_folders();
  return 1;
}
