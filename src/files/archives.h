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

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct archive;

// Unpacks every entry of the zip archive (app_path + archive) into out_dir
// (app_path + out_dir, ending in '/'). Folder entries are made (an existing
// folder is fine); entries whose name begins with "__MACOSX" are skipped;
// link entries become symbolic links. Missing parent folders are not made.
// When name is not null it receives the first entry's name as stored; with
// use_name set the first entry is written to out_dir + *name instead. The
// first failure ends the extraction (entries already written stay); failures
// are logged to `xer`. An archive that cannot be opened gives 20001.
int zip_to_file(const std::string& archive, const std::string& out_dir, std::string* name,
                int use_name);

// Unpacks every file of the 7z archive (no app_path) into out_dir. Folder
// items make nothing and missing parent folders are not made; an existing
// target keeps its permission bits. When name is not null it receives each
// written file's full path (the last one's after the call); with use_name
// set the first file is written to out_dir + *name. A missing archive gives
// its errno, one that is no 7z archive 20001, damaged data 20002, a file that
// cannot be written in full 20004. Symbolic-link items are skipped with a
// log line.
int p7z_to_file(const std::string& archive, const std::string& out_dir, std::string* name,
                int use_name);

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
