// clock.cpp - reading the clock as a RealTime; the clock cannot be set.
//
// Relies on the platform clock, whose whole seconds since 1970 are taken as
// a signed 32-bit count, as the library's 32-bit time function delivered.
#include <cstdint>

#include "platform/clock.h"
#include "time_internal.h"

namespace qorb::tme {

namespace {

RealTime ReadClock() {
  // Conversion to a narrower signed type is modulo 2^32.
  return static_cast<RealTime>(static_cast<std::int32_t>(plat::CurrentTime()));
}

}  // namespace

}  // namespace qorb::tme

extern "C" {

QORB_API RealTime TmeGetRealTime(void) {
  return qorb::tme::ReadClock();
}

QORB_API RealTime Tme_time(RealTime *out) {
  const RealTime now = qorb::tme::ReadClock();
  if (out != nullptr) *out = now;
  return now;
}

QORB_API uint32_t TmeSetRealTime(RealTime /*t*/) {
  return 0;
}

}  // extern "C"
