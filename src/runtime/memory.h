// The program's allocation operators and the memory report.
//
// Every global operator new and delete (plain, array, nothrow, sized and
// aligned) is defined here on top of malloc and free, so that no block can
// be handed out by one family and released by another. Builds with a
// sanitizer that brings its own allocator leave the operators to the
// sanitizer, which then goes on reporting mismatched new/delete and the like.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

// 1 when the operators below are this program's own, 0 when a sanitizer's
// allocator is in charge of them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(__SANITIZE_HWADDRESS__)
#define CORVANE_OWN_ALLOCATOR 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer) || __has_feature(hwaddress_sanitizer)
#define CORVANE_OWN_ALLOCATOR 0
#endif
#endif
#ifndef CORVANE_OWN_ALLOCATOR
#define CORVANE_OWN_ALLOCATOR 1
#endif

// Allocation forms that name the calling source position (which is not
// kept). The throwing forms run the new-handler until the block is found and
// throw std::bad_alloc when no handler is installed; the nothrow forms give
// null instead, also when the handler throws. A size of 0 gives a distinct
// block. Release their blocks with the ordinary delete or delete[].
void* operator new(std::size_t size, const char* file, int line);
void* operator new[](std::size_t size, const char* file, int line);
void* operator new(std::size_t size, const std::nothrow_t&, const char* file, int line) noexcept;
void* operator new[](std::size_t size, const std::nothrow_t&, const char* file, int line) noexcept;
// Matching forms, used only when a constructor throws inside such a new.
void operator delete(void* p, const char* file, int line) noexcept;
void operator delete[](void* p, const char* file, int line) noexcept;
void operator delete(void* p, const std::nothrow_t&, const char* file, int line) noexcept;
void operator delete[](void* p, const std::nothrow_t&, const char* file, int line) noexcept;

// Unit letter for a byte count: 'G' above 14 GiB, else 'M' above 1.4 MiB,
// else 'K' above 1.4 KiB, else 'B'.
char mem_to_suffix(std::uint64_t bytes);
// The byte count in the unit that mem_to_suffix names (rounded down; held
// at 4294967295 for counts too large for 32 bits).
std::uint32_t mem_to_number(std::uint64_t bytes);

// Logs that a memory dump was sent, labelled `label`, and touches
// app_path + "MemoryLog.txt": emptied on the first call of the run, left as
// it is afterwards. No statistics are written. False when the file could not
// be opened or closed.
bool dump_mem_stats(const char* label);

// The "Dump Memory Info" remote command: dump_mem_stats("Remote Commanded Dump").
void DumpMemCmd();
