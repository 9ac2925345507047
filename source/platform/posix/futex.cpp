// futex.cpp - the Linux futex calls behind every sleeping wait.
//
// FUTEX_WAIT_BITSET takes an absolute CLOCK_MONOTONIC time, so a wait that
// is woken early and sleeps again keeps its original deadline.
#include "platform/posix/futex.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/objects.h"

namespace qorb::plat::posix {
namespace {

int FutexOp(int op, bool shared) {
  return shared ? op : (op | FUTEX_PRIVATE_FLAG);
}

}  // namespace

Deadline DeadlineAfter(std::uint32_t milliseconds) {
  Deadline deadline;
  if (milliseconds == kInfinite) return deadline;
  deadline.unlimited = false;
  clock_gettime(CLOCK_MONOTONIC, &deadline.at);
  deadline.at.tv_sec += static_cast<time_t>(milliseconds / 1000u);
  deadline.at.tv_nsec += static_cast<long>(milliseconds % 1000u) * 1000000L;
  if (deadline.at.tv_nsec >= 1000000000L) {
    deadline.at.tv_nsec -= 1000000000L;
    ++deadline.at.tv_sec;
  }
  return deadline;
}

bool HasPassed(const Deadline &deadline) {
  if (deadline.unlimited) return false;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec > deadline.at.tv_sec ||
         (now.tv_sec == deadline.at.tv_sec && now.tv_nsec >= deadline.at.tv_nsec);
}

bool FutexWait(std::atomic<std::uint32_t> &word, std::uint32_t expected, const Deadline &deadline,
               bool shared) {
  const timespec *at = deadline.unlimited ? nullptr : &deadline.at;
  long rc =
      syscall(SYS_futex, reinterpret_cast<std::uint32_t *>(&word),
              FutexOp(FUTEX_WAIT_BITSET, shared), expected, at, nullptr, FUTEX_BITSET_MATCH_ANY);
  return !(rc == -1 && errno == ETIMEDOUT);
}

void FutexWake(std::atomic<std::uint32_t> &word, int count, bool shared) {
  syscall(SYS_futex, reinterpret_cast<std::uint32_t *>(&word), FutexOp(FUTEX_WAKE, shared), count,
          nullptr, nullptr, 0);
}

}  // namespace qorb::plat::posix
