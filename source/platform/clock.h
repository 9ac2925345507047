// clock.h - the platform clock, which tests may replace.
#pragma once

#include <ctime>

namespace qorb::plat {

// Seconds since 1970-01-01 00:00:00 UTC, as the standard time function.
std::time_t CurrentTime();

// Tests replace the clock (nullptr restores the real one).
using ClockSource = std::time_t (*)();
void SetClockSourceForTesting(ClockSource source);

}  // namespace qorb::plat
