// Waiting for something to happen (a window, a log line, a file, an exit):
// the condition is checked every few milliseconds until it holds or the
// time is up. Tests wait on such signals, never on a fixed sleep.
#pragma once

#include <chrono>
#include <functional>

using wait_clock = std::chrono::steady_clock;

inline wait_clock::time_point wait_deadline(int timeout_ms) {
  return wait_clock::now() + std::chrono::milliseconds(timeout_ms);
}

inline bool wait_expired(wait_clock::time_point deadline) { return wait_clock::now() >= deadline; }

// True as soon as `condition` holds; false when it still does not after
// timeout_ms.
bool wait_until(const std::function<bool()>& condition, int timeout_ms = 10000);

// Asks a child process to end (SIGTERM) and reaps it; after grace_ms it is
// killed.
void stop_child(int pid, int grace_ms = 5000);

// How long tests wait for the program: generous, since sanitizer builds on a
// loaded machine are many times slower than a plain run.
constexpr int kProgramTimeoutMs = 60000;
