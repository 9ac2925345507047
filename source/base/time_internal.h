// time_internal.h - what the time family shares between its own files and
// with the families that read time texts back.
//
// The name tables are searched by the time-text parsers; the day-number
// conversions are the calendar's core, exposed so that tests can pin them;
// the standard-form parser serves the text parser's time token.
#pragma once

#include <cstdint>

#include "qorb32n.h"

namespace qorb::tme {

// "Jan" to "Dec", index month - 1.
inline constexpr const char *kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// "Sun" to "Sat", index dayOfWeek.
inline constexpr const char *kWeekdayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// 1970-01-01 00:00:00.0000, where the time-text parsers start.
inline constexpr TmeStruct kDefaultTmeStruct = {1970, 1, 1, 0, 0, 0, 0, 0.0f, 0, 0};

// The astronomical Julian Day Number of 1970-01-01.
inline constexpr std::int32_t kEpochDayNumber = 2440588;

// Julian Day Number of a date: the Gregorian calendar from 1582-10-15, the
// Julian before it, no year 0. Fields are not range-checked; 32-bit
// arithmetic wraps modulo 2^32 instead of overflowing.
std::int32_t DayNumber(std::int32_t year, std::int32_t month, std::int32_t day);

struct CivilDate {
  std::int32_t year;
  std::int32_t month;
  std::int32_t day;
};

// The date of a Julian Day Number; the inverse of DayNumber.
CivilDate DateOfDayNumber(std::int32_t dayNumber);

// TmeRealTimeToStruct and TmeStructToRealTime without the argument checks.
void RealTimeToStruct(RealTime t, TmeStruct &out);
RealTime StructToRealTime(TmeStruct &in);

// The time-text parsers behind TmeStringToRealTime,
// TmeJulianStringToRealTime, TmeMSTimeStringToRealTime and
// TmeSQLDateTimeToRealTime; text must not be NULL.
RealTime StringToRealTime(const char *text);
RealTime JulianStringToRealTime(const char *text);
RealTime CtimeStringToRealTime(const char *text);
RealTime SqlDateTimeToRealTime(const char *text);

}  // namespace qorb::tme
