// time_test.cpp - RealTime values, the calendar structure, the day numbers
// and the three text forms, checked against an independent civil calendar.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "qorb32n.h"
#include "time_internal.h"

namespace {

// Days since 1970-01-01 and back in the proleptic Gregorian calendar, by the
// era/day-of-era method (not the day-number arithmetic under test).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

Civil CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

TmeStruct ToStruct(RealTime t) {
  TmeStruct tm;
  std::memset(&tm, 0x5A, sizeof tm);
  TmeRealTimeToStruct(t, &tm);
  return tm;
}

std::string Standard(RealTime t) {
  char out[25];
  return TmeRealTimeToString(t, out);
}
std::string Compact(RealTime t) {
  char out[16];
  return TmeRealTimeToAltString(t, out);
}
std::string Ctime(RealTime t) {
  char out[25];
  return Tme_ctime(&t, out);
}

TmeStruct Date(std::int32_t year, std::int32_t month, std::int32_t day, std::int32_t hour = 0,
               std::int32_t minute = 0, std::int32_t second = 0) {
  TmeStruct tm = qorb::tme::kDefaultTmeStruct;
  tm.year = year;
  tm.month = month;
  tm.day = day;
  tm.hour = hour;
  tm.minute = minute;
  tm.second = second;
  return tm;
}

RealTime ValueOf(TmeStruct tm) {
  return TmeStructToRealTime(&tm);
}

// Checks one whole second against the reference calendar, both ways.
void ExpectCalendarOf(std::uint32_t s) {
  const TmeStruct tm = ToStruct(s);
  const std::int64_t days = s / 86400;
  const Civil civil = CivilFromDays(days);
  ASSERT_EQ(tm.year, civil.year) << s;
  ASSERT_EQ(tm.month, static_cast<std::int32_t>(civil.month)) << s;
  ASSERT_EQ(tm.day, static_cast<std::int32_t>(civil.day)) << s;
  ASSERT_EQ(tm.hour, static_cast<std::int32_t>(s % 86400 / 3600)) << s;
  ASSERT_EQ(tm.minute, static_cast<std::int32_t>(s % 3600 / 60)) << s;
  ASSERT_EQ(tm.second, static_cast<std::int32_t>(s % 60)) << s;
  ASSERT_EQ(tm.tenThousandths, 0u) << s;
  // The half ten-thousandth added for rounding stays in secondsReal.
  ASSERT_NEAR(tm.secondsReal, tm.second + 0.00005, 1e-5) << s;
  ASSERT_EQ(tm.dayOfYear, days - DaysFromCivil(civil.year, 1, 1) + 1) << s;
  ASSERT_EQ(tm.dayOfWeek, (days + 4) % 7) << s;
  TmeStruct back = tm;
  ASSERT_EQ(TmeStructToRealTime(&back), static_cast<RealTime>(s)) << s;
}

}  // namespace

TEST(TimeCalendar, AgreesWithCivilCalendarAcrossTheWholeRange) {
  constexpr std::uint32_t kLastDay = 0xFFFFFFFFu / 86400;
  for (std::uint32_t day = 0; day <= kLastDay; ++day) {
    const std::uint32_t start = day * 86400;
    ExpectCalendarOf(start);
    ExpectCalendarOf(start + (day * 7919u) % 86400);
    if (day < kLastDay) ExpectCalendarOf(start + 86399);
  }
  for (std::uint64_t s = 0; s <= 0xFFFFFFFFu; s += 104729) {
    ExpectCalendarOf(static_cast<std::uint32_t>(s));
  }
  ExpectCalendarOf(0xFFFFFFFFu);
}

