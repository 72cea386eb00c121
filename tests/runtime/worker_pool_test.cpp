// Worker pools: slots, polled and waited-for collection, wind-down, failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "runtime/threads.h"
#include "runtime/worker_pool.h"
#include "ui/alert.h"

namespace {

using Clock = std::chrono::steady_clock;

// A task that waits for one message on its gate (when it has one), then
// records that it ran.
class gate_task : public UTL_work_task {
 public:
  gate_task(int n, UTL_message_queue* g, std::atomic<int>* ran) : id(n), gate(g), ran_count(ran) {}
  void do_it() override {
    if (gate) UTL_message_queue_read(gate, -1);
    ran = 1;
    if (ran_count) ran_count->fetch_add(1);
  }
  int check_error(std::string& message) override {
    message = "task " + std::to_string(id);
    return id;
  }
  int id;
  UTL_message_queue* gate;
  std::atomic<int>* ran_count;
  int ran = 0;  // read by the owner only after collecting the task
};

struct Gate {
  Gate() { UTL_message_queue_create(&q); }
  ~Gate() { UTL_message_queue_destroy(q); }
  void open(int n) {
    for (int i = 0; i < n; ++i) UTL_message_queue_write(q, nullptr);
  }
  UTL_message_queue* q = nullptr;
};

// Waits until n tasks have started (are blocked on the gate).
void wait_until_blocked(Gate& g, std::size_t n) {
  const auto give_up = Clock::now() + std::chrono::seconds(20);
  while (UTL_message_queue_waiting(g.q) < n && Clock::now() < give_up) std::this_thread::yield();
  ASSERT_EQ(UTL_message_queue_waiting(g.q), n);
}

}  // namespace

TEST(WorkerPool, SlotsFollowTheTasksInFlight) {
  Gate gate;
  std::vector<std::unique_ptr<gate_task>> tasks;  // outlive the pool
  UTL_worker_threads pool(2, 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(pool.has_free_slot(), 1);
    tasks.push_back(std::make_unique<gate_task>(i, gate.q, nullptr));
    pool.enqueue_task(tasks.back().get());
  }
  EXPECT_EQ(pool.has_free_slot(), 0);
  EXPECT_EQ(pool.count_total_tasks(), 4u);

  wait_until_blocked(gate, 2);  // both threads are busy, two tasks wait
  EXPECT_EQ(pool.check_retired_tasks(), nullptr) << "nothing has finished";
  EXPECT_EQ(pool.count_total_tasks(), 4u);

  // Beyond the limit a task is still taken and counted.
  tasks.push_back(std::make_unique<gate_task>(4, gate.q, nullptr));
  pool.enqueue_task(tasks.back().get());
  EXPECT_EQ(pool.count_total_tasks(), 5u);

  gate.open(1);
  UTL_work_task* back = pool.wait_retired_tasks();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(static_cast<gate_task*>(back)->ran, 1);
  EXPECT_EQ(pool.count_total_tasks(), 4u);
  EXPECT_EQ(pool.has_free_slot(), 0);

  gate.open(1);
  ASSERT_NE(pool.wait_retired_tasks(), nullptr);
  EXPECT_EQ(pool.has_free_slot(), 1);

  gate.open(3);
  std::set<int> ids;
  ids.insert(static_cast<gate_task*>(back)->id);
  while (pool.count_total_tasks() > 0) {
    UTL_work_task* t = pool.wait_retired_tasks();
    ASSERT_NE(t, nullptr);
    std::string message;
    ids.insert(t->check_error(message));
  }
  EXPECT_EQ(ids.size(), 4u);
  EXPECT_EQ(pool.wait_retired_tasks(), nullptr);
}

TEST(WorkerPool, WaitWithNothingInFlightReturnsAtOnce) {
  UTL_worker_threads pool(1, 1);
  const auto t0 = Clock::now();
  EXPECT_EQ(pool.wait_retired_tasks(), nullptr);
  EXPECT_EQ(pool.check_retired_tasks(), nullptr);
  const double waited_ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  EXPECT_LT(waited_ms, 40.0);
}

TEST(WorkerPool, ATimedCollectWaitsForAFinishedTaskOrItsTime) {
  Gate gate;
  gate_task task(7, gate.q, nullptr);
  UTL_worker_threads pool(1, 2);
  EXPECT_EQ(pool.check_retired_tasks(1000), nullptr) << "nothing in flight: at once";
  pool.enqueue_task(&task);
  wait_until_blocked(gate, 1);
  const auto t0 = Clock::now();
  EXPECT_EQ(pool.check_retired_tasks(30), nullptr);
  EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(25)) << "it waited for the time given";
  EXPECT_EQ(pool.count_total_tasks(), 1u);
  // A task that finishes during the wait ends it.
  std::thread opener([&gate] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    gate.open(1);
  });
  EXPECT_EQ(pool.check_retired_tasks(20000), &task);
  opener.join();
  EXPECT_EQ(task.ran, 1);
  EXPECT_EQ(pool.count_total_tasks(), 0u);
}

TEST(WorkerPool, OneThreadHandsTasksBackInTheirOrder) {
  std::vector<std::unique_ptr<gate_task>> tasks;
  UTL_worker_threads pool(1, 50);
  for (int i = 0; i < 50; ++i) {
    tasks.push_back(std::make_unique<gate_task>(i, nullptr, nullptr));
    pool.enqueue_task(tasks.back().get());
  }
  for (int i = 0; i < 50; ++i) {
    UTL_work_task* t = pool.wait_retired_tasks();
    ASSERT_EQ(t, tasks[static_cast<std::size_t>(i)].get());
  }
  EXPECT_EQ(pool.count_total_tasks(), 0u);
}

