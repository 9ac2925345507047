// bench_support.h - what the benchmarks share: the library set up once (no
// limits, reports dropped) and a scratch directory mapped as a drive for the
// benchmarks that read files.
//
// Benchmark names follow "<family>/<operation>/<side>", side "qorb" for the
// library and "peer" for what a programmer would use instead; scripts/bench.sh
// pairs them by that name for the ratio table.
#pragma once

#include <filesystem>
#include <string>

namespace qorb::bench {

// Reports to a callback that drops them, both limits lifted. Called before
// a benchmark's loop; one that chooses another report channel calls it again
// at its end, so that the next benchmark finds the library as usual.
void InitializeLibrary();

// A fresh temporary directory mapped as drive `letter`, removed at exit.
class ScratchDrive {
 public:
  explicit ScratchDrive(char letter);
  ~ScratchDrive();
  ScratchDrive(const ScratchDrive &) = delete;
  ScratchDrive &operator=(const ScratchDrive &) = delete;

  const std::filesystem::path &Host() const { return host_; }
  // The path name of a file in the drive's root ("B:\name").
  std::string PathName(const std::string &name) const;
  // Writes a file into the drive's root; answers its host path.
  std::filesystem::path Write(const std::string &name, const std::string &content) const;

 private:
  char letter_;
  std::filesystem::path host_;
};

}  // namespace qorb::bench
