// check.cpp - the guard check of one block and its two users that only look:
// checking every live block and asking a block's recorded size.
//
// Relies on: the registry and memory lock of block.h, ErrPutError for the
// three damage reports (issued only with the Error bit in the verbosity mask).
#include "memory/block.h"

namespace qorb::mem {

namespace {

enum class Damage { kTopGuard, kBottomGuard, kSize };

// One damage report with the block's allocating site; the recorded name is
// copied out only here, so that a healthy block costs no formatting work.
void ReportDamage(Damage damage, const MemBlockHeader &header) {
  const RecordedName name = NameOf(header);
  const auto line = static_cast<unsigned short>(header.line);
  switch (damage) {
    case Damage::kTopGuard:
      ErrPutError(nullptr, 0.0, kErrorBit, kReportNumber, kSourcePath, __LINE__, nullptr,
                  "Top guard corrupt. Allocated: %6.6s:%hu", name.text, line);
      break;
    case Damage::kBottomGuard:
      ErrPutError(nullptr, 0.0, kErrorBit, kReportNumber, kSourcePath, __LINE__, nullptr,
                  "Bottom guard corrupt. Allocated: %6.6s:%hu", name.text, line);
      break;
    case Damage::kSize:
      ErrPutError(nullptr, 0.0, kErrorBit, kReportNumber, kSourcePath, __LINE__, nullptr,
                  "Size invalid. Allocated: %6.6s:%hu", name.text, line);
      break;
  }
}

}  // namespace

bool IsRegistered(const Registry &registry, const MemBlockHeader *header) {
  for (const MemBlockHeader *live = registry.first; live != nullptr; live = live->next) {
    if (live == header) return true;
  }
  return false;
}

void ReportNotLive(const MemBlockHeader *header) {
  if (!ReportsEnabled()) return;
  ErrPutError(nullptr, 0.0, kErrorBit, kReportNumber, kSourcePath, __LINE__, nullptr,
              "Free of a pointer that is no live block: %p",
              static_cast<const void *>(UserArea(const_cast<MemBlockHeader *>(header))));
}

void ReportBlockDamage(const Registry &registry, MemBlockHeader *header) {
  if (header->guard != MEM_GUARD_WORD && ReportsEnabled()) {
    ReportDamage(Damage::kTopGuard, *header);
  }
  // The trailer is looked for only where a plausible size puts it, so a
  // damaged size never sends the read outside the block.
  const bool plausible = SizePlausible(registry, *header);
  if (plausible && *TrailerOf(header) != MEM_TRAILER_BYTE && ReportsEnabled()) {
    ReportDamage(Damage::kBottomGuard, *header);
  }
  // A size below the overhead, or beyond what the host holds for the block,
  // can belong to no block: as invalid as one larger than everything counted.
  if (!plausible && ReportsEnabled()) ReportDamage(Damage::kSize, *header);
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
