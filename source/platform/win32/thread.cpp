// thread.cpp - starting threads and Windows thread priorities on Windows.
//
// Relies on the C run-time's _beginthread (the thread's handle closes itself
// when the thread ends) and on SetThreadPriority/GetThreadPriority, whose
// levels are the layer's own. A stack size asked for is the size committed
// at first; the thread's reserve is the program's default, so a small request
// never leaves stdio short.
#include <process.h>

#include <cerrno>

#include "platform/thread.h"
#include "platform/win32/windows_api.h"

namespace qorb::plat {
namespace {

constexpr std::uint32_t kThreadStartFailed = 0xFFFFFFFFu;

bool IsPriorityLevel(int priority) {
  switch (priority) {
    case kPriorityIdle:
    case kPriorityLowest:
    case kPriorityBelowNormal:
    case kPriorityNormal:
    case kPriorityAboveNormal:
    case kPriorityHighest:
    case kPriorityTimeCritical:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::uint32_t BeginThread(ThreadStart start, std::uint32_t stackSize, void *argument) {
  if (start == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return kThreadStartFailed;
  }
  const std::uintptr_t thread = _beginthread(start, stackSize, argument);
  if (thread == static_cast<std::uintptr_t>(-1)) {
    SetLastError(errno == EAGAIN ? kErrorNotEnoughMemory : kErrorInvalidParameter);
    return kThreadStartFailed;
  }
  // Kernel handles keep their meaning in 32 bits on 64-bit Windows too.
  return static_cast<std::uint32_t>(thread);
}

std::uint32_t SetCurrentThreadPriority(int priority) {
  if (!IsPriorityLevel(priority)) {
    SetLastError(kErrorInvalidParameter);
    return kErrorInvalidParameter;
  }
  if (SetThreadPriority(GetCurrentThread(), priority) == FALSE) {
    const std::uint32_t code = GetLastError();
    SetLastError(code);
    return code;
  }
  return kErrorSuccess;
}

// A Windows thread may always rise back to normal, so a drop is a plain set.
std::uint32_t DropCurrentThreadPriority(int priority) {
  return SetCurrentThreadPriority(priority);
}

int GetCurrentThreadPriority() {
  const int priority = GetThreadPriority(GetCurrentThread());
  return priority == THREAD_PRIORITY_ERROR_RETURN ? kPriorityNormal : priority;
}

}  // namespace qorb::plat