TEST(TimeCalendar, DayBoundariesAroundLeapAndCenturyYears) {
  const struct {
    int year, month, day;
  } midnights[] = {{1972, 2, 28},  {1972, 2, 29}, {1972, 3, 1},   {1972, 12, 31}, {1973, 1, 1},
                   {1999, 12, 31}, {2000, 1, 1},  {2000, 2, 28},  {2000, 2, 29},  {2000, 3, 1},
                   {2000, 12, 31}, {2001, 1, 1},  {2100, 2, 28},  {2100, 3, 1},   {2104, 2, 28},
                   {2104, 2, 29},  {2104, 3, 1},  {2105, 12, 31}, {2106, 2, 7}};
  for (const auto &m : midnights) {
    const std::int64_t midnight = DaysFromCivil(m.year, m.month, m.day) * 86400;
    for (std::int64_t s = midnight - 1; s <= midnight + 1; ++s) {
      ExpectCalendarOf(static_cast<std::uint32_t>(s));
      // The half ten-thousandth carries a value just short of the next
      // second into it, and one just short of that rounding does not.
      const TmeStruct carried = ToStruct(static_cast<double>(s) + 0.99996);
      EXPECT_EQ(carried.tenThousandths, 0u);
      EXPECT_EQ(ValueOf(carried), static_cast<double>(s + 1));
      const TmeStruct kept = ToStruct(static_cast<double>(s) + 0.9999);
      EXPECT_EQ(kept.tenThousandths, 9999u);
      EXPECT_DOUBLE_EQ(ValueOf(kept), static_cast<double>(s) + 0.9999);
    }
  }
  // 2100 is no leap year: its February ends on the 28th.
  EXPECT_EQ(ToStruct(DaysFromCivil(2100, 3, 1) * 86400.0 - 1).day, 28);
  EXPECT_EQ(ToStruct(DaysFromCivil(2104, 3, 1) * 86400.0 - 1).day, 29);
}

TEST(TimeCalendar, DocumentedExamples) {
  for (const RealTime t : {0.0, -1.0, -1e300, -0.0}) {
    EXPECT_EQ(Standard(t), "1970-01-01_00:00:00.0000") << t;
    EXPECT_EQ(Compact(t), "19700101.000000");
    EXPECT_EQ(Ctime(t), "Thu Jan 01 00:00:00 1970");
    EXPECT_EQ(ToStruct(t).dayOfYear, 1);
    EXPECT_EQ(ToStruct(t).dayOfWeek, 4);
  }
  EXPECT_EQ(Standard(1.99996), "1970-01-01_00:00:02.0000");
  EXPECT_EQ(Standard(946684799.99995), "2000-01-01_00:00:00.0000");

  const TmeStruct leapDay = ToStruct(951782400.0);
  EXPECT_EQ(Standard(951782400.0), "2000-02-29_00:00:00.0000");
  EXPECT_EQ(leapDay.dayOfYear, 60);
  EXPECT_EQ(leapDay.dayOfWeek, 2);

  const TmeStruct august = ToStruct(997879726.25);
  EXPECT_EQ(Standard(997879726.25), "2001-08-15_12:48:46.2500");
  EXPECT_EQ(Compact(997879726.25), "20010815.124846");
  EXPECT_EQ(Ctime(997879726.25), "Wed Aug 15 12:48:46 2001");
  EXPECT_EQ(august.dayOfYear, 227);
  EXPECT_EQ(august.dayOfWeek, 3);
  EXPECT_EQ(august.tenThousandths, 2500u);
  EXPECT_NEAR(august.secondsReal, 46.25005, 1e-5);

  EXPECT_EQ(Standard(4294967295.0), "2106-02-07_06:28:15.0000");
  EXPECT_EQ(Ctime(4294967295.0), "Sun Feb 07 06:28:15 2106");
}

