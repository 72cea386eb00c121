#include "runtime/memory.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/debug.h"
#include "runtime/globals.h"

namespace {

#if CORVANE_OWN_ALLOCATOR

// One attempt at a block: malloc, or posix_memalign for an alignment above
// what malloc promises. A size of 0 asks for one byte, so that every call
// gets a block of its own.
void* raw_alloc(std::size_t size, std::size_t align) noexcept {
  if (size == 0) size = 1;
  if (align <= alignof(std::max_align_t)) return std::malloc(size);
  // posix_memalign wants a power of two that is a multiple of sizeof(void*);
  // std::align_val_t is always a power of two.
  if (align < sizeof(void*)) align = sizeof(void*);
  void* p = nullptr;
  return posix_memalign(&p, align, size) == 0 ? p : nullptr;
}

// Tries again for as long as a new-handler is installed, calling it after
// each failure; without one the failure is std::bad_alloc.
void* alloc_or_throw(std::size_t size, std::size_t align) {
  for (;;) {
    if (void* p = raw_alloc(size, align)) return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

// The same, but null instead of any exception, the handler's own included.
void* alloc_or_null(std::size_t size, std::size_t align) noexcept {
  try {
    return alloc_or_throw(size, align);
  } catch (...) {
    return nullptr;
  }
}

std::size_t align_of(std::align_val_t align) { return static_cast<std::size_t>(align); }

#endif  // CORVANE_OWN_ALLOCATOR

// The first call of the run empties the memory log; later calls append.
std::atomic<bool> first_mem_dump{true};

// The program's one remote command, registered before main runs.
UTL_remote_cmd dump_mem_cmd("Dump Memory Info", DumpMemCmd);

}  // namespace

#if CORVANE_OWN_ALLOCATOR

void* operator new(std::size_t size, const char*, int) { return alloc_or_throw(size, 0); }
void* operator new[](std::size_t size, const char*, int) { return alloc_or_throw(size, 0); }
void* operator new(std::size_t size, const std::nothrow_t&, const char*, int) noexcept {
  return alloc_or_null(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&, const char*, int) noexcept {
  return alloc_or_null(size, 0);
}
void operator delete(void* p, const char*, int) noexcept { std::free(p); }
void operator delete[](void* p, const char*, int) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&, const char*, int) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&, const char*, int) noexcept { std::free(p); }

// The replaceable global operators.
void* operator new(std::size_t size) { return operator new(size, "anonymous new", 0); }
void* operator new[](std::size_t size) { return operator new[](size, "anonymous new[]", 0); }
void* operator new(std::size_t size, const std::nothrow_t& nt) noexcept {
  return operator new(size, nt, "anonymous new-nt", 0);
}
void* operator new[](std::size_t size, const std::nothrow_t& nt) noexcept {
  return operator new[](size, nt, "anonymous new-nt[]", 0);
}
void* operator new(std::size_t size, std::align_val_t align) { return alloc_or_throw(size, align_of(align)); }
void* operator new[](std::size_t size, std::align_val_t align) { return alloc_or_throw(size, align_of(align)); }
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  return alloc_or_null(size, align_of(align));
}
void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  return alloc_or_null(size, align_of(align));
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

#else  // a sanitizer's allocator owns the global operators

// The positioned forms hand over to the sanitizer's operators, so that their
// blocks are released by the matching ordinary delete without a complaint.
void* operator new(std::size_t size, const char*, int) { return ::operator new(size); }
void* operator new[](std::size_t size, const char*, int) { return ::operator new[](size); }
void* operator new(std::size_t size, const std::nothrow_t& nt, const char*, int) noexcept {
  return ::operator new(size, nt);
}
void* operator new[](std::size_t size, const std::nothrow_t& nt, const char*, int) noexcept {
  return ::operator new[](size, nt);
}
void operator delete(void* p, const char*, int) noexcept { ::operator delete(p); }
void operator delete[](void* p, const char*, int) noexcept { ::operator delete[](p); }
void operator delete(void* p, const std::nothrow_t& nt, const char*, int) noexcept { ::operator delete(p, nt); }
void operator delete[](void* p, const std::nothrow_t& nt, const char*, int) noexcept {
  ::operator delete[](p, nt);
}

#endif  // CORVANE_OWN_ALLOCATOR

char mem_to_suffix(std::uint64_t bytes) {
  // Limits of 14 GiB, 1.4 MiB (1468006.4) and 1.4 KiB (1433.6); the last two
  // are compared as five times the count against whole numbers.
  if (bytes > 15032385536ULL) return 'G';
  if (bytes * 5 > 7340032ULL) return 'M';
  if (bytes * 5 > 7168ULL) return 'K';
  return 'B';
}

std::uint32_t mem_to_number(std::uint64_t bytes) {
  std::uint64_t n = bytes;
  switch (mem_to_suffix(bytes)) {
    case 'G': n = bytes >> 30; break;
    case 'M': n = bytes >> 20; break;
    case 'K': n = bytes >> 10; break;
    default: break;
  }
  return n > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(n);
}

bool dump_mem_stats(const char* label) {
  xer << "OK check MemoryLog.txt! I just sent him a dump from " << (label ? label : "") << "\n";
  const bool first = first_mem_dump.exchange(false);
  std::FILE* f = std::fopen((app_path + "MemoryLog.txt").c_str(), first ? "w" : "a");
  if (!f) return false;
  return std::fclose(f) == 0;
}

void DumpMemCmd() { dump_mem_stats("Remote Commanded Dump"); }
