// The thread layer.
//
// Two levels: thin wrappers over POSIX threads (UTL_*), used here and by the
// worker pools; and the THREAD_ layer, which records the main thread, starts
// threads through a start handshake, turns every exception that escapes a
// thread's function into a fatal failure record for the main thread, keeps
// one idle worker per processor that can run asynchronous calls, and stops
// the workers at an orderly exit.
#pragma once

#include <pthread.h>

#include <atomic>
#include <exception>
#include <vector>

#include "runtime/exceptions.h"
#include "runtime/queues.h"

// Thread handles are the platform's pthread_t.
static_assert(sizeof(pthread_t) == sizeof(unsigned long), "pthread_t must fit an unsigned long");

using UTL_thread_func = void* (*)(void*);

// Sleeps ms milliseconds; returns at once when ms is 0 or less.
void UTL_sleep(int ms);

// Starts func(arg) on a new thread with default attributes and writes its
// handle into *thread, *join and *id (all three the same value). A failure
// is the fatal alert "\"pthread_create\" OS error".
void UTL_thread_create(UTL_thread_func func, void* arg, unsigned long* thread, unsigned long* join,
                       unsigned long* id);

// Waits for the thread to end and returns its exit value. A failure is only
// logged ("Warning: wait on thread cleanup failed with error ..."); the
// value is then meaningless. The second argument is not used.
void* UTL_thread_join(unsigned long* thread, unsigned long* join);

// Ends the calling thread with that exit value. The thread is unwound by the
// platform's forced-unwind exception: a catch-all handler on its way must
// rethrow abi::__forced_unwind.
[[noreturn]] void UTL_thread_exit(void* value);

// Cancels the thread.
void UTL_thread_murder(unsigned long* thread);

// The calling thread's id.
unsigned long UTL_get_current_thread();

// Number of processors: the lines of /proc/cpuinfo that begin with
// "model name"; 1, with a message on standard error and in the log, when
// there are none or the file cannot be read.
int UTL_count_processors();
// The same count from another file in the /proc/cpuinfo format.
int UTL_count_processors_in(const char* cpuinfo_path);
// Number of processors the calling thread may run on (its affinity mask,
// which a process started under taskset or in a container with fewer
// processors inherits), at least 1; UTL_count_processors() when the mask
// cannot be read. Worker pools are sized by it.
int UTL_count_usable_processors();

// Lowers the calling thread's scheduling priority (its nice value) for
// background work, so that the thread that draws the window and polls the
// downloads, and the GL driver's own threads, run first when they wake;
// threads it starts inherit the lower priority. Nothing happens when the
// system refuses.
void UTL_thread_lower_priority();

// One asynchronous call of a worker.
struct THREAD_call {
  THREAD_call* next;              // link in free_calls
  UTL_message_queue* done_queue;  // receives the cookie when the call has run
  pthread_mutex_t lock;           // guards result and done
  UTL_thread_func func;
  void* arg;
  void* result;                   // what func returned
  int done;                       // set by THREAD_is_done once the cookie has arrived
  unsigned int cookie;            // the call's ticket, never 0
};

// State of the layer. Zero before THREAD_init.
extern std::atomic<unsigned long> main_thread;  // id of the thread that ran THREAD_init
extern std::atomic<int> threads_inited;         // 1 from THREAD_init to the end of THREAD_shutdown
extern UTL_message_queue* warn_exce;            // warnings waiting for the main thread
extern UTL_message_queue* quit_exce;            // fatal failures waiting for the main thread
extern UTL_message_queue* call_queue;           // calls waiting for a worker; ~0 stops one worker
extern pthread_mutex_t free_calls_lock;         // guards free_calls and next_cookie
extern THREAD_call* free_calls;                 // finished call records ready for reuse
extern unsigned int next_cookie;                // last cookie handed out
extern std::vector<unsigned long> worker_threads, worker_threads_join, worker_threads_id;

// Records the calling thread as the main thread and creates the failure
// queues, the free-list lock and the call queue. Once only; a second call
// while the layer runs does nothing.
void THREAD_init();
int THREAD_is_inited();
// 1 when the caller is the thread that ran THREAD_init.
int THREAD_is_main_thread();

// Starts func(arg) on a new thread under THREAD_launch, fills the three
// handles and returns once the new thread has started. With want_gl, and
// while the capability record allows shared contexts, the thread first gets
// a GL context of its own that shares objects with the window's; when that
// context cannot be made or bound, shared contexts are switched off with one
// warning and the thread runs without GL.
void THREAD_create(UTL_thread_func func, void* arg, unsigned long* thread, unsigned long* join,
                   unsigned long* id, int want_gl);

// Entry function of every thread started by THREAD_create.
void* THREAD_launch(void* start_record);

// GL contexts for threads, made by the window layer: a context that shares
// objects with the main one (null when none can be made), made on the main
// thread; and its binding, done by the new thread itself on a small
// off-screen buffer (false when that fails, after a log line).
typedef struct __GLXcontextRec* GLXContext;
GLXContext MACIBM_make_context_loader();
bool MACIBM_set_context_loader(GLXContext context);

// Whether worker threads may share the main context's GL objects, as the GL
// probe above this layer decided (1 yes), and the call that switches that
// off, with one warning, when a thread's context could not be set up.
int OGL_threaded_avail();
void OGL_threaded_ogl_failed();

// Starts one idle worker per processor.
void THREAD_make_workers();

// Body of a worker: runs calls from call_queue until told to stop.
void* xtaskproc(void*);

// Queues func(arg) for a worker.
THREAD_call* THREAD_run_async(UTL_thread_func func, void* arg);
// 1 once the call has finished, waiting up to timeout_ms as a queue read.
// Only the first successful call returns 1.
int THREAD_is_done(THREAD_call* call, int timeout_ms);
// Returns the call's result and recycles the record; fatal when the call
// has not been seen done.
void* THREAD_cleanup(THREAD_call* call);

// On the main thread at an orderly exit: stops and joins every worker, shows
// the failure records still queued (a fatal one ends the program with exit
// code 1, as any fatal record does) and frees the layer's queues and records.
void THREAD_shutdown();

// Inside a catch handler: the fatal failure record for the exception e.
exce_class THREAD_exception_record(std::exception_ptr e);

// Runs func(arg) and returns its result. An exception that escapes it is
// caught: *failed is set and *failure becomes its fatal record (null is then
// returned). Ending the thread (UTL_thread_exit, cancellation) is let
// through.
void* THREAD_run_guarded(UTL_thread_func func, void* arg, exce_class* failure, bool* failed);
