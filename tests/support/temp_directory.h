// temp_directory.h - a fresh directory of a test's own below the host's
// temporary folder.
#pragma once

#include <filesystem>
#include <string>

namespace qorb::test {

// Makes a new, empty directory whose name starts with `prefix`; its
// canonical path. Fails the test (and gives an empty path) when none can be
// made.
std::filesystem::path MakeTempDirectory(const std::string &prefix);

}  // namespace qorb::test
