// A whole-file reader on a file exactly one page long whose mapping is
// followed by a no-access page, so that reading one byte past the data
// faults. Used to prove that a scan stops at the end of mapped data.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <string>

#include "files/xmap.h"

class GuardedReader {
 public:
  explicit GuardedReader(const std::string& path) {
    page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    // New mappings go to the highest free gap: free the lower half of a
    // two-page reservation and the file lands right under its upper half.
    for (int attempt = 0; attempt < 5 && !guard_; ++attempt) {
      void* a = mmap(nullptr, 2 * page_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (a == MAP_FAILED) return;
      munmap(a, page_);
      char* guard = static_cast<char*>(a) + page_;
      if (reader.retry(path) == guard - page_ && reader.end == guard) {
        guard_ = guard;
      } else {
        munmap(guard, page_);
      }
    }
  }
  ~GuardedReader() {
    if (guard_) munmap(guard_, page_);
  }
  bool guarded() const { return guard_ != nullptr; }

  xmap_class reader{""};

 private:
  std::size_t page_ = 0;
  char* guard_ = nullptr;
};
