// temp_dir.h - a temporary directory for one test, removed with everything
// in it when the test ends. EnteredTempDir also makes it the working
// directory for its lifetime and goes back to the previous one afterwards.
#pragma once

#include <string>

namespace qorb::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  // The directory's absolute host path, without a trailing slash.
  const std::string &path() const { return path_; }
  // The host path of a name inside the directory.
  std::string File(const std::string &name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

class EnteredTempDir : public TempDir {
 public:
  EnteredTempDir();
  ~EnteredTempDir();

 private:
  std::string previous_;
};

// The whole content of a host file ("" when it cannot be read).
std::string ReadFile(const std::string &path);

}  // namespace qorb::test
