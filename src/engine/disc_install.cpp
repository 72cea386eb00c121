#include "engine/disc_install.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "engine/archive_check.h"
#include "engine/directory.h"
#include "engine/download.h"
#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "engine/pools.h"
#include "engine/record_scan.h"
#include "engine/ui_calls.h"
#include "files/archives.h"
#include "files/find_path.h"
#include "files/io_utils.h"
#include "files/xmap.h"
#include "runtime/alert.h"
#include "runtime/globals.h"
#include "runtime/mnw.h"
#include "runtime/threads.h"
#include "runtime/translate.h"
#include "runtime/xtim.h"

UTL_worker_threads* copy_pool = nullptr;
UTL_worker_threads* unzip_pool = nullptr;
int install_err_num = 0;
std::string install_err_msg;

namespace {

constexpr int kMaxTasksInFlight = 30;  // per pool
constexpr std::size_t kMaxSigInName = 64;
constexpr std::size_t kMaxMountTable = 16 * 1024 * 1024;

const char kVersionFile[] = "dvd_version.txt";

// While the mount tables show no disc they are searched again at most once
// a second: each search reads the table and looks into the root of every
// mounted folder, and the disc screens ask on every frame.
constexpr float kDiscSearchPause = 1.0f;
float disc_search_at = 0.0f;  // earliest frame-timer time of the next search

// The disc folder whose refused "dvd_version.txt" was last logged: the scan
// reads the file on every frame, the log says so once.
std::string refused_version_folder;

// The signature as a piece of a file name: the directory says what it is,
// so anything but letters and digits (a '/' or a "..") is replaced, and a
// long one is cut, so the temporary copy always lies in the temporary
// folder itself.
std::string name_piece(const std::string& sig) {
  std::string out = sig.substr(0, kMaxSigInName);
  for (char& c : out) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!ok) c = '_';
  }
  return out;
}

// Removes a temporary copy. unlink itself, not delete_file: this runs on
// several worker threads at once, and a missing file is no failure here.
void remove_temp(const std::string& path) { unlink(path.c_str()); }

bool is_octal(char c) { return c >= '0' && c <= '7'; }

// A field of the mount table with its octal escapes ("\040" for a blank)
// turned back into their bytes. False when it escapes a NUL or a value
// beyond a byte: no folder can be named so.
bool unescape_mount_field(const std::string& in, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '\\' && in.size() - i >= 4 && is_octal(in[i + 1]) && is_octal(in[i + 2]) && is_octal(in[i + 3])) {
      const int value = (in[i + 1] - '0') * 64 + (in[i + 2] - '0') * 8 + (in[i + 3] - '0');
      if (value == 0 || value > 255) return false;
      out += static_cast<char>(value);
      i += 3;
    } else {
      out += in[i];
    }
  }
  return true;
}

// File systems that are never a disc; looking into their roots on every
// frame would cost time for nothing.
bool is_system_fs(const std::string& type) {
  static const char* const kTypes[] = {
      "proc",      "sysfs",   "devtmpfs",    "devpts",   "cgroup",   "cgroup2", "securityfs",
      "pstore",    "bpf",     "debugfs",     "tracefs",  "configfs", "fusectl", "mqueue",
      "hugetlbfs", "autofs",  "binfmt_misc", "nsfs",     "efivarfs", "rpc_pipefs", "selinuxfs",
  };
  for (const char* t : kTypes)
    if (type == t) return true;
  return false;
}

// File systems on another machine, shared into a virtual machine by its
// host, spread over a cluster, or served by a program (FUSE): the roots of
// these are never looked into, since a dead server, host or program would
// leave the look, and with it the frame, hanging.
bool is_remote_or_fuse_fs(const std::string& type) {
  if (type.compare(0, 4, "fuse") == 0) return true;  // fuse, fuseblk, fuse.sshfs, fuse.glusterfs...
  static const char* const kTypes[] = {
      // network file systems
      "nfs", "nfs4", "cifs", "smb", "smb2", "smb3", "smbfs", "ncp", "ncpfs", "afs", "openafs", "coda", "davfs",
      "sshfs", "afpfs", "9p", "v9fs",
      // folders a virtual machine's host shares into it
      "virtiofs", "vboxsf", "vmhgfs", "prl_fs", "vmblock",
      // cluster and parallel file systems
      "ceph", "cephfs", "gfs", "gfs2", "ocfs2", "lustre", "gluster", "glusterfs", "gpfs", "beegfs", "orangefs",
      "pvfs2", "panfs", "moosefs", "lizardfs", "quobyte",
  };
  for (const char* t : kTypes)
    if (type == t) return true;
  return false;
}

