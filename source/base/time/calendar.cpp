// calendar.cpp - RealTime values to and from the calendar structure, through
// the astronomical Julian Day Number.
//
// Relies on nothing but the language. The day-number arithmetic keeps the
// constants, reciprocal multiplications and truncations of the original
// calendar routines, since results at day boundaries depend on them; 32-bit
// steps wrap modulo 2^32 (as the 32-bit original did) rather than overflow,
// so no field value a caller passes can cause undefined behaviour.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "time_internal.h"

namespace qorb::tme {

// Ten 32-bit fields on every host, as callers lay the structure out.
static_assert(sizeof(TmeStruct) == 40 && offsetof(TmeStruct, tenThousandths) == 24 &&
              offsetof(TmeStruct, secondsReal) == 28 && offsetof(TmeStruct, dayOfWeek) == 36);

namespace {

constexpr std::uint32_t kSecondsPerDay = 86400;
constexpr std::int32_t kGregorianStartDay = 2299161;  // 1582-10-15
constexpr std::int32_t kGregorianStartKey = 588829;   // 15 + 31 * (10 + 12 * 1582)
constexpr double kTwoTo32 = 4294967296.0;

// 32-bit integer steps that wrap instead of overflowing.
constexpr std::int32_t Add(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
constexpr std::int32_t Sub(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
constexpr std::int32_t Mul(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// Truncation toward zero to a 32-bit integer. Values beyond 32 bits (only
// reachable with absurd field values) keep their low 32 bits; NaN gives 0.
std::int32_t Truncate(double value) {
  const double whole = std::trunc(value);
  if (whole >= -2147483648.0 && whole < 2147483648.0) return static_cast<std::int32_t>(whole);
  if (!std::isfinite(whole)) return 0;
  double low = std::fmod(whole, kTwoTo32);
  if (low < 0) low += kTwoTo32;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(low));
}

// The whole seconds of a value as the unsigned 32-bit count the calendar
// works on. Negative values and NaN count as 0; values of 2^32 seconds and
// beyond wrap modulo 2^32 (infinity counts as 0), so every result lies in
// 1970..2106 and the text forms keep their fixed widths.
std::uint32_t WholeSeconds(double value) {
  if (!(value >= 0.0)) return 0;
  if (value < kTwoTo32) return static_cast<std::uint32_t>(value);
  if (!std::isfinite(value)) return 0;
  return static_cast<std::uint32_t>(std::fmod(std::trunc(value), kTwoTo32));
}

}  // namespace

std::int32_t DayNumber(std::int32_t year, std::int32_t month, std::int32_t day) {
  if (year < 0) year = Add(year, 1);  // there is no year 0
  std::int32_t jy = year;
  std::int32_t jm = Add(month, 1);
  if (month <= 2) {
    jy = Sub(year, 1);
    jm = Add(month, 13);
  }
  // floor(30.6001 * jm), formed as the negated truncation of jm * -30.6001.
  const std::int32_t monthDays = -Truncate(jm * -30.6001);
  std::int32_t jdn = Add(Add(Add(Add(Mul(365, jy), jy / 4), monthDays), day), 1720995);
  if (Add(day, Mul(31, Add(month, Mul(12, year)))) >= kGregorianStartKey) {
    const std::int32_t ja = jy / 100;
    jdn = Add(jdn, Add(Sub(2, ja), ja / 4));
  }
  return jdn;
}

CivilDate DateOfDayNumber(std::int32_t dayNumber) {
  std::int32_t ja = dayNumber;
  if (dayNumber >= kGregorianStartDay) {
    const std::int32_t a = Truncate((Sub(dayNumber, 1867216) - 0.25) * 2.7379070069885075e-5);
    ja = Sub(Add(Add(dayNumber, 1), a), a / 4);
  }
  const std::int32_t jb = Add(ja, 1524);
  const std::int32_t jc = Truncate((Sub(jb, 2439870) - 122.1) * 0.0027378507871321013 + 6680.0);
  const std::int32_t jd = Add(Mul(365, jc), jc / 4);
  const std::int32_t je = Truncate(Sub(jb, jd) * 0.03267963176590926);

  CivilDate date{};
  date.day = Sub(Sub(jb, jd), Truncate(30.6001 * je));
  date.month = Sub(je, 1);
  if (date.month > 12) date.month -= 12;
  date.year = Sub(jc, 4715);
  if (date.month > 2) date.year = Sub(date.year, 1);
  if (date.year <= 0) date.year = Sub(date.year, 1);
  return date;
}

void RealTimeToStruct(RealTime t, TmeStruct &out) {
  // Half a ten-thousandth makes the truncations below round to the nearest
  // ten-thousandth, carrying into the seconds and beyond.
  const double rounded = (t < 0.0 ? 0.0 : t) + 0.00005;
  const std::uint32_t seconds = WholeSeconds(rounded);
  // The fraction of the value itself, so that a wrapped count (2^32 seconds
  // and beyond) still leaves a fraction below one second.
  const double fraction = rounded < kTwoTo32 ? rounded - seconds : rounded - std::trunc(rounded);
  const double safeFraction = fraction >= 0.0 && fraction < 1.0 ? fraction : 0.0;
  const auto dayNumber = static_cast<std::int32_t>(seconds / kSecondsPerDay) + kEpochDayNumber;

  const CivilDate date = DateOfDayNumber(dayNumber);
  out.year = date.year;
  out.month = date.month;
  out.day = date.day;
  out.hour = static_cast<std::int32_t>(seconds % kSecondsPerDay / 3600);
  out.minute = static_cast<std::int32_t>(seconds % 3600 / 60);
  out.second = static_cast<std::int32_t>(seconds % 60);
  out.tenThousandths = static_cast<std::uint32_t>(safeFraction * 10000.0);
  out.secondsReal = static_cast<float>(out.second + safeFraction);
  out.dayOfYear = dayNumber - DayNumber(date.year, 1, 1) + 1;
  out.dayOfWeek = (dayNumber + 1) % 7;
}

RealTime StructToRealTime(TmeStruct &in) {
  // Two-digit years are years of the twentieth century, and say so afterwards.
  if (static_cast<std::uint32_t>(in.year) < 100) in.year += 1900;
  const std::int32_t dayNumber = DayNumber(in.year, in.month, in.day);
  if (dayNumber < kEpochDayNumber) return 0.0;  // before 1970

  // Seconds since 1970, modulo 2^32 like the 32-bit count they are kept in.
  const auto base = ((static_cast<std::uint32_t>(dayNumber) * 24 + in.hour) * 60 + in.minute) * 60 -
                    static_cast<std::uint32_t>(kEpochDayNumber) * kSecondsPerDay;
  if (in.second == 9999) return base + static_cast<double>(in.secondsReal);
  return static_cast<double>(base + static_cast<std::uint32_t>(in.second)) +
         in.tenThousandths * 0.0001;
}

}  // namespace qorb::tme

extern "C" {

QORB_API TmeStruct *TmeRealTimeToStruct(RealTime t, TmeStruct *out) {
  if (out != nullptr) qorb::tme::RealTimeToStruct(t, *out);
  return out;
}

QORB_API RealTime TmeStructToRealTime(TmeStruct *in) {
  return in != nullptr ? qorb::tme::StructToRealTime(*in) : 0.0;
}

}  // extern "C"
