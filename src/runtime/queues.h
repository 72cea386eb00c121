// Recursive critical sections and message queues between threads.
//
// A critical section is a recursive pthread mutex whose storage belongs to
// the caller: the thread that holds it may lock it again and must unlock it
// as often. A message queue is an unbounded first-in-first-out queue of
// untyped pointers with a blocking, polling or time-limited read.
//
// Every failing thread-library call is a fatal alert whose first line is the
// call's name in double quotes followed by " OS error" and whose second line
// is "err=" and the error number printed with "%f". No operation returns an
// error code.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <list>

// Source name under which the thread primitives report their failures.
inline constexpr const char* kThreadSourceName = "RAdorud/UTL/UTL_thread";

// Raises the fatal alert for a failing thread-library call: `call` is the
// call's name as it appears in the first line, `err` its error number,
// `source_line` the position reported with it. Does not come back in
// practice: on the main thread the program ends; on another thread, once the
// thread layer is started, the failure goes to the main thread and the
// calling thread ends.
void UTL_thread_os_error(const char* call, int err, int source_line);

void UTL_critical_section_create(pthread_mutex_t* section);
void UTL_critical_section_lock(pthread_mutex_t* section);
void UTL_critical_section_unlock(pthread_mutex_t* section);
void UTL_critical_section_destroy(pthread_mutex_t* section);

// Holds a critical section for the life of the object; release() unlocks it
// early and forgets it.
class UTL_scoped_lock {
 public:
  explicit UTL_scoped_lock(pthread_mutex_t* section) : section_(section) {
    UTL_critical_section_lock(section_);
  }
  ~UTL_scoped_lock() { release(); }
  UTL_scoped_lock(const UTL_scoped_lock&) = delete;
  UTL_scoped_lock& operator=(const UTL_scoped_lock&) = delete;

  void release() {
    if (section_) {
      pthread_mutex_t* s = section_;
      section_ = nullptr;
      UTL_critical_section_unlock(s);
    }
  }

 private:
  pthread_mutex_t* section_;
};

struct UTL_message_queue {
  pthread_mutex_t mutex;       // guards the other fields; not recursive
  pthread_cond_t cond;         // signalled when a message is added; runs on the monotonic clock
  std::list<void*> messages;   // oldest first; a null pointer is a valid message
  std::size_t waiting = 0;     // readers inside the blocking part of a read
};

// Allocates an empty queue and stores it in *out.
void UTL_message_queue_create(UTL_message_queue** out);

// Appends a message; wakes one waiting reader, if any.
void UTL_message_queue_write(UTL_message_queue* queue, void* message);

// Removes and returns the oldest message. timeout_ms -1 (or any negative
// value) waits without limit, 0 only looks, a positive value waits at most
// that many milliseconds (measured on the monotonic clock, so a change of the
// wall clock neither stretches nor shortens it). Null when the time-out ends
// first, which a caller cannot tell from a null message.
void* UTL_message_queue_read(UTL_message_queue* queue, int timeout_ms);

// Number of readers blocked in a read of the queue right now.
std::size_t UTL_message_queue_waiting(UTL_message_queue* queue);

// Frees the queue. Messages still queued are neither freed nor returned.
// Nothing may use the queue any more.
void UTL_message_queue_destroy(UTL_message_queue* queue);

// Fault injection for tests: when set, the queue operations ask it before
// signalling the condition variable ("pthread_cond_signal") and before each
// wait ("pthread_cond_timedwait"); a non-zero answer is taken as that call's
// error number and the call is not made. Set it only while no other thread
// uses a queue.
extern int (*UTL_thread_fault_hook)(const char* call);
