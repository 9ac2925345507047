// check.cpp - the guard check of one block and its two users that only look:
// checking every live block and asking a block's recorded size.
//
// Relies on: the registry and memory lock of block.h, ErrPutError for the
// three damage reports (issued only with the Error bit in the verbosity mask).
#include "memory/block.h"

namespace qorb::mem {

bool SizePlausible(const Registry &registry, const MemBlockHeader &header) {
  return header.size >= kOverhead &&
         header.size <= registry.bytesAllocated.load(std::memory_order_relaxed);
}

void CheckBlock(const Registry &registry, MemBlockHeader *header) {
  const bool report = ReportsEnabled();
  const RecordedName name = NameOf(*header);
  const auto line = static_cast<unsigned short>(header->line);
  if (header->guard != MEM_GUARD_WORD && report) {
    ErrPutError(nullptr, 0.0, kErrorBit, kReportNumber, kSourcePath, __LINE__, nullptr,
                "Top guard corrupt. Allocated: %6.6s:%hu", name.text, line);
  }
  // The trailer is looked for only where a plausible size puts it, so a
  // damaged size never sends the read outside the block.
  const bool plausible = SizePlausible(registry, *header);
  if (plausible && *TrailerOf(header) != MEM_TRAILER_BYTE && report) {
    ErrPutError(nullptr, 0.0, kErrorBit, kReportNumber, kSourcePath, __LINE__, nullptr,
                "Bottom guard corrupt. Allocated: %6.6s:%hu", name.text, line);
  }
  // A size below the overhead can belong to no block; it is as invalid as
  // one larger than everything counted.
  if (!plausible && report) {
    ErrPutError(nullptr, 0.0, kErrorBit, kReportNumber, kSourcePath, __LINE__, nullptr,
                "Size invalid. Allocated: %6.6s:%hu", name.text, line);
  }
}

}  // namespace qorb::mem

extern "C" {

QORB_API uint32_t MemCheckMemory(void) {
  qorb::mem::Registry &registry = qorb::mem::TheRegistry();
  qorb::mem::MemoryLock lock;
  for (MemBlockHeader *header = registry.first; header != nullptr; header = header->next) {
    qorb::mem::CheckBlock(registry, header);
  }
  return 1;
}

QORB_API uint32_t MemQueryBlockSize(void *pointer) {
  if (pointer == nullptr) return 0;
  qorb::mem::Registry &registry = qorb::mem::TheRegistry();
  MemBlockHeader *header = qorb::mem::HeaderOf(pointer);
  qorb::mem::MemoryLock lock;
  qorb::mem::CheckBlock(registry, header);
  return header->size;
}

}  // extern "C"
