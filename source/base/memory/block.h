// block.h - what the allocator's source files share: the block layout
// helpers, the registry of live blocks with its counters and limits, the
// memory-mutex guard and the guard check.
//
// Relies on: qorb32n.h for MemBlockHeader, error_internal.h for the memory
// mutex and the verbosity mask. Only memory/*.cpp include this header.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "error_internal.h"
#include "platform/memory.h"
#include "qorb32n.h"
#include "sem_lock.h"

namespace qorb::mem {

// The source path every report of the allocator carries.
inline constexpr const char *kSourcePath = "base\\memory";
// Error number 9, "Memory Corrupt", for every allocator report.
inline constexpr std::uint32_t kReportNumber = 9;
inline constexpr std::uint32_t kErrorBit = 0x8000;

// The recorded size of a block is the request plus this overhead on every
// host, even where the real header is larger than 24 bytes.
inline constexpr std::uint32_t kOverhead = MEM_OVERHEAD;
inline constexpr std::size_t kHeaderBytes = sizeof(MemBlockHeader);

inline unsigned char *UserArea(MemBlockHeader *header) {
  return reinterpret_cast<unsigned char *>(header) + kHeaderBytes;
}

inline MemBlockHeader *HeaderOf(void *user) {
  return reinterpret_cast<MemBlockHeader *>(static_cast<unsigned char *>(user) - kHeaderBytes);
}

// The trailer byte follows the caller's bytes: user + (size - 25). Only
// meaningful for a size of at least 25.
inline unsigned char *TrailerOf(MemBlockHeader *header) {
  return UserArea(header) + (header->size - kOverhead);
}

// The bytes malloc really holds for a block of recorded size `size`.
inline std::size_t HostBytes(std::uint32_t size) {
  return kHeaderBytes + (static_cast<std::size_t>(size) - kOverhead) + 1;
}

// The six recorded file characters as a NUL-terminated text for printing.
struct RecordedName {
  char text[7];
};
RecordedName NameOf(const MemBlockHeader &header);

// Whether the allocator's own reports (guards, sizes, limits) are issued.
inline bool ReportsEnabled() {
  return (qorb::err::Verbosity() & kErrorBit) != 0;
}

// The live-block registry. `first`/`last` change only under the memory
// mutex; the counters and limits are atomics because the query and limit
// functions read and write them without the mutex.
struct Registry {
  MemBlockHeader *first = nullptr;
  MemBlockHeader *last = nullptr;
  std::atomic<std::uint32_t> bytesAllocated{0};
  std::atomic<std::uint32_t> blockCount{0};
  std::atomic<std::uint32_t> maxBytes{10000000};
  std::atomic<std::uint32_t> maxBlocks{10000};
  std::atomic<std::uint32_t> exitOnLimit{1};
};
// The one registry of the process; constant-initialised, so it is usable
// before any constructor of the library runs.
inline constinit Registry g_registry;
inline Registry &TheRegistry() {
  return g_registry;
}

// Appends a block at the newest end of the chain.
inline void AppendBlock(Registry &registry, MemBlockHeader *header) {
  header->next = nullptr;
  header->prev = registry.last;
  if (registry.last != nullptr) {
    registry.last->next = header;
  } else {
    registry.first = header;
  }
  registry.last = header;
}

// Takes a block out of the chain wherever it stands.
inline void UnlinkBlock(Registry &registry, MemBlockHeader *header) {
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

// Reports a failure to take or give back the memory mutex (never recursing
// when the report itself comes back to the allocator).
void ReportMutexFailure(std::uint32_t line, std::uint32_t code);

// Holds the memory mutex for a scope. A failure to take or give it back is
// reported through ErrRcError and the work goes on unguarded.
class MemoryLock {
 public:
  MemoryLock() : lock_(qorb::err::MemoryMutex()) {
    if (!lock_.held()) ReportMutexFailure(__LINE__, lock_.code());
  }
  ~MemoryLock() { Release(); }
  MemoryLock(const MemoryLock &) = delete;
  MemoryLock &operator=(const MemoryLock &) = delete;

  // Gives the mutex back early (before a report that ends the process).
  void Release() {
    const std::uint32_t rc = lock_.Release();
    if (rc != 0) ReportMutexFailure(__LINE__, rc);
  }

 private:
  SemLock lock_;
};

// Whether the recorded size can be that of this live block: at least the
// overhead, no more than all memory counted, and within what the host
// allocator holds for it. Only then is the trailer read or the block cleared
// by that size, so a damaged size never reaches outside the block.
inline bool SizePlausible(const Registry &registry, const MemBlockHeader &header) {
  return header.size >= kOverhead &&
         header.size <= registry.bytesAllocated.load(std::memory_order_relaxed) &&
         HostBytes(header.size) <= plat::HostAllocationSize(&header);
}

// Whether a pointer given to free can be a live block at first sight: its
// guard word is whole and its size plausible. Reads only the header, which
// may be memory this allocator already gave back: a double free is told
// apart here rather than by the unlink that would follow.
__attribute__((no_sanitize("address", "thread"))) inline bool LooksLive(
    const Registry &registry, const MemBlockHeader &header) {
  return header.guard == MEM_GUARD_WORD && SizePlausible(registry, header);
}

// Whether the header is one of the registry's live blocks: a walk of the
// chain, taken only for a header that does not look live.
bool IsRegistered(const Registry &registry, const MemBlockHeader *header);

// Reports a pointer given to free that names no live block.
void ReportNotLive(const MemBlockHeader *header);

// Reports the damage of a block in the fixed order top guard, trailer, size.
void ReportBlockDamage(const Registry &registry, MemBlockHeader *header);

// Checks one block and answers whether its recorded size can be trusted
// (see SizePlausible). Reads nothing outside the block, whatever its recorded
// size says; a healthy block costs a few comparisons.
inline bool CheckBlock(const Registry &registry, MemBlockHeader *header) {
  const bool plausible = SizePlausible(registry, *header);
  if (header->guard != MEM_GUARD_WORD || !plausible || *TrailerOf(header) != MEM_TRAILER_BYTE) {
    ReportBlockDamage(registry, header);
  }
  return plausible;
}

}  // namespace qorb::mem
