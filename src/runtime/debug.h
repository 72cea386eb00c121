// Process set-up for debugging and signals, crash-report helpers (symbols,
// stack and hex dumps), and the registries of remote commands and of named
// statistics.
//
// Everything here runs on the caller's thread and takes no lock: the
// registries are filled during static initialisation and used from the main
// thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>

// Ignores SIGPIPE, so that a peer closing a socket gives an error code
// instead of ending the program.
void UTL_debug_init();

// What is known about a code address.
struct symbol_info {
  char module_name[1024];
  std::uintptr_t module_base;  // not read by anything here
  char function_name[1024];
  std::uintptr_t function_start;
  char file_name[1024];
  int line;  // -1 when not known
};

// One link of the saved frame chain: the caller's frame and the return
// address into the caller, in the processor's own layout.
struct stack_frame {
  stack_frame* next;
  void* return_address;
};

// Looks an address up. There is no symbol lookup on this platform: the
// names come back empty, the bases 0 and the line -1.
void UTL_get_debug_symbol(void* address, symbol_info* out);

// Writes one line for the address: "0x%08x" of the address, then the source
// position and the function when they are known, else " (???)".
void print_symbol(FILE* f, void* address);
// print_symbol's line for an address whose look-up gave `info`.
void print_symbol_info(FILE* f, void* address, const symbol_info& info);

// Writes a numbered list of return addresses: `pc` first when not null, then
// one per frame of the chain from `frame`, which must lead to ever higher
// addresses; at most 100 entries. Null and null write nothing.
void UTL_dump_stack(FILE* f, stack_frame* frame, void* pc);

// Writes `length` bytes as rows of 16: hex cells, then the printable
// characters. A length below 1 writes nothing.
void dump_hex(FILE* f, const void* data, std::int64_t length);

// Whether the memory may be touched; always 1 (no check on this platform).
int UTL_valid_memory(const void* address, std::size_t size, int read, int write);

// A named command that can be run by its id from outside the program.
class UTL_remote_cmd {
 public:
  // Registers the command under the next free id, at the head of the list.
  UTL_remote_cmd(const char* name, void (*function)());
  // Takes the command off the list.
  ~UTL_remote_cmd();
  UTL_remote_cmd(const UTL_remote_cmd&) = delete;
  UTL_remote_cmd& operator=(const UTL_remote_cmd&) = delete;

  // Runs the newest command with that id; nothing when there is none. The
  // data is not passed on.
  static void invoke(void* data, int id);
  static void init_remote_cmds();
  // Nothing is published on this platform.
  static void publish();

  UTL_remote_cmd* next;  // older command
  void (*function)();
  const char* name;
  int id;

  static UTL_remote_cmd* cmd_list;  // newest first
  static int free_id;               // id of the next command, from 1
  static int inited;                // set by init_remote_cmds
};

// Kind of a statistic; the program's tunables are kind 4.
enum UTL_stat_type : int { UTL_stat_tunable = 4 };

// A named float that other code reads directly through `value` (or through
// `source`). Statistics made before init_stats wait in a list; after it, or
// when published, they sit in the set of their kind.
class UTL_stat {
 public:
  UTL_stat(const char* name, UTL_stat_type type, float initial);
  // Reports the float at `source` instead of its own value.
  UTL_stat(float* source, const char* name, UTL_stat_type type);
  // Takes the statistic out of the waiting list and out of its set.
  ~UTL_stat();
  UTL_stat(const UTL_stat&) = delete;
  UTL_stat& operator=(const UTL_stat&) = delete;

  // Moves every waiting statistic into the sets; later ones go there directly.
  static void init_stats();
  // Adds this statistic to the set of its kind.
  void publish();
  // Empties the set of one kind.
  static void reset_stats(UTL_stat_type type);

  float value;
  UTL_stat_type type;
  UTL_stat* next;  // next waiting statistic
  float* source;   // the reported float
  const char* name;

  static UTL_stat* waiting;      // newest first
  static int stat_initialized;   // set by init_stats
  // The published statistics by kind. Never destroyed, so that statistics
  // of static storage may still leave it while the program ends.
  static std::map<UTL_stat_type, std::set<UTL_stat*>>& all_stats();

 private:
  void enlist();
};
