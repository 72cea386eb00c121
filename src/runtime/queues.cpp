#include "runtime/queues.h"

#include <errno.h>
#include <time.h>

#include <cstdio>
#include <string>

#include "runtime/alert.h"

int (*UTL_thread_fault_hook)(const char* call) = nullptr;

void UTL_thread_os_error(const char* call, int err, int source_line) {
  char number[64];
  snprintf(number, sizeof number, "err=%f", static_cast<double>(err));
  __MACIBM_alert(0, std::string("\"") + call + "\" OS error", number, "", "", t_exit, kThreadSourceName,
                 source_line);
}

namespace {

// The error the fault hook wants for this call, 0 to make the call.
int injected_fault(const char* call) { return UTL_thread_fault_hook ? UTL_thread_fault_hook(call) : 0; }

}  // namespace

void UTL_critical_section_create(pthread_mutex_t* section) {
  pthread_mutexattr_t attr;
  int rc = pthread_mutexattr_init(&attr);
  if (rc != 0) UTL_thread_os_error("::pthread_mutexattr_init", rc, 179);
  rc = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  if (rc != 0) UTL_thread_os_error("::pthread_mutexattr_settype", rc, 181);
  rc = pthread_mutex_init(section, &attr);
  if (rc != 0) UTL_thread_os_error("::pthread_mutex_init", rc, 183);
  rc = pthread_mutexattr_destroy(&attr);
  if (rc != 0) UTL_thread_os_error("::pthread_mutexattr_destroy", rc, 185);
}

void UTL_critical_section_destroy(pthread_mutex_t* section) {
  const int rc = pthread_mutex_destroy(section);
  if (rc != 0) UTL_thread_os_error("::pthread_mutex_destroy", rc, 198);
}

void UTL_critical_section_lock(pthread_mutex_t* section) {
  const int rc = pthread_mutex_lock(section);
  if (rc != 0) UTL_thread_os_error("pthread_mutex_lock", rc, 211);
}

void UTL_critical_section_unlock(pthread_mutex_t* section) {
  const int rc = pthread_mutex_unlock(section);
  if (rc != 0) UTL_thread_os_error("pthread_mutex_unlock", rc, 224);
}

void UTL_message_queue_create(UTL_message_queue** out) {
  UTL_message_queue* q = new UTL_message_queue;
  *out = q;
  int rc = pthread_mutex_init(&q->mutex, nullptr);
  if (rc != 0) UTL_thread_os_error("::pthread_mutex_init", rc, 268);

  // Time-limited reads measure their deadline on the monotonic clock.
  pthread_condattr_t attr;
  rc = pthread_condattr_init(&attr);
  if (rc == 0) {
    rc = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    if (rc == 0) rc = pthread_cond_init(&q->cond, &attr);
    pthread_condattr_destroy(&attr);
  }
  if (rc != 0) UTL_thread_os_error("::pthread_cond_init", rc, 271);
}

void UTL_message_queue_destroy(UTL_message_queue* queue) {
  if (!queue) return;
  int rc = pthread_mutex_destroy(&queue->mutex);
  if (rc != 0) UTL_thread_os_error("::pthread_mutex_destroy", rc, 287);
  rc = pthread_cond_destroy(&queue->cond);
  if (rc != 0) UTL_thread_os_error("::pthread_cond_desroy", rc, 290);
  delete queue;
}

// A failing call while the queue's mutex is held first releases the mutex:
// the alert may write to a queue itself (the failure queue of the thread
// layer, which may be this very queue) and the thread then ends, so keeping
// the mutex would block every later user of the queue for good.

void UTL_message_queue_write(UTL_message_queue* queue, void* message) {
  int rc = pthread_mutex_lock(&queue->mutex);
  if (rc != 0) {
    UTL_thread_os_error("pthread_mutex_lock", rc, 319);
    return;
  }
  if (queue->waiting > 0) {
    rc = injected_fault("pthread_cond_signal");
    if (rc == 0) rc = pthread_cond_signal(&queue->cond);
    if (rc != 0) {
      pthread_mutex_unlock(&queue->mutex);
      UTL_thread_os_error("pthread_cond_signal", rc, 324);
      return;
    }
  }
  queue->messages.push_back(message);
  rc = pthread_mutex_unlock(&queue->mutex);
  if (rc != 0) UTL_thread_os_error("pthread_mutex_unlock", rc, 330);
}

void* UTL_message_queue_read(UTL_message_queue* queue, int timeout_ms) {
  // The deadline is taken before the mutex, so time spent waiting for the
  // mutex counts against the time-out.
  const bool timed = timeout_ms > 0;
  timespec deadline{};
  if (timed) {
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += timeout_ms / 1000;
    deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
    if (deadline.tv_nsec > 999999999L) {
      deadline.tv_nsec -= 1000000000L;
      deadline.tv_sec += 1;
    }
  }

  int rc = pthread_mutex_lock(&queue->mutex);
  if (rc != 0) {
    UTL_thread_os_error("pthread_mutex_lock", rc, 381);
    return nullptr;
  }
  if (timeout_ms == 0 && queue->messages.empty()) {
    rc = pthread_mutex_unlock(&queue->mutex);
    if (rc != 0) UTL_thread_os_error("pthread_mutex_unlock", rc, 386);
    return nullptr;
  }

  ++queue->waiting;
  while (queue->messages.empty()) {
    rc = injected_fault("pthread_cond_timedwait");
    if (rc == 0)
      rc = timed ? pthread_cond_timedwait(&queue->cond, &queue->mutex, &deadline)
                 : pthread_cond_wait(&queue->cond, &queue->mutex);
    if (rc == ETIMEDOUT && timed) {
      // A message that arrives at this very moment stays for the next read.
      --queue->waiting;
      rc = pthread_mutex_unlock(&queue->mutex);
      if (rc != 0) UTL_thread_os_error("pthread_mutex_unlock", rc, 401);
      return nullptr;
    }
    if (rc != 0) {
      --queue->waiting;
      pthread_mutex_unlock(&queue->mutex);
      UTL_thread_os_error("pthread_cond_timedwait", rc, 404);
      return nullptr;
    }
    // Woken without a message (spuriously, or another reader took it):
    // wait again, for the same deadline.
  }
  --queue->waiting;
  void* message = queue->messages.front();
  queue->messages.pop_front();
  rc = pthread_mutex_unlock(&queue->mutex);
  if (rc != 0) UTL_thread_os_error("pthread_mutex_unlock", rc, 412);
  return message;
}

std::size_t UTL_message_queue_waiting(UTL_message_queue* queue) {
  int rc = pthread_mutex_lock(&queue->mutex);
  if (rc != 0) {
    UTL_thread_os_error("pthread_mutex_lock", rc, 381);
    return 0;
  }
  const std::size_t n = queue->waiting;
  rc = pthread_mutex_unlock(&queue->mutex);
  if (rc != 0) UTL_thread_os_error("pthread_mutex_unlock", rc, 412);
  return n;
}
