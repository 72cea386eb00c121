// The file API: standard folders, existence tests with letter-case repair,
// creating, deleting, copying and renaming, free space, starting another
// program, and the result codes shared by every file, archive and network
// function.
//
// Result codes: 0 success; a positive errno value; one of the program's own
// codes below; or a negative code passed through from the zip library.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "runtime/file_calls.h"

enum {
  err_zip_open = 20001,
  err_zip_read = 20002,
  err_zip_create = 20003,
  err_zip_write = 20004,
  err_zip_fork_too_big = 20005,
  err_file_open = 20006,
  err_net_reconnect = 20007,
  err_net_bad_state = 20008,
  err_net_alloc = 20009,
  err_net_write = 20010,
  err_net_no_server = 20011,
  err_zip_fork_header = 20012,
  err_not_mz = 20013,
  err_not_pe = 20014,
  err_wrong_signature = 20015,  // an unpacked file's bytes are not the ones the directory describes
  err_too_large = 20016,        // an unpacked file is larger than the directory says
  err_not_the_file = 20017,     // an archive holds more, less or other than the one file it is for
};

// Where in this module the last failure arose (file name and step number):
// set by every failing step, never reset, and atomic because worker threads
// (the disc install unpacks on several) fail too, so after concurrent
// failures they name one of them.
extern std::atomic<const char*> sErrFile;
extern std::atomic<int> sErrLine;

// The standard folders (os_dir_type, get_OS_abs_path) and error_str are
// declared in runtime/file_calls.h, which the preferences use too.

// Finds the running executable: its path (full != 0) or its folder with a
// final "/". Gives "./" when it cannot be found. Defined by the window layer.
void MACIBM_set_app_path(std::string* out, int full);

// Reporting policy of the install engine for failed deletes and folder
// creations.
int show_del_err(int code);
int show_make_dir_err(int code);

// Existence tests; the letter case of the path is repaired first when the file
// system is case-sensitive. Both follow symbolic links.
bool dir_exists(std::string path);
bool file_exists(std::string path);

// Creates one folder (mode 0755; one final '/' is ignored); the parent must
// exist. 17 when it exists.
int make_folder(const std::string& path);

// Removes a file, or an empty folder when the path ends in "/".
int delete_file(std::string path);

// Copies a plain file, giving the destination the source's permission bits.
// The copy is written beside the destination and renamed over it only when
// complete, so a failure leaves any earlier destination as it was. 0 or the
// errno of the failing call; EISDIR for a folder and EINVAL for anything
// else that is not a plain file (a pipe, a device, a socket), which could
// block the copy or never end.
int copy_file(const std::string& source, const std::string& destination);

// Writes all len bytes to fd, going on after short writes and interruptions;
// a write that makes no progress and gives no reason ends it with EIO. 0 or
// the errno of the failing write. When done is given it receives the number
// of bytes written, also after a failure.
int write_all(int fd, const char* data, std::size_t len, std::size_t* done = nullptr);

// A name beside path for a temporary file: path + suffix, the final name
// shortened where needed so that the result still fits the file system's
// name limit (NAME_MAX). A rename can then put the finished file in path's
// place.
std::string temp_name_beside(const std::string& path, const std::string& suffix);

// The longest name, in bytes, that the file system holding folder (the
// working folder when empty) gives a file or folder in it; NAME_MAX when it
// cannot tell.
std::size_t longest_name_in(const std::string& folder);

// The text after the last '/' of a path; a final '/' of a path of three or
// more characters is kept with the name. The whole path when it has no '/'.
std::string last_component(const std::string& path);
// The path without its last component (ends with '/'; empty without '/').
std::string folder_part(const std::string& path);

// Renames folder + old_name to folder + new_name.
int rename_file(const std::string& folder, const std::string& old_name, const std::string& new_name);

// Size and space available to this user of the file system holding the
// folder part of path (up to its last '/', a final '/' of "a/b/" passed
// over; no '/' at all gives 2). Either pointer may be null.
int get_free_space(const std::string& path, unsigned long long* total, unsigned long long* free);

// Starts another program (with "-path argument" when argument is not empty)
// and ends the installer in order with exit code 1. Returns only when the
// program could not be started, with the reason.
int launch_app(const std::string& program, const std::string& argument);

// The same with the given argument words after the program's name; the log
// line names the arguments as `logged`.
int launch_program(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& logged);

// Reads a whole plain file (not a pipe or a device, which could block or
// never end) into text, at most max_bytes of it. Files that report no size,
// such as those under /proc, are read to their end. 0, or the errno of the
// failing call (EINVAL for a file that is not plain); text is empty then.
int read_whole_file(const std::string& path, std::string& text, std::size_t max_bytes);

// Ejecting a disc is left to the desktop on this platform.
void eject_dvd(std::string mount_folder);

// Sets the large-address-aware flag in the header of a Windows executable.
int make_file_large_address_aware(std::string path);
