// clock.cpp - the platform clock: seconds since 1970 from the host's time(),
// or from a source a test installs in its place.
//
// Relies on: <ctime>; the hook is an atomic function pointer so a test may
// swap it while other threads read the clock.
#include <atomic>
#include <ctime>

#include "platform/clock.h"

namespace qorb::plat {

namespace {

std::atomic<ClockSource> g_clockSource{nullptr};

}  // namespace

std::time_t CurrentTime() {
  const ClockSource source = g_clockSource.load(std::memory_order_acquire);
  return source != nullptr ? source() : std::time(nullptr);
}

void SetClockSourceForTesting(ClockSource source) {
  g_clockSource.store(source, std::memory_order_release);
}

}  // namespace qorb::plat