// Looks through a mount table for the disc. False when the table cannot be
// read; found is empty when no mounted folder holds the disc file.
bool scan_mount_table(const std::string& table_path, std::string& found) {
  found.clear();
  std::string table;
  if (read_whole_file(table_path, table, kMaxMountTable) != 0) return false;

  std::size_t pos = 0;
  std::vector<std::string> fields;
  std::string folder;
  while (pos < table.size()) {
    std::size_t eol = table.find('\n', pos);
    if (eol == std::string::npos) eol = table.size();
    // Fields: device, mount folder, file system type, options, two numbers.
    fields.clear();
    std::size_t i = pos;
    while (i < eol && fields.size() < 3) {
      while (i < eol && (table[i] == ' ' || table[i] == '\t')) ++i;
      const std::size_t start = i;
      while (i < eol && table[i] != ' ' && table[i] != '\t') ++i;
      if (i > start) fields.push_back(table.substr(start, i - start));
    }
    pos = eol + 1;
    if (fields.size() < 3 || is_system_fs(fields[2]) || is_remote_or_fuse_fs(fields[2])) continue;
    if (!unescape_mount_field(fields[1], folder) || folder.empty() || folder[0] != '/') continue;
    if (folder.back() != '/') folder += '/';
    if (file_exists(folder + kVersionFile)) {
      found = folder;
      return true;
    }
  }
  return true;
}

// The current version of file i, or null when i is outside the table.
file_version_struct* version_of(int i) {
  if (i < 0 || i >= static_cast<int>(sim_info.size())) return nullptr;
  return &current_version(i);
}

