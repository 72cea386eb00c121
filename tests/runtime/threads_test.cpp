// The thread layer: primitives, start handshake, failures of threads, the
// idle workers and their asynchronous calls, shutdown.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include "runtime/globals.h"
#include "runtime/threads.h"
#include "textures/ogl_extensions.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "ui/alert.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void* tag(std::uintptr_t v) { return reinterpret_cast<void*>(v); }

// Threads of this process right now.
int count_threads() {
  DIR* d = opendir("/proc/self/task");
  if (!d) return -1;
  int n = 0;
  while (dirent* e = readdir(d))
    if (e->d_name[0] != '.') ++n;
  closedir(d);
  return n;
}

// Opens the log in a fresh folder for one test and closes it again.
class LogCapture {
 public:
  LogCapture() { xer.open(dir_ / "log.txt", std::ios::out | std::ios::trunc); }
  ~LogCapture() {
    if (xer.is_open()) xer.close();
  }
  std::string text() {
    xer.flush();
    return read_file(dir_ / "log.txt");
  }

 private:
  TempDir dir_;
};

// The thread layer runs for the duration of one test.
// Threads start once the capability probe has run, which leaves no shared
// GL contexts for them.
void capabilities_known() { glExt.threaded_avail = 0; }

class ThreadLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(THREAD_is_inited(), 0) << "an earlier test left the layer running";
    capabilities_known();
    THREAD_init();
  }
  void TearDown() override { THREAD_shutdown(); }

  // The next fatal record that threads queued, or null after a short wait.
  exce_class* next_fatal(int timeout_ms = 5000) {
    return static_cast<exce_class*>(UTL_message_queue_read(quit_exce, timeout_ms));
  }
};

}  // namespace

TEST(CountProcessors, CountsModelNameLines) {
  TempDir dir;
  std::string info;
  for (int i = 0; i < 4; ++i)
    info += "processor\t: " + std::to_string(i) + "\nmodel name\t: Test CPU " + std::string(600, 'x') +
            "\ncpu MHz\t\t: 1000\n\n";
  ASSERT_TRUE(write_file(dir / "cpuinfo", info));
  EXPECT_EQ(UTL_count_processors_in((dir / "cpuinfo").c_str()), 4)
      << "a long line counts once, whatever its later pieces hold";
}

TEST(CountProcessors, FileWithoutProcessorsGivesOneWithBothMessages) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "cpuinfo", "processor\t: 0\nvendor_id\t: none\n"));
  LogCapture log;
  testing::internal::CaptureStderr();
  EXPECT_EQ(UTL_count_processors_in((dir / "cpuinfo").c_str()), 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("LINUX: I searched /proc/cpuinfo for processors, and did not find any."), std::string::npos);
  EXPECT_NE(err.find("that you have one CPU.\n"), std::string::npos);
  EXPECT_EQ(log.text(), "Linux CPU detect failed -- no processors in /proc/cpuinfo\n");
}

TEST(CountProcessors, UnreadableFileGivesOneWithTheReason) {
  TempDir dir;
  LogCapture log;
  testing::internal::CaptureStderr();
  EXPECT_EQ(UTL_count_processors_in((dir / "missing").c_str()), 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("LINUX: I could not open /proc/cpuinfo"), std::string::npos);
  EXPECT_NE(err.find("I got was:\n\tNo such file or directory\n"), std::string::npos) << err;
  EXPECT_EQ(log.text(), "Linux CPU detect failed -- /proc/cpuinfo couldn't be opened\n");
}

TEST(Sleep, ZeroAndNegativeReturnAtOnce) {
  const auto t0 = Clock::now();
  UTL_sleep(0);
  UTL_sleep(-5);
  EXPECT_LT(ms_since(t0), 5.0);
  UTL_sleep(20);
  EXPECT_GE(ms_since(t0), 19.0);
}

