// shared_object.h - the layout of a named object in shared memory.
//
// One page with one layout for 32-bit and 64-bit processes: the kind and
// state of the object, then the processes holding handles to it. Holder
// entries never move while their process holds a handle, so a mutex owner
// is named by its entry's index and its thread id. Holders are changed only
// under the flock of the object's file; the state words are atomic.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/posix/liveness.h"

namespace qorb::plat::posix {

enum class SharedKind : std::uint32_t { kMutex = 1, kEvent = 2 };

// One process holding handles; pid 0 marks a free entry.
struct Holder {
  std::atomic<std::uint32_t> pid;
  std::atomic<std::uint32_t> nonce;
  std::uint32_t handles;
  std::uint32_t reserved;
};

struct SharedHeader {
  std::atomic<std::uint32_t> magic;  // kSharedMagic once initialised
  SharedKind kind;
  std::uint32_t holderEnd;  // entries at and after it are free
  std::atomic<std::uint32_t> eventWord;
  // A mutex: its owner (see OwnerKey) with the abandoned and waiters flags,
  // and the owner's recursion count.
  std::atomic<std::uint32_t> mutexWord;
  std::uint32_t recursion;
  std::uint32_t reserved[10];
};

inline constexpr std::uint32_t kSharedMagic = 0x51524F43u;
inline constexpr std::size_t kSharedSize = 4096;
inline constexpr std::uint32_t kMaxHolders =
    static_cast<std::uint32_t>((kSharedSize - sizeof(SharedHeader)) / sizeof(Holder));
inline constexpr std::uint32_t kNoHolder = 0xFFFFFFFFu;

struct SharedObject {
  SharedHeader header;
  Holder holders[kMaxHolders];
};

static_assert(sizeof(SharedHeader) == 64, "one layout for 32-bit and 64-bit processes");
static_assert(sizeof(Holder) == 16);
static_assert(sizeof(SharedObject) <= kSharedSize);
static_assert(kMaxHolders < 255, "a holder index fits the owner word");
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

// Sets up a fresh object with no holders: a mutex free, an event posted
// when `posted`.
void InitSharedObject(SharedObject &object, SharedKind kind, bool posted);
// Makes the calling thread of the process at holder `index` the owner of a
// fresh mutex.
void ClaimFreshMutex(SharedObject &object, std::uint32_t index);

// Holder bookkeeping, under the file's flock. AddHolder answers the entry
// of the process (kNoHolder when the table is full); RemoveHolder answers
// whether the process still holds handles afterwards.
std::uint32_t AddHolder(SharedObject &object, const ProcessToken &process);
bool RemoveHolder(SharedObject &object, std::uint32_t index);
// Frees the entries of processes that have ended, abandoning the mutex if
// one of them owns it; answers whether any holder is left.
bool PruneDeadHolders(SharedObject &object);

// Named mutex operations for the calling thread of the process at holder
// `index`: kWaitObject0, kWaitAbandoned, kWaitTimeout or kWaitFailed.
// `sleepers` counts this process's threads inside the wait.
std::uint32_t WaitSharedMutex(SharedObject &object, std::uint32_t index, std::uint32_t milliseconds,
                              std::atomic<std::uint32_t> &sleepers);
bool ReleaseSharedMutex(SharedObject &object, std::uint32_t index);

// Frees the mutex, marked abandoned, when thread `threadId` of the process
// at holder `index` owns it (that thread ended).
void AbandonIfOwnedByThread(SharedObject &object, std::uint32_t index, std::uint32_t threadId);
// Frees the mutex, marked abandoned, when any thread of the process at
// holder `index` owns it (the process ended or let go of every handle).
void AbandonIfOwnedByProcess(SharedObject &object, std::uint32_t index);

}  // namespace qorb::plat::posix
