// event_word.h - a manual-reset event on one futex word.
//
// Used for unnamed events (word in the handle slot, private futex) and named
// ones (word in shared memory, shared futex). Layout: bit 0 posted, bit 1
// someone may sleep, the rest a count of posts. A waiter that sees the count
// move has been let through, even if the event was reset before it woke, as
// a Windows event would do.
#pragma once

#include <atomic>
#include <cstdint>

namespace qorb::plat::posix {

void InitEventWord(std::atomic<std::uint32_t> &word, bool posted);

// kWaitObject0 or kWaitTimeout. `sleepers`, when given, counts the threads
// asleep on the word (the handle table keeps such a slot out of reuse).
std::uint32_t WaitEventWord(std::atomic<std::uint32_t> &word, std::uint32_t milliseconds,
                            bool shared, std::atomic<std::uint32_t> *sleepers);

void SetEventWord(std::atomic<std::uint32_t> &word, bool shared);
void ResetEventWord(std::atomic<std::uint32_t> &word);

}  // namespace qorb::plat::posix
