#include "runtime/worker_pool.h"

#include <atomic>

#include "runtime/alert.h"
#include "runtime/exceptions.h"
#include "runtime/threads.h"

namespace {

// How long wait_retired_tasks waits between two looks at the failure queue.
constexpr int kWaitSliceMs = 50;

void* run_task(void* task) {
  static_cast<UTL_work_task*>(task)->do_it();
  return nullptr;
}

// Tasks in flight in every pool of the process.
std::atomic<long> tasks_everywhere{0};

}  // namespace

bool UTL_worker_threads::any_in_flight() { return tasks_everywhere.load(std::memory_order_relaxed) > 0; }

void UTL_worker_threads::count(long change) {
  in_flight = static_cast<std::size_t>(static_cast<long>(in_flight) + change);
  tasks_everywhere.fetch_add(change, std::memory_order_relaxed);
}

UTL_worker_threads::UTL_worker_threads(int n_threads, int max_tasks_in_flight)
    : max_tasks(max_tasks_in_flight < 1 ? 1 : static_cast<std::size_t>(max_tasks_in_flight)) {
  UTL_message_queue_create(&work_queue);
  UTL_message_queue_create(&done_queue);
  const std::size_t n = n_threads < 1 ? 1 : static_cast<std::size_t>(n_threads);
  threads.resize(n);
  join_handles.resize(n);
  ids.resize(n);
  for (std::size_t i = 0; i < n; ++i) UTL_thread_create(thread_func, this, &threads[i], &join_handles[i], &ids[i]);
}

UTL_worker_threads::~UTL_worker_threads() {
  close_work_queue();
  for (std::size_t i = 0; i < threads.size(); ++i) UTL_thread_join(&threads[i], &join_handles[i]);
  UTL_message_queue_destroy(work_queue);
  UTL_message_queue_destroy(done_queue);
  // Tasks not collected are no longer in flight anywhere.
  count(-static_cast<long>(in_flight));
}

void UTL_worker_threads::close_work_queue() {
  if (closed) return;
  closed = true;
  // The stop messages queue up behind the tasks already waiting, so those
  // still run.
  for (std::size_t i = 0; i < threads.size(); ++i) UTL_message_queue_write(work_queue, nullptr);
}

void UTL_worker_threads::enqueue_task(UTL_work_task* task) {
  // Behind the stop messages the task would never run, and whoever waits
  // for it would wait for good.
  if (closed) MACIBM_alert(0, "A task was handed to a worker pool that takes no more.", "", "", "", t_exit);
  count(1);
  UTL_message_queue_write(work_queue, task);
}

UTL_work_task* UTL_worker_threads::check_retired_tasks() {
  UTL_work_task* task = static_cast<UTL_work_task*>(UTL_message_queue_read(done_queue, 0));
  if (task) count(-1);
  return task;
}

UTL_work_task* UTL_worker_threads::check_retired_tasks(int timeout_ms) {
  if (in_flight < 1) return nullptr;
  UTL_work_task* task = static_cast<UTL_work_task*>(UTL_message_queue_read(done_queue, timeout_ms < 0 ? 0 : timeout_ms));
  if (task) count(-1);
  return task;
}

UTL_work_task* UTL_worker_threads::wait_retired_tasks() {
  if (in_flight < 1) return nullptr;
  for (;;) {
    UTL_work_task* task = static_cast<UTL_work_task*>(UTL_message_queue_read(done_queue, kWaitSliceMs));
    if (task) {
      count(-1);
      return task;
    }
    // A task whose thread died never comes back: its failure, waiting for
    // the main thread, ends the program.
    THREAD_check_exception(0);
  }
}

void* UTL_worker_threads::thread_func(void* arg) {
  UTL_worker_threads* pool = static_cast<UTL_worker_threads*>(arg);
  UTL_thread_lower_priority();
  for (;;) {
    UTL_work_task* task = static_cast<UTL_work_task*>(UTL_message_queue_read(pool->work_queue, -1));
    if (!task) return nullptr;
    bool failed = false;
    exce_class failure;
    THREAD_run_guarded(run_task, task, &failure, &failed);
    if (failed) {
      // Ends this thread; the task never comes back.
      THREAD_send_exception(failure);
      return nullptr;
    }
    UTL_message_queue_write(pool->done_queue, task);
  }
}
