// fuzz_input.h - what every fuzz target shares: the library set up once with
// quiet reports and no limits, a scratch drive on a temporary directory for
// inputs that the library reads from files, inputs cut into texts, and a
// check that a run hands every tracked block back.
//
// Relies on the public interface alone; the targets link the static library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qorb::fuzz {

// Reports go to a callback that drops them, limits are lifted and drive F:
// is mapped to a fresh temporary directory (removed at exit). Idempotent.
void SetUpLibrary();

// Writes the bytes to F:\<name> and answers the path name that reaches it.
std::string WriteInputFile(const char *name, const std::uint8_t *data, std::size_t size);

// The host path of F:\<name>, for the functions that take a stream the
// caller opens.
std::string HostPath(const char *name);

// The input cut at NUL bytes into at most `limit` texts (the last one takes
// the rest, NULs removed).
std::vector<std::string> SplitTexts(const std::uint8_t *data, std::size_t size, std::size_t limit);

// The allocator's block and byte counts at construction; the destructor
// aborts when a run left a tracked block behind, so a leak is a finding.
class AllocationBalance {
 public:
  AllocationBalance();
  ~AllocationBalance();
  AllocationBalance(const AllocationBalance &) = delete;
  AllocationBalance &operator=(const AllocationBalance &) = delete;

 private:
  std::uint32_t bytes_ = 0;
  std::uint32_t blocks_ = 0;
};

}  // namespace qorb::fuzz
