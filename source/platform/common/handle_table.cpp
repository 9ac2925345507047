// handle_table.cpp - slot allocation, handle generations and the free queue.
//
// Creating and closing take one process-wide lock; lookups take none (see
// handle_table.h). A slot goes back into use only when more than
// kMinFreeSlots others are free and no thread sleeps on it or uses it.
#include "platform/common/handle_table.h"

#include <mutex>
#include <new>

namespace qorb::plat {

std::atomic<Slot *> g_chunks[kMaxChunks];

namespace {

constexpr std::uint32_t kGenerationLimit = 1u << (32 - kIndexBits);
constexpr std::uint32_t kMinFreeSlots = 1024;
constexpr std::uint32_t kNoSlot = 0xFFFFFFFFu;

std::mutex g_tableLock;
std::atomic<std::uint32_t> g_slotCount{0};
std::uint32_t g_freeHead = kNoSlot;
std::uint32_t g_freeTail = kNoSlot;
std::uint32_t g_freeCount = 0;

Slot &SlotAt(std::uint32_t index) {
  return g_chunks[index >> kChunkBits].load(std::memory_order_relaxed)[index & (kChunkSize - 1u)];
}

void PushFree(std::uint32_t index) {
  SlotAt(index).nextFree = kNoSlot;
  if (g_freeTail == kNoSlot) {
    g_freeHead = index;
  } else {
    SlotAt(g_freeTail).nextFree = index;
  }
  g_freeTail = index;
  ++g_freeCount;
}

std::uint32_t PopFree() {
  const std::uint32_t index = g_freeHead;
  g_freeHead = SlotAt(index).nextFree;
  if (g_freeHead == kNoSlot) g_freeTail = kNoSlot;
  --g_freeCount;
  return index;
}

bool InUse(const Slot &slot) {
  return slot.sleepers.load(std::memory_order_acquire) != 0 ||
         slot.refs.load(std::memory_order_acquire) != 0;
}

// Reuses the oldest free slot nobody still touches, if enough are free.
Slot *ReuseFreeSlot() {
  for (std::uint32_t tries = g_freeCount; tries > kMinFreeSlots; --tries) {
    const std::uint32_t index = PopFree();
    Slot &slot = SlotAt(index);
    if (!InUse(slot)) return &slot;
    PushFree(index);
  }
  return nullptr;
}

Slot *GrowTable() {
  const std::uint32_t index = g_slotCount.load(std::memory_order_relaxed);
  if (index >= (1u << kIndexBits)) return nullptr;
  std::atomic<Slot *> &chunk = g_chunks[index >> kChunkBits];
  if (chunk.load(std::memory_order_relaxed) == nullptr) {
    Slot *fresh = new (std::nothrow) Slot[kChunkSize];
    if (fresh == nullptr) return nullptr;
    chunk.store(fresh, std::memory_order_release);
  }
  Slot &slot = SlotAt(index);
  slot.index = index;
  g_slotCount.store(index + 1, std::memory_order_release);
  return &slot;
}

}  // namespace

Slot *AcquireSlot() {
  std::lock_guard<std::mutex> lock(g_tableLock);
  Slot *slot = ReuseFreeSlot();
  return slot != nullptr ? slot : GrowTable();
}

Handle PublishSlot(Slot &slot, ObjectKind kind, std::uint32_t access) {
  std::lock_guard<std::mutex> lock(g_tableLock);
  slot.generation = slot.generation + 1 < kGenerationLimit ? slot.generation + 1 : 1;
  const Handle handle = (slot.generation << kIndexBits) | slot.index;
  slot.kind.store(kind, std::memory_order_relaxed);
  slot.access.store(access, std::memory_order_relaxed);
  slot.handle.store(handle, std::memory_order_release);
  return handle;
}

bool RetireHandle(Slot &slot, Handle handle) {
  Handle expected = handle;
  return slot.handle.compare_exchange_strong(expected, 0, std::memory_order_acq_rel);
}

void ReleaseSlot(Slot &slot) {
  std::lock_guard<std::mutex> lock(g_tableLock);
  slot.kind.store(ObjectKind::kFree, std::memory_order_relaxed);
  PushFree(slot.index);
}

std::uint32_t SlotCount() {
  return g_slotCount.load(std::memory_order_acquire);
}

void LockTable() {
  g_tableLock.lock();
}
void UnlockTable() {
  g_tableLock.unlock();
}

}  // namespace qorb::plat
