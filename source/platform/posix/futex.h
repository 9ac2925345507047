// futex.h - waiting on and waking a 32-bit word, with millisecond time-outs.
//
// The word may be process-private (unnamed objects) or live in shared memory
// (named events). Time-outs run on the monotonic clock, so changing the
// wall clock never shortens or stretches a wait.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>

namespace qorb::plat::posix {

// An absolute point on the monotonic clock, or none for an unlimited wait.
struct Deadline {
  bool unlimited = true;
  timespec at{};
};

// The deadline `milliseconds` from now (kInfinite gives an unlimited one).
Deadline DeadlineAfter(std::uint32_t milliseconds);

// Whether a deadline lies in the past (never for an unlimited one).
bool HasPassed(const Deadline &deadline);

// Sleeps while *word still holds `expected`, until woken or the deadline.
// Returns false only when the deadline has passed.
bool FutexWait(std::atomic<std::uint32_t> &word, std::uint32_t expected, const Deadline &deadline,
               bool shared);

// Wakes up to `count` sleepers on the word.
void FutexWake(std::atomic<std::uint32_t> &word, int count, bool shared);

}  // namespace qorb::plat::posix
