// fake_clock.cpp - the clock source installed through the platform's test
// hook reads one atomic value that the test sets.
#include "support/fake_clock.h"

#include <atomic>

#include "platform/platform.h"

namespace qorb::test {

namespace {

std::atomic<std::time_t> g_now{0};

std::time_t ReadFakeClock() {
  return g_now.load();
}

}  // namespace

FakeClock::FakeClock(std::time_t now) {
  g_now.store(now);
  plat::SetClockSourceForTesting(&ReadFakeClock);
}

FakeClock::~FakeClock() {
  plat::SetClockSourceForTesting(nullptr);
}

void FakeClock::Set(std::time_t now) {
  g_now.store(now);
}

}  // namespace qorb::test
