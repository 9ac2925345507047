// thread.cpp - starting detached threads and Windows thread priorities on
// POSIX threads.
//
// Relies on: pthreads for the threads; Linux's per-thread nice value
// (setpriority on the thread id) for the priorities, which is the one
// scheduling knob an ordinary process may turn without a real-time policy.
#include <linux/capability.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <new>

#include "platform/posix/host_error.h"
#include "platform/thread.h"

namespace qorb::plat {

namespace {

inline constexpr std::uint32_t kThreadStartFailed = 0xFFFFFFFFu;

// The Windows level each thread last set successfully.
thread_local int t_priority = kPriorityNormal;

// Windows levels as nice values: the two extremes take the ends of the nice
// range, the five middle levels are spread five apart around normal.
bool NiceValueFor(int priority, int *nice) {
  switch (priority) {
    case kPriorityIdle:
      *nice = 19;
      return true;
    case kPriorityLowest:
      *nice = 10;
      return true;
    case kPriorityBelowNormal:
      *nice = 5;
      return true;
    case kPriorityNormal:
      *nice = 0;
      return true;
    case kPriorityAboveNormal:
      *nice = -5;
      return true;
    case kPriorityHighest:
      *nice = -10;
      return true;
    case kPriorityTimeCritical:
      *nice = -20;
      return true;
    default:
      return false;
  }
}

std::uint32_t SetPriority(int priority) {
  int nice = 0;
  if (!NiceValueFor(priority, &nice)) {
    SetLastError(kErrorInvalidParameter);
    return kErrorInvalidParameter;
  }
  // On Linux a thread id given to setpriority names that one thread.
  if (setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice) != 0) {
    const std::uint32_t code = WindowsErrorFromErrno(errno);
    SetLastError(code);
    return code;
  }
  t_priority = priority;
  return kErrorSuccess;
}

// Whether the host lets this thread rise back to nice 0: CAP_SYS_NICE, or
// an RLIMIT_NICE allowance that reaches it (the ceiling is 20 - limit).
bool MayRiseToNormal() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NICE, &limit) == 0 &&
      (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= 20)) {
    return true;
  }
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  return (data[CAP_SYS_NICE / 32].effective & (1u << (CAP_SYS_NICE % 32))) != 0;
}

// What the new thread needs; freed by the thread once it has read it.
struct ThreadLaunch {
  ThreadStart start;
  void *argument;
  int creatorPriority;
};

void *RunThread(void *raw) {
  const ThreadLaunch launch = *static_cast<ThreadLaunch *>(raw);
  delete static_cast<ThreadLaunch *>(raw);
  // The host hands the creator's nice value on, while a Windows thread starts
  // at normal. Where this user may not raise it back, the thread keeps (and
  // reports) its creator's level.
  t_priority = launch.creatorPriority;
  if (t_priority != kPriorityNormal) SetPriority(kPriorityNormal);
  SetLastError(kErrorSuccess);
  launch.start(launch.argument);
  return nullptr;
}

// The stack a thread gets by default on this host (glibc takes it from
// RLIMIT_STACK): what stdio and the rest of the C library are tested with.
std::size_t HostDefaultStackSize() {
  pthread_attr_t attr;
  std::size_t size = 0;
  if (pthread_attr_init(&attr) == 0) {
    if (pthread_attr_getstacksize(&attr, &size) != 0) size = 0;
    pthread_attr_destroy(&attr);
  }
  return size;
}

// Callers ask for Windows-sized stacks (a worker asks for 16 KiB), which
// glibc's stdio would overrun; never give less than the host default.
std::size_t UsableStackSize(std::uint32_t requested) {
  const long page = sysconf(_SC_PAGESIZE);
  const std::size_t pageSize = page > 0 ? static_cast<std::size_t>(page) : 4096;
  std::size_t size = std::max<std::size_t>(requested, HostDefaultStackSize());
  size = std::max<std::size_t>(size, PTHREAD_STACK_MIN);
  return (size + pageSize - 1) / pageSize * pageSize;
}

// Handles only name a started thread for the caller; they are never 0 and
// never the failure value, even after the counter wraps.
std::uint32_t NextThreadHandle() {
  static std::atomic<std::uint32_t> counter{0};
  for (;;) {
    const std::uint32_t handle = counter.fetch_add(1, std::memory_order_relaxed) + 1;
    if (handle != 0 && handle != kThreadStartFailed) return handle;
  }
}

}  // namespace

std::uint32_t BeginThread(ThreadStart start, std::uint32_t stackSize, void *argument) {
  if (start == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return kThreadStartFailed;
  }
  auto *launch = new (std::nothrow) ThreadLaunch{start, argument, t_priority};
  if (launch == nullptr) {
    SetLastError(kErrorNotEnoughMemory);
    return kThreadStartFailed;
  }
  pthread_attr_t attr;
  int rc = pthread_attr_init(&attr);
  if (rc == 0) {
    rc = pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (rc == 0) rc = pthread_attr_setstacksize(&attr, UsableStackSize(stackSize));
    pthread_t thread;
    if (rc == 0) rc = pthread_create(&thread, &attr, RunThread, launch);
    pthread_attr_destroy(&attr);
  }
  if (rc != 0) {
    delete launch;
    SetLastError(WindowsErrorFromErrno(rc));
    return kThreadStartFailed;
  }
  return NextThreadHandle();
}

std::uint32_t SetCurrentThreadPriority(int priority) {
  return SetPriority(priority);
}

std::uint32_t DropCurrentThreadPriority(int priority) {
  int nice = 0;
  if (!NiceValueFor(priority, &nice)) {
    SetLastError(kErrorInvalidParameter);
    return kErrorInvalidParameter;
  }
  if (MayRiseToNormal()) return SetPriority(priority);
  t_priority = priority;
  return kErrorSuccess;
}

int GetCurrentThreadPriority() {
  return t_priority;
}

}  // namespace qorb::plat