void destroy_pools() {
  delete copy_pool;
  copy_pool = nullptr;
  delete unzip_pool;
  unzip_pool = nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// The copy-and-unpack task

dvd_unpack_task::dvd_unpack_task(int index, const std::string& temp_folder) : file_index(index) {
  const file_version_struct& v = current_version(index);
  suffix = suffix_for_file(index);
  // "_<index>." + suffix: the suffix keeps its dot, so the name ends in
  // "_12..zip". The index keeps files of the same content apart.
  temp_file = temp_folder + name_piece(v.sig_want) + "_" + std::to_string(index) + "." + suffix;
  dest_path = local_path_of(v);
  // Taken now, on the main thread, which owns the disc globals.
  source = dvd_path + install_name + "/" + v.path + suffix;
  expect_version(check, v);
}

dvd_unpack_task::~dvd_unpack_task() {
  if (!refusal.empty()) xer << refusal;
  if (stg.log_actions) {
    xer << "EXPANDING file " << dest_path << ", with result=" << err << ".";
    if (err != 0) xer << " " << err_msg;
    xer << "\n";
  }
}

void dvd_unpack_task::do_it() {
  if (stage == 0) {
    // On the copy thread: the disc is read by one thread, in order.
    stage = 1;
    // Disc images and discs mounted without case folding may spell folders
    // differently from the directory.
    std::string from = source;
    repair_case(from);
    err = copy_file(from, temp_file);
    if (err != 0) {
      err_msg = "I was unable to copy the file " + from + " from the DVD to the hard drive.";
      remove_temp(temp_file);  // an older copy of the same name must not stay either
    }
    return;
  }

  // On an unpack thread.
  if (err != 0) return;  // the copy failed: its code and sentence stand
  const int code = unpack_single_file(temp_file, dest_path, &refusal, &check);
  remove_temp(temp_file);
  if (code == 0) {
    // The file now holds exactly the released version (its signature was
    // taken while it was written); no new checksum is needed.
    file_version_struct& v = current_version(file_index);
    v.sig_have = v.sig_want;
    v.is_current = 1;
  } else {
    err = code;
    err_msg = "I was unable to unzip the file " + temp_file + " to the folder " + folder_part(dest_path) + ".";
  }
}

int dvd_unpack_task::check_error(std::string& message) {
  message = err_msg;
  return err;
}

// ---------------------------------------------------------------------------
// The disc

bool parse_dvd_version(const char* data, std::int64_t size, std::string& name) {
  using namespace record_scan;
  xmap_class file("");
  file.view(data, size);
  static const int kVersions[] = {900, 0};
  if (!file.check_file(header_text, kVersions, "DVD", nullptr)) return false;

  bool found = false;
  std::string value;
  const char* p = file.cursor;
  const char* const end = file.end;
  skip_white(p, end);
  while (p < end) {
    skip_blanks(p, end);
    if (take_keyword(p, end, "VERSION")) {
      read_rest(p, end, value);
      // A line without a name names no folder (the disc's root would be
      // taken for the install folder).
      if (!value.empty()) {
        name = value;
        found = true;
      }
    } else {
      skip_to_line_end(p, end);
    }
    skip_white(p, end);
  }
  return found;
}

std::string find_disc_in_mount_table(const std::string& table_path) {
  std::string found;
  scan_mount_table(table_path, found);
  return found;
}

std::string find_disc_folder(const std::string& table_path, const std::string& fallback_table_path) {
  const char* named = std::getenv("CORVANE_DISC");
  if (named && *named) {
    std::string folder = named;
    if (folder.back() != '/') folder += '/';
    return folder;
  }
  // Not yet time for another search. A frame timer that went back (one
  // started afresh) does not hold the search off for longer than the pause.
  if (xtim.elapsed < disc_search_at && disc_search_at - xtim.elapsed <= kDiscSearchPause) return std::string();
  std::string found;
  if (!scan_mount_table(table_path, found)) scan_mount_table(fallback_table_path, found);
  // Once a disc was found the next search (for the next disc) is made at once.
  disc_search_at = found.empty() ? xtim.elapsed + kDiscSearchPause : 0.0f;
  return found;
}

void disc_search_now() { disc_search_at = 0.0f; }

void UTIL_scan_dvd() {
  if (dvd_path.empty()) dvd_path = find_disc_folder();
  if (dvd_path.empty()) return;

  if (install_name == no_install_name) {
    xmap_class file(dvd_path + kVersionFile);
    std::string name;
    if (file.start && parse_dvd_version(file.start, file.end - file.start, name)) {
      install_name = name;
      refused_version_folder.clear();
    } else if (file.start && refused_version_folder != dvd_path) {
      refused_version_folder = dvd_path;
      xer << "The disc at " << dvd_path << " is not used: its \"" << kVersionFile
          << "\" is no disc description or names no install folder.\n";
    }
  }

  if (install_name != no_install_name && stg.dir_status == 0) {
    std::string archive = dvd_path + install_name + "/directory.txt.zip";
    repair_case(archive);
    // The archive must hold the directory file and nothing else: anything
    // more would be written into the temporary folder beside it. A file
    // larger than any directory counts as damaged.
    int err = check_single_entry(archive, "directory.txt");
    unpack_check cap;
    cap.max_bytes = kDirectoryMaxBytes;
    std::string name = "directory.txt";  // whatever the letter case of the entry
    if (err == 0) err = zip_to_file(archive, temp_path, &name, 1, &cap);
    if (err != 0) {
      __MACIBM_alert(0, UTL_translate_string("DVD scan: The installer cannot extract a file."),
                     UTL_translate_string("Error: ") + error_str(err),
                     UTL_translate_string("Compressed File/") + archive,
                     UTL_translate_string("Destination Path/") + temp_path, t_exit, "main", 387);
    }
    stg.dir_status = read_directory(temp_path + "directory.txt");
  }
}

int UTIL_switch_disk(int eject) {
  if (eject && !dvd_path.empty()) {
    eject_dvd(dvd_path);
    dvd_path.clear();
  }
  const file_version_struct* v = version_of(want_file_disk);
  return v ? v->disk : 0;
}

bool UTIL_verify_disk() {
  if (dvd_path.empty()) {
    // Next on the switch screen: a disc put in just after a search that
    // found none is looked for now, not a second later.
    disc_search_now();
    dvd_path = find_disc_folder();
  }
  const file_version_struct* v = version_of(want_file_disk);
  if (dvd_path.empty() || !v) return false;
  if (!file_exists(dvd_path + install_name + "/" + v->path + suffix_for_file(want_file_disk))) return false;
  current_disk = v->disk;
  return true;
}

std::string suffix_for_file(int file) {
  return current_version(file).path.find("Global Scenery") != std::string::npos ? ".7z" : ".zip";
}

// ---------------------------------------------------------------------------
// The run

int install_files(int& next_file, int disk) {
  if (!copy_pool) copy_pool = new UTL_worker_threads(1, kMaxTasksInFlight);
  if (!unzip_pool) unzip_pool = new UTL_worker_threads(unpack_pool_threads(), kMaxTasksInFlight);

  const int count = static_cast<int>(sim_info.size());
  if (next_file < 0) next_file = 0;

  // Hand out the files of this disc in table order; files that need nothing
  // are passed over wherever they lie, the first file to install from
  // another disc stops the loop.
  for (;;) {
    while (next_file < count && !current_version(next_file).do_install) ++next_file;
    if (next_file >= count || !copy_pool->has_free_slot() || current_version(next_file).disk != disk) break;
    copy_pool->enqueue_task(new dvd_unpack_task(next_file, temp_path));
    ++next_file;
  }

  // Copied archives go on to be unpacked.
  while (unzip_pool->has_free_slot()) {
    UTL_work_task* copied = copy_pool->check_retired_tasks();
    if (!copied) break;
    unzip_pool->enqueue_task(copied);
  }

  // Unpacked files come back; the first failure is reported at once, the
  // others stay for the next calls.
  while (UTL_work_task* done = unzip_pool->check_retired_tasks()) {
    install_err_num = done->check_error(install_err_msg);
    delete done;
    if (install_err_num != 0) return 3;
  }

  const bool idle = copy_pool->count_total_tasks() == 0 && unzip_pool->count_total_tasks() == 0;
  if (!idle) return 0;
  if (next_file >= count) {
    destroy_pools();
    return 1;
  }
  // Only a file to install from another disc can be left here.
  return 2;
}

int install_files_get_error(std::string& message) {
  message = install_err_msg;
  const int code = install_err_num;
  install_err_num = 0;
  install_err_msg.clear();
  return code;
}

void install_files_kill() {
  if (copy_pool) {
    // Every archive handed to the copy thread is copied and then unpacked,
    // so nothing copied is left half done in the temporary folder.
    while (UTL_work_task* copied = copy_pool->wait_retired_tasks()) {
      if (unzip_pool)
        unzip_pool->enqueue_task(copied);
      else
        delete copied;
    }
  }
  if (unzip_pool) {
    while (UTL_work_task* done = unzip_pool->wait_retired_tasks()) delete done;
  }
  destroy_pools();
}

// ---------------------------------------------------------------------------
// The question

int abort_alert(std::string text, std::string label1, std::string text1, std::string label2, std::string text2) {
  // Each button's explanation stands to its right; the question takes the
  // lines above the buttons, and the box grows when it needs more.
  const question_text texts[] = {{20, 160, 40, text}, {150, 53, 210, text1, false}, {150, 28, 210, text2, false}};
  const question_button buttons[] = {{96, 56, 100, label1, 1}, {96, 31, 100, label2, 0}};
  const std::string headless[4] = {"I have to ask you a question, but there is no window to ask in.", text,
                                   label1 + " " + text1 + " / " + label2 + " " + text2,
                                   "Run the installer on a display to answer this question."};
  return BTN_question_box(wind_abort_question, texts, 3, 80, buttons, 2, 3, headless);
}
