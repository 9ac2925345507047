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

#include "error_internal.h"
#include "qorb32n.h"

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
Registry &TheRegistry();

void AppendBlock(Registry &registry, MemBlockHeader *header);
void UnlinkBlock(Registry &registry, MemBlockHeader *header);

// Holds the memory mutex for a scope. A failure to take or give it back is
// reported through ErrRcError and the work goes on unguarded.
class MemoryLock {
 public:
  MemoryLock();
  ~MemoryLock() { Release(); }
  MemoryLock(const MemoryLock &) = delete;
  MemoryLock &operator=(const MemoryLock &) = delete;

  // Gives the mutex back early (before a report that ends the process).
  void Release();

 private:
  bool held_ = false;
};

// Reports damage of one block in the fixed order top guard, trailer, size.
// Reads nothing outside the block, whatever its recorded size says.
void CheckBlock(const Registry &registry, MemBlockHeader *header);

// Whether the recorded size can be that of a live block: at least the
// overhead and no more than all memory counted. Only then is the trailer
// read or the caller's area cleared.
bool SizePlausible(const Registry &registry, const MemBlockHeader &header);

}  // namespace qorb::mem
