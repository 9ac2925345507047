// allocate.cpp - allocating and freeing tracked blocks, the two limits and
// the lock-free status queries. The memory mutex covers only the limit
// check, the counters and the registry links; the host allocation, the
// clearing and the host free run outside it, so threads allocate in parallel.
//
// Relies on: malloc/free, the registry and memory lock of block.h,
// ErrPutError for the limit reports and ErrNullError for a failed malloc.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "memory/block.h"

namespace qorb::mem {
namespace {

constexpr std::uint64_t kLargestTotal = 0xFFFFFFFFu;

// Clearing a fresh block through this pointer keeps the compiler from fusing
// malloc and memset into calloc, which bypasses the C library's per-thread
// cache and costs a third more per allocation.
void *(*volatile const g_clear)(void *, int, std::size_t) = std::memset;

// The counters change only under the memory mutex, so a plain load and store
// suffice (and cost far less than a locked add); the atomics only make the
// lock-free readers' view well-defined. Adding modulo 2^32 also subtracts.
void AddToCounters(Registry &registry, std::uint32_t bytes, std::uint32_t blocks) {
  registry.bytesAllocated.store(registry.bytesAllocated.load(std::memory_order_relaxed) + bytes,
                                std::memory_order_relaxed);
  registry.blockCount.store(registry.blockCount.load(std::memory_order_relaxed) + blocks,
                            std::memory_order_relaxed);
}

// The text after the last backslash, first six characters, NUL-padded.
void RecordFileName(MemBlockHeader *header, const char *path) {
  if (path == nullptr) return;  // the field stays all NUL
  const char *name = std::strrchr(path, '\\');
  name = (name != nullptr) ? name + 1 : path;
  for (std::size_t i = 0; i < sizeof(header->file) && name[i] != '\0'; ++i) {
    header->file[i] = name[i];
  }
}

// Ends the process, or lets the allocation go on, when a limit is exceeded;
// the lock is given back before the report when the process ends.
void EnforceLimits(Registry &registry, std::uint32_t total, MemoryLock &lock) {
  const bool exitOnLimit = registry.exitOnLimit.load(std::memory_order_relaxed) != 0;
  const std::uint64_t bytesAfter =
      std::uint64_t{registry.bytesAllocated.load(std::memory_order_relaxed)} + total;
  const std::uint32_t maxBytes = registry.maxBytes.load(std::memory_order_relaxed);
  if (bytesAfter > maxBytes) {
    if (exitOnLimit) lock.Release();
    if (ReportsEnabled()) {
      ErrPutError(nullptr, 0.0, kErrorBit, kReportNumber, kSourcePath, __LINE__, nullptr,
                  "Exceeded MaxAmountMemoryAllowed %lu > %lu",
                  static_cast<unsigned long>(bytesAfter), static_cast<unsigned long>(maxBytes));
    }
    if (exitOnLimit) std::exit(1);
  }
  const std::uint64_t blocksAfter =
      std::uint64_t{registry.blockCount.load(std::memory_order_relaxed)} + 1;
  const std::uint32_t maxBlocks = registry.maxBlocks.load(std::memory_order_relaxed);
  if (blocksAfter > maxBlocks) {
    if (exitOnLimit) lock.Release();
    if (ReportsEnabled()) {
      ErrPutError(nullptr, 0.0, kErrorBit, kReportNumber, kSourcePath, __LINE__, nullptr,
                  "Exceeded MaxNumBlocksAllowed %lu > %lu", static_cast<unsigned long>(blocksAfter),
                  static_cast<unsigned long>(maxBlocks));
    }
    if (exitOnLimit) std::exit(1);
  }
}

// Whether a block of `total` bytes stays within both limits as the counters
// stand; read without the lock, only a hint.
bool WithinLimits(const Registry &registry, std::uint32_t total) {
  return std::uint64_t{registry.bytesAllocated.load(std::memory_order_relaxed)} + total <=
             registry.maxBytes.load(std::memory_order_relaxed) &&
         std::uint64_t{registry.blockCount.load(std::memory_order_relaxed)} + 1 <=
             registry.maxBlocks.load(std::memory_order_relaxed);
}

// Counts a block in under the memory mutex after the limit check (which may
// end the process); the host allocation follows outside the lock, and a
// failure gives the reservation back. Taken when a limit may be reached, so
// that no block beyond it is ever allocated or cleared first.
bool ReserveThenAllocate(Registry &registry, std::uint32_t total, MemBlockHeader *&header) {
  {
    MemoryLock lock;
    EnforceLimits(registry, total, lock);
    AddToCounters(registry, total, 1);
  }
  header = static_cast<MemBlockHeader *>(std::malloc(HostBytes(total)));
  if (header != nullptr) return true;
  MemoryLock lock;
  AddToCounters(registry, 0u - total, 0u - 1u);
  return false;
}

void FillHeader(MemBlockHeader *header, std::uint32_t total, std::uint32_t line, const char *file) {
  g_clear(header, 0, HostBytes(total));
  header->size = total;
  header->guard = MEM_GUARD_WORD;
  *TrailerOf(header) = MEM_TRAILER_BYTE;
  header->line = static_cast<std::uint16_t>(line);
  RecordFileName(header, file);
}

void *Allocate(std::uint32_t request, std::uint32_t line, const char *file) {
  // A total that does not fit the 32-bit size field cannot be tracked; it is
  // refused like a failed malloc rather than recorded as a smaller block.
  if (std::uint64_t{request} + kOverhead > kLargestTotal) {
    return ErrNullError(kSourcePath, __LINE__, nullptr);
  }
  const std::uint32_t total = request + kOverhead;
  Registry &registry = TheRegistry();
  if (!WithinLimits(registry, total)) {
    MemBlockHeader *header = nullptr;
    if (!ReserveThenAllocate(registry, total, header)) {
      return ErrNullError(kSourcePath, __LINE__, nullptr);
    }
    FillHeader(header, total, line, file);
    MemoryLock lock;
    AppendBlock(registry, header);
    return UserArea(header);
  }
  // Well within the limits: allocate and clear outside the lock, then check
  // the limits for certain, count and link in one hold of the mutex.
  auto *header = static_cast<MemBlockHeader *>(std::malloc(HostBytes(total)));
  if (header == nullptr) return ErrNullError(kSourcePath, __LINE__, nullptr);
  FillHeader(header, total, line, file);
  MemoryLock lock;
  if (!WithinLimits(registry, total)) EnforceLimits(registry, total, lock);
  AddToCounters(registry, total, 1);
  AppendBlock(registry, header);
  return UserArea(header);
}

// Takes a block out of the registry, or answers false when the pointer
// names no live block (reported; nothing is touched). Under the lock. A
// healthy block costs the guard checks alone; the walk of the registry is
// only for a header that does not look live.
bool Unregister(Registry &registry, MemBlockHeader *header, bool &sizePlausible) {
  sizePlausible = LooksLive(registry, *header);
  if (!sizePlausible || *TrailerOf(header) != MEM_TRAILER_BYTE) {
    if (!sizePlausible && !IsRegistered(registry, header)) {
      ReportNotLive(header);
      return false;
    }
    ReportBlockDamage(registry, header);
    sizePlausible = SizePlausible(registry, *header);
  }
  AddToCounters(registry, 0u - header->size, 0u - 1u);
  UnlinkBlock(registry, header);
  return true;
}

void Free(void *pointer) {
  Registry &registry = TheRegistry();
  MemBlockHeader *header = HeaderOf(pointer);
  bool plausible = false;
  {
    MemoryLock lock;
    if (!Unregister(registry, header, plausible)) return;
  }
  // Clearing follows the recorded size only when it can be real; a damaged
  // size clears just the header so that nothing outside the block is written.
  std::memset(header, 0, plausible ? HostBytes(header->size) : kHeaderBytes);
  std::free(header);
}

}  // namespace
}  // namespace qorb::mem

