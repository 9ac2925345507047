// time_test.cpp - RealTime values, the calendar structure, the day numbers
// and the three text forms, checked against an independent civil calendar.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/clock.h"
#include "qorb32n.h"
#include "time_internal.h"

namespace {

// Days since 1970-01-01 and back in the proleptic Gregorian calendar, by the
// era/day-of-era method (not the day-number arithmetic under test), yyyymmdd.
std::int64_t DaysFromCivil(std::int64_t ymd) {
  const auto m = static_cast<unsigned>(ymd / 100 % 100), d = static_cast<unsigned>(ymd % 100);
  const std::int64_t y = ymd / 10000 - (m <= 2 ? 1 : 0), era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  return era * 146097 + static_cast<std::int64_t>(yoe * 365 + yoe / 4 - yoe / 100 + doy) - 719468;
}

std::int64_t CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9, day = doy - (153 * mp + 2) / 5 + 1;
  return (yoe + era * 400 + (month <= 2 ? 1 : 0)) * 10000 + month * 100 + day;
}

TmeStruct ToStruct(RealTime t) {
  TmeStruct tm;
  std::memset(&tm, 0x5A, sizeof tm);
  return *TmeRealTimeToStruct(t, &tm);
}

// The standard, compact and ctime-style texts, joined by '|'.
std::string Texts(RealTime t) {
  char standard[25], compact[16], ctime[25];
  return std::string(TmeRealTimeToString(t, standard)) + "|" + TmeRealTimeToAltString(t, compact) +
         "|" + Tme_ctime(&t, ctime);
}

RealTime ValueOf(TmeStruct tm) {
  return TmeStructToRealTime(&tm);
}

// The value of year, month, day, hour, minute and second (missing ones 0).
RealTime Seconds(std::array<std::int32_t, 6> f) {
  return ValueOf({f[0], f[1], f[2], f[3], f[4], f[5], 0, 0.0f, 0, 0});
}

// Checks one whole second against the reference calendar, both ways.
void ExpectCalendarOf(std::uint32_t s) {
  const TmeStruct tm = ToStruct(s);
  const std::int64_t days = s / 86400, ymd = CivilFromDays(days);
  ASSERT_EQ(tm.year * 10000 + tm.month * 100 + tm.day, ymd) << s;
  ASSERT_EQ((tm.hour * 60 + tm.minute) * 60 + tm.second, s % 86400) << s;
  ASSERT_EQ(tm.dayOfYear, days - DaysFromCivil(ymd / 10000 * 10000 + 101) + 1) << s;
  ASSERT_EQ(tm.dayOfWeek, (days + 4) % 7) << s;
  ASSERT_EQ(tm.tenThousandths, 0u) << s;  // the rounding half stays in secondsReal only
  ASSERT_NEAR(tm.secondsReal, tm.second + 0.00005, 1e-5) << s;
  ASSERT_EQ(ValueOf(tm), static_cast<RealTime>(s)) << s;
}

}  // namespace

TEST(TimeCalendar, AgreesWithCivilCalendarAcrossTheRangeAndAtDayBoundaries) {
  constexpr std::uint32_t kLastDay = 0xFFFFFFFFu / 86400;
  for (std::uint32_t day = 0; day < kLastDay; ++day) {
    for (const auto at : {0u, day * 7919u % 86400, 86399u}) ExpectCalendarOf(day * 86400 + at);
    // Just short of midnight rounds into the next day; short of that stays.
    const RealTime midnight = (day + 1) * 86400.0;
    ASSERT_EQ(ValueOf(ToStruct(midnight - 0.00004)), midnight);
    ASSERT_DOUBLE_EQ(ValueOf(ToStruct(midnight - 0.0001)), midnight - 0.0001);
  }
  for (std::uint32_t s = kLastDay * 86400; s != 0; ++s) ExpectCalendarOf(s);
}

TEST(TimeText, DocumentedExamplesAndOutOfRangeValues) {
  const double nan = NAN, inf = INFINITY;
  // Negative values, NaN and infinity count as 0; 2^32 and beyond wrap.
  for (const RealTime t : {0.0, -1.0, -1e300, nan, inf, -inf, 4294967296.0, 4294967295.99996}) {
    EXPECT_EQ(Texts(t), "1970-01-01_00:00:00.0000|19700101.000000|Thu Jan 01 00:00:00 1970") << t;
  }
  const std::pair<RealTime, const char *> examples[] = {
      {1.99996, "1970-01-01_00:00:02.0000|19700101.000002|Thu Jan 01 00:00:02 1970"},
      {946684799.99995, "2000-01-01_00:00:00.0000|20000101.000000|Sat Jan 01 00:00:00 2000"},
      {951782400.0, "2000-02-29_00:00:00.0000|20000229.000000|Tue Feb 29 00:00:00 2000"},
      {997879726.25, "2001-08-15_12:48:46.2500|20010815.124846|Wed Aug 15 12:48:46 2001"},
      {4294967295.0, "2106-02-07_06:28:15.0000|21060207.062815|Sun Feb 07 06:28:15 2106"},
      {12884988288.25, "1970-01-02_00:00:00.2500|19700102.000000|Fri Jan 02 00:00:00 1970"}};
  for (const auto &[t, texts] : examples) EXPECT_EQ(Texts(t), texts) << t;
  EXPECT_NEAR(ToStruct(997879726.25).secondsReal, 46.25005, 1e-5);
  // Far out of range, the texts keep their full widths inside the buffers.
  EXPECT_EQ(Texts(1e300).size() + Texts(9.1e18).size(), 2 * (24u + 1 + 15 + 1 + 24));
  EXPECT_EQ(TmeRealTimeToString(1.0, nullptr), TmeRealTimeToAltString(1.0, nullptr));
  EXPECT_TRUE(Tme_ctime(nullptr, nullptr) == nullptr && !TmeRealTimeToStruct(1.0, nullptr));
}

