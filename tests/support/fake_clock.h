// fake_clock.h - puts a test in charge of the platform clock for its
// lifetime, so that time-dependent behaviour (stamps, day changes) is tested
// by setting the time, never by waiting for it.
#pragma once

#include <ctime>

namespace qorb::test {

// Only one may exist at a time; the real clock comes back when it ends.
class FakeClock {
 public:
  explicit FakeClock(std::time_t now);
  ~FakeClock();
  FakeClock(const FakeClock &) = delete;
  FakeClock &operator=(const FakeClock &) = delete;

  void Set(std::time_t now);
};

}  // namespace qorb::test
