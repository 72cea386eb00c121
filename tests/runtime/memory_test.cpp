#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <string>

#include "runtime/debug.h"
#include "runtime/globals.h"
#include "runtime/memory.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

#if defined(__SANITIZE_ADDRESS__)
#define TEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TEST_UNDER_ASAN 1
#endif
#endif

namespace {

// Keeps the compiler from dropping an allocation whose block is not used.
void* volatile sink;
void* keep(void* p) {
  sink = p;
  return p;
}

// A size no allocator can satisfy; volatile so that it is not seen as a constant.
volatile std::size_t huge_size = SIZE_MAX / 2;

// Makes `dir` the working folder for the life of the object.
class InFolder {
 public:
  explicit InFolder(const std::string& dir) {
    char buf[4096];
    if (getcwd(buf, sizeof buf)) saved_ = buf;
    ok_ = chdir(dir.c_str()) == 0;
  }
  ~InFolder() {
    if (!saved_.empty() && chdir(saved_.c_str()) != 0) std::abort();
  }
  bool ok() const { return ok_; }

 private:
  std::string saved_;
  bool ok_ = false;
};

const std::string dump_line = "OK check MemoryLog.txt! I just sent him a dump from ";

bool is_aligned(const void* p, std::size_t align) { return reinterpret_cast<std::uintptr_t>(p) % align == 0; }

}  // namespace

// --- The operators themselves, in every build ---

TEST(Allocation, ZeroSizeGivesDistinctBlocksAndNullDeletesAreHarmless) {
  void* a = keep(::operator new(0));
  void* b = keep(::operator new(0));
  void* c = keep(::operator new[](0));
  void* d = keep(::operator new(0, std::nothrow));
  void* e = keep(::operator new[](0, std::nothrow));
  void* f = keep(::operator new(0, std::align_val_t(64)));
  void* g = keep(::operator new(0, std::align_val_t(4096), std::nothrow));
  void* all[] = {a, b, c, d, e, f, g};
  for (int i = 0; i < 7; ++i) {
    ASSERT_NE(all[i], nullptr) << i;
    for (int j = 0; j < i; ++j) EXPECT_NE(all[i], all[j]) << i << " " << j;
  }
  EXPECT_TRUE(is_aligned(f, 64));
  EXPECT_TRUE(is_aligned(g, 4096));
  ::operator delete(a);
  ::operator delete(b, std::size_t{0});
  ::operator delete[](c);
  ::operator delete(d, std::nothrow);
  ::operator delete[](e, std::nothrow);
  ::operator delete(f, std::size_t{0}, std::align_val_t(64));
  ::operator delete(g, std::align_val_t(4096), std::nothrow);

  // Null is accepted by every release form.
  ::operator delete(nullptr);
  ::operator delete[](nullptr);
  ::operator delete(nullptr, std::nothrow);
  ::operator delete[](nullptr, std::nothrow);
  ::operator delete(nullptr, std::size_t{8});
  ::operator delete[](nullptr, std::size_t{8});
  ::operator delete(nullptr, std::align_val_t(64));
  ::operator delete[](nullptr, std::align_val_t(64));
  ::operator delete(nullptr, std::align_val_t(64), std::nothrow);
  ::operator delete[](nullptr, std::align_val_t(64), std::nothrow);
  ::operator delete(nullptr, std::size_t{8}, std::align_val_t(64));
  ::operator delete[](nullptr, std::size_t{8}, std::align_val_t(64));
}