TEST(WorkerPool, PolledFrameLoopGetsEveryTaskBackOnce) {
  // The owner's frame step: fill free slots, collect without waiting.
  constexpr int kTasks = 2000;
  std::atomic<int> ran{0};
  std::vector<std::unique_ptr<gate_task>> tasks;
  for (int i = 0; i < kTasks; ++i) tasks.push_back(std::make_unique<gate_task>(i, nullptr, &ran));
  UTL_worker_threads pool(4, 16);
  std::vector<int> seen(kTasks, 0);
  int next = 0;
  std::size_t most_in_flight = 0;
  while (next < kTasks || pool.count_total_tasks() > 0) {
    while (next < kTasks && pool.has_free_slot()) pool.enqueue_task(tasks[static_cast<std::size_t>(next++)].get());
    most_in_flight = std::max(most_in_flight, pool.count_total_tasks());
    while (UTL_work_task* t = pool.check_retired_tasks()) ++seen[static_cast<std::size_t>(static_cast<gate_task*>(t)->id)];
    std::this_thread::yield();
  }
  EXPECT_EQ(ran.load(), kTasks);
  EXPECT_LE(most_in_flight, 16u);
  for (int i = 0; i < kTasks; ++i) ASSERT_EQ(seen[static_cast<std::size_t>(i)], 1) << i;
}

TEST(WorkerPool, DeletingThePoolRunsTheTasksStillWaiting) {
  std::atomic<int> ran{0};
  Gate gate;
  std::vector<std::unique_ptr<gate_task>> tasks;
  {
    UTL_worker_threads pool(1, 4);
    for (int i = 0; i < 3; ++i) {
      tasks.push_back(std::make_unique<gate_task>(i, gate.q, &ran));
      pool.enqueue_task(tasks.back().get());
    }
    wait_until_blocked(gate, 1);
    gate.open(3);
  }  // the pool goes with all three tasks queued or running
  EXPECT_EQ(ran.load(), 3);
}

TEST(WorkerPool, ClosedPoolStillRunsAndReturnsItsTasksWhileItsThreadsEnd) {
  std::atomic<int> ran{0};
  Gate gate;
  std::vector<std::unique_ptr<gate_task>> tasks;
  UTL_worker_threads pool(3, 8);
  for (int i = 0; i < 6; ++i) {
    tasks.push_back(std::make_unique<gate_task>(i, gate.q, &ran));
    pool.enqueue_task(tasks.back().get());
  }
  pool.close_work_queue();
  pool.close_work_queue();  // once is enough; a second call changes nothing
  gate.open(6);
  std::set<UTL_work_task*> back;
  while (UTL_work_task* t = pool.wait_retired_tasks()) back.insert(t);
  EXPECT_EQ(back.size(), 6u);
  EXPECT_EQ(ran.load(), 6);
}  // the destructor joins threads that have ended already

TEST(WorkerPoolDeathTest, TaskForAClosedPoolIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        gate_task late(1, nullptr, nullptr);
        UTL_worker_threads pool(1, 4);
        pool.close_work_queue();
        pool.enqueue_task(&late);
      },
      ::testing::ExitedWithCode(1), "A task was handed to a worker pool that takes no more\\.");
}

namespace {

class exiting_task : public UTL_work_task {
 public:
  void do_it() override { UTL_thread_exit(nullptr); }
  int check_error(std::string&) override { return 0; }
};

class throwing_task : public UTL_work_task {
 public:
  void do_it() override { throw std::runtime_error("task blew up"); }
  int check_error(std::string&) override { return 0; }
};

class fatal_alert_task : public UTL_work_task {
 public:
  void do_it() override { MACIBM_alert(0, "Task gave up", "", "", "", t_exit); }
  int check_error(std::string&) override { return 0; }
};

}  // namespace

TEST(WorkerPool, ThreadEndingInsideATaskDoesNotAbortTheProcess) {
  exiting_task quitter;  // the tasks outlive the pool, which joins the threads
  gate_task normal(1, nullptr, nullptr);
  UTL_worker_threads pool(2, 4);
  pool.enqueue_task(&quitter);  // ends one of the two threads
  pool.enqueue_task(&normal);
  // The normal task comes back through the thread that is left.
  UTL_work_task* t = nullptr;
  const auto give_up = Clock::now() + std::chrono::seconds(20);
  while (!(t = pool.check_retired_tasks()) && Clock::now() < give_up) std::this_thread::yield();
  EXPECT_EQ(t, &normal);
}  // the destructor joins both threads, the ended one too

TEST(WorkerPoolDeathTest, ExceptionInATaskIsReportedInsteadOfHanging) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        THREAD_init();
        throwing_task bad;
        UTL_worker_threads pool(2, 4);
        pool.enqueue_task(&bad);
        pool.wait_retired_tasks();  // never gets the task back: the failure ends the program
        _exit(8);
      },
      ::testing::ExitedWithCode(1), "Caught an unhandled C\\+\\+ exception\n\ntask blew up");
}

TEST(WorkerPoolDeathTest, FatalAlertInATaskEndsTheProgramWhileTheOwnerWaits) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        THREAD_init();
        fatal_alert_task bad;
        gate_task good(1, nullptr, nullptr);
        UTL_worker_threads pool(1, 4);
        pool.enqueue_task(&good);
        pool.enqueue_task(&bad);
        if (pool.wait_retired_tasks() != &good) _exit(7);
        pool.wait_retired_tasks();
        _exit(8);
      },
      ::testing::ExitedWithCode(1), "Task gave up");
}
