#include "runtime/debug.h"

#include <csignal>

void UTL_debug_init() { signal(SIGPIPE, SIG_IGN); }
