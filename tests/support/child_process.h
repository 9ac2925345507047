// child_process.h - real child processes for tests: waiting for one and
// ending one by force on every host; on POSIX also forking one that runs a
// function (the child ends with its result, never returning into the test
// framework).
#pragma once

#include <cstdint>
#include <functional>

#ifndef _WIN32
#include <sys/types.h>
#endif

namespace qorb::test {

// A started child: its pid on POSIX, its process handle on Windows; -1
// when none could be started.
#ifdef _WIN32
using ChildProcess = std::intptr_t;
#else
using ChildProcess = pid_t;
#endif

// Waits for the child to end: its exit code, 128 + the signal that ended it
// (POSIX), or -1 when it cannot be waited for.
int WaitChild(ChildProcess child);

// Ends the child at once, as a crash would: no clean-up of its own runs.
// WaitChild then gives kKilledStatus (128 + SIGKILL on POSIX, the exit code
// the kill sets on Windows).
bool KillChild(ChildProcess child);
inline constexpr int kKilledStatus = 137;

// This process's id, for names no other test process uses.
unsigned long CurrentProcessId();

#ifndef _WIN32
// Forks a child that runs body() and ends with _exit(body()); -1 on failure.
pid_t ForkChild(const std::function<int()> &body);

// ForkChild and WaitChild in one.
int RunInChild(const std::function<int()> &body);
#endif

}  // namespace qorb::test