TEST(Allocation, AlignedFormsHonourTheAlignment) {
  for (std::size_t align = 1; align <= 65536; align *= 2) {
    const std::size_t size = 3 * align + 5;
    auto* p = static_cast<unsigned char*>(keep(::operator new(size, std::align_val_t(align))));
    auto* q = static_cast<unsigned char*>(keep(::operator new[](size, std::align_val_t(align))));
    auto* r = static_cast<unsigned char*>(keep(::operator new(size, std::align_val_t(align), std::nothrow)));
    auto* s = static_cast<unsigned char*>(keep(::operator new[](size, std::align_val_t(align), std::nothrow)));
    ASSERT_TRUE(p && q && r && s);
    EXPECT_TRUE(is_aligned(p, align)) << align;
    EXPECT_TRUE(is_aligned(q, align)) << align;
    EXPECT_TRUE(is_aligned(r, align)) << align;
    EXPECT_TRUE(is_aligned(s, align)) << align;
    // The whole block is usable.
    std::memset(p, 0xA5, size);
    std::memset(q, 0x5A, size);
    EXPECT_EQ(p[size - 1], 0xA5);
    EXPECT_EQ(q[size - 1], 0x5A);
    ::operator delete(p, size, std::align_val_t(align));
    ::operator delete[](q, size, std::align_val_t(align));
    ::operator delete(r, std::align_val_t(align));
    ::operator delete[](s, std::align_val_t(align), std::nothrow);
  }

  struct alignas(256) Wide {
    char bytes[300];
  };
  Wide* w = new Wide[3];
  EXPECT_TRUE(is_aligned(w, 256));
  EXPECT_TRUE(is_aligned(&w[2], 256));
  delete[] w;
}

namespace {
struct Throws {
  Throws() { throw 42; }
};
}  // namespace

TEST(Allocation, PositionedFormsPairWithTheOrdinaryDelete) {
  int* one = new (__FILE__, __LINE__) int(7);
  int* many = new (__FILE__, __LINE__) int[3]{1, 2, 3};
  int* one_nt = new (std::nothrow, __FILE__, __LINE__) int(8);
  int* many_nt = new (std::nothrow, __FILE__, __LINE__) int[2]{4, 5};
  ASSERT_TRUE(one && many && one_nt && many_nt);
  EXPECT_EQ(*one + many[0] + many[2] + *one_nt + many_nt[1], 7 + 1 + 3 + 8 + 5);
  delete one;
  delete[] many;
  delete one_nt;
  delete[] many_nt;
  // A constructor that throws gets its block back through the matching
  // positioned delete (the leak checker of the sanitizer build sees any loss).
  EXPECT_THROW(keep(new (__FILE__, __LINE__) Throws), int);
  EXPECT_THROW(keep(new (__FILE__, __LINE__) Throws[2]), int);
  EXPECT_THROW(keep(new (std::nothrow, __FILE__, __LINE__) Throws), int);
}