TEST_F(ThreadLayer, KnowsTheMainThread) {
  EXPECT_EQ(THREAD_is_inited(), 1);
  EXPECT_EQ(THREAD_is_main_thread(), 1);
  int other = -1;
  std::thread t([&] { other = THREAD_is_main_thread(); });
  t.join();
  EXPECT_EQ(other, 0);
  EXPECT_NE(warn_exce, nullptr);
  EXPECT_NE(quit_exce, nullptr);
  EXPECT_NE(call_queue, nullptr);
}

TEST(ThreadLayerLifecycle, ShutdownTurnsTheLayerOffAndLogs) {
  LogCapture log;
  THREAD_init();
  THREAD_shutdown();
  EXPECT_EQ(THREAD_is_inited(), 0);
  EXPECT_EQ(warn_exce, nullptr);
  EXPECT_EQ(quit_exce, nullptr);
  EXPECT_EQ(log.text(), "Clean exit from threads.\n");
  THREAD_shutdown();  // a second shutdown does nothing
  EXPECT_EQ(log.text(), "Clean exit from threads.\n");
}

namespace {

struct start_check {
  int value;
  std::atomic<int>* seen;
};

void* remember_arg(void* p) {
  auto* c = static_cast<start_check*>(p);
  c->seen->fetch_add(c->value);
  return tag(static_cast<std::uintptr_t>(c->value));
}

}  // namespace

TEST_F(ThreadLayer, CreateRunsTheFunctionWithItsArgumentAndGivesItsResult) {
  std::atomic<int> seen{0};
  int expected = 0;
  for (int i = 1; i <= 40; ++i) {
    start_check check{i, &seen};  // lives only for this start
    unsigned long thread = 0, join = 0, id = 0;
    THREAD_create(remember_arg, &check, &thread, &join, &id, 1);
    EXPECT_EQ(thread, join);
    EXPECT_EQ(thread, id);
    EXPECT_EQ(UTL_thread_join(&thread, &join), tag(static_cast<std::uintptr_t>(i)));
    expected += i;
  }
  EXPECT_EQ(seen.load(), expected);
  EXPECT_EQ(UTL_message_queue_read(quit_exce, 0), nullptr);
}

namespace {

void* throw_standard(void*) { throw std::runtime_error("disk on fire"); }
void* throw_other(void*) { throw 42; }
void* throw_record(void*) { throw exce_class("own record", "b", "c", "d", "mine.cpp", 77, 1); }
void* exit_inside_handler(void*) {
  UTL_thread_exit(tag(7));
}

}  // namespace

TEST_F(ThreadLayer, StandardExceptionBecomesFatalRecordAndEndsTheThread) {
  unsigned long thread = 0, join = 0, id = 0;
  THREAD_create(throw_standard, nullptr, &thread, &join, &id, 0);
  EXPECT_EQ(UTL_thread_join(&thread, &join), nullptr);
  exce_class* r = next_fatal();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->line1, "Caught an unhandled C++ exception");
  EXPECT_EQ(r->line2, "disk on fire");
  EXPECT_EQ(r->line3, "");
  EXPECT_EQ(r->line4, "");
  EXPECT_STREQ(r->file, "RAdorud/Thread/hl_thread");
  EXPECT_EQ(r->line, 366);
  EXPECT_EQ(r->kind, 2);
  delete r;
}

TEST_F(ThreadLayer, UnknownExceptionBecomesFatalRecord) {
  unsigned long thread = 0, join = 0, id = 0;
  THREAD_create(throw_other, nullptr, &thread, &join, &id, 0);
  UTL_thread_join(&thread, &join);
  exce_class* r = next_fatal();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->line1, "Caught an unhandled unknown exception");
  EXPECT_EQ(r->line2, "");
  EXPECT_EQ(r->line, 368);
  EXPECT_EQ(r->kind, 2);
  delete r;
}

