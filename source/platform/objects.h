// objects.h - kernel objects: recursive mutexes and manual-reset events
// behind 32-bit handles, with waits and millisecond time-outs.
//
// Handles are never 0 and are not handed out again soon after a close, so a
// stale handle fails with kErrorInvalidHandle instead of reaching another
// object. A NULL or empty name makes a process-private object; a named one
// is shared by every process of the same user that creates or opens the
// name, whatever its pointer width (any bytes; names too long for the host
// are refused with kErrorInvalidParameter). A handle of the wrong kind fails
// with kErrorInvalidHandle. Handles are not inherited: after fork() the
// child's copies of private objects keep working (the forking thread keeps
// the mutexes it owned, the others' are abandoned), its named handles are
// gone.
#pragma once

#include <cstdint>

#include "platform/errors.h"

namespace qorb::plat {

using Handle = std::uint32_t;

inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitAbandoned = 0x80;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

// The only access right the library asks for when opening an object.
inline constexpr std::uint32_t kSynchronize = 0x00100000u;

// Creates a mutex, or opens the existing one of that name (then initialOwner
// is ignored). 0 on failure, with the last error set.
Handle CreateMutexObject(const char *name, bool initialOwner);
// Opens an existing named mutex with the given access; 0 on failure
// (kErrorFileNotFound when no object has the name).
Handle OpenMutexObject(const char *name, std::uint32_t access);
// Gives up one ownership; false (kErrorNotOwner) when the caller is no owner.
// Allowed through a handle opened with the synchronize right only.
bool ReleaseMutexObject(Handle mutex);

// Creates a manual-reset event, or opens the existing one of that name.
Handle CreateEventObject(const char *name, bool initialState);
// Opens an existing named event with the given access.
Handle OpenEventObject(const char *name, std::uint32_t access);
// Posts or resets; false (kErrorAccessDenied) through a handle opened with
// the synchronize right only.
bool SetEventObject(Handle event);
bool ResetEventObject(Handle event);

// Waits for a mutex to be owned or an event to be posted: kWaitObject0,
// kWaitAbandoned (a mutex whose owner ended; the caller now owns it),
// kWaitTimeout, or kWaitFailed with the last error set. 0 tests without
// waiting, kInfinite waits without limit.
std::uint32_t WaitForObject(Handle object, std::uint32_t milliseconds);

// Closes a handle; the object goes when its last handle in every process
// does. A process that ends counts as having closed its handles.
bool CloseObject(Handle object);

// Tests: how many of this process's threads are inside a wait on the object
// (counted before they sleep, so a change made after the count is seen).
std::uint32_t SleepersForTesting(Handle object);

}  // namespace qorb::plat
