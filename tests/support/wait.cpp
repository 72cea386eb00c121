#include "support/wait.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

bool wait_until(const std::function<bool()>& condition, int timeout_ms) {
  const auto deadline = wait_deadline(timeout_ms);
  for (;;) {
    if (condition()) return true;
    if (wait_expired(deadline)) return condition();
    usleep(3000);
  }
}

void stop_child(int pid, int grace_ms) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  int status = 0;
  const auto deadline = wait_deadline(grace_ms);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (wait_expired(deadline)) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    usleep(2000);
  }
}
