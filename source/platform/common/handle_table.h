// handle_table.h - the slots behind kernel-object handles.
//
// A handle is a slot index and a generation packed in 32 bits (never 0).
// Slots live in chunks that are never freed, so a lookup is one acquire load
// and a compare, and a thread still using an object that another thread
// closes never touches freed memory. Closed slots are reused first in, first
// out, and only once many are free, so a stale handle keeps failing.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/objects.h"

namespace qorb::plat {

enum class ObjectKind : std::uint32_t {
  kFree = 0,
  kLocalMutex,
  kLocalEvent,
  kNamedMutex,
  kNamedEvent,
};

// Access rights kept per handle: waiting, and changing an event's state.
inline constexpr std::uint32_t kModifyState = 0x0002u;
inline constexpr std::uint32_t kAllAccess = kSynchronize | kModifyState;

// The host keeps what a named handle needs in a record of its own.
struct NamedMapping;

struct alignas(64) Slot {
  std::atomic<Handle> handle{0};  // the live handle, 0 while free
  std::atomic<ObjectKind> kind{ObjectKind::kFree};
  std::atomic<std::uint32_t> access{0};
  // Unnamed objects keep their whole state here.
  std::atomic<std::uint32_t> word{0};  // mutex owner and flags, or event state
  std::uint32_t recursion = 0;         // touched by the owning thread only
  std::atomic<std::uint32_t> sleepers{0};
  // Named objects: one reference for the handle plus one per call in progress.
  std::atomic<std::uint32_t> refs{0};
  std::atomic<NamedMapping *> named{nullptr};
  // Windows: the kernel object's own handle, which every object has there.
  std::atomic<void *> hostObject{nullptr};
  // Kept under the table lock.
  std::uint32_t index = 0;
  std::uint32_t nextFree = 0;
  std::uint32_t generation = 0;
};

inline constexpr std::uint32_t kIndexBits = 20;
inline constexpr std::uint32_t kIndexMask = (1u << kIndexBits) - 1u;
inline constexpr std::uint32_t kChunkBits = 10;
inline constexpr std::uint32_t kChunkSize = 1u << kChunkBits;
inline constexpr std::uint32_t kMaxChunks = (1u << kIndexBits) / kChunkSize;

extern std::atomic<Slot *> g_chunks[kMaxChunks];

// The slot a live handle names, or nullptr for 0, stale or made-up handles.
inline Slot *LookupSlot(Handle handle) {
  const std::uint32_t index = handle & kIndexMask;
  Slot *chunk = g_chunks[index >> kChunkBits].load(std::memory_order_acquire);
  if (chunk == nullptr) return nullptr;
  Slot *slot = &chunk[index & (kChunkSize - 1u)];
  if (handle == 0 || slot->handle.load(std::memory_order_acquire) != handle) return nullptr;
  return slot;
}

// A free slot for a new object (its handle still 0), or nullptr when the
// table is full. The caller sets the object's state, then publishes it.
Slot *AcquireSlot();

// Makes the slot reachable under a fresh handle and returns that handle.
Handle PublishSlot(Slot &slot, ObjectKind kind, std::uint32_t access);

// Takes the handle away from the slot; false when another close won.
bool RetireHandle(Slot &slot, Handle handle);

// Puts a retired slot back in the free queue.
void ReleaseSlot(Slot &slot);

// Calls visit(slot) for every slot ever handed out, live or not.
template <typename Visit>
void ForEachSlot(Visit visit);

std::uint32_t SlotCount();

template <typename Visit>
void ForEachSlot(Visit visit) {
  const std::uint32_t count = SlotCount();
  for (std::uint32_t index = 0; index < count; ++index) {
    Slot *chunk = g_chunks[index >> kChunkBits].load(std::memory_order_acquire);
    if (chunk != nullptr) visit(chunk[index & (kChunkSize - 1u)]);
  }
}

// The table lock, held across fork() so the child finds the table whole.
void LockTable();
void UnlockTable();

}  // namespace qorb::plat