TEST(TimeCalendar, DayNumbers) {
  using qorb::tme::DateOfDayNumber;
  using qorb::tme::DayNumber;
  EXPECT_EQ(DayNumber(1582, 10, 15), 2299161);
  EXPECT_EQ(DayNumber(1582, 10, 4), 2299160);
  EXPECT_EQ(DayNumber(2000, 1, 1), 2451545);
  EXPECT_EQ(DayNumber(1970, 1, 1), qorb::tme::kEpochDayNumber);
  EXPECT_EQ(DayNumber(1500, 2, 29) + 1, DayNumber(1500, 3, 1)) << "Julian leap year";

  // Gregorian dates from the switch to well past 2106 match the reference.
  for (std::int64_t days = DaysFromCivil(1582, 10, 15); days < DaysFromCivil(2500, 1, 1); ++days) {
    const Civil c = CivilFromDays(days);
    ASSERT_EQ(DayNumber(static_cast<std::int32_t>(c.year), static_cast<std::int32_t>(c.month),
                        static_cast<std::int32_t>(c.day)),
              days + 2440588)
        << c.year << "-" << c.month << "-" << c.day;
  }
  // Every day number from 1 January of year 1 converts to a date and back,
  // across the switch from the Julian to the Gregorian calendar.
  for (std::int32_t jdn = 1721424; jdn < 2490299; ++jdn) {
    const qorb::tme::CivilDate date = DateOfDayNumber(jdn);
    ASSERT_EQ(DayNumber(date.year, date.month, date.day), jdn) << jdn;
  }
  const qorb::tme::CivilDate lastJulian = DateOfDayNumber(2299160);
  EXPECT_EQ(lastJulian.year * 10000 + lastJulian.month * 100 + lastJulian.day, 15821004);
  const qorb::tme::CivilDate firstDay = DateOfDayNumber(1721424);
  EXPECT_EQ(firstDay.year * 10000 + firstDay.month * 100 + firstDay.day, 10101);
  const qorb::tme::CivilDate beforeIt = DateOfDayNumber(1721423);
  EXPECT_EQ(beforeIt.year, -1) << "there is no year 0";
}

TEST(TimeStructToRealTime, FoldsFieldsAndRewritesShortYears) {
  EXPECT_EQ(ValueOf(Date(1969, 12, 31, 23, 59, 59)), 0.0);
  EXPECT_EQ(ValueOf(Date(1900, 1, 1)), 0.0);
  EXPECT_EQ(ValueOf(Date(1970, 1, 1)), 0.0);
  EXPECT_EQ(ValueOf(Date(1970, 1, 1, 0, 0, 1)), 1.0);

  TmeStruct shortYear = Date(99, 12, 31, 23, 59, 59);
  EXPECT_EQ(TmeStructToRealTime(&shortYear), 946684799.0);
  EXPECT_EQ(shortYear.year, 1999);
  TmeStruct yearZero = Date(0, 1, 1);
  EXPECT_EQ(TmeStructToRealTime(&yearZero), 0.0);
  EXPECT_EQ(yearZero.year, 1900);
  TmeStruct year100 = Date(100, 1, 1);
  TmeStructToRealTime(&year100);
  EXPECT_EQ(year100.year, 100);

  EXPECT_EQ(ValueOf(Date(2001, 1, 32)), ValueOf(Date(2001, 2, 1)));
  EXPECT_EQ(ValueOf(Date(2001, 2, 29)), ValueOf(Date(2001, 3, 1)));
  EXPECT_EQ(ValueOf(Date(2001, 1, 1, 25, 61, 61)), ValueOf(Date(2001, 1, 2, 2, 2, 1)));
  EXPECT_EQ(ValueOf(Date(2001, 1, 1, 0, -1)), ValueOf(Date(2000, 12, 31, 23, 59)));
  EXPECT_EQ(ValueOf(Date(2001, 13, 1)), ValueOf(Date(2002, 1, 1)));

  TmeStruct real = Date(2001, 8, 15, 12, 48, 9999);
  real.secondsReal = 5.5f;
  real.tenThousandths = 1234;
  EXPECT_EQ(TmeStructToRealTime(&real), ValueOf(Date(2001, 8, 15, 12, 48)) + 5.5);
  TmeStruct fraction = Date(2001, 8, 15, 12, 48, 46);
  fraction.tenThousandths = 2500;
  fraction.secondsReal = 99.0f;
  EXPECT_EQ(TmeStructToRealTime(&fraction), 997879726.25);

  // The second count is kept modulo 2^32: one past the last second wraps.
  EXPECT_EQ(ValueOf(Date(2106, 2, 7, 6, 28, 15)), 4294967295.0);
  EXPECT_EQ(ValueOf(Date(2106, 2, 7, 6, 28, 16)), 0.0);
}