extern "C" {

QORB_API void *MemAllocMem_(uint32_t size, uint32_t line, const char *file) {
  return qorb::mem::Allocate(size, line, file);
}

QORB_API void MemFreeMem_(void *pointer) {
  if (pointer == nullptr) {
    (void)std::fputs("Warning! Tried to free NULL pointer.\n", stderr);  // nothing more to do
    return;
  }
  qorb::mem::Free(pointer);
}

QORB_API uint32_t MemQueryStatus(uint32_t *bytes, uint32_t *blocks) {
  const qorb::mem::Registry &registry = qorb::mem::TheRegistry();
  if (bytes != nullptr) *bytes = registry.bytesAllocated.load(std::memory_order_relaxed);
  if (blocks != nullptr) *blocks = registry.blockCount.load(std::memory_order_relaxed);
  return 0;
}

QORB_API uint32_t MemQueryMemoryAllocated(void) {
  return qorb::mem::TheRegistry().bytesAllocated.load(std::memory_order_relaxed);
}

QORB_API uint32_t MemSetLimits(uint32_t maxBytes, uint32_t maxBlocks, uint32_t exitOnLimit) {
  qorb::mem::Registry &registry = qorb::mem::TheRegistry();
  registry.maxBytes.store(maxBytes, std::memory_order_relaxed);
  registry.maxBlocks.store(maxBlocks, std::memory_order_relaxed);
  registry.exitOnLimit.store(exitOnLimit, std::memory_order_relaxed);
  return 0;
}

}  // extern "C"
