// Worker pools: a fixed set of threads that run tasks handed to them by one
// owner thread and hand each task back when it has run.
//
// The owner (the main thread) feeds a pool from its frame loop: it asks
// whether a slot is free, enqueues a task, and collects finished tasks by
// polling once per frame, or by waiting when it winds the pool down. Tasks
// belong to the owner; the pool holds pointers to them between enqueue and
// collection and never deletes one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "runtime/queues.h"

// A unit of work of a pool.
class UTL_work_task {
 public:
  virtual ~UTL_work_task() = default;
  // The work, run once on a pool thread.
  virtual void do_it() = 0;
  // On the owner's thread after the task came back: fills message and
  // returns an error code, 0 for success. The pool never calls it.
  virtual int check_error(std::string& message) = 0;
};

class UTL_worker_threads {
 public:
  // Starts n_threads threads (at least one) and allows max_tasks tasks (at
  // least one) in flight.
  UTL_worker_threads(int n_threads, int max_tasks);
  // Stops (unless close_work_queue did) and joins the threads. Tasks enqueued
  // before still run first; tasks that are finished but not collected are
  // neither returned nor deleted.
  ~UTL_worker_threads();
  UTL_worker_threads(const UTL_worker_threads&) = delete;
  UTL_worker_threads& operator=(const UTL_worker_threads&) = delete;

  // 1 while fewer than max_tasks tasks are in flight.
  int has_free_slot() const { return in_flight < max_tasks ? 1 : 0; }
  // The most tasks in flight that has_free_slot allows.
  int task_limit() const { return static_cast<int>(max_tasks); }
  // Counts the task in flight and hands it to the threads; does not look at
  // the limit. Fatal after close_work_queue.
  void enqueue_task(UTL_work_task* task);
  // No more tasks will come: the stop messages are queued now, behind the
  // tasks already enqueued, so each thread ends as soon as the work runs out
  // instead of in the destructor, and the destructor only collects ended
  // threads. Tasks in flight still run and come back as before.
  void close_work_queue();
  // A finished task, or null at once when none has finished.
  UTL_work_task* check_retired_tasks();
  // A finished task, waiting at most timeout_ms milliseconds for one; null
  // when none has finished by then. For an owner that has nothing else to
  // wait for.
  UTL_work_task* check_retired_tasks(int timeout_ms);
  // Null at once when no task is in flight; otherwise waits for a finished
  // task and returns it. While it waits it shows the failures that worker
  // threads have sent to the main thread, so a task whose thread ended with
  // a fatal failure ends the program instead of leaving it waiting for good.
  UTL_work_task* wait_retired_tasks();
  // Tasks enqueued and not yet collected: waiting, running or finished.
  std::size_t count_total_tasks() const { return in_flight; }
  // Whether any pool of the process has a task in flight.
  static bool any_in_flight();

 private:
  void count(long change);  // of the tasks in flight, here and everywhere
  static void* thread_func(void* pool);

  UTL_message_queue* work_queue = nullptr;  // tasks waiting for a thread; null stops one thread
  UTL_message_queue* done_queue = nullptr;  // tasks that have run, oldest first
  std::size_t max_tasks;
  std::size_t in_flight = 0;
  bool closed = false;  // the stop messages are queued
  std::vector<unsigned long> threads, join_handles, ids;
};
