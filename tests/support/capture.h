// capture.h - captures what a piece of code writes on standard output or
// standard error, by pointing the descriptor at a temporary file for the
// length of the call.
#pragma once

#include <functional>
#include <string>

namespace qorb::test {

// Runs body with standard output redirected and returns what it wrote.
std::string CaptureStdout(const std::function<void()> &body);

// Runs body with standard error redirected and returns what it wrote.
std::string CaptureStderr(const std::function<void()> &body);

}  // namespace qorb::test
