#include "runtime/threads.h"

#include <cxxabi.h>
#include <errno.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "runtime/alert.h"
#include "runtime/globals.h"

std::atomic<unsigned long> main_thread{0};
std::atomic<int> threads_inited{0};
UTL_message_queue* warn_exce = nullptr;
UTL_message_queue* quit_exce = nullptr;
UTL_message_queue* call_queue = nullptr;
pthread_mutex_t free_calls_lock;
THREAD_call* free_calls = nullptr;
unsigned int next_cookie = 0;
std::vector<unsigned long> worker_threads, worker_threads_join, worker_threads_id;

namespace {

// Source name of the records that this layer builds itself.
constexpr const char* kLayerSourceName = "RAdorud/Thread/hl_thread";

// The message that tells a worker to stop.
void* const kStopWorker = reinterpret_cast<void*>(~std::uintptr_t{0});

void* cookie_message(unsigned int cookie) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(cookie)); }

// Filled by THREAD_create for one start; lives on its stack until the new
// thread has answered on the start queue.
struct start_record {
  UTL_thread_func func;
  void* arg;
  UTL_message_queue* start_queue;
  int use_gl;          // the thread binds `context` first; cleared by it when that fails
  GLXContext context;  // shares objects with the main context
};

}  // namespace

// ---------------------------------------------------------------------------
// Primitives

