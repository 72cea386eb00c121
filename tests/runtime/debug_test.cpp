#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "runtime/debug.h"
#include "runtime/globals.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "ui/alert.h"

namespace {

// What `write` puts into a FILE*, read back through a memory stream.
std::string written(const std::function<void(FILE*)>& write) {
  char* buf = nullptr;
  std::size_t len = 0;
  FILE* f = open_memstream(&buf, &len);
  if (!f) return "<no stream>";
  write(f);
  std::string out = std::fclose(f) == 0 ? std::string(buf, len) : "<close failed>";
  std::free(buf);
  return out;
}

void* addr(std::uintptr_t a) { return reinterpret_cast<void*>(a); }

symbol_info empty_info() {
  symbol_info info{};
  info.line = -1;
  return info;
}

}  // namespace

// --- Start-up set-up ---

TEST(DebugInit, WritingToAClosedPipeGivesEpipeInsteadOfEndingTheProcess) {
  struct sigaction before;
  ASSERT_EQ(sigaction(SIGPIPE, nullptr, &before), 0);
  signal(SIGPIPE, SIG_DFL);
  UTL_debug_init();
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  errno = 0;
  const ssize_t n = write(fds[1], "x", 1);
  const int err = errno;
  close(fds[1]);
  sigaction(SIGPIPE, &before, nullptr);
  EXPECT_EQ(n, -1);
  EXPECT_EQ(err, EPIPE);
}

// --- Symbols ---

TEST(Symbols, LookupGivesNothingAndEveryLineIsAddressAndQuestionMarks) {
  symbol_info info;
  std::memset(&info, 'x', sizeof info);
  UTL_get_debug_symbol(addr(0x4000), &info);
  EXPECT_STREQ(info.module_name, "");
  EXPECT_STREQ(info.function_name, "");
  EXPECT_STREQ(info.file_name, "");
  EXPECT_EQ(info.module_base, 0u);
  EXPECT_EQ(info.function_start, 0u);
  EXPECT_EQ(info.line, -1);

  EXPECT_EQ(written([](FILE* f) { print_symbol(f, addr(0x1234)); }), "0x00001234 (?\?\?)\n");
  EXPECT_EQ(written([](FILE* f) { print_symbol(f, nullptr); }), "0x00000000 (?\?\?)\n");
  EXPECT_EQ(written([](FILE* f) { print_symbol(f, addr(0xdeadbeef)); }), "0xdeadbeef (?\?\?)\n");
  // Addresses above 4 GiB keep all their digits.
  EXPECT_EQ(written([](FILE* f) { print_symbol(f, addr(0x7f12345678abULL)); }), "0x7f12345678ab (?\?\?)\n");
}

TEST(Symbols, KnownPartsOfALookupAreWritten) {
  symbol_info info = empty_info();
  std::strcpy(info.file_name, "src/render/draw.cpp");
  info.line = 120;
  std::strcpy(info.function_name, "draw_panel");
  info.function_start = 0x1000;
  EXPECT_EQ(written([&](FILE* f) { print_symbol_info(f, addr(0x1010), info); }),
            "0x00001010 (draw.cpp:120) (draw_panel + 16)\n");

  std::strcpy(info.file_name, "C:\\build\\src/x\\panel.c");
  EXPECT_EQ(written([&](FILE* f) { print_symbol_info(f, addr(0x1002), info); }),
            "0x00001002 (panel.c:120) (draw_panel + 2)\n");

  symbol_info start_only = empty_info();
  start_only.function_start = 0x2000;
  EXPECT_EQ(written([&](FILE* f) { print_symbol_info(f, addr(0x2040), start_only); }),
            "0x00002040 (0x00002000 + 64)\n");
}

// --- Stack dump ---

TEST(DumpStack, NullsWriteNothingAndPcAloneWritesOneEntry) {
  EXPECT_EQ(written([](FILE* f) { UTL_dump_stack(f, nullptr, nullptr); }), "");
  EXPECT_EQ(written([](FILE* f) { UTL_dump_stack(f, nullptr, addr(0xabc)); }), "  0) 0x00000abc (?\?\?)\n");
}