// Every replaceable operator comes from one allocator: this program's own, or
// under a sanitizer the sanitizer's, never a mix of the two.
TEST(Allocation, EveryOperatorFormBelongsToOneAllocator) {
  using std::align_val_t;
  using std::nothrow_t;
  using std::size_t;
  const void* forms[] = {
      reinterpret_cast<const void*>(static_cast<void* (*)(size_t)>(&::operator new)),
      reinterpret_cast<const void*>(static_cast<void* (*)(size_t)>(&::operator new[])),
      reinterpret_cast<const void*>(static_cast<void* (*)(size_t, const nothrow_t&) noexcept>(&::operator new)),
      reinterpret_cast<const void*>(static_cast<void* (*)(size_t, const nothrow_t&) noexcept>(&::operator new[])),
      reinterpret_cast<const void*>(static_cast<void* (*)(size_t, align_val_t)>(&::operator new)),
      reinterpret_cast<const void*>(static_cast<void* (*)(size_t, align_val_t)>(&::operator new[])),
      reinterpret_cast<const void*>(
          static_cast<void* (*)(size_t, align_val_t, const nothrow_t&) noexcept>(&::operator new)),
      reinterpret_cast<const void*>(
          static_cast<void* (*)(size_t, align_val_t, const nothrow_t&) noexcept>(&::operator new[])),
      reinterpret_cast<const void*>(static_cast<void (*)(void*) noexcept>(&::operator delete)),
      reinterpret_cast<const void*>(static_cast<void (*)(void*) noexcept>(&::operator delete[])),
      reinterpret_cast<const void*>(static_cast<void (*)(void*, const nothrow_t&) noexcept>(&::operator delete)),
      reinterpret_cast<const void*>(static_cast<void (*)(void*, const nothrow_t&) noexcept>(&::operator delete[])),
      reinterpret_cast<const void*>(static_cast<void (*)(void*, size_t) noexcept>(&::operator delete)),
      reinterpret_cast<const void*>(static_cast<void (*)(void*, size_t) noexcept>(&::operator delete[])),
      reinterpret_cast<const void*>(static_cast<void (*)(void*, align_val_t) noexcept>(&::operator delete)),
      reinterpret_cast<const void*>(static_cast<void (*)(void*, align_val_t) noexcept>(&::operator delete[])),
      reinterpret_cast<const void*>(
          static_cast<void (*)(void*, align_val_t, const nothrow_t&) noexcept>(&::operator delete)),
      reinterpret_cast<const void*>(
          static_cast<void (*)(void*, align_val_t, const nothrow_t&) noexcept>(&::operator delete[])),
      reinterpret_cast<const void*>(static_cast<void (*)(void*, size_t, align_val_t) noexcept>(&::operator delete)),
      reinterpret_cast<const void*>(
          static_cast<void (*)(void*, size_t, align_val_t) noexcept>(&::operator delete[])),
  };
  Dl_info program{};
  ASSERT_NE(dladdr(reinterpret_cast<const void*>(&mem_to_suffix), &program), 0);
  for (std::size_t i = 0; i < sizeof forms / sizeof forms[0]; ++i) {
    Dl_info info{};
    ASSERT_NE(dladdr(forms[i], &info), 0) << i;
#if CORVANE_OWN_ALLOCATOR
    EXPECT_EQ(info.dli_fbase, program.dli_fbase) << "form " << i << " comes from " << info.dli_fname;
#elif defined(__clang__)
    GTEST_SKIP() << "the sanitizer runtime is linked into the program itself";
#else
    EXPECT_NE(info.dli_fbase, program.dli_fbase) << "form " << i;
    EXPECT_NE(std::string(info.dli_fname).find("san"), std::string::npos)
        << "form " << i << " comes from " << info.dli_fname;
#endif
  }
}

#if defined(TEST_UNDER_ASAN) && !CORVANE_OWN_ALLOCATOR
TEST(AllocationDeathTest, SanitizerStillReportsMismatchedRelease) {
  EXPECT_DEATH(
      {
        void* p = keep(::operator new[](16));
        ::operator delete(sink);
        (void)p;
      },
      "alloc-dealloc-mismatch");
}
#endif

// --- Failure handling of the program's own operators ---

namespace {

int handler_calls = 0;
void* reserve = nullptr;

// Gives up (frees its reserve and uninstalls itself) on its third call.
void handler_gives_up_on_third_call() {
  if (++handler_calls == 3) {
    std::free(reserve);
    reserve = nullptr;
    std::set_new_handler(nullptr);
  }
}

void handler_throws_bad_alloc() {
  ++handler_calls;
  throw std::bad_alloc();
}

void handler_throws_int() {
  ++handler_calls;
  throw 5;
}

void handler_frees_reserve() {
  ++handler_calls;
  std::free(reserve);
  reserve = nullptr;
  std::set_new_handler(nullptr);
}

class AllocationFailure : public ::testing::Test {
 protected:
  void SetUp() override {
#if !CORVANE_OWN_ALLOCATOR
    GTEST_SKIP() << "the sanitizer's allocator reports exhaustion itself";
#endif
    saved_ = std::set_new_handler(nullptr);
    handler_calls = 0;
  }
  void TearDown() override {
    std::set_new_handler(saved_);
    std::free(reserve);
    reserve = nullptr;
  }
  std::new_handler saved_ = nullptr;
};

}  // namespace