TEST_F(ThreadLayer, ThrownFailureRecordIsPassedOnAsFatal) {
  unsigned long thread = 0, join = 0, id = 0;
  THREAD_create(throw_record, nullptr, &thread, &join, &id, 0);
  UTL_thread_join(&thread, &join);
  exce_class* r = next_fatal();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->line1, "own record");
  EXPECT_EQ(r->line4, "d");
  EXPECT_STREQ(r->file, "mine.cpp");
  EXPECT_EQ(r->line, 77);
  EXPECT_EQ(r->kind, 2) << "made fatal";
  delete r;
  EXPECT_EQ(UTL_message_queue_read(warn_exce, 0), nullptr);
}

TEST_F(ThreadLayer, ThreadExitPassesTheCatchAllHandler) {
  // Ending a thread unwinds it with the platform's forced-unwind exception;
  // a handler that swallowed it would abort the whole process.
  unsigned long thread = 0, join = 0, id = 0;
  THREAD_create(exit_inside_handler, nullptr, &thread, &join, &id, 0);
  EXPECT_EQ(UTL_thread_join(&thread, &join), tag(7));
  EXPECT_EQ(UTL_message_queue_read(quit_exce, 0), nullptr) << "ending a thread is not a failure";
}

namespace {

// An asynchronous call that waits for its gate, then answers.
void* gated_call(void* gate) {
  return UTL_message_queue_read(static_cast<UTL_message_queue*>(gate), -1);
}

}  // namespace

TEST_F(ThreadLayer, WorkersRunAsynchronousCallsWithCookies) {
  LogCapture log;
  // A sanitizer may start a helper thread with the first thread. A joined
  // thread may still be listed for a moment after its join returned.
  pid_t first = 0;
  std::thread([&] { first = gettid(); }).join();
  wait_until([&] { return access(("/proc/self/task/" + std::to_string(first)).c_str(), F_OK) != 0; });
  const int before = count_threads();
  THREAD_make_workers();
  const int n = UTL_count_processors();
  EXPECT_EQ(static_cast<int>(worker_threads.size()), n);
  EXPECT_EQ(worker_threads_join.size(), worker_threads.size());
  EXPECT_EQ(worker_threads_id.size(), worker_threads.size());
  EXPECT_EQ(count_threads(), before + n);
  EXPECT_EQ(log.text(), "CPU count        : " + std::to_string(n) + "\n");

  next_cookie = 0;
  UTL_message_queue* gate = nullptr;
  UTL_message_queue_create(&gate);
  THREAD_call* a = THREAD_run_async(gated_call, gate);
  THREAD_call* b = THREAD_run_async(gated_call, gate);
  THREAD_call* c = THREAD_run_async(gated_call, gate);
  EXPECT_EQ(a->cookie, 4u);
  EXPECT_EQ(b->cookie, 8u);
  EXPECT_EQ(c->cookie, 12u);

  // Nothing is done while the gate is shut; a timed look waits its time.
  EXPECT_EQ(THREAD_is_done(a, 0), 0);
  const auto t0 = Clock::now();
  EXPECT_EQ(THREAD_is_done(a, 30), 0);
  EXPECT_GE(ms_since(t0), 29.0);

  for (std::uintptr_t v : {100u, 200u, 300u}) UTL_message_queue_write(gate, tag(v));
  std::uintptr_t sum = 0;
  for (THREAD_call* call : {a, b, c}) {
    EXPECT_EQ(THREAD_is_done(call, -1), 1);
    EXPECT_EQ(THREAD_is_done(call, 0), 0) << "only the first look that sees the cookie answers 1";
    EXPECT_EQ(call->done, 1);
    sum += reinterpret_cast<std::uintptr_t>(THREAD_cleanup(call));
  }
  EXPECT_EQ(sum, 600u);

  // A recycled record keeps its queue and lock; the cookie wraps past 0 to 4.
  UTL_message_queue* old_queue = c->done_queue;
  next_cookie = 0xFFFFFFFCu;
  THREAD_call* d = THREAD_run_async(gated_call, gate);
  EXPECT_EQ(d, c) << "the record freed last is reused first";
  EXPECT_EQ(d->done_queue, old_queue);
  EXPECT_EQ(d->cookie, 4u);
  EXPECT_EQ(d->done, 0);
  EXPECT_EQ(d->result, nullptr);
  UTL_message_queue_write(gate, tag(9));
  EXPECT_EQ(THREAD_is_done(d, 10000), 1);
  EXPECT_EQ(THREAD_cleanup(d), tag(9));

  THREAD_shutdown();
  EXPECT_TRUE(wait_until([&] { return count_threads() == before; }))
      << count_threads() << " threads, not " << before << ": every worker was joined";
  EXPECT_TRUE(worker_threads.empty());
  EXPECT_NE(log.text().find("Clean exit from threads.\n"), std::string::npos);
  UTL_message_queue_destroy(gate);
  THREAD_init();  // for TearDown
}

