#include "files/xmap.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "files/find_path.h"
#include "runtime/alert.h"
#include "runtime/globals.h"

namespace {
// Where an empty file's range points: present, but never read or unmapped.
const char empty_data[1] = {0};
}  // namespace

xmap_class::xmap_class(const std::string& p) : path(p) {
  if (!p.empty()) retry(p);
}

xmap_class::~xmap_class() { release(); }

void xmap_class::release() {
  if (map_addr_) munmap(map_addr_, map_len_);
  map_addr_ = nullptr;
  map_len_ = 0;
  // retry() closes its descriptor before it returns, so fd is always -1
  // here and there is nothing to close.
  fd = -1;
  start = cursor = end = nullptr;
}

void xmap_class::view(const char* data, std::int64_t size) {
  release();
  if (!data || size <= 0) {
    start = empty_data;
    size = 0;
  } else {
    start = data;
  }
  cursor = start;
  end = start + size;
}

const char* xmap_class::retry(const std::string& p) {
  if (!app_path.empty() && p.size() >= app_path.size() && p.find(app_path) != std::string::npos)
    __MACIBM_alert(0, "retry: We are getting a file string that is not Halden relative!",
                   "This is illegal! All paths must be Halden relative!", "The path in question is:", p,
                   t_exit, "xmap", 122);

  path = p;
  std::string full = app_path + p;
  repair_case(full);

  release();

  // O_NONBLOCK keeps a FIFO from stalling the open; only regular files are read.
  const int f = open(full.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (f < 0) return nullptr;
  struct stat st;
  if (fstat(f, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(f);
    return nullptr;
  }

  if (st.st_size == 0) {
    close(f);
    start = cursor = end = empty_data;
    return start;
  }

  const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  void* m = MAP_FAILED;
  int err = ENOMEM;
  if (size <= SIZE_MAX) {
    m = mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, f, 0);
    err = errno;
  }
  // The mapping lives on without the descriptor.
  close(f);

  if (m == MAP_FAILED) {
    xer << "Mem file error.  Err=" << err << ", file=" << full << "\n";
    xer.flush();
    if (err == ENOMEM) __MACIBM_alert(0, "mmap() out of memory", "", "", "", t_alert, "xmap", 233);
    return nullptr;
  }
  if (m == nullptr) {
    munmap(m, static_cast<std::size_t>(size));
    __MACIBM_alert(0, "mmap() returned null", "", "", "", t_alert, "xmap", 226);
    return nullptr;
  }

  map_addr_ = m;
  map_len_ = static_cast<std::size_t>(size);
  start = cursor = static_cast<const char*>(m);
  end = start + size;
  return start;
}

void xmap_class::read_n_rev(void* destination, std::int64_t count) {
  if (count == 0) return;
  if (count < 0 || !cursor || count > end - cursor) {
    // Nothing is copied.
    __MACIBM_alert(0, "Invalid read_n_rev read!", "", "", "", t_exit, "xmap", 53);
    return;
  }
  unsigned char* out = static_cast<unsigned char*>(destination);
  std::memcpy(out, cursor, static_cast<std::size_t>(count));
  cursor += count;
  if (swap) {
    for (std::int64_t i = 0; i + 4 <= count; i += 4) {
      std::swap(out[i], out[i + 3]);
      std::swap(out[i + 1], out[i + 2]);
    }
  }
}

void xmap_class::TXT_xer_line() {
  const char* at = cursor;
  if (!start || !at) {
    xer << "1 \"\"\n";
    xer.flush();
    return;
  }
  if (at < start) at = start;
  if (at > end) at = end;

  // Counting CR and LF apart and taking the larger gives the right number
  // for LF, CR and CR LF line ends alike.
  std::int64_t line = 1;
  if (at > start) {
    const std::int64_t crs = 1 + std::count(start, at, '\r');
    const std::int64_t lfs = 1 + std::count(start, at, '\n');
    line = std::max(crs, lfs);
  }

  const char* from = at;
  while (from > start && from[-1] != '\r' && from[-1] != '\n') --from;
  const char* to = at;
  while (to < end && *to != '\r' && *to != '\n') ++to;

  xer << line << " \"";
  xer.write(from, to - from);
  xer << "\"\n";
  xer.flush();
}

int xmap_class::io_file_open(int mode, std::string p, int* version, int type) {
  io_mode = mode;
  if (mode == 1) {
    if (!version) return 0;
    return ouf_open(p, type, *version, "no-copyright-string");
  }
  if (mode == 0) {
    if (!retry(p)) return 0;
    return check_file(type, version, nullptr, nullptr) != 0 ? 1 : 0;
  }
  return 0;
}

int xmap_class::io_file_close() {
  if (io_mode != 1) return 1;
  if (ouf.is_open()) ouf.close();  // close() sets the fail state when the last write or the close fails
  return ouf.fail() ? 0 : 1;
}