TEST(TimeStructToRealTime, AbsurdFieldsStayDefined) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const std::int32_t extremes[] = {kMin, kMin + 1, -13, -1, 0, 1, 2, 3, 13, kMax - 1, kMax};
  for (const std::int32_t a : extremes) {
    for (const std::int32_t b : extremes) {
      TmeStruct tm = Date(a, b, a, b, a, b);
      const RealTime value = TmeStructToRealTime(&tm);
      EXPECT_TRUE(value >= 0.0 && value < 4294967296.0) << a << " " << b;
      tm = Date(2001, a, b, a, b, a);
      EXPECT_GE(TmeStructToRealTime(&tm), 0.0);
    }
  }
  for (const std::int32_t jdn : extremes) {
    const qorb::tme::CivilDate date = qorb::tme::DateOfDayNumber(jdn);
    EXPECT_GE(date.month, -12) << jdn;
  }
}

TEST(TimeText, FormsMatchTheirPrintfFormatsAndTheHostCalendar) {
  for (std::uint64_t s = 0; s <= 0xFFFFFFFFu; s += 7777777) {
    const RealTime t = static_cast<double>(s) + static_cast<double>(s % 10000) / 10000.0 + 1e-5;
    const TmeStruct tm = ToStruct(t);
    ASSERT_EQ(tm.tenThousandths, s % 10000) << s;
    char expected[64];
    (void)std::snprintf(expected, sizeof expected, "%4lu-%02lu-%02lu_%02lu:%02lu:%02lu.%04lu",
                        static_cast<unsigned long>(tm.year), static_cast<unsigned long>(tm.month),
                        static_cast<unsigned long>(tm.day), static_cast<unsigned long>(tm.hour),
                        static_cast<unsigned long>(tm.minute),
                        static_cast<unsigned long>(tm.second),
                        static_cast<unsigned long>(tm.tenThousandths));
    EXPECT_EQ(Standard(t), expected);
    (void)std::snprintf(expected, sizeof expected, "%4lu%02lu%02lu.%02lu%02lu%02lu",
                        static_cast<unsigned long>(tm.year), static_cast<unsigned long>(tm.month),
                        static_cast<unsigned long>(tm.day), static_cast<unsigned long>(tm.hour),
                        static_cast<unsigned long>(tm.minute),
                        static_cast<unsigned long>(tm.second));
    EXPECT_EQ(Compact(t), expected);
    // The host's own calendar and names, where its time_t reaches.
    if (sizeof(std::time_t) > 4 || s <= 0x7FFFFFFFu) {
      const auto host = static_cast<std::time_t>(s);
      std::tm parts{};
      ASSERT_NE(gmtime_r(&host, &parts), nullptr);
      (void)std::strftime(expected, sizeof expected, "%a %b %d %H:%M:%S %Y", &parts);
      EXPECT_EQ(Ctime(t), expected);
    }
  }
}

