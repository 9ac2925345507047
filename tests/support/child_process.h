// child_process.h - running code in real child processes for tests.
//
// Two ways: fork and run a function (the child ends with its result, never
// returning into the test framework), or start this test binary again on a
// single test case with extra environment variables.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace qorb::test {

// Forks a child that runs body() and ends with _exit(body()); -1 on failure.
pid_t ForkChild(const std::function<int()> &body);

// Starts this test binary with --gtest_filter=<testName> and the given
// "NAME=value" variables added to the environment; -1 on failure.
pid_t SpawnTestCase(const std::string &testName, const std::vector<std::string> &environment);

// Waits for the child to end: its exit code, 128 + the signal that ended
// it, or -1 when it cannot be waited for.
int WaitChild(pid_t pid);

// ForkChild and WaitChild in one.
int RunInChild(const std::function<int()> &body);

// The value of an environment variable, or "" when unset.
std::string EnvironmentValue(const char *name);

}  // namespace qorb::test
