// shared_object.h - the layout of a named object in shared memory.
//
// One page: the kind and state of the object, then the processes holding
// handles to it (with their handle counts), which decide when the name goes.
// Everything but the state is read and changed under the registry lock.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/posix/process_identity.h"

namespace qorb::plat::posix {

enum class SharedKind : std::uint32_t { kMutex = 1, kEvent = 2 };

struct Holder {
  std::uint32_t pid;
  std::uint32_t handles;
  std::uint32_t startLow;   // start time, split so the layout is the same
  std::uint32_t startHigh;  // for 32-bit and 64-bit processes
};

struct SharedHeader {
  std::atomic<std::uint32_t> magic;  // kSharedMagic once initialised
  SharedKind kind;
  // A pthread mutex is laid out differently by 32-bit and 64-bit processes;
  // a named mutex is usable only by processes of the layout that made it.
  std::uint32_t mutexLayout;
  std::uint32_t holderCount;
  std::atomic<std::uint32_t> eventWord;
  std::uint32_t reserved[3];
  union {
    pthread_mutex_t mutex;
    unsigned char mutexBytes[64];
  };
};

inline constexpr std::uint32_t kSharedMagic = 0x51524F42u;
inline constexpr std::size_t kSharedSize = 4096;
inline constexpr std::size_t kMaxHolders = (kSharedSize - sizeof(SharedHeader)) / sizeof(Holder);

struct SharedObject {
  SharedHeader header;
  Holder holders[kMaxHolders];
};

static_assert(sizeof(pthread_mutex_t) <= 64);
static_assert(sizeof(SharedHeader) == 96, "one layout for 32-bit and 64-bit processes");
static_assert(sizeof(SharedObject) <= kSharedSize);
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

// Holder bookkeeping (registry lock held).
void PruneDeadHolders(SharedObject &object);
bool AddHolder(SharedObject &object, const ProcessIdentity &process);
void RemoveHolder(SharedObject &object, const ProcessIdentity &process);

// Sets up a fresh object of the given kind; a mutex may start owned by the
// calling thread, an event posted. False when the mutex cannot be made.
bool InitSharedObject(SharedObject &object, SharedKind kind, bool initial);

// The calling process's pthread mutex layout (its size).
std::uint32_t MutexLayout();

// Named mutex operations on the object's robust, recursive, process-shared
// pthread mutex: kWaitObject0, kWaitAbandoned, kWaitTimeout or kWaitFailed.
std::uint32_t WaitSharedMutex(SharedObject &object, std::uint32_t milliseconds);
bool ReleaseSharedMutex(SharedObject &object);
// Whether a thread of this process holds the mutex (its futex word carries
// the owner's thread id, as robust futexes do).
bool SharedMutexHeldHere(const SharedObject &object);

}  // namespace qorb::plat::posix