TEST(DumpStack, LinkThatDoesNotAscendEndsTheWalkAfterOneEntry) {
  stack_frame frames[2];
  frames[0] = {nullptr, addr(0x111)};
  frames[1] = {&frames[0], addr(0x222)};  // links below itself
  EXPECT_EQ(written([&](FILE* f) { UTL_dump_stack(f, &frames[1], nullptr); }), "  0) 0x00000222 (?\?\?)\n");

  stack_frame loop = {&loop, addr(0x333)};  // links to itself
  EXPECT_EQ(written([&](FILE* f) { UTL_dump_stack(f, &loop, addr(0x10)); }),
            "  0) 0x00000010 (?\?\?)\n  1) 0x00000333 (?\?\?)\n");
}

TEST(DumpStack, AscendingChainIsWalkedToItsEnd) {
  stack_frame frames[3];
  frames[0] = {&frames[1], addr(0x100)};
  frames[1] = {&frames[2], addr(0x200)};
  frames[2] = {nullptr, addr(0x300)};
  EXPECT_EQ(written([&](FILE* f) { UTL_dump_stack(f, &frames[0], addr(0x50)); }),
            "  0) 0x00000050 (?\?\?)\n"
            "  1) 0x00000100 (?\?\?)\n"
            "  2) 0x00000200 (?\?\?)\n"
            "  3) 0x00000300 (?\?\?)\n");
}

TEST(DumpStack, AtMostOneHundredEntries) {
  std::vector<stack_frame> frames(150);
  for (std::size_t i = 0; i < frames.size(); ++i)
    frames[i] = {i + 1 < frames.size() ? &frames[i + 1] : nullptr, addr(0x1000 + i)};

  auto lines_of = [](const std::string& s) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t nl; (nl = s.find('\n', start)) != std::string::npos; start = nl + 1)
      lines.push_back(s.substr(start, nl - start));
    return lines;
  };

  const auto without_pc = lines_of(written([&](FILE* f) { UTL_dump_stack(f, frames.data(), nullptr); }));
  ASSERT_EQ(without_pc.size(), 100u);
  EXPECT_EQ(without_pc[0], "  0) 0x00001000 (?\?\?)");
  EXPECT_EQ(without_pc[9], "  9) 0x00001009 (?\?\?)");
  EXPECT_EQ(without_pc[10], "  10) 0x0000100a (?\?\?)");
  EXPECT_EQ(without_pc[99], "  99) 0x00001063 (?\?\?)");

  const auto with_pc = lines_of(written([&](FILE* f) { UTL_dump_stack(f, frames.data(), addr(0xfff)); }));
  ASSERT_EQ(with_pc.size(), 100u);
  EXPECT_EQ(with_pc[0], "  0) 0x00000fff (?\?\?)");
  EXPECT_EQ(with_pc[1], "  1) 0x00001000 (?\?\?)");
  EXPECT_EQ(with_pc[99], "  99) 0x00001062 (?\?\?)");
}

// --- Hex dump ---

TEST(DumpHex, RowLayout) {
  const unsigned char bytes[17] = {0x00, 0x1f, 0x20, 'A', '~', 0x7f, 0x80, 0xff,
                                   '0',  '1',  '2',  '3', '4', '5',  '6',  '7', 'Q'};
  EXPECT_EQ(written([&](FILE* f) { dump_hex(f, bytes, 0); }), "");
  EXPECT_EQ(written([&](FILE* f) { dump_hex(f, bytes, -4); }), "");
  EXPECT_EQ(written([](FILE* f) { dump_hex(f, "Hello", 5); }),
            " 48656C6C 6F                             Hell o              \n");
  const std::string full_row = " 001F2041 7E7F80FF 30313233 34353637     .. A ~... 0123 4567 \n";
  EXPECT_EQ(written([&](FILE* f) { dump_hex(f, bytes, 16); }), full_row);
  EXPECT_EQ(written([&](FILE* f) { dump_hex(f, bytes, 17); }),
            full_row + " 51                                      Q                   \n");
}

// --- Remote commands ---

namespace {
int first_runs = 0;
int second_runs = 0;
void run_first() { ++first_runs; }
void run_second() { ++second_runs; }
}  // namespace