TEST_F(AllocationFailure, WithoutHandlerThrowingFormsThrowAndNothrowFormsGiveNull) {
  const std::size_t n = huge_size;
  EXPECT_THROW(keep(::operator new(n)), std::bad_alloc);
  EXPECT_THROW(keep(::operator new[](n)), std::bad_alloc);
  EXPECT_THROW(keep(::operator new(n, std::align_val_t(64))), std::bad_alloc);
  EXPECT_THROW(keep(::operator new[](n, std::align_val_t(64))), std::bad_alloc);
  EXPECT_THROW(keep(::operator new(n, "here", 1)), std::bad_alloc);
  EXPECT_THROW(keep(::operator new[](n, "here", 1)), std::bad_alloc);
  EXPECT_EQ(keep(::operator new(n, std::nothrow)), nullptr);
  EXPECT_EQ(keep(::operator new[](n, std::nothrow)), nullptr);
  EXPECT_EQ(keep(::operator new(n, std::align_val_t(64), std::nothrow)), nullptr);
  EXPECT_EQ(keep(::operator new[](n, std::align_val_t(64), std::nothrow)), nullptr);
  EXPECT_EQ(keep(::operator new(n, std::nothrow, "here", 1)), nullptr);
  EXPECT_EQ(keep(::operator new[](n, std::nothrow, "here", 1)), nullptr);
}

TEST_F(AllocationFailure, HandlerIsCalledUntilItUninstallsItself) {
  const std::size_t n = huge_size;
  reserve = std::malloc(1 << 20);
  std::set_new_handler(handler_gives_up_on_third_call);
  EXPECT_THROW(keep(::operator new(n)), std::bad_alloc);
  EXPECT_EQ(handler_calls, 3);
  EXPECT_EQ(reserve, nullptr);
  EXPECT_EQ(std::get_new_handler(), nullptr);

  handler_calls = 0;
  reserve = std::malloc(1 << 20);
  std::set_new_handler(handler_gives_up_on_third_call);
  EXPECT_EQ(keep(::operator new[](n, std::nothrow)), nullptr);
  EXPECT_EQ(handler_calls, 3);

  handler_calls = 0;
  std::set_new_handler(handler_gives_up_on_third_call);
  EXPECT_THROW(keep(::operator new(n, std::align_val_t(128))), std::bad_alloc);
  EXPECT_EQ(handler_calls, 3);
}

TEST_F(AllocationFailure, NothrowFormsCatchTheHandlersException) {
  const std::size_t n = huge_size;
  std::set_new_handler(handler_throws_bad_alloc);
  EXPECT_EQ(keep(::operator new(n, std::nothrow)), nullptr);
  EXPECT_EQ(keep(::operator new[](n, std::nothrow, "here", 2)), nullptr);
  EXPECT_EQ(keep(::operator new(n, std::align_val_t(64), std::nothrow)), nullptr);
  EXPECT_EQ(handler_calls, 3);
  // The throwing forms let it through.
  EXPECT_THROW(keep(::operator new(n)), std::bad_alloc);
  EXPECT_EQ(handler_calls, 4);

  std::set_new_handler(handler_throws_int);
  EXPECT_EQ(keep(::operator new(n, std::nothrow)), nullptr);
  EXPECT_EQ(handler_calls, 5);
}

// With the address space held just above what the process uses, a large
// request fails until the handler hands back the reserve; the retry then
// succeeds. Done in a child process so the limit does not reach other tests.
// The request is larger than the 64 MiB heap of a thread's malloc arena:
// arenas that threads of earlier tests left behind already hold their
// address space and could otherwise serve it without the handler.
TEST_F(AllocationFailure, RetryAfterTheHandlerFreedMemorySucceeds) {
  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(
      {
        long pages = 0;
        if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
          if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
          std::fclose(statm);
        }
        if (pages <= 0) std::_Exit(3);
        const rlim_t mib = 1 << 20;
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + 128 * mib;
        if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(4);
        // The limit counts address space, not memory in use: the blocks are
        // never touched, so the test needs no memory a busy machine may lack.
        reserve = std::malloc(96 * mib);
        if (!reserve) std::_Exit(5);
        std::set_new_handler(handler_frees_reserve);
        void* p = keep(::operator new(80 * mib));
        std::_Exit(p && handler_calls == 1 && reserve == nullptr ? 0 : 10 + handler_calls);
      },
      ::testing::ExitedWithCode(0), "");
}

// --- Unit letters ---

