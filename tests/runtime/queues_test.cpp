// Critical sections and message queues between threads.
#include <gtest/gtest.h>
#include <errno.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "runtime/exceptions.h"
#include "runtime/queues.h"
#include "runtime/threads.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void* tag(std::uintptr_t v) { return reinterpret_cast<void*>(v); }

// Waits (without sleeping long) until n readers block on the queue.
void wait_for_readers(UTL_message_queue* q, std::size_t n) {
  const auto give_up = Clock::now() + std::chrono::seconds(20);
  while (UTL_message_queue_waiting(q) < n && Clock::now() < give_up) std::this_thread::yield();
  ASSERT_EQ(UTL_message_queue_waiting(q), n);
}

struct Queue {
  Queue() { UTL_message_queue_create(&q); }
  ~Queue() { UTL_message_queue_destroy(q); }
  UTL_message_queue* q = nullptr;
};

}  // namespace

TEST(CriticalSection, OwnerMayLockAgainAndOthersWaitForTheLastUnlock) {
  pthread_mutex_t section;
  UTL_critical_section_create(&section);
  UTL_critical_section_lock(&section);
  UTL_critical_section_lock(&section);  // must not deadlock

  auto other_gets_it = [&section] {
    int rc = 0;
    std::thread t([&] {
      rc = pthread_mutex_trylock(&section);
      if (rc == 0) pthread_mutex_unlock(&section);
    });
    t.join();
    return rc == 0;
  };
  EXPECT_FALSE(other_gets_it());
  UTL_critical_section_unlock(&section);
  EXPECT_FALSE(other_gets_it()) << "one level is still held";
  UTL_critical_section_unlock(&section);
  EXPECT_TRUE(other_gets_it());
  UTL_critical_section_destroy(&section);
}

TEST(CriticalSection, NestedHoldersKeepCountsRightUnderContention) {
  pthread_mutex_t section;
  UTL_critical_section_create(&section);
  long counter = 0;  // guarded by section only
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        UTL_scoped_lock outer(&section);
        UTL_scoped_lock inner(&section);
        counter += 1;
        inner.release();
        counter += 1;  // still held by the outer holder
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 4 * 20000 * 2);
  UTL_critical_section_destroy(&section);
}

TEST(CriticalSectionDeathTest, FailingCallIsFatalWithTheCallNameAndErrorNumber) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the thread sanitizer stops at the deliberate unlock of an unlocked mutex";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Unlocking a recursive mutex that the thread does not hold fails with
  // EPERM (1).
  EXPECT_EXIT(
      {
        pthread_mutex_t section;
        UTL_critical_section_create(&section);
        UTL_critical_section_unlock(&section);
      },
      ::testing::ExitedWithCode(1),
      "\"pthread_mutex_unlock\" OS error\n\nerr=1\\.000000\n(.|\n)*RAdorud/UTL/UTL_thread line 224");
}

TEST(MessageQueue, PollOfEmptyQueueReturnsAtOnceAndIsNotCountedAsWaiting) {
  Queue q;
  const auto t0 = Clock::now();
  EXPECT_EQ(UTL_message_queue_read(q.q, 0), nullptr);
  EXPECT_LT(ms_since(t0), 50.0);
  EXPECT_EQ(UTL_message_queue_waiting(q.q), 0u);
}

TEST(MessageQueue, ReadsComeOldestFirst) {
  Queue q;
  for (std::uintptr_t i = 1; i <= 1000; ++i) UTL_message_queue_write(q.q, tag(i));
  for (std::uintptr_t i = 1; i <= 1000; ++i) ASSERT_EQ(UTL_message_queue_read(q.q, 0), tag(i));
  EXPECT_EQ(UTL_message_queue_read(q.q, 0), nullptr);
}

TEST(MessageQueue, TimedReadOfEmptyQueueWaitsItsTimeThenGivesNull) {
  Queue q;
  const auto t0 = Clock::now();
  EXPECT_EQ(UTL_message_queue_read(q.q, 120), nullptr);
  const double waited = ms_since(t0);
  EXPECT_GE(waited, 119.0);
  EXPECT_LT(waited, 5000.0);
  EXPECT_EQ(UTL_message_queue_waiting(q.q), 0u) << "a timed-out reader is no longer counted";
}

TEST(MessageQueue, TimedReadOverASecondBoundaryStillEnds) {
  // Unless the clock stands in the first millisecond of a second, 999 ms
  // carry the deadline's nanoseconds into the next second.
  Queue q;
  const auto t0 = Clock::now();
  EXPECT_EQ(UTL_message_queue_read(q.q, 999), nullptr);
  const double waited = ms_since(t0);
  EXPECT_GE(waited, 998.0);
  EXPECT_LT(waited, 6000.0);
}

TEST(MessageQueue, TimedReadReturnsAMessageWrittenWhileItWaits) {
  Queue q;
  void* got = tag(99);
  double waited = 0;
  std::thread reader([&] {
    const auto t0 = Clock::now();
    got = UTL_message_queue_read(q.q, 30000);
    waited = ms_since(t0);
  });
  wait_for_readers(q.q, 1);
  UTL_message_queue_write(q.q, tag(5));
  reader.join();
  EXPECT_EQ(got, tag(5));
  EXPECT_LT(waited, 20000.0) << "the reader must wake on the write, not at its deadline";
  EXPECT_EQ(UTL_message_queue_waiting(q.q), 0u);
}