TEST(ThreadLayerDeathTest, CleanupOfACallNotSeenDoneIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        capabilities_known();
        THREAD_init();
        THREAD_make_workers();
        UTL_message_queue* gate = nullptr;
        UTL_message_queue_create(&gate);
        THREAD_cleanup(THREAD_run_async(gated_call, gate));
      },
      ::testing::ExitedWithCode(1), "Thread cleanup called on not-done call\\.(.|\n)*hl_thread line 610");
}

namespace {

// Asynchronous calls that report a problem as their last act.
void* warn_on_the_way_out(void*) {
  MACIBM_alert(0, "Late warning", "from a worker", "", "", t_alert);
  return nullptr;
}
void* fail_on_the_way_out(void*) {
  MACIBM_alert(0, "Late failure", "from a worker", "", "", t_exit);
  return nullptr;  // not reached: the worker ends inside the alert
}

}  // namespace

// A failure record that a worker queued just before an orderly shutdown is
// still on its queue when the workers have been joined: the shutdown shows
// it rather than dropping it. A fatal one ends the program with exit code 1.
TEST(ThreadLayerDeathTest, FatalRecordQueuedBeforeShutdownEndsWithOne) {
  // "fast": the child is forked at the statement and works in the parent's
  // folder, which the parent removes (the alert leaves its files there).
  GTEST_FLAG_SET(death_test_style, "fast");
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  EXPECT_EXIT(
      {
        if (chdir(dir.path().c_str()) != 0) _exit(3);
        capabilities_known();
        THREAD_init();
        THREAD_make_workers();
        THREAD_run_async(fail_on_the_way_out, nullptr);
        THREAD_shutdown();
        _exit(8);  // not reached: the shutdown shows the fatal record
      },
      ::testing::ExitedWithCode(1), "Halden Error:\nLate failure\n\nfrom a worker\n");
}

// A warning queued the same way is shown too, and the shutdown goes on to
// its clean end.
TEST(ThreadLayerDeathTest, WarningQueuedBeforeShutdownIsShownAndTheExitIsClean) {
  GTEST_FLAG_SET(death_test_style, "fast");
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  EXPECT_EXIT(
      {
        if (chdir(dir.path().c_str()) != 0) _exit(3);
        xer.open("log.txt", std::ios::out);
        capabilities_known();
        THREAD_init();
        THREAD_make_workers();
        THREAD_call* call = THREAD_run_async(warn_on_the_way_out, nullptr);
        // Looking at the call shows fatal records only: the warning waits.
        if (THREAD_is_done(call, -1) != 1) _exit(4);
        THREAD_cleanup(call);
        THREAD_shutdown();
        if (THREAD_is_inited() || warn_exce) _exit(5);
        xer.close();
        _exit(0);
      },
      ::testing::ExitedWithCode(0), "^Halden Error:\nLate warning\n\nfrom a worker\n");
  // The log has the warning before the end of the shutdown.
  const std::string log = read_file(dir / "log.txt");
  const std::size_t shown = log.find("\nLate warning\nfrom a worker\n\n\n(");
  const std::size_t clean = log.find("Clean exit from threads.\n");
  EXPECT_NE(shown, std::string::npos) << log;
  EXPECT_NE(clean, std::string::npos) << log;
  EXPECT_LT(shown, clean) << log;
}