TEST(MemToSuffix, LimitsAndNumbers) {
  struct Case {
    std::uint64_t bytes;
    char suffix;
    std::uint32_t number;
  };
  const std::uint64_t gib = 1ULL << 30;
  const Case cases[] = {
      {0, 'B', 0},
      {1433, 'B', 1433},
      {1434, 'K', 1},
      {1468006, 'K', 1433},
      {1468007, 'M', 1},
      {2 * gib, 'M', 2048},
      {14 * gib, 'M', 14336},
      {14 * gib + 1, 'G', 14},
      {15 * gib, 'G', 15},
      {5000 * gib, 'G', 5000},
      // Beyond 32 bits of GiB the number is held at the largest 32-bit value.
      {UINT64_MAX, 'G', UINT32_MAX},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mem_to_suffix(c.bytes), c.suffix) << c.bytes;
    EXPECT_EQ(mem_to_number(c.bytes), c.number) << c.bytes;
  }
}

// --- The memory report ---

TEST(DumpMemStats, TwoCallsLeaveAnEmptyFileAndTwoLogLines) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  LogCapture log(dir / "log.txt");
  {
    InFolder in(dir.path());
    ASSERT_TRUE(in.ok());
    EXPECT_TRUE(dump_mem_stats("first place"));
    EXPECT_TRUE(dump_mem_stats("second place"));
  }
  EXPECT_TRUE(exists_at_all(dir / "MemoryLog.txt"));
  EXPECT_EQ(read_file(dir / "MemoryLog.txt"), "");
  EXPECT_EQ(log.text(), dump_line + "first place\n" + dump_line + "second place\n");
}

TEST(DumpMemStats, FileThatCannotBeOpenedIsReportedAndTheLineStillLogged) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  LogCapture log(dir / "log.txt");
  const std::string saved = app_path;
  app_path = dir / "no such folder/";
  const bool ok = dump_mem_stats(nullptr);
  app_path = saved;
  EXPECT_FALSE(ok);
  EXPECT_FALSE(exists_at_all(dir / "no such folder"));
  EXPECT_EQ(log.text(), dump_line + "\n");
}

namespace {
// Runs in a fresh process: the first call of the run empties an old file, a
// later one leaves what it finds. Returns what went wrong, or "".
std::string first_and_later_calls() {
  TempDir dir;
  if (!dir.ok()) return "no temporary folder";
  if (!write_file(dir / "MemoryLog.txt", "left by an earlier run\n")) return "cannot prepare the file";
  InFolder in(dir.path());
  if (!in.ok()) return "cannot enter the folder";
  dump_mem_stats("first");
  if (read_file(dir / "MemoryLog.txt") != "") return "the first call did not empty the file";
  if (!write_file(dir / "MemoryLog.txt", "written in between\n")) return "cannot refill the file";
  dump_mem_stats("second");
  if (read_file(dir / "MemoryLog.txt") != "written in between\n") return "a later call emptied the file";
  return "";
}
}  // namespace

TEST(DumpMemStatsDeathTest, FirstCallOfTheRunEmptiesTheFileLaterCallsKeepIt) {
  // "threadsafe" runs the statement in a newly started copy of this program,
  // where no earlier test has made its first call yet.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const std::string fault = first_and_later_calls();
        std::fprintf(stderr, "%s\n", fault.empty() ? "clean" : fault.c_str());
        std::fflush(stderr);
        std::_Exit(fault.empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "clean");
}

TEST(DumpMemStats, RemoteCommandIsRegisteredAndDumps) {
  const UTL_remote_cmd* found = nullptr;
  for (const UTL_remote_cmd* c = UTL_remote_cmd::cmd_list; c; c = c->next)
    if (c->name && std::string(c->name) == "Dump Memory Info") found = c;
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->function, &DumpMemCmd);
  EXPECT_GE(found->id, 1);
  EXPECT_LT(found->id, UTL_remote_cmd::free_id);

  TempDir dir;
  ASSERT_TRUE(dir.ok());
  LogCapture log(dir / "log.txt");
  {
    InFolder in(dir.path());
    ASSERT_TRUE(in.ok());
    UTL_remote_cmd::invoke(nullptr, found->id);
  }
  EXPECT_EQ(log.text(), dump_line + "Remote Commanded Dump\n");
  EXPECT_TRUE(exists_at_all(dir / "MemoryLog.txt"));
}
