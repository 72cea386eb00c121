#include "support/wait.h"

#include <unistd.h>

bool wait_until(const std::function<bool()>& condition, int timeout_ms) {
  const auto deadline = wait_deadline(timeout_ms);
  for (;;) {
    if (condition()) return true;
    if (wait_expired(deadline)) return condition();
    usleep(3000);
  }
}
