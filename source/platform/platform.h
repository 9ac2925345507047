// platform.h - what the library expects of the platform it runs on.
//
// The families never call POSIX or Win32 directly; they call these functions.
// The names and results follow the Windows kernel and run-time that the
// library was first written for: kernel objects behind 32-bit handles with a
// per-thread last-error code in Windows numbers, waits with millisecond
// time-outs, threads started with a stack size and Windows priority levels,
// the clock, and host files opened by Windows-style path names.
// posix/ implements this on Linux; a win32/ sibling maps it onto Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace qorb::plat {

// ---------------------------------------------------------------------------
// Error numbers and wait results (Windows values)
// ---------------------------------------------------------------------------
inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t kErrorNotSupported = 50;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorTooManyOpenFiles = 4;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;
inline constexpr std::uint32_t kErrorNotOwner = 288;

inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitAbandoned = 0x80;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

// The only access right the library asks for when opening an object.
inline constexpr std::uint32_t kSynchronize = 0x00100000u;

// The calling thread's last-error code, set by every call below that fails.
std::uint32_t GetLastError();
void SetLastError(std::uint32_t code);

// ---------------------------------------------------------------------------
// Kernel objects: recursive mutexes and manual-reset events
// ---------------------------------------------------------------------------
// Handles are never 0 and are not handed out again soon after a close, so a
// stale handle fails with kErrorInvalidHandle instead of reaching another
// object. A NULL or empty name makes a process-private object; a named one
// is shared by every process of the same user that creates or opens the
// name (any bytes; names too long for the host are refused with
// kErrorInvalidParameter). A handle of the wrong kind fails with
// kErrorInvalidHandle. Handles are not inherited: after fork() the child's
// copies of private objects keep working (the forking thread keeps the
// mutexes it owned, the others' are abandoned), its named handles are gone.
// A named mutex is usable only by processes of one pointer width (32 or 64
// bits); the other width gets kErrorInvalidHandle.
using Handle = std::uint32_t;

// Creates a mutex, or opens the existing one of that name (then initialOwner
// is ignored). 0 on failure, with the last error set.
Handle CreateMutex(const char *name, bool initialOwner);
// Opens an existing named mutex with the given access; 0 on failure
// (kErrorFileNotFound when no object has the name).
Handle OpenMutex(const char *name, std::uint32_t access);
// Gives up one ownership; false (kErrorNotOwner) when the caller is no owner.
// Allowed through a handle opened with the synchronize right only.
bool ReleaseMutex(Handle mutex);

// Creates a manual-reset event, or opens the existing one of that name.
Handle CreateEvent(const char *name, bool initialState);
// Opens an existing named event with the given access.
Handle OpenEvent(const char *name, std::uint32_t access);
// Posts or resets; false (kErrorAccessDenied) through a handle opened with
// the synchronize right only.
bool SetEvent(Handle event);
bool ResetEvent(Handle event);

// Waits for a mutex to be owned or an event to be posted: kWaitObject0,
// kWaitAbandoned (a mutex whose owner ended; the caller now owns it),
// kWaitTimeout, or kWaitFailed with the last error set. 0 tests without
// waiting, kInfinite waits without limit.
std::uint32_t WaitForSingleObject(Handle object, std::uint32_t milliseconds);

// Closes a handle; the object goes when its last handle in every process
// does. A process that ends counts as having closed its handles.
bool CloseHandle(Handle object);

// ---------------------------------------------------------------------------
// Threads
// ---------------------------------------------------------------------------
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
// The calling thread's priority as last set successfully (initially normal).
int GetCurrentThreadPriority();

// ---------------------------------------------------------------------------
// Memory
// ---------------------------------------------------------------------------
// The bytes the host allocator really holds for a block that malloc returned
// (at least the size asked for), so that a damaged size recorded inside the
// block can be told apart from one that fits it.
std::size_t HostAllocationSize(const void *block);

// ---------------------------------------------------------------------------
// Clock
// ---------------------------------------------------------------------------
// Seconds since 1970-01-01 00:00:00 UTC, as the standard time function.
std::time_t CurrentTime();

// Tests replace the clock (nullptr restores the real one).
using ClockSource = std::time_t (*)();
void SetClockSourceForTesting(ClockSource source);

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------
// Opens the host file named by a library path name (backslash separators,
// optional drive letter) with an fopen mode. nullptr on failure.
std::FILE *OpenFile(const char *pathName, const char *mode);

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------
// Called once when the library is loaded: per-thread attach notifications
// are not wanted. Nothing to do where the host sends none.
void DisableThreadNotifications();

}  // namespace qorb::plat
