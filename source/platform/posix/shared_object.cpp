// shared_object.cpp - holders of a named object, and its robust mutex.
//
// The mutex is a process-shared, robust, recursive pthread mutex: when its
// owner thread or process ends, the kernel marks it and the next locker gets
// EOWNERDEAD, which is the platform's abandoned result.
#include "platform/posix/shared_object.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/objects.h"
#include "platform/posix/event_word.h"
#include "platform/posix/futex.h"

namespace qorb::plat::posix {
namespace {

ProcessIdentity IdentityOf(const Holder &holder) {
  ProcessIdentity identity;
  identity.pid = holder.pid;
  identity.startTime = (static_cast<std::uint64_t>(holder.startHigh) << 32) | holder.startLow;
  return identity;
}

bool Matches(const Holder &holder, const ProcessIdentity &process) {
  const ProcessIdentity identity = IdentityOf(holder);
  return identity.pid == process.pid && identity.startTime == process.startTime;
}

std::uint32_t HolderCount(const SharedObject &object) {
  return object.header.holderCount <= kMaxHolders ? object.header.holderCount : 0;
}

void RemoveAt(SharedObject &object, std::uint32_t index) {
  const std::uint32_t last = HolderCount(object) - 1;
  object.holders[index] = object.holders[last];
  object.header.holderCount = last;
}

}  // namespace

void PruneDeadHolders(SharedObject &object) {
  for (std::uint32_t index = HolderCount(object); index-- > 0;) {
    if (!IsAlive(IdentityOf(object.holders[index]))) RemoveAt(object, index);
  }
}

bool AddHolder(SharedObject &object, const ProcessIdentity &process) {
  const std::uint32_t count = HolderCount(object);
  for (std::uint32_t index = 0; index < count; ++index) {
    if (Matches(object.holders[index], process)) {
      ++object.holders[index].handles;
      return true;
    }
  }
  if (count == kMaxHolders) return false;
  object.holders[count] = Holder{process.pid, 1, static_cast<std::uint32_t>(process.startTime),
                                 static_cast<std::uint32_t>(process.startTime >> 32)};
  object.header.holderCount = count + 1;
  return true;
}

void RemoveHolder(SharedObject &object, const ProcessIdentity &process) {
  for (std::uint32_t index = 0; index < HolderCount(object); ++index) {
    if (Matches(object.holders[index], process)) {
      if (--object.holders[index].handles == 0) RemoveAt(object, index);
      return;
    }
  }
}

std::uint32_t MutexLayout() {
  return static_cast<std::uint32_t>(sizeof(pthread_mutex_t));
}

bool InitSharedObject(SharedObject &object, SharedKind kind, bool initial) {
  object.header.magic.store(0, std::memory_order_relaxed);
  object.header.kind = kind;
  object.header.mutexLayout = MutexLayout();
  object.header.holderCount = 0;
  InitEventWord(object.header.eventWord, kind == SharedKind::kEvent && initial);
  if (kind == SharedKind::kMutex) {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    const int rc = pthread_mutex_init(&object.header.mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (rc != 0) return false;
    if (initial) pthread_mutex_lock(&object.header.mutex);
  }
  object.header.magic.store(kSharedMagic, std::memory_order_release);
  return true;
}

std::uint32_t WaitSharedMutex(SharedObject &object, std::uint32_t milliseconds) {
  pthread_mutex_t *mutex = &object.header.mutex;
  int rc = 0;
  if (milliseconds == 0) {
    rc = pthread_mutex_trylock(mutex);
    if (rc == EBUSY) return kWaitTimeout;
  } else if (milliseconds == kInfinite) {
    rc = pthread_mutex_lock(mutex);
  } else {
    const Deadline deadline = DeadlineAfter(milliseconds);
    rc = pthread_mutex_clocklock(mutex, CLOCK_MONOTONIC, &deadline.at);
    if (rc == ETIMEDOUT) return kWaitTimeout;
  }
  if (rc == 0) return kWaitObject0;
  if (rc == EOWNERDEAD) {
    pthread_mutex_consistent(mutex);
    return kWaitAbandoned;
  }
  SetLastError(rc == EAGAIN ? kErrorNotEnoughMemory : kErrorInvalidHandle);
  return kWaitFailed;
}

bool ReleaseSharedMutex(SharedObject &object) {
  if (pthread_mutex_unlock(&object.header.mutex) == 0) return true;
  SetLastError(kErrorNotOwner);
  return false;
}

bool SharedMutexHeldHere(const SharedObject &object) {
  // The robust futex word: owner thread id in the low 30 bits.
  const std::uint32_t word = __atomic_load_n(
      reinterpret_cast<const std::uint32_t *>(object.header.mutexBytes), __ATOMIC_RELAXED);
  const std::uint32_t owner = word & 0x3FFFFFFFu;
  if (owner == 0) return false;
  char path[64];
  (void)std::snprintf(path, sizeof path, "/proc/self/task/%u", owner);
  return access(path, F_OK) == 0;
}

}  // namespace qorb::plat::posix
