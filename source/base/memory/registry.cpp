// registry.cpp - the library-wide chain of live tracked blocks, its counters
// and limits, and the guard that holds the memory mutex around registry work.
//
// Relies on: the Sem mutex calls for the memory mutex that ErrInitialize
// creates (error_internal.h), ErrRcError for failures to take or give it back.
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

constinit Registry g_registry;

// A report of a mutex failure may itself reach the allocator; a second
// failure on the same thread while the first is being reported stays silent
// instead of recursing.
thread_local bool t_reportingMutexFailure = false;

void ReportMutexFailure(std::uint32_t line, std::uint32_t code) {
  if (t_reportingMutexFailure) return;
  t_reportingMutexFailure = true;
  ErrRcError(kSourcePath, line, code);
  t_reportingMutexFailure = false;
}

}  // namespace

Registry &TheRegistry() {
  return g_registry;
}

RecordedName NameOf(const MemBlockHeader &header) {
  RecordedName name{};
  for (std::size_t i = 0; i < sizeof(header.file); ++i) name.text[i] = header.file[i];
  name.text[sizeof(header.file)] = '\0';
  return name;
}

void AppendBlock(Registry &registry, MemBlockHeader *header) {
  header->next = nullptr;
  header->prev = registry.last;
  if (registry.last != nullptr) {
    registry.last->next = header;
  } else {
    registry.first = header;
  }
  registry.last = header;
}

void UnlinkBlock(Registry &registry, MemBlockHeader *header) {
  if (header->prev != nullptr) {
    header->prev->next = header->next;
  } else {
    registry.first = header->next;
  }
  if (header->next != nullptr) {
    header->next->prev = header->prev;
  } else {
    registry.last = header->prev;
  }
}

MemoryLock::MemoryLock() {
  const std::uint32_t rc = SemRequestMutex(&qorb::err::MemoryMutex(), SEM_INDEFINITE_WAIT);
  if (rc != 0) {
    ReportMutexFailure(__LINE__, rc);
    return;
  }
  held_ = true;
}

void MemoryLock::Release() {
  if (!held_) return;
  held_ = false;
  const std::uint32_t rc = SemReleaseMutex(&qorb::err::MemoryMutex());
  if (rc != 0) ReportMutexFailure(__LINE__, rc);
}

}  // namespace qorb::mem