TEST(RemoteCommands, IdsListOrderAndInvoke) {
  const int next_id = UTL_remote_cmd::free_id;
  first_runs = second_runs = 0;
  {
    UTL_remote_cmd first("first", run_first);
    UTL_remote_cmd second("second", run_second);
    EXPECT_EQ(first.id, next_id);
    EXPECT_EQ(second.id, next_id + 1);
    EXPECT_EQ(UTL_remote_cmd::free_id, next_id + 2);
    EXPECT_EQ(UTL_remote_cmd::cmd_list, &second);
    EXPECT_EQ(second.next, &first);

    UTL_remote_cmd::invoke(nullptr, first.id);
    UTL_remote_cmd::invoke(&first_runs, second.id);
    UTL_remote_cmd::invoke(nullptr, second.id);
    UTL_remote_cmd::invoke(nullptr, next_id + 2);  // no such command
    UTL_remote_cmd::invoke(nullptr, 0);
    EXPECT_EQ(first_runs, 1);
    EXPECT_EQ(second_runs, 2);
  }
  // Commands that are gone leave the list; their ids are not given again.
  for (const UTL_remote_cmd* c = UTL_remote_cmd::cmd_list; c; c = c->next) EXPECT_LT(c->id, next_id);
  UTL_remote_cmd::invoke(nullptr, next_id);
  EXPECT_EQ(first_runs, 1);
  UTL_remote_cmd third("third", run_first);
  EXPECT_EQ(third.id, next_id + 2);

  const int saved_inited = UTL_remote_cmd::inited;
  UTL_remote_cmd::inited = 0;
  UTL_remote_cmd::init_remote_cmds();
  EXPECT_EQ(UTL_remote_cmd::inited, 1);
  UTL_remote_cmd::inited = saved_inited;
}

// --- Statistics ---

namespace {

bool waiting_holds(const UTL_stat* s) {
  for (const UTL_stat* w = UTL_stat::waiting; w; w = w->next)
    if (w == s) return true;
  return false;
}

bool published(const UTL_stat* s, UTL_stat_type type) {
  auto& all = UTL_stat::all_stats();
  auto it = all.find(type);
  return it != all.end() && it->second.count(const_cast<UTL_stat*>(s)) == 1;
}

const UTL_stat_type kind_a = static_cast<UTL_stat_type>(900);
const UTL_stat_type kind_b = static_cast<UTL_stat_type>(901);

// Starts each test with nothing waiting and the registry not yet
// initialised; the program's own statistics are put back afterwards.
class Stats : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_waiting_ = UTL_stat::waiting;
    saved_initialized_ = UTL_stat::stat_initialized;
    UTL_stat::waiting = nullptr;
    UTL_stat::stat_initialized = 0;
  }
  void TearDown() override {
    UTL_stat::waiting = saved_waiting_;
    UTL_stat::stat_initialized = saved_initialized_;
  }
  UTL_stat* saved_waiting_ = nullptr;
  int saved_initialized_ = 0;
};

}  // namespace

TEST_F(Stats, BeforeInitStatisticsWaitNewestFirst) {
  UTL_stat a("test/a", kind_a, 2.5f);
  float outside = 7.0f;
  UTL_stat b(&outside, "test/b", kind_b);
  EXPECT_EQ(a.value, 2.5f);
  EXPECT_EQ(a.source, &a.value);
  EXPECT_EQ(b.source, &outside);
  EXPECT_STREQ(b.name, "test/b");
  EXPECT_EQ(UTL_stat::waiting, &b);
  EXPECT_EQ(b.next, &a);
  EXPECT_FALSE(published(&a, kind_a));
  EXPECT_FALSE(published(&b, kind_b));
}

TEST_F(Stats, InitStatsMovesTheWaitingOnesAndLaterOnesGoStraightIn) {
  UTL_stat a("test/a", kind_a, 0.0f);
  UTL_stat b("test/b", kind_b, 0.0f);
  UTL_stat::init_stats();
  EXPECT_EQ(UTL_stat::stat_initialized, 1);
  EXPECT_EQ(UTL_stat::waiting, nullptr);
  EXPECT_TRUE(published(&a, kind_a));
  EXPECT_TRUE(published(&b, kind_b));
  EXPECT_FALSE(published(&a, kind_b));

  UTL_stat c("test/c", kind_a, 1.0f);
  EXPECT_FALSE(waiting_holds(&c));
  EXPECT_TRUE(published(&c, kind_a));
}

