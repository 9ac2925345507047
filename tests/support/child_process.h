// child_process.h - running code in real child processes for tests: fork,
// run a function (the child ends with its result, never returning into the
// test framework), and wait for the child's end.
#pragma once

#include <sys/types.h>

#include <functional>

namespace qorb::test {

// Forks a child that runs body() and ends with _exit(body()); -1 on failure.
pid_t ForkChild(const std::function<int()> &body);

// Waits for the child to end: its exit code, 128 + the signal that ended
// it, or -1 when it cannot be waited for.
int WaitChild(pid_t pid);

// ForkChild and WaitChild in one.
int RunInChild(const std::function<int()> &body);

}  // namespace qorb::test
