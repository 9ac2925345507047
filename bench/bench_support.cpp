// bench_support.cpp - library set-up and scratch drives for the benchmarks.
//
// Relies on: ErrInitialize, MemSetLimits and FilMapDrive; std::filesystem.
#include "bench_support.h"

#include <stdlib.h>

#include <cstdlib>
#include <fstream>
#include <system_error>

#include "qorb32n.h"

namespace qorb::bench {
namespace {

void DropReport(uint32_t, const char *) {}

}  // namespace

void InitializeLibrary() {
  ErrInitialize(ERR_MODE_CALLBACK, "bench", reinterpret_cast<uintptr_t>(&DropReport), 0, 0, 0);
  MemSetLimits(0xFFFFFFFFu, 0xFFFFFFFFu, 0);
}

ScratchDrive::ScratchDrive(char letter) : letter_(letter) {
  InitializeLibrary();
  std::string pattern = (std::filesystem::temp_directory_path() / "qorb_bench_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  host_ = pattern;
  if (FilMapDrive(letter, pattern.c_str()) != 1) std::abort();
}

ScratchDrive::~ScratchDrive() {
  std::error_code ignored;
  std::filesystem::remove_all(host_, ignored);
}

std::string ScratchDrive::PathName(const std::string &name) const {
  return std::string(1, letter_) + ":\\" + name;
}

std::filesystem::path ScratchDrive::Write(const std::string &name,
                                          const std::string &content) const {
  std::filesystem::path path = host_ / name;
  std::ofstream out(path, std::ios::binary);
  out << content;
  if (!out) std::abort();
  return path;
}

}  // namespace qorb::bench
