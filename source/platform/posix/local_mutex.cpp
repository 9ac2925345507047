// local_mutex.cpp - unnamed recursive mutexes on a futex word: all but the
// uncontended request and release, which local_mutex.h carries inline.
//
// A thread that ends is noticed by a pthread key destructor, which walks the
// handle table for mutexes still owned by that thread; so the hot path pays
// nothing for abandonment.
#include "platform/posix/local_mutex.h"

#include <pthread.h>
#include <unistd.h>

#include <climits>

#include "platform/posix/futex.h"
#include "platform/posix/named_object.h"

namespace qorb::plat::posix {
namespace {

constexpr std::uint32_t kMaxRecursion = 0xFFFFFFFFu;
// The owner field of a closed mutex: no thread id reaches it, and nobody
// can take the mutex any more.
constexpr std::uint32_t kClosed = kOwnerMask;

pthread_key_t g_exitKey;
pthread_once_t g_exitKeyOnce = PTHREAD_ONCE_INIT;

void AbandonOwnedBy(std::uint32_t owner) {
  ForEachSlot([owner](Slot &slot) {
    if (slot.kind.load(std::memory_order_relaxed) != ObjectKind::kLocalMutex ||
        slot.handle.load(std::memory_order_acquire) == 0) {
      return;
    }
    std::uint32_t word = slot.word.load(std::memory_order_relaxed);
    while ((word & kOwnerMask) == owner) {
      slot.recursion = 0;
      if (slot.word.compare_exchange_weak(word, kAbandoned, std::memory_order_release)) {
        if ((word & kWaiters) != 0) FutexWake(slot.word, 1, false);
        break;
      }
    }
  });
}

void OnThreadExit(void * /*unused*/) {
  AbandonOwnedBy(t_threadId);
  AbandonNamedMutexesOfThread(t_threadId);
}

void CreateExitKey() {
  pthread_key_create(&g_exitKey, OnThreadExit);
}

std::uint32_t Take(Slot &slot, std::uint32_t previous) {
  slot.recursion = 1;
  return (previous & kAbandoned) != 0 ? kWaitAbandoned : kWaitObject0;
}

std::uint32_t ClosedWhileWaiting() {
  SetLastError(kErrorInvalidHandle);
  return kWaitFailed;
}

__attribute__((noinline)) std::uint32_t WaitContended(Slot &slot, std::uint32_t self,
                                                      std::uint32_t milliseconds) {
  if (milliseconds == 0) {
    std::uint32_t word = slot.word.load(std::memory_order_relaxed);
    if ((word & kOwnerMask) == kClosed) return ClosedWhileWaiting();
    while ((word & kOwnerMask) == 0) {
      if (slot.word.compare_exchange_weak(word, self | (word & kWaiters),
                                          std::memory_order_acquire)) {
        return Take(slot, word);
      }
    }
    return kWaitTimeout;
  }
  const Deadline deadline = DeadlineAfter(milliseconds);
  // After sleeping once, others may sleep too: keep kWaiters when taking it.
  std::uint32_t keep = 0;
  std::uint32_t word = slot.word.load(std::memory_order_relaxed);
  for (;;) {
    if ((word & kOwnerMask) == kClosed) return ClosedWhileWaiting();
    if ((word & kOwnerMask) == 0) {
      if (slot.word.compare_exchange_weak(word, self | keep | (word & kWaiters),
                                          std::memory_order_acquire)) {
        return Take(slot, word);
      }
      continue;
    }
    if ((word & kWaiters) == 0) {
      if (!slot.word.compare_exchange_weak(word, word | kWaiters, std::memory_order_relaxed)) {
        continue;
      }
      word |= kWaiters;
    }
    slot.sleepers.fetch_add(1, std::memory_order_acq_rel);
    const bool inTime = FutexWait(slot.word, word, deadline, false);
    slot.sleepers.fetch_sub(1, std::memory_order_acq_rel);
    keep = kWaiters;
    word = slot.word.load(std::memory_order_relaxed);
    if (!inTime && (word & kOwnerMask) != 0) return kWaitTimeout;
  }
}

}  // namespace

constinit thread_local std::uint32_t t_threadId __attribute__((tls_model("initial-exec"))) = 0;

std::uint32_t RegisterCurrentThread() {
  t_threadId = static_cast<std::uint32_t>(gettid());
  pthread_once(&g_exitKeyOnce, CreateExitKey);
  pthread_setspecific(g_exitKey, &t_threadId);
  return t_threadId;
}

void InitLocalMutex(Slot &slot, bool owned) {
  slot.sleepers.store(0, std::memory_order_relaxed);
  slot.recursion = owned ? 1 : 0;
  slot.word.store(owned ? CurrentThreadId() : 0, std::memory_order_relaxed);
}

std::uint32_t WaitLocalMutexSlowly(Slot &slot, std::uint32_t self, std::uint32_t milliseconds) {
  std::uint32_t word = slot.word.load(std::memory_order_relaxed);
  if ((word & kOwnerMask) == self) {
    if (slot.recursion == kMaxRecursion) {
      SetLastError(kErrorNotEnoughMemory);
      return kWaitFailed;
    }
    ++slot.recursion;
    return kWaitObject0;
  }
  if (__libc_single_threaded != 0) {
    if ((word & kOwnerMask) != 0) return WaitContended(slot, self, milliseconds);
    slot.word.store(self, std::memory_order_relaxed);
    return Take(slot, word);
  }
  word = 0;
  if (slot.word.compare_exchange_strong(word, self, std::memory_order_acquire,
                                        std::memory_order_relaxed)) {
    slot.recursion = 1;
    return kWaitObject0;
  }
  return WaitContended(slot, self, milliseconds);
}

bool ReleaseLocalMutexSlowly(Slot &slot, std::uint32_t self, std::uint32_t word) {
  if ((word & kOwnerMask) != self) {
    SetLastError(kErrorNotOwner);
    return false;
  }
  if (--slot.recursion != 0) return true;
  if (__libc_single_threaded != 0 && (word & kWaiters) == 0) {
    slot.word.store(0, std::memory_order_relaxed);
    return true;
  }
  if ((slot.word.exchange(0, std::memory_order_release) & kWaiters) != 0) {
    FutexWake(slot.word, 1, false);
  }
  return true;
}

void CloseLocalMutex(Slot &slot) {
  slot.recursion = 0;
  slot.word.store(kClosed, std::memory_order_seq_cst);
  // Every sleeper, not only those the waiters flag tells of: a release just
  // before the close clears the flag while others still sleep.
  FutexWake(slot.word, INT_MAX, false);
}

void AdoptLocalMutexesAfterFork() {
  const std::uint32_t parent = t_threadId;
  const std::uint32_t child = static_cast<std::uint32_t>(gettid());
  ForEachSlot([parent, child](Slot &slot) {
    if (slot.kind.load(std::memory_order_relaxed) != ObjectKind::kLocalMutex) return;
    const std::uint32_t word = slot.word.load(std::memory_order_relaxed);
    const std::uint32_t owner = word & kOwnerMask;
    if (owner == 0 || owner == kClosed) return;
    if (parent != 0 && owner == parent) {
      slot.word.store(child, std::memory_order_relaxed);
    } else {
      slot.recursion = 0;
      slot.word.store(kAbandoned, std::memory_order_relaxed);
    }
  });
  if (parent != 0) {
    t_threadId = child;
    pthread_setspecific(g_exitKey, &t_threadId);
  }
}

}  // namespace qorb::plat::posix
