// temp_dir.cpp - temporary directories under the host's temporary path
// (mkdtemp), removed recursively by std::filesystem.
#include "support/temp_dir.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace qorb::test {

TempDir::TempDir() {
  const std::string pattern = (std::filesystem::temp_directory_path() / "qorb.XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = name.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

EnteredTempDir::EnteredTempDir() : previous_(std::filesystem::current_path().string()) {
  std::filesystem::current_path(path());
}

EnteredTempDir::~EnteredTempDir() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace qorb::test
