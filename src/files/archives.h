// Unpacking zip and 7z archives into a folder, and packing one file into a
// new zip archive.
//
// Every entry is streamed into a temporary file beside its target and renamed
// over the target only once its data has been read in full and its checksum
// verified, so a damaged archive never replaces a good file with a partial
// one. Entries are refused (EPERM, with a log line) when their name is
// absolute or climbs with "..", when any existing folder on the way to them
// below the output folder is a symbolic link, and, for link entries, when
// the link's text is absolute or climbs out of the output folder.
//
// Results: 0, a positive errno value, one of the program's own codes
// (files/io_utils.h) or a negative code of the zip library.
#pragma once

#include <locale.h>
#include <minizip/unzip.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct archive;

// What a file that is unpacked must be, checked while its bytes are written.
// Given to an unpacker, it applies to every plain file the archive holds
// (the installer's archives hold one). Writing stops as soon as more than
// max_bytes came out (err_too_large); a file whose bytes do not have the
// signature want_md5 is not put in place (err_wrong_signature). Either way
// any earlier file of that name stays as it was. A large zip entry is
// hashed and written on a helper thread of the unpacking, while it inflates.
struct unpack_check {
  std::string want_md5;         // 32 lower-case hexadecimal digits; empty: not compared
  std::int64_t max_bytes = -1;  // the most bytes the file may have; negative: no limit
  // Filled by the unpacker for the last plain file it wrote or refused:
  std::string found_md5;        // signature of its bytes (of those read, when stopped early)
  std::int64_t found_bytes = 0; // bytes that came out of the archive for it
};

// Unpacks every entry of the zip archive (app_path + archive) into out_dir
// (app_path + out_dir, ending in '/'). Folder entries are made (an existing
// folder is fine); entries whose name begins with "__MACOSX" are skipped;
// link entries become symbolic links. Missing parent folders are not made.
// When name is not null it receives the first entry's name as stored; with
// use_name set the first entry that is not skipped is written to out_dir +
// *name (as given) instead. The first failure ends the extraction (entries
// already written stay; the temporary files of entries after it are
// removed); failures are logged to `xer`. An archive that cannot be opened
// gives 20001. Entries stored or deflated are unpacked; any other method,
// and data said to run past the end of the archive, give the zip library's
// UNZ_BADZIPFILE. With check not null every file
// entry is checked as unpack_check says.
int zip_to_file(const std::string& archive, const std::string& out_dir, std::string* name,
                int use_name, unpack_check* check = nullptr);

// Unpacks every file of the 7z archive (no app_path) into out_dir. Folder
// items make nothing and missing parent folders are not made; an existing
// target keeps its permission bits. When name is not null it receives each
// written file's full path (the last one's after the call); with use_name
// set the first file is written to out_dir + *name. A missing archive gives
// its errno, one that is no 7z archive 20001, damaged data 20002, a file that
// cannot be written in full 20004. Symbolic-link items are skipped with a
// log line. With check not null every file is checked as unpack_check says.
int p7z_to_file(const std::string& archive, const std::string& out_dir, std::string* name,
                int use_name, unpack_check* check = nullptr);

// Opens the zip archive path (no app_path) for the zip library as
// zip_to_file reads one: with pread, its catalogue from one block read
// ahead. Null when it cannot be opened. Used and closed (unzClose) on the
// thread that opened it.
unzFile open_zip_for_reading(const std::string& path);

// Reads the information and the whole name of the zip's current entry (a
// stored NUL ends the name). 0 or the zip library's code.
int read_zip_entry(unzFile uf, unz_file_info64* info, std::string* name);

// Packs the file app_path + source into a new zip archive app_path + zip_file
// (replacing any file of that name) as one deflated entry named after the
// source's last path component, with the source's time and mode. 20006 when
// the source cannot be read, 20003 when the archive cannot be created. A
// failure after the archive was created removes it, so no incomplete
// archive is left under that name.
int file_to_zip(const std::string& source, const std::string& zip_file);

// The 7z reader's input: the archive's open file and the buffer that reads
// hand out. Positions are 64-bit throughout.
struct SzFileInStream {
  std::FILE* file = nullptr;
  std::vector<unsigned char> buffer;
};

// Read, seek and skip callbacks of the 7z reader over an SzFileInStream.
// a may be null (no error text is recorded then).
// Read: fills the stream's buffer and points *data at it; the count read, 0
// at the end of the file, -1 on a read error.
ssize_t SzFileReadImp(struct archive* a, void* stream, const void** data);
// Seek: moves to offset from whence (SEEK_SET, SEEK_CUR, SEEK_END); the new
// position, or a negative code when the seek fails.
std::int64_t SzFileSeekImp(struct archive* a, void* stream, std::int64_t offset, int whence);
// Skip: moves request bytes forward; the count skipped (0 when it cannot).
std::int64_t SzFileSkipImp(struct archive* a, void* stream, std::int64_t request);

// A 7z archive opened for reading, the one way both the extraction and the
// check of an archive's entries read one. While the object lives, the
// calling thread reads names as UTF-8 (other threads are not affected), so
// it must be used and destroyed on the thread that made it.
class p7z_reader {
 public:
  explicit p7z_reader(const std::string& path);
  ~p7z_reader();
  p7z_reader(const p7z_reader&) = delete;
  p7z_reader& operator=(const p7z_reader&) = delete;

  // 0 when the archive is open; else the errno of opening its file, ENOMEM,
  // or 20001 when it is no 7z archive the reader can open.
  int code() const { return code_; }
  // The reader, null unless code() is 0.
  struct archive* get() const { return code_ == 0 ? a_ : nullptr; }

 private:
  locale_t old_locale_ = static_cast<locale_t>(0);
  SzFileInStream in_;
  struct archive* a_ = nullptr;
  int code_ = 0;
};
