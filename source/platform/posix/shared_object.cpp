// shared_object.cpp - holders of a named object, and its mutex on a futex
// word.
//
// The owner word holds (holder index + 1) << 22 | thread id: Linux thread
// ids stay below 2^22. A waiter sleeps in slices; when the owner word has not
// moved for a slice it asks whether the owner's process still lives (see
// liveness.h), and frees the mutex as abandoned when it does not. So no C
// library structure and no kernel robust list is involved: 32-bit, 64-bit
// and emulated processes share the same mutex.
#include "platform/posix/shared_object.h"

#include <algorithm>

#include "platform/objects.h"
#include "platform/posix/event_word.h"
#include "platform/posix/futex.h"
#include "platform/posix/local_mutex.h"

namespace qorb::plat::posix {
namespace {

// The mutex word has the layout of the unnamed mutexes' (local_mutex.h).
constexpr std::uint32_t kThreadBits = 22;
constexpr std::uint32_t kThreadMask = (1u << kThreadBits) - 1u;
constexpr std::uint32_t kMaxRecursion = 0xFFFFFFFFu;
// How long a waiter sleeps before it checks whether the owner still lives.
constexpr std::uint32_t kLivenessSliceMs = 100;

std::uint32_t OwnerKey(std::uint32_t index, std::uint32_t threadId) {
  return ((index + 1u) << kThreadBits) | (threadId & kThreadMask);
}

std::uint32_t OwnerIndex(std::uint32_t word) {
  return ((word & kOwnerMask) >> kThreadBits) - 1u;
}

bool OwnerProcessAlive(const SharedObject &object, std::uint32_t word) {
  const std::uint32_t index = OwnerIndex(word);
  if (index >= kMaxHolders) return false;
  const Holder &holder = object.holders[index];
  return IsProcessAlive(ProcessToken{holder.pid.load(std::memory_order_acquire),
                                     holder.nonce.load(std::memory_order_acquire)});
}

// Frees a mutex whose owner word is still `word`, marked abandoned, and
// wakes every waiter so one takes it.
bool FreeAsAbandoned(SharedObject &object, std::uint32_t word) {
  std::atomic<std::uint32_t> &mutex = object.header.mutexWord;
  if (!mutex.compare_exchange_strong(word, kAbandoned | (word & kWaiters),
                                     std::memory_order_release, std::memory_order_relaxed)) {
    return false;
  }
  FutexWake(mutex, 1 << 30, true);
  return true;
}

std::uint32_t Take(SharedObject &object, std::uint32_t previous) {
  object.header.recursion = 1;
  return (previous & kAbandoned) != 0 ? kWaitAbandoned : kWaitObject0;
}

Deadline Earlier(const Deadline &a, const Deadline &b) {
  if (a.unlimited) return b;
  if (b.unlimited) return a;
  const bool aFirst =
      a.at.tv_sec < b.at.tv_sec || (a.at.tv_sec == b.at.tv_sec && a.at.tv_nsec <= b.at.tv_nsec);
  return aFirst ? a : b;
}

}  // namespace

void InitSharedObject(SharedObject &object, SharedKind kind, bool posted) {
  object.header.magic.store(0, std::memory_order_relaxed);
  object.header.kind = kind;
  object.header.holderEnd = 0;
  InitEventWord(object.header.eventWord, kind == SharedKind::kEvent && posted);
  object.header.recursion = 0;
  object.header.mutexWord.store(0, std::memory_order_relaxed);
  object.header.magic.store(kSharedMagic, std::memory_order_release);
}

void ClaimFreshMutex(SharedObject &object, std::uint32_t index) {
  object.header.recursion = 1;
  object.header.mutexWord.store(OwnerKey(index, CurrentThreadId()), std::memory_order_release);
}

std::uint32_t AddHolder(SharedObject &object, const ProcessToken &process) {
  std::uint32_t free = kNoHolder;
  const std::uint32_t end = std::min(object.header.holderEnd, kMaxHolders);
  for (std::uint32_t index = 0; index < end; ++index) {
    Holder &holder = object.holders[index];
    const std::uint32_t pid = holder.pid.load(std::memory_order_relaxed);
    if (pid == process.pid && holder.nonce.load(std::memory_order_relaxed) == process.nonce) {
      ++holder.handles;
      return index;
    }
    if (pid == 0 && free == kNoHolder) free = index;
  }
  if (free == kNoHolder) {
    if (end == kMaxHolders) return kNoHolder;
    free = end;
    object.header.holderEnd = end + 1;
  }
  Holder &holder = object.holders[free];
  holder.handles = 1;
  holder.nonce.store(process.nonce, std::memory_order_relaxed);
  holder.pid.store(process.pid, std::memory_order_release);
  return free;
}

bool RemoveHolder(SharedObject &object, std::uint32_t index) {
  if (index >= kMaxHolders) return false;
  Holder &holder = object.holders[index];
  if (holder.handles > 1) {
    --holder.handles;
    return true;
  }
  holder.handles = 0;
  holder.pid.store(0, std::memory_order_release);
  holder.nonce.store(0, std::memory_order_relaxed);
  return false;
}

bool PruneDeadHolders(SharedObject &object) {
  bool anyLeft = false;
  std::uint32_t end = std::min(object.header.holderEnd, kMaxHolders);
  for (std::uint32_t index = 0; index < end; ++index) {
    Holder &holder = object.holders[index];
    const ProcessToken token{holder.pid.load(std::memory_order_relaxed),
                             holder.nonce.load(std::memory_order_relaxed)};
    if (token.pid == 0) continue;
    if (IsProcessAlive(token)) {
      anyLeft = true;
      continue;
    }
    if (object.header.kind == SharedKind::kMutex) AbandonIfOwnedByProcess(object, index);
    holder.handles = 1;
    RemoveHolder(object, index);
  }
  while (end > 0 && object.holders[end - 1].pid.load(std::memory_order_relaxed) == 0) --end;
  object.header.holderEnd = end;
  return anyLeft;
}

std::uint32_t WaitSharedMutex(SharedObject &object, std::uint32_t index, std::uint32_t milliseconds,
                              std::atomic<std::uint32_t> &sleepers) {
  std::atomic<std::uint32_t> &mutex = object.header.mutexWord;
  const std::uint32_t self = OwnerKey(index, CurrentThreadId());
  std::uint32_t word = mutex.load(std::memory_order_acquire);
  if ((word & kOwnerMask) == self) {
    if (object.header.recursion == kMaxRecursion) {
      SetLastError(kErrorNotEnoughMemory);
      return kWaitFailed;
    }
    ++object.header.recursion;
    return kWaitObject0;
  }
  const Deadline deadline = DeadlineAfter(milliseconds);
  // Once a waiter has slept, others may sleep too: it keeps the flag.
  std::uint32_t keep = 0;
  for (;;) {
    if ((word & kOwnerMask) == 0) {
      if (mutex.compare_exchange_weak(word, self | keep | (word & kWaiters),
                                      std::memory_order_acquire, std::memory_order_relaxed)) {
        return Take(object, word);
      }
      continue;
    }
    if (milliseconds == 0) return kWaitTimeout;
    if ((word & kWaiters) == 0) {
      if (!mutex.compare_exchange_weak(word, word | kWaiters, std::memory_order_relaxed)) {
        continue;
      }
      word |= kWaiters;
    }
    const Deadline slice = Earlier(deadline, DeadlineAfter(kLivenessSliceMs));
    sleepers.fetch_add(1, std::memory_order_acq_rel);
    const bool woken = FutexWait(mutex, word, slice, true);
    sleepers.fetch_sub(1, std::memory_order_acq_rel);
    keep = kWaiters;
    const std::uint32_t seen = word;
    word = mutex.load(std::memory_order_acquire);
    if ((word & kOwnerMask) == 0 || woken) continue;
    // A slice ran out with the mutex still held: is its owner still there?
    if (word == seen && !OwnerProcessAlive(object, word)) {
      FreeAsAbandoned(object, word);
      word = mutex.load(std::memory_order_acquire);
      continue;
    }
    if (HasPassed(deadline)) return kWaitTimeout;
  }
}

bool ReleaseSharedMutex(SharedObject &object, std::uint32_t index) {
  std::atomic<std::uint32_t> &mutex = object.header.mutexWord;
  const std::uint32_t word = mutex.load(std::memory_order_relaxed);
  if ((word & kOwnerMask) != OwnerKey(index, CurrentThreadId())) {
    SetLastError(kErrorNotOwner);
    return false;
  }
  if (--object.header.recursion != 0) return true;
  if ((mutex.exchange(0, std::memory_order_release) & kWaiters) != 0) FutexWake(mutex, 1, true);
  return true;
}

void AbandonIfOwnedByThread(SharedObject &object, std::uint32_t index, std::uint32_t threadId) {
  const std::uint32_t word = object.header.mutexWord.load(std::memory_order_acquire);
  if ((word & kOwnerMask) != OwnerKey(index, threadId)) return;
  object.header.recursion = 0;
  FreeAsAbandoned(object, word);
}

void AbandonIfOwnedByProcess(SharedObject &object, std::uint32_t index) {
  const std::uint32_t word = object.header.mutexWord.load(std::memory_order_acquire);
  if ((word & kOwnerMask) == 0 || OwnerIndex(word) != index) return;
  object.header.recursion = 0;
  FreeAsAbandoned(object, word);
}

}  // namespace qorb::plat::posix
