// temp_directory.h - a fresh directory of a test's own below the host's
// temporary folder, and the skip of tests that only make sense on POSIX.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace qorb::test {

// Makes a new, empty directory whose name starts with `prefix`; its
// canonical path. Fails the test (and gives an empty path) when none can be
// made.
std::filesystem::path MakeTempDirectory(const std::string &prefix);

}  // namespace qorb::test

// Leaves a test out on Windows, saying why it only makes sense on POSIX.
#ifdef _WIN32
#define QORB_POSIX_ONLY(reason) GTEST_SKIP() << "POSIX only: " << (reason)
#else
#define QORB_POSIX_ONLY(reason) static_cast<void>(0)
#endif
