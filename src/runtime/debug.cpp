#include "runtime/debug.h"

#include <cinttypes>
#include <csignal>
#include <cstring>

void UTL_debug_init() { signal(SIGPIPE, SIG_IGN); }

void UTL_get_debug_symbol(void*, symbol_info* out) {
  if (!out) return;
  out->module_name[0] = '\0';
  out->module_base = 0;
  out->function_name[0] = '\0';
  out->function_start = 0;
  out->file_name[0] = '\0';
  out->line = -1;
}

void print_symbol_info(FILE* f, void* address, const symbol_info& info) {
  if (!f) return;
  // Addresses are written in full: eight digits at least, more above 4 GiB.
  const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(address);
  std::fprintf(f, "0x%08" PRIxPTR, at);
  if (info.file_name[0] != '\0') {
    const char* base = info.file_name;
    for (const char* c = info.file_name; *c; ++c)
      if (*c == '/' || *c == '\\') base = c + 1;
    std::fprintf(f, " (%s:%d)", base, info.line);
  }
  const std::intptr_t offset = static_cast<std::intptr_t>(at - info.function_start);
  if (info.function_name[0] == '\0') {
    if (info.function_start == 0)
      std::fputs(" (?\?\?)\n", f);
    else
      std::fprintf(f, " (0x%08" PRIxPTR " + %" PRIdPTR ")\n", info.function_start, offset);
  } else {
    std::fprintf(f, " (%s + %" PRIdPTR ")\n", info.function_name, offset);
  }
}

void print_symbol(FILE* f, void* address) {
  symbol_info info;
  UTL_get_debug_symbol(address, &info);
  print_symbol_info(f, address, info);
}

void UTL_dump_stack(FILE* f, stack_frame* frame, void* pc) {
  if (!f) return;
  const int max_entries = 100;
  int n = 0;
  if (pc) {
    std::fprintf(f, " % 2d) ", n++);
    print_symbol(f, pc);
  }
  // A frame's caller sits higher on the stack; a link that does not lead
  // upwards ends the walk, so a broken chain cannot make it go round.
  while (frame && n < max_entries) {
    std::fprintf(f, " % 2d) ", n++);
    print_symbol(f, frame->return_address);
    if (reinterpret_cast<std::uintptr_t>(frame->next) <= reinterpret_cast<std::uintptr_t>(frame)) break;
    frame = frame->next;
  }
}

void dump_hex(FILE* f, const void* data, std::int64_t length) {
  if (!f || !data || length < 1) return;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (std::int64_t row = 0; row < length; row += 16) {
    std::fputc(' ', f);
    for (int i = 0; i < 16; ++i) {
      if (row + i < length)
        std::fprintf(f, "%02X", bytes[row + i]);
      else
        std::fputs("  ", f);
      if (i % 4 == 3) std::fputc(' ', f);
    }
    std::fputs("    ", f);
    for (int i = 0; i < 16; ++i) {
      if (row + i < length) {
        const unsigned char c = bytes[row + i];
        std::fputc(c >= 0x20 && c < 0x7F ? c : '.', f);
      } else {
        std::fputc(' ', f);
      }
      if (i % 4 == 3) std::fputc(' ', f);
    }
    std::fputc('\n', f);
  }
}

int UTL_valid_memory(const void*, std::size_t, int, int) { return 1; }

// --- Remote commands ---

UTL_remote_cmd* UTL_remote_cmd::cmd_list = nullptr;
int UTL_remote_cmd::free_id = 1;
int UTL_remote_cmd::inited = 0;

UTL_remote_cmd::UTL_remote_cmd(const char* cmd_name, void (*cmd_function)())
    : next(cmd_list), function(cmd_function), name(cmd_name), id(free_id++) {
  cmd_list = this;
}

UTL_remote_cmd::~UTL_remote_cmd() {
  for (UTL_remote_cmd** link = &cmd_list; *link; link = &(*link)->next) {
    if (*link == this) {
      *link = next;
      break;
    }
  }
}

void UTL_remote_cmd::invoke(void*, int cmd_id) {
  for (UTL_remote_cmd* c = cmd_list; c; c = c->next) {
    if (c->id == cmd_id) {
      if (c->function) c->function();
      return;
    }
  }
}

void UTL_remote_cmd::init_remote_cmds() { inited = 1; }

void UTL_remote_cmd::publish() {}

// --- Statistics ---

UTL_stat* UTL_stat::waiting = nullptr;
int UTL_stat::stat_initialized = 0;

std::map<UTL_stat_type, std::set<UTL_stat*>>& UTL_stat::all_stats() {
  static auto* stats = new std::map<UTL_stat_type, std::set<UTL_stat*>>;
  return *stats;
}

UTL_stat::UTL_stat(const char* stat_name, UTL_stat_type stat_type, float initial)
    : value(initial), type(stat_type), next(nullptr), source(&value), name(stat_name) {
  enlist();
}

UTL_stat::UTL_stat(float* stat_source, const char* stat_name, UTL_stat_type stat_type)
    : value(0.0f), type(stat_type), next(nullptr), source(stat_source), name(stat_name) {
  enlist();
}

void UTL_stat::enlist() {
  if (stat_initialized == 0) {
    next = waiting;
    waiting = this;
  } else {
    all_stats()[type].insert(this);
  }
}

UTL_stat::~UTL_stat() {
  for (UTL_stat** link = &waiting; *link; link = &(*link)->next) {
    if (*link == this) {
      *link = next;
      break;
    }
  }
  auto& stats = all_stats();
  auto it = stats.find(type);
  if (it != stats.end()) it->second.erase(this);
}

void UTL_stat::init_stats() {
  while (waiting) {
    UTL_stat* s = waiting;
    waiting = s->next;
    s->next = nullptr;
    all_stats()[s->type].insert(s);
  }
  stat_initialized = 1;
}

void UTL_stat::publish() { all_stats()[type].insert(this); }

void UTL_stat::reset_stats(UTL_stat_type stat_type) {
  auto& stats = all_stats();
  auto it = stats.find(stat_type);
  if (it != stats.end()) it->second.clear();
}
