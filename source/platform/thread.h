// thread.h - starting threads and Windows thread priorities.
#pragma once

#include <cstdint>

#include "platform/errors.h"

namespace qorb::plat {

using ThreadStart = void (*)(void *argument);

// Starts a detached thread running start(argument) with at least stackSize
// bytes of stack (never less than the host needs for stdio). Returns a
// non-zero thread handle, or 0xFFFFFFFF on failure.
std::uint32_t BeginThread(ThreadStart start, std::uint32_t stackSize, void *argument);

// Windows thread priorities.
inline constexpr int kPriorityIdle = -15;
inline constexpr int kPriorityLowest = -2;
inline constexpr int kPriorityBelowNormal = -1;
inline constexpr int kPriorityNormal = 0;
inline constexpr int kPriorityAboveNormal = 1;
inline constexpr int kPriorityHighest = 2;
inline constexpr int kPriorityTimeCritical = 15;

// Sets the calling thread's priority (one of the values above) as far as
// the host permits: 0, or the Windows error code of the refusal (5 when the
// host does not let this user raise a priority, 87 for an unknown value).
std::uint32_t SetCurrentThreadPriority(int priority);
// Lowers the calling thread to `priority` where the host would let it rise
// back to normal later; where it would not, records the level (read back as
// below) without touching the host's scheduling, so that a thread that
// drops for a while is never stuck low. 0, or 87 for an unknown value.
std::uint32_t DropCurrentThreadPriority(int priority);

// The calling thread's priority as last set successfully (initially normal).
int GetCurrentThreadPriority();

}  // namespace qorb::plat