TEST(TimeCalendar, DayNumbers) {
  using qorb::tme::DateOfDayNumber, qorb::tme::DayNumber;
  EXPECT_EQ(DayNumber(1582, 10, 15), 2299161);
  EXPECT_EQ(DayNumber(1582, 10, 4), 2299160);
  EXPECT_EQ(DayNumber(2000, 1, 1), 2451545);
  EXPECT_EQ(DayNumber(1500, 2, 29) + 1, DayNumber(1500, 3, 1)) << "Julian leap year";
  EXPECT_EQ(DateOfDayNumber(1721423).year, -1) << "there is no year 0";
  // From year 1 across the Julian-Gregorian switch to past 2106, day numbers
  // convert to dates and back; Gregorian dates match the reference calendar.
  for (std::int32_t jdn = 1721424; jdn < 2490299; ++jdn) {
    const qorb::tme::CivilDate d = DateOfDayNumber(jdn);
    ASSERT_EQ(DayNumber(d.year, d.month, d.day), jdn);
    if (jdn >= 2299161) {
      ASSERT_EQ(d.year * 10000 + d.month * 100 + d.day, CivilFromDays(jdn - 2440588));
    }
  }
}

TEST(TimeStructToRealTime, FoldsFieldsAndRewritesShortYears) {
  EXPECT_EQ(ValueOf(qorb::tme::kDefaultTmeStruct), 0.0);
  // Years 0 to 99 mean 1900 to 1999 and are rewritten; before 1970 gives 0.
  const int years[][3] = {{0, 1900, 0}, {99, 1999, 946684799}, {100, 100, 0}, {1969, 1969, 0}};
  for (const auto &y : years) {
    TmeStruct tm{y[0], 12, 31, 23, 59, 59, 0, 0.0f, 0, 0};
    EXPECT_EQ(TmeStructToRealTime(&tm), y[2]);
    EXPECT_EQ(tm.year, y[1]);
  }
  EXPECT_EQ(Seconds({2001, 1, 32}), Seconds({2001, 2, 1}));
  EXPECT_EQ(Seconds({2001, 2, 29}), Seconds({2001, 3, 1}));
  EXPECT_EQ(Seconds({2001, 13, 1}), Seconds({2002, 1, 1}));
  EXPECT_EQ(Seconds({2001, 1, 1, 25, 61, 61}), Seconds({2001, 1, 2, 2, 2, 1}));
  EXPECT_EQ(Seconds({2001, 1, 1, 0, -1}), Seconds({2000, 12, 31, 23, 59}));
  // Second 9999 takes secondsReal instead; otherwise the ten-thousandths count.
  EXPECT_EQ(ValueOf(TmeStruct{2001, 8, 15, 12, 48, 9999, 1234, 5.5f, 0, 0}), 997879680.0 + 5.5);
  EXPECT_EQ(ValueOf(TmeStruct{2001, 8, 15, 12, 48, 46, 2500, 99.0f, 0, 0}), 997879726.25);
  // The second count is kept modulo 2^32: one past the last second wraps.
  EXPECT_EQ(Seconds({2106, 2, 7, 6, 28, 16}), 0.0);
  EXPECT_EQ(TmeStructToRealTime(nullptr), 0.0);
  // Absurd fields wrap instead of overflowing (which the sanitizer build watches).
  for (const std::int32_t a : {INT32_MIN, INT32_MIN + 1, -13, -1, 0, 1, 2, 3, 13, INT32_MAX}) {
    for (const std::int32_t b : {INT32_MIN, -13, -1, 0, 1, 2, 13, INT32_MAX - 1, INT32_MAX}) {
      // Whatever the fields, the value is a whole second count of 32 bits.
      for (const RealTime v : {Seconds({a, b, a, b, a, b}), Seconds({2001, a, b, a, b, a})}) {
        EXPECT_TRUE(v >= 0.0 && v < 4294967296.0 && v == std::floor(v)) << a << " " << b;
      }
    }
    EXPECT_GE(qorb::tme::DateOfDayNumber(a).month, -12) << a;
  }
}

TEST(TimeClock, ReadsThePlatformClockAsASigned32BitCount) {
  qorb::plat::SetClockSourceForTesting([]() -> std::time_t { return 997879726; });
  RealTime stored = 0.0;
  EXPECT_EQ(Tme_time(&stored), 997879726.0);
  EXPECT_EQ(stored, Tme_time(nullptr));
  // 2^32 - 5 seconds where time_t is wider; -5 where it is not.
  qorb::plat::SetClockSourceForTesting([] { return static_cast<std::time_t>(0xFFFFFFFBLL); });
  EXPECT_EQ(TmeGetRealTime(), -5.0);
  // With the hook gone the host clock answers again; it cannot be set.
  qorb::plat::SetClockSourceForTesting(nullptr);
  EXPECT_GT(TmeGetRealTime(), Seconds({2020, 1, 1}));
  EXPECT_EQ(TmeSetRealTime(0.0), 0u);
}
