// event_word.cpp - wait, post and reset of a manual-reset event word.
//
// Posting wakes every sleeper and only makes a system call when one may be
// asleep; waiting on a posted event makes none.
#include "platform/posix/event_word.h"

#include <climits>

#include "platform/objects.h"
#include "platform/posix/futex.h"

namespace qorb::plat::posix {
namespace {

constexpr std::uint32_t kPosted = 1u;
constexpr std::uint32_t kSleepers = 2u;
constexpr std::uint32_t kPostStep = 4u;

bool LetThrough(std::uint32_t word, std::uint32_t posts) {
  return (word & kPosted) != 0 || (word & ~(kPosted | kSleepers)) != posts;
}

}  // namespace

void InitEventWord(std::atomic<std::uint32_t> &word, bool posted) {
  word.store(posted ? kPosted : 0u, std::memory_order_release);
}

std::uint32_t WaitEventWord(std::atomic<std::uint32_t> &word, std::uint32_t milliseconds,
                            bool shared, std::atomic<std::uint32_t> *sleepers) {
  std::uint32_t current = word.load(std::memory_order_acquire);
  if ((current & kPosted) != 0) return kWaitObject0;
  if (milliseconds == 0) return kWaitTimeout;
  const std::uint32_t posts = current & ~(kPosted | kSleepers);
  const Deadline deadline = DeadlineAfter(milliseconds);
  for (;;) {
    if ((current & kSleepers) == 0 &&
        !word.compare_exchange_weak(current, current | kSleepers, std::memory_order_acquire)) {
      if (LetThrough(current, posts)) return kWaitObject0;
      continue;
    }
    current |= kSleepers;
    if (sleepers != nullptr) sleepers->fetch_add(1, std::memory_order_acq_rel);
    const bool inTime = FutexWait(word, current, deadline, shared);
    if (sleepers != nullptr) sleepers->fetch_sub(1, std::memory_order_acq_rel);
    current = word.load(std::memory_order_acquire);
    if (LetThrough(current, posts)) return kWaitObject0;
    if (!inTime) return kWaitTimeout;
  }
}

void SetEventWord(std::atomic<std::uint32_t> &word, bool shared) {
  std::uint32_t current = word.load(std::memory_order_relaxed);
  std::uint32_t next = 0;
  do {
    if ((current & kPosted) != 0) return;
    next = ((current & ~(kPosted | kSleepers)) + kPostStep) | kPosted;
  } while (!word.compare_exchange_weak(current, next, std::memory_order_release,
                                       std::memory_order_relaxed));
  if ((current & kSleepers) != 0) FutexWake(word, INT_MAX, shared);
}

void ResetEventWord(std::atomic<std::uint32_t> &word) {
  word.fetch_and(~kPosted, std::memory_order_release);
}

}  // namespace qorb::plat::posix
