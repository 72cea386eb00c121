// Running a piece of a test with the rights of an ordinary user.
#pragma once

#include <sys/types.h>

#include <functional>

// Runs fn so that file permissions apply even when the tests run as root:
// there it runs in a child process that first gives up root for the user
// uid ("nobody" unless another is given: a user no other process runs as
// lets fn count on the user's limit of processes). fn's result must fit in
// an exit code; -1 when the child did not end normally.
int as_unprivileged_user(const std::function<int()>& fn, uid_t uid = 65534);