TEST(MessageQueue, BlockingReadersAreCountedAndEachMessageGoesToOne) {
  Queue q;
  std::atomic<std::uintptr_t> sum{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i)
    readers.emplace_back([&] { sum += reinterpret_cast<std::uintptr_t>(UTL_message_queue_read(q.q, -1)); });
  wait_for_readers(q.q, 3);
  UTL_message_queue_write(q.q, tag(1));
  UTL_message_queue_write(q.q, tag(10));
  UTL_message_queue_write(q.q, tag(100));
  for (auto& t : readers) t.join();
  EXPECT_EQ(sum.load(), 111u);
  EXPECT_EQ(UTL_message_queue_waiting(q.q), 0u);
  EXPECT_EQ(UTL_message_queue_read(q.q, 0), nullptr);
}

TEST(MessageQueue, NullMessageWakesABlockingReader) {
  Queue q;
  std::atomic<bool> returned{false};
  void* got = tag(1);
  std::thread reader([&] {
    got = UTL_message_queue_read(q.q, -1);
    returned = true;
  });
  wait_for_readers(q.q, 1);
  EXPECT_FALSE(returned.load());
  UTL_message_queue_write(q.q, nullptr);
  reader.join();
  EXPECT_EQ(got, nullptr);
}

TEST(MessageQueue, ManyWritersAndReadersLoseNothingAndKeepEachWritersOrder) {
  Queue q;
  constexpr int kWriters = 4, kReaders = 4, kEach = 20000;
  // Message: writer in the top bits, sequence number from 1 in the low bits.
  auto make = [](int w, int seq) { return tag((static_cast<std::uintptr_t>(w + 1) << 32) | static_cast<std::uintptr_t>(seq)); };
  std::vector<std::vector<int>> seen(kReaders * kWriters);
  std::atomic<int> order_faults{0};
  std::vector<std::thread> readers, writers;
  for (int r = 0; r < kReaders; ++r) {
    readers.emplace_back([&, r] {
      std::vector<int> last(kWriters, 0);
      for (;;) {
        const auto m = reinterpret_cast<std::uintptr_t>(UTL_message_queue_read(q.q, -1));
        if (m == ~std::uintptr_t{0}) return;
        const int w = static_cast<int>(m >> 32) - 1;
        const int seq = static_cast<int>(m & 0xffffffffu);
        if (seq <= last[static_cast<std::size_t>(w)]) ++order_faults;
        last[static_cast<std::size_t>(w)] = seq;
        seen[static_cast<std::size_t>(r * kWriters + w)].push_back(seq);
      }
    });
  }
  for (int w = 0; w < kWriters; ++w)
    writers.emplace_back([&, w] {
      for (int i = 1; i <= kEach; ++i) UTL_message_queue_write(q.q, make(w, i));
    });
  for (auto& t : writers) t.join();
  for (int r = 0; r < kReaders; ++r) UTL_message_queue_write(q.q, tag(~std::uintptr_t{0}));
  for (auto& t : readers) t.join();

  EXPECT_EQ(order_faults.load(), 0);
  for (int w = 0; w < kWriters; ++w) {
    std::vector<char> got(kEach + 1, 0);
    for (int r = 0; r < kReaders; ++r)
      for (int seq : seen[static_cast<std::size_t>(r * kWriters + w)]) ++got[static_cast<std::size_t>(seq)];
    for (int i = 1; i <= kEach; ++i) ASSERT_EQ(got[static_cast<std::size_t>(i)], 1) << "writer " << w << " message " << i;
  }
}

namespace {

// Makes every condition wait of this thread fail with EINVAL.
thread_local bool fail_waits_here = false;
int fail_waits(const char* call) {
  return fail_waits_here && std::string(call) == "pthread_cond_timedwait" ? EINVAL : 0;
}

void* read_quit_queue_with_failing_wait(void*) {
  fail_waits_here = true;
  UTL_message_queue_read(quit_exce, 5000);
  return tag(1);  // not reached: the failure ends the thread
}

// A worker's wait on the fatal-failure queue fails; the main thread then
// looks at the queue and shows what it holds.
void fail_a_wait_on_the_fatal_queue() {
  THREAD_init();
  UTL_thread_fault_hook = fail_waits;
  unsigned long thread = 0, join = 0, id = 0;
  UTL_thread_create(read_quit_queue_with_failing_wait, nullptr, &thread, &join, &id);
  timespec limit{};
  clock_gettime(CLOCK_REALTIME, &limit);
  limit.tv_sec += 20;
  void* value = tag(7);
  if (pthread_timedjoin_np(static_cast<pthread_t>(thread), &value, &limit) != 0) _exit(3);  // stuck
  if (value != nullptr) _exit(4);
  if (UTL_message_queue_waiting(quit_exce) != 0) _exit(6);  // takes the queue's mutex: it is free
  THREAD_check_exception(1);
  _exit(5);  // not reached: the fatal record ends the program
}

}  // namespace

TEST(MessageQueueDeathTest, FailingWaitReleasesTheQueueBeforeTheFatalAlert) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The failing queue is the fatal-failure queue itself: the alert, raised on
  // a worker, writes its record on that very queue. Had the queue's mutex
  // still been held, the worker would block for good; here it ends and the
  // main thread shows the failure.
  EXPECT_EXIT(fail_a_wait_on_the_fatal_queue(), ::testing::ExitedWithCode(1),
              "\"pthread_cond_timedwait\" OS error\n\nerr=22\\.000000");
}
