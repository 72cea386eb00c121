#include "support/unprivileged.h"

#include <sys/wait.h>
#include <unistd.h>

#include "runtime/globals.h"

int as_unprivileged_user(const std::function<int()>& fn, uid_t uid) {
  if (geteuid() != 0) return fn();
  xer.flush();  // or the child would write the parent's pending log again
  const pid_t pid = fork();
  if (pid == 0) {
    if (setgid(65534) != 0 || setuid(uid) != 0) _exit(255);
    _exit(fn() & 0xff);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
