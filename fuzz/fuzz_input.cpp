// fuzz_input.cpp - set-up, scratch files and the allocation balance shared by
// the fuzz targets.
//
// Relies on: ErrInitialize, MemSetLimits, FilMapDrive and MemQueryStatus;
// std::filesystem for the temporary directory behind drive F:.
#include "fuzz_input.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "qorb32n.h"

namespace qorb::fuzz {
namespace {

namespace fs = std::filesystem;

void DropReport(uint32_t, const char *) {}

// The host directory behind drive F:, made once and removed at exit.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern = (fs::temp_directory_path() / "qorb_fuzz_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory &) = delete;
  ScratchDirectory &operator=(const ScratchDirectory &) = delete;
  const fs::path &Path() const { return path_; }

 private:
  fs::path path_;
};

const ScratchDirectory &Scratch() {
  static const ScratchDirectory scratch;
  return scratch;
}

}  // namespace

void SetUpLibrary() {
  static const bool done = [] {
    ErrInitialize(ERR_MODE_CALLBACK, "fuzz", reinterpret_cast<uintptr_t>(&DropReport), 0, 0, 0);
    MemSetLimits(0xFFFFFFFFu, 0xFFFFFFFFu, 0);
    return FilMapDrive('F', Scratch().Path().c_str()) == 1;
  }();
  if (!done) std::abort();
}

std::string WriteInputFile(const char *name, const std::uint8_t *data, std::size_t size) {
  std::FILE *file = std::fopen(HostPath(name).c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  if (std::fclose(file) != 0) std::abort();
  return std::string("F:\\") + name;
}

std::string HostPath(const char *name) {
  return (Scratch().Path() / name).string();
}

std::vector<std::string> SplitTexts(const std::uint8_t *data, std::size_t size, std::size_t limit) {
  std::vector<std::string> texts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0 && texts.size() < limit) {
      texts.emplace_back();
    } else if (data[i] != 0) {
      texts.back().push_back(static_cast<char>(data[i]));
    }
  }
  return texts;
}

AllocationBalance::AllocationBalance() {
  MemQueryStatus(&bytes_, &blocks_);
}

AllocationBalance::~AllocationBalance() {
  std::uint32_t bytes = 0;
  std::uint32_t blocks = 0;
  MemQueryStatus(&bytes, &blocks);
  if (bytes == bytes_ && blocks == blocks_) return;
  (void)std::fprintf(stderr, "tracked blocks left behind: %u blocks, %u bytes\n", blocks - blocks_,
                     bytes - bytes_);
  std::abort();
}

}  // namespace qorb::fuzz
