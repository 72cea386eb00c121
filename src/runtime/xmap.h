// The whole-file reader: a file mapped read-only into memory, with a read
// cursor over its bytes and the shared header check. Defined by the file
// layer (files/xmap.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Kinds of the shared file header.
enum {
  header_binary = 10000,  // 'i' or 'a' byte, then a 4-byte version
  header_text = 10001,    // "I" line, "<version> version" line, optional type word line
};

// The data is never NUL-terminated: every scan stops at `end`.
class xmap_class {
 public:
  // Maps path when it is not empty.
  explicit xmap_class(const std::string& path);
  ~xmap_class();
  xmap_class(const xmap_class&) = delete;
  xmap_class& operator=(const xmap_class&) = delete;

  // Maps path in place of whatever the object held (the letter case of the
  // path is repaired first when g_case_sensitive is set). Returns the new
  // start and sets the cursor to it; on failure start, cursor and end are all
  // null. An empty file gives a non-null start equal to end (nothing is
  // mapped for it). A mapping failure is logged to `xer`.
  const char* retry(const std::string& path);

  // Reads size bytes of the caller's memory in place of whatever the object
  // held: the bytes are neither copied nor released by the object and must
  // outlive its use of them. A null data with size 0 gives an empty range.
  void view(const char* data, std::int64_t size);

  // Checks the shared header (type header_binary or header_text) against the
  // 0-terminated list of accepted versions and, when keyword is not null, the
  // type word. Returns the version found, or 0. On success the cursor stands
  // on the first byte of the body; rest (when not null) receives the rest of
  // a text version line. Any other type is a fatal alert.
  int check_file(int type, const int* versions, const char* keyword, std::string* rest);

  // Copies count bytes from the cursor and advances it; reverses every whole
  // 4-byte word of the copy when the file is big-endian. Asking for more
  // bytes than remain is a fatal alert.
  void read_n_rev(void* destination, std::int64_t count);

  // Writes the cursor's text line, with its line number, to the log.
  void TXT_xer_line();

  // Mode 1: creates path with the header and leaves it open in `ouf`
  // (version points to the version to write).
  // Mode 0: maps path and checks its header against the 0-terminated list
  // that version points to.
  // Returns 1 on success, else 0.
  int io_file_open(int mode, std::string path, int* version, int type);
  // In mode 1 closes `ouf`; returns 0 when the file could not be written or
  // closed completely (`ouf` then reports the failure too), else 1.
  int io_file_close();

  // Bytes left between the cursor and the end.
  std::int64_t remaining() const { return end - cursor; }

  int swap = 0;             // the binary header said big-endian
  std::string path;         // the path last mapped (as given, without app_path)
  int io_mode = 0;          // 1 writing through ouf, 0 reading
  const char* start = nullptr;
  const char* cursor = nullptr;
  const char* end = nullptr;
  int fd = -1;              // always -1: the file is closed as soon as it is mapped

 private:
  // Unmaps what the object owns and clears start, cursor, end.
  void release();

  void* map_addr_ = nullptr;  // the mapping this object made, if any
  std::size_t map_len_ = 0;
};

// Creates the file (and its folder when that one folder is missing) and
// writes the shared header into the global stream `ouf`, which stays open for
// the caller, who writes the body and must check the close. The last three
// characters of the path are lower-cased. Returns 1, or 0 after a warning
// alert when the file could not be created or the header not written.
int ouf_open(std::string path, int type, int version, std::string copyright);
