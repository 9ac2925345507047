// table.cpp - the error table: 51 slots, the overflow entry in slot 1, the
// current-slot index and its advancing search, and the operations that read
// and change entries (ErrGetError, ErrClearError, ErrLinkError,
// ErrChangeError).
//
// Relies on the error-table mutex (SemRequestMutex with a 1000 ms wait) for
// every change. Lookups read without the lock, so the in-use flags are
// atomics; an entry handed out may be rewritten by a later report.
#include <atomic>
#include <cstring>

#include "error/error_private.h"

static_assert(sizeof(void *) != 4 || sizeof(ErrEntry) == 276, "the table entry is 276 bytes");

namespace qorb::err {

namespace {

struct Slot {
  std::atomic<std::uint32_t> inUse;
  ErrEntry entry;
};

// Slot 0 is in use and all zero so it is never handed out; slot 1 answers
// every lookup of a bad or free slot.
Slot g_slots[kSlotCount] = {
    {1, {0, 0, {}, 0, nullptr, 0}},
    {1, {ERR_SEV_ERROR, 8, "Out of error space", 0, "error", 0}},
};

// The slot the next report fills; kOverflowSlot once the table is full,
// which it then stays. Changed only under the error-table mutex.
std::uint32_t g_current = kFirstReportSlot;

bool IsReportSlot(std::uint32_t slot) {
  return slot >= kFirstReportSlot && slot <= kLastReportSlot;
}

std::uint32_t NextReportSlot(std::uint32_t slot) {
  return slot == kLastReportSlot ? kFirstReportSlot : slot + 1;
}

// The first free slot after the one just filled, or the overflow slot when
// the search comes back to it.
std::uint32_t FindFreeSlotAfter(std::uint32_t filled) {
  for (std::uint32_t slot = NextReportSlot(filled); slot != filled; slot = NextReportSlot(slot)) {
    if (!SlotInUse(slot)) return slot;
  }
  return kOverflowSlot;
}

// The message cut to 255 characters and terminated.
void CopyMessage(char (&text)[sizeof(ErrEntry::text)], const char *message) {
  const std::size_t length = strnlen(message, sizeof text - 1);
  std::memcpy(text, message, length);
  text[length] = '\0';
}

// Runs change() on the table under the error-table mutex: the code of the
// failed request, else the code of giving the mutex back.
template <typename Change>
std::uint32_t ChangeUnderLock(Change change) {
  TableLock lock;
  if (lock.code() != 0) return lock.code();
  change();
  return lock.Release();
}

}  // namespace

TableLock::TableLock() : SemLock(TableMutex(), kTableWaitMs) {}

bool SlotInUse(std::uint32_t slot) {
  return slot < kSlotCount && g_slots[slot].inUse.load(std::memory_order_acquire) != 0;
}

std::uint32_t StoreInTable(const Report &report) {
  if (g_current == kOverflowSlot) return kOverflowSlot;
  const std::uint32_t filled = g_current;
  Slot &slot = g_slots[filled];
  slot.entry.severity = report.severity;
  slot.entry.number = report.number;
  slot.entry.link = IsReportSlot(report.link) && SlotInUse(report.link) ? report.link : 0;
  CopyMessage(slot.entry.text, report.message);
  slot.entry.line = report.line;
  slot.entry.file = report.file;
  slot.inUse.store(1, std::memory_order_release);
  g_current = FindFreeSlotAfter(filled);
  return filled;
}

ErrEntry *Lookup(std::uint32_t slot) {
  const std::uint32_t found = IsReportSlot(slot) && SlotInUse(slot) ? slot : kOverflowSlot;
  return &g_slots[found].entry;
}

std::uint32_t Clear(std::uint32_t slot) {
  return ChangeUnderLock([slot] {
    if (IsReportSlot(slot)) g_slots[slot].inUse.store(0, std::memory_order_release);
  });
}

std::uint32_t Link(std::uint32_t earlier, std::uint32_t entry) {
  return ChangeUnderLock([earlier, entry] {
    if (entry == kOverflowSlot && earlier != kOverflowSlot) {
      g_slots[kOverflowSlot].entry.link = earlier;
    } else if (IsReportSlot(earlier) && IsReportSlot(entry) && SlotInUse(earlier) &&
               SlotInUse(entry)) {
      g_slots[entry].entry.link = earlier;
    }
  });
}

std::uint32_t Change(std::uint32_t slot, std::uint32_t severity) {
  return ChangeUnderLock([slot, severity] {
    if (IsReportSlot(slot) && SlotInUse(slot)) g_slots[slot].entry.severity = severity;
  });
}

}  // namespace qorb::err

extern "C" {

QORB_API ErrEntry *ErrGetError(std::uint32_t slot) {
  return qorb::err::Lookup(slot);
}

QORB_API std::uint32_t ErrClearError(std::uint32_t slot) {
  return qorb::err::Clear(slot);
}

QORB_API std::uint32_t ErrLinkError(std::uint32_t earlier, std::uint32_t entry) {
  return qorb::err::Link(earlier, entry);
}

QORB_API std::uint32_t ErrChangeError(std::uint32_t slot, std::uint32_t severity) {
  return qorb::err::Change(slot, severity);
}

}  // extern "C"
