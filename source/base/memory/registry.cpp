// registry.cpp - the out-of-line parts of the block registry: the header
// layout checks, the recorded file name as printable text, and reporting a
// failure to take or give back the memory mutex.
//
// Relies on: block.h; ErrRcError for the mutex failures.
#include <cstddef>

#include "memory/block.h"

namespace qorb::mem {

// The documented 32-bit layout; on a 64-bit host the header is padded so that
// the caller's area stays 16-byte aligned with the guard word right before it.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(MemBlockHeader, size) == 0);
static_assert(offsetof(MemBlockHeader, next) == 4);
static_assert(offsetof(MemBlockHeader, prev) == 8);
static_assert(offsetof(MemBlockHeader, line) == 12);
static_assert(offsetof(MemBlockHeader, file) == 14);
static_assert(offsetof(MemBlockHeader, guard) == 20);
static_assert(sizeof(MemBlockHeader) == 24);
#else
static_assert(sizeof(MemBlockHeader) % 16 == 0);
#endif
static_assert(offsetof(MemBlockHeader, guard) + sizeof(std::uint32_t) == sizeof(MemBlockHeader));
static_assert(sizeof(MemBlockHeader::file) == 6);

namespace {

// A report of a mutex failure may itself reach the allocator; a second
// failure on the same thread while the first is being reported stays silent
// instead of recursing.
thread_local bool t_reportingMutexFailure = false;

}  // namespace

void ReportMutexFailure(std::uint32_t line, std::uint32_t code) {
  if (t_reportingMutexFailure) return;
  t_reportingMutexFailure = true;
  ErrRcError(kSourcePath, line, code);
  t_reportingMutexFailure = false;
}

RecordedName NameOf(const MemBlockHeader &header) {
  RecordedName name{};
  for (std::size_t i = 0; i < sizeof(header.file); ++i) name.text[i] = header.file[i];
  name.text[sizeof(header.file)] = '\0';
  return name;
}

}  // namespace qorb::mem