TEST(TimeText, OutOfRangeValuesKeepTheTextsInTheirBuffers) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const RealTime t : {4294967296.0, 4294967295.99996, 1e300, 9.1e18, inf, -inf, nan,
                           4294967296.0 * 3 + 86400.25}) {
    auto standard = std::make_unique<char[]>(25);
    auto compact = std::make_unique<char[]>(16);
    auto ctime = std::make_unique<char[]>(25);
    EXPECT_EQ(std::strlen(TmeRealTimeToString(t, standard.get())), 24u) << t;
    EXPECT_EQ(std::strlen(TmeRealTimeToAltString(t, compact.get())), 15u) << t;
    EXPECT_EQ(std::strlen(Tme_ctime(&t, ctime.get())), 24u) << t;
    const TmeStruct tm = ToStruct(t);
    EXPECT_LE(tm.tenThousandths, 9999u);
    EXPECT_TRUE(tm.year >= 1970 && tm.year <= 2106) << t;
  }
  // 2^32 seconds and beyond wrap modulo 2^32; infinity and NaN count as 0.
  EXPECT_EQ(Standard(4294967296.0), "1970-01-01_00:00:00.0000");
  EXPECT_EQ(Standard(4294967296.0 * 3 + 86400.25), "1970-01-02_00:00:00.2500");
  EXPECT_EQ(Standard(nan), "1970-01-01_00:00:00.0000");
  EXPECT_EQ(Standard(inf), "1970-01-01_00:00:00.0000");

  EXPECT_EQ(TmeRealTimeToStruct(1.0, nullptr), nullptr);
  EXPECT_EQ(TmeStructToRealTime(nullptr), 0.0);
  EXPECT_EQ(TmeRealTimeToString(1.0, nullptr), nullptr);
  EXPECT_EQ(TmeRealTimeToAltString(1.0, nullptr), nullptr);
  char out[25];
  EXPECT_EQ(Tme_ctime(nullptr, out), nullptr);
}

TEST(TimeClock, ReadsThePlatformClockAsASigned32BitCount) {
  qorb::plat::SetClockSourceForTesting([]() -> std::time_t { return 997879726; });
  EXPECT_EQ(TmeGetRealTime(), 997879726.0);
  RealTime stored = 0.0;
  EXPECT_EQ(Tme_time(&stored), 997879726.0);
  EXPECT_EQ(stored, 997879726.0);
  EXPECT_EQ(Tme_time(nullptr), 997879726.0);

  qorb::plat::SetClockSourceForTesting([]() -> std::time_t { return -5; });
  EXPECT_EQ(TmeGetRealTime(), -5.0);
  if constexpr (sizeof(std::time_t) > 4) {
    qorb::plat::SetClockSourceForTesting(
        []() -> std::time_t { return static_cast<std::time_t>(0x80000000LL + 7); });
    EXPECT_EQ(TmeGetRealTime(), -2147483641.0);
  }
  qorb::plat::SetClockSourceForTesting(nullptr);
  const RealTime now = TmeGetRealTime();
  EXPECT_EQ(now, std::floor(now));
  EXPECT_GT(now, ValueOf(Date(2020, 1, 1)));
  EXPECT_EQ(TmeSetRealTime(0.0), 0u);
  EXPECT_EQ(TmeSetRealTime(now + 100), 0u);
}

TEST(TimeDefaults, DefaultStructureAndNameTables) {
  TmeStruct defaults = qorb::tme::kDefaultTmeStruct;
  EXPECT_EQ(TmeStructToRealTime(&defaults), 0.0);
  EXPECT_EQ(defaults.year, 1970);
  EXPECT_EQ(defaults.month, 1);
  EXPECT_EQ(defaults.day, 1);
  EXPECT_EQ(defaults.tenThousandths, 0u);
  // The names are the C locale's abbreviations, which the parser matches.
  for (int month = 1; month <= 12; ++month) {
    std::tm parts{};
    parts.tm_mon = month - 1;
    parts.tm_wday = month % 7;
    char name[8];
    (void)std::strftime(name, sizeof name, "%b", &parts);
    EXPECT_STREQ(qorb::tme::kMonthNames[month - 1], name);
    (void)std::strftime(name, sizeof name, "%a", &parts);
    EXPECT_STREQ(qorb::tme::kWeekdayNames[month % 7], name);
  }
}