void UTL_sleep(int ms) {
  if (ms <= 0) return;
  timespec t{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

void UTL_thread_create(UTL_thread_func func, void* arg, unsigned long* thread, unsigned long* join,
                       unsigned long* id) {
  pthread_t handle{};
  const int rc = pthread_create(&handle, nullptr, func, arg);
  if (rc != 0) UTL_thread_os_error("pthread_create", rc, 112);
  *thread = static_cast<unsigned long>(handle);
  *join = *thread;
  *id = *thread;
}

void* UTL_thread_join(unsigned long* thread, unsigned long* /*join*/) {
  void* value = nullptr;
  const int rc = pthread_join(static_cast<pthread_t>(*thread), &value);
  if (rc != 0) xer << "Warning: wait on thread cleanup failed with error " << rc << "\n";
  return value;
}

void UTL_thread_exit(void* value) { pthread_exit(value); }

void UTL_thread_murder(unsigned long* thread) { pthread_cancel(static_cast<pthread_t>(*thread)); }

unsigned long UTL_get_current_thread() { return static_cast<unsigned long>(pthread_self()); }

int UTL_count_processors_in(const char* cpuinfo_path) {
  FILE* f = fopen(cpuinfo_path, "r");
  if (!f) {
    fprintf(stderr,
            "LINUX: I could not open /proc/cpuinfo to determine how many CPUs you have!\n"
            "Please make sure that I have read access to that file if you want SMP\n"
            "support. I'll assume for right now that you have one CPU. The error that\n"
            "I got was:\n\t%s\n",
            strerror(errno));
    xer << "Linux CPU detect failed -- /proc/cpuinfo couldn't be opened\n";
    return 1;
  }
  // fgets hands a long line over in pieces; only pieces that begin with the
  // key count.
  char buf[512];
  int count = 0;
  while (fgets(buf, sizeof buf, f))
    if (strncmp(buf, "model name", 10) == 0) ++count;
  fclose(f);
  if (count == 0) {
    fprintf(stderr,
            "LINUX: I searched /proc/cpuinfo for processors, and did not find any. I\n"
            "have no idea how your computer is working right now. Please e-mail this\n"
            "message to support@example.com. In the mean time, I'll assume for right now\n"
            "that you have one CPU.\n");
    xer << "Linux CPU detect failed -- no processors in /proc/cpuinfo\n";
    return 1;
  }
  return count;
}

int UTL_count_processors() {
  // Counted once: reading /proc/cpuinfo takes milliseconds on some machines,
  // and the scan asks again when it starts, inside a frame.
  static const int count = UTL_count_processors_in("/proc/cpuinfo");
  return count;
}

int UTL_count_usable_processors() {
  // The mask is as large as the kernel's: grow the set until it fits.
  for (int cpus = CPU_SETSIZE; cpus <= (1 << 20); cpus *= 2) {
    cpu_set_t* set = CPU_ALLOC(cpus);
    if (!set) break;
    const std::size_t size = CPU_ALLOC_SIZE(cpus);
    CPU_ZERO_S(size, set);
    const int rc = sched_getaffinity(0, size, set);
    const int err = errno;
    const int count = rc == 0 ? CPU_COUNT_S(size, set) : 0;
    CPU_FREE(set);
    if (rc == 0) return count > 0 ? count : 1;
    if (err != EINVAL) break;
  }
  return UTL_count_processors();
}

// ---------------------------------------------------------------------------
// The THREAD_ layer

void THREAD_init() {
  if (threads_inited.load()) return;
  main_thread.store(UTL_get_current_thread());
  UTL_message_queue_create(&warn_exce);
  UTL_message_queue_create(&quit_exce);
  UTL_critical_section_create(&free_calls_lock);
  UTL_message_queue_create(&call_queue);
  threads_inited.store(1);
}

int THREAD_is_inited() { return threads_inited.load(); }

int THREAD_is_main_thread() { return UTL_get_current_thread() == main_thread.load() ? 1 : 0; }

exce_class THREAD_exception_record(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const exce_class& record) {
    exce_class fatal(record);
    fatal.MakeFatal();
    return fatal;
  } catch (const std::exception& x) {
    return exce_class("Caught an unhandled C++ exception", x.what(), "", "", kLayerSourceName, 366, 2);
  } catch (...) {
    return exce_class("Caught an unhandled unknown exception", "", "", "", kLayerSourceName, 368, 2);
  }
}

namespace {

// Steps of one start up to the running thread: the loader context when the
// thread wants GL and threaded GL is on, the start queue, the thread.
void begin_start(start_record* start, UTL_thread_func func, void* arg, unsigned long* thread, unsigned long* join,
                 unsigned long* id, int want_gl) {
  int use_gl = want_gl && OGL_threaded_avail() ? 1 : 0;
  GLXContext context = nullptr;
  if (use_gl) {
    context = MACIBM_make_context_loader();
    if (!context) {
      use_gl = 0;
      OGL_threaded_ogl_failed();
    }
  }
  *start = start_record{func, arg, nullptr, use_gl, context};
  UTL_message_queue_create(&start->start_queue);
  UTL_thread_create(THREAD_launch, start, thread, join, id);
}

// The handshake: waits until the thread has taken what it needs from its
// start record.
void finish_start(start_record* start, int use_gl) {
  UTL_message_queue_read(start->start_queue, -1);
  UTL_message_queue_destroy(start->start_queue);
  // The new thread could not bind its context: it runs without GL.
  if (start->use_gl != use_gl) OGL_threaded_ogl_failed();
}

}  // namespace

void THREAD_create(UTL_thread_func func, void* arg, unsigned long* thread, unsigned long* join,
                   unsigned long* id, int want_gl) {
  start_record start{};
  begin_start(&start, func, arg, thread, join, id, want_gl);
  finish_start(&start, start.use_gl);
}

void* THREAD_launch(void* record) {
  start_record* start = static_cast<start_record*>(record);
  if (start->use_gl && !MACIBM_set_context_loader(start->context)) start->use_gl = 0;
  const UTL_thread_func func = start->func;
  void* const arg = start->arg;
  // The creator may return and drop the start record as soon as this is
  // written: it is not touched again.
  UTL_message_queue_write(start->start_queue, nullptr);

  exce_class failure;
  bool failed = false;
  void* result = THREAD_run_guarded(func, arg, &failure, &failed);
  if (!failed) return result;
  // A fatal record ends this thread inside the send.
  THREAD_send_exception(failure);
  return nullptr;
}

// The platform ends a thread by unwinding it with a forced-unwind exception,
// which the handler below must throw on, or the process aborts. Catching it
// binds a reference to no object, which the null-pointer check of the
// behaviour sanitizer takes for a fault: that check is off here.
__attribute__((no_sanitize("null"))) void* THREAD_run_guarded(UTL_thread_func func, void* arg,
                                                              exce_class* failure, bool* failed) {
  *failed = false;
  try {
    return func(arg);
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (...) {
    *failure = THREAD_exception_record(std::current_exception());
    *failed = true;
  }
  return nullptr;
}

void THREAD_make_workers() {
  const int n = UTL_count_processors();
  xer << "CPU count        : " << n << "\n";
  const std::size_t base = worker_threads.size();
  worker_threads.resize(base + static_cast<std::size_t>(n));
  worker_threads_join.resize(base + static_cast<std::size_t>(n));
  worker_threads_id.resize(base + static_cast<std::size_t>(n));
  std::vector<start_record> starts(static_cast<std::size_t>(n));
  std::vector<int> use_gl(static_cast<std::size_t>(n));
  // A thread that binds a context of its own is started alone: the
  // contexts share the one display connection. Threads without GL are all
  // started before their handshakes are awaited, so that a busy machine's
  // delays in getting each one going are not added up.
  const bool one_by_one = OGL_threaded_avail() != 0;
  auto finish = [&](std::size_t i) { finish_start(&starts[i], use_gl[i]); };
  for (std::size_t i = 0; i < starts.size(); ++i) {
    begin_start(&starts[i], xtaskproc, nullptr, &worker_threads[base + i], &worker_threads_join[base + i],
                &worker_threads_id[base + i], 1);
    use_gl[i] = starts[i].use_gl;
    if (one_by_one) finish(i);
  }
  if (!one_by_one)
    for (std::size_t i = 0; i < starts.size(); ++i) finish(i);
}

void* xtaskproc(void*) {
  for (;;) {
    void* message = UTL_message_queue_read(call_queue, -1);
    if (message == kStopWorker) return nullptr;
    THREAD_call* call = static_cast<THREAD_call*>(message);
    void* result = call->func(call->arg);
    UTL_critical_section_lock(&call->lock);
    call->result = result;
    UTL_critical_section_unlock(&call->lock);
    UTL_message_queue_write(call->done_queue, cookie_message(call->cookie));
  }
}

THREAD_call* THREAD_run_async(UTL_thread_func func, void* arg) {
  UTL_scoped_lock hold(&free_calls_lock);
  next_cookie += 4;
  if (next_cookie == 0) next_cookie = 4;
  const unsigned int cookie = next_cookie;
  THREAD_call* call = free_calls;
  if (call) free_calls = call->next;
  hold.release();

  if (!call) {
    call = new THREAD_call;
    call->next = nullptr;
    UTL_message_queue_create(&call->done_queue);
    UTL_critical_section_create(&call->lock);
  }
  call->result = nullptr;
  call->done = 0;
  call->func = func;
  call->arg = arg;
  call->cookie = cookie;
  UTL_message_queue_write(call_queue, call);
  return call;
}

int THREAD_is_done(THREAD_call* call, int timeout_ms) {
  THREAD_check_exception(0);
  void* message = UTL_message_queue_read(call->done_queue, timeout_ms);
  THREAD_check_exception(0);
  if (!message) return 0;
  UTL_scoped_lock hold(&call->lock);
  call->done = 1;
  return 1;
}

void* THREAD_cleanup(THREAD_call* call) {
  THREAD_check_exception(0);
  // The state is copied under the lock; the alert, which does not return,
  // is raised without it.
  UTL_critical_section_lock(&call->lock);
  const int done = call->done;
  void* const result = call->result;
  UTL_critical_section_unlock(&call->lock);
  if (!done)
    __MACIBM_alert(0, "Thread cleanup called on not-done call.", "", "", "", t_exit, kLayerSourceName, 610);

  UTL_scoped_lock hold_free(&free_calls_lock);
  call->next = free_calls;
  free_calls = call;
  return result;
}

void THREAD_shutdown() {
  // Only the main thread winds the layer down; a second call does nothing.
  if (!threads_inited.load() || !THREAD_is_main_thread()) return;
  for (std::size_t i = 0; i < worker_threads.size(); ++i) UTL_message_queue_write(call_queue, kStopWorker);
  for (std::size_t i = 0; i < worker_threads.size(); ++i)
    UTL_thread_join(&worker_threads[i], &worker_threads_join[i]);
  // Joined threads are gone: their handles must never be joined again.
  worker_threads.clear();
  worker_threads_join.clear();
  worker_threads_id.clear();
  // What the workers reported on their way out is shown, not dropped: a
  // fatal record ends the program with exit code 1 here, warnings are shown
  // and the shutdown goes on.
  THREAD_check_exception(1);

  UTL_critical_section_destroy(&free_calls_lock);
  UTL_message_queue_destroy(call_queue);
  call_queue = nullptr;
  while (free_calls) {
    THREAD_call* call = free_calls;
    free_calls = call->next;
    UTL_message_queue_destroy(call->done_queue);
    UTL_critical_section_destroy(&call->lock);
    delete call;
  }
  // From here on alerts and failure records stay on the calling thread.
  // Records that threads outside the layer's workers queue after the check
  // above are dropped with the queues.
  threads_inited.store(0);
  for (UTL_message_queue* q : {warn_exce, quit_exce}) {
    while (void* record = UTL_message_queue_read(q, 0)) delete static_cast<exce_class*>(record);
    UTL_message_queue_destroy(q);
  }
  warn_exce = nullptr;
  quit_exce = nullptr;
  xer << "Clean exit from threads.\n";
}

namespace {
// The nice value of background work: its threads still get a fair share
// of the processors, but give way to the interface at once.
constexpr int kBackgroundNice = 5;
}  // namespace

void UTL_thread_lower_priority() {
  // On Linux the nice value belongs to each thread.
  const id_t tid = static_cast<id_t>(syscall(SYS_gettid));
  const int now = getpriority(PRIO_PROCESS, tid);
  if (now < kBackgroundNice) setpriority(PRIO_PROCESS, tid, kBackgroundNice);
}
