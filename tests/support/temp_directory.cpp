// temp_directory.cpp - fresh temporary directories for tests.
//
// Relies on std::filesystem: a directory is new when create_directory made
// it, so concurrent test processes never share one.
#include "support/temp_directory.h"

#include <gtest/gtest.h>

#include <random>
#include <system_error>

namespace qorb::test {

std::filesystem::path MakeTempDirectory(const std::string &prefix) {
  namespace fs = std::filesystem;
  std::random_device seed;
  std::mt19937_64 random(seed());
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  for (int attempt = 0; attempt < 100 && !error; ++attempt) {
    const fs::path candidate = base / (prefix + std::to_string(random() % 1000000000u));
    if (fs::create_directory(candidate, error)) return fs::canonical(candidate, error);
  }
  ADD_FAILURE() << "cannot make a temporary directory below " << base;
  return {};
}

}  // namespace qorb::test