TEST_F(Stats, PublishAndResetWorkPerKind) {
  UTL_stat a("test/a", kind_a, 0.0f);
  UTL_stat b("test/b", kind_b, 0.0f);
  a.publish();
  b.publish();
  EXPECT_TRUE(published(&a, kind_a));
  EXPECT_TRUE(waiting_holds(&a));  // publishing does not take it off the list
  UTL_stat::reset_stats(kind_a);
  EXPECT_FALSE(published(&a, kind_a));
  EXPECT_TRUE(published(&b, kind_b));
  UTL_stat::reset_stats(kind_b);
  EXPECT_FALSE(published(&b, kind_b));
}

TEST_F(Stats, StatisticThatIsGoneLeavesListAndSet) {
  UTL_stat a("test/a", kind_a, 0.0f);
  {
    UTL_stat b("test/b", kind_a, 0.0f);
    UTL_stat c("test/c", kind_a, 0.0f);
    b.publish();
  }
  EXPECT_EQ(UTL_stat::waiting, &a);
  EXPECT_EQ(a.next, nullptr);
  const auto& set = UTL_stat::all_stats()[kind_a];
  EXPECT_TRUE(set.empty());
  UTL_stat::init_stats();
  EXPECT_EQ(UTL_stat::all_stats()[kind_a].size(), 1u);
}

// --- The alert's diagnostic files ---

namespace {
const char* const alert_dump_line =
    "OK check MemoryLog.txt! I just sent him a dump from This is the dump_mem_stats call from the following "
    "code: if(type==t_exit || type == t_alert || recursive_error)\n";
}

TEST(AlertDiagnosticsDeathTest, FatalAlertLeavesEmptyCrashFilesInTheWorkingFolder) {
  GTEST_FLAG_SET(death_test_style, "fast");
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  // A stack file from an earlier crash is added to, not replaced.
  ASSERT_TRUE(write_file(dir / "stack_crawl.txt", "earlier crash\n"));
  EXPECT_EXIT(
      {
        if (chdir(dir.path().c_str()) != 0) std::_Exit(3);
        xer.close();
        xer.clear();
        xer.open(dir / "log.txt", std::ios::out | std::ios::trunc);
        MACIBM_alert(0, "It broke", "badly", "", "", t_exit);
      },
      ::testing::ExitedWithCode(1), "It broke");
  EXPECT_EQ(read_file(dir / "stack_crawl.txt"), "earlier crash\n");
  EXPECT_TRUE(exists_at_all(dir / "MemoryLog.txt"));
  EXPECT_EQ(read_file(dir / "MemoryLog.txt"), "");
  const std::string log = read_file(dir / "log.txt");
  EXPECT_EQ(log.rfind(alert_dump_line, 0), 0u) << log;
  EXPECT_NE(log.find("\nIt broke\nbadly\n\n\n(", std::strlen(alert_dump_line)), std::string::npos) << log;
}

TEST(AlertDiagnosticsDeathTest, FatalAlertWithoutAStackFileStartsAnEmptyOne) {
  GTEST_FLAG_SET(death_test_style, "fast");
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  EXPECT_EXIT(
      {
        if (chdir(dir.path().c_str()) != 0) std::_Exit(3);
        MACIBM_alert(0, "Gone", "", "", "", t_exit);
      },
      ::testing::ExitedWithCode(1), "Gone");
  EXPECT_TRUE(exists_at_all(dir / "stack_crawl.txt"));
  EXPECT_EQ(read_file(dir / "stack_crawl.txt"), "");
  EXPECT_TRUE(exists_at_all(dir / "MemoryLog.txt"));
  EXPECT_EQ(read_file(dir / "MemoryLog.txt"), "");
}

TEST(AlertDiagnostics, WarningDumpsMemoryButWritesNoStackFile) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  LogCapture log(dir / "log.txt");
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  testing::internal::CaptureStderr();
  __MACIBM_alert(0, "first", "", "", "", t_alert, "utils", 525);
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_FALSE(exists_at_all(dir / "stack_crawl.txt"));
  EXPECT_TRUE(exists_at_all(dir / "MemoryLog.txt"));
  EXPECT_EQ(log.text(), std::string(alert_dump_line) + "\nfirst\n\n\n\n(utils line 525)\n");
}
