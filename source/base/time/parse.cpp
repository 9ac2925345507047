// parse.cpp - time texts back into RealTime values: the standard form, the
// ordinal-date form, the ctime-style form and the database date-time form.
//
// Relies on the calendar conversion (StructToRealTime) and its default
// structure, the month-name table, sscanf for the two scanned forms and the
// platform's case-insensitive compare for month names. Every reader stops at
// the text's NUL: a separator is stepped over only when it is not the end.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/common/text_compare.h"
#include "time_internal.h"

namespace qorb::tme {

namespace {

// Digit runs are collected as in a 16-byte buffer: 15 digits at most count.
constexpr int kMaxRunDigits = 15;

struct DigitRun {
  std::uint64_t value;
  int length;  // digits counted, at most kMaxRunDigits
};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads the maximal run of digits at text (possibly empty) and moves text
// past all of it; digits beyond the fifteenth are passed over.
DigitRun ReadDigitRun(const char *&text) {
  DigitRun run{0, 0};
  for (; IsDigit(*text); ++text) {
    if (run.length == kMaxRunDigits) continue;
    run.value = run.value * 10 + static_cast<std::uint64_t>(*text - '0');
    ++run.length;
  }
  return run;
}

// How one numeric form treats its text.
struct NumericRules {
  char alsoEnds;     // a character that ends the text as NUL does, or NUL
  bool cutTo16Bits;  // values are taken modulo 65536
};

std::uint32_t RunValue(const DigitRun &run, const NumericRules &rules) {
  const std::uint64_t value = rules.cutTo16Bits ? run.value % 65536 : run.value;
  return static_cast<std::uint32_t>(value);  // runs beyond 32 bits keep their low bits
}

// A fraction of 1, 2 or 3 digits is tenths, hundredths or thousandths of a
// second; any other length is already ten-thousandths.
std::uint32_t ScaleFraction(std::uint32_t value, int length) {
  switch (length) {
    case 1:
      return value * 1000;
    case 2:
      return value * 100;
    case 3:
      return value * 10;
    default:
      return value;
  }
}

bool AtEnd(const char *text, const NumericRules &rules) {
  return *text == '\0' || (rules.alsoEnds != '\0' && *text == rules.alsoEnds);
}

// Reads the first field's run, then, while the text goes on, one separator
// (any character) and a run for each further field and for the fraction.
template <std::size_t N>
RealTime ReadNumericForm(const char *text, TmeStruct &tm, std::int32_t *const (&fields)[N],
                         const NumericRules &rules) {
  *fields[0] = static_cast<std::int32_t>(RunValue(ReadDigitRun(text), rules));
  bool ended = false;
  for (std::size_t i = 1; i < N && !ended; ++i) {
    ended = AtEnd(text, rules);
    if (!ended) *fields[i] = static_cast<std::int32_t>(RunValue(ReadDigitRun(++text), rules));
  }
  if (!ended && !AtEnd(text, rules)) {
    const DigitRun fraction = ReadDigitRun(++text);
    tm.tenThousandths = ScaleFraction(RunValue(fraction, rules), fraction.length);
  }
  tm.secondsReal = static_cast<float>(tm.second + tm.tenThousandths * 0.0001);
  return StructToRealTime(tm);
}

// The month of a three-letter name in any case; January when none is equal.
std::int32_t MonthOfName(const char *name) {
  for (std::int32_t i = 0; i < 12; ++i) {
    if (plat::CompareNoCase(name, kMonthNames[i]) == 0) return i + 1;
  }
  return 1;
}

std::int32_t ToField(long value) {
  return static_cast<std::int32_t>(value);  // the scan widths keep it within 4 digits
}

}  // namespace

RealTime StringToRealTime(const char *text) {
  TmeStruct tm = kDefaultTmeStruct;
  std::int32_t *const fields[] = {&tm.year, &tm.month, &tm.day, &tm.hour, &tm.minute, &tm.second};
  return ReadNumericForm(text, tm, fields, NumericRules{'\0', true});
}

RealTime JulianStringToRealTime(const char *text) {
  if (*text == '\0' || *text == '~') return 0.0;
  TmeStruct tm = kDefaultTmeStruct;
  // The day of the year runs on from 1 January through the calendar's day
  // arithmetic, so it goes into the day of the month.
  std::int32_t *const fields[] = {&tm.year, &tm.day, &tm.hour, &tm.minute, &tm.second};
  return ReadNumericForm(text, tm, fields, NumericRules{'~', false});
}

RealTime CtimeStringToRealTime(const char *text) {
  TmeStruct tm = kDefaultTmeStruct;
  char weekday[4] = "";
  char month[4] = "";
  long day = tm.day, hour = 0, minute = 0, second = 0, year = tm.year;
  const int scanned = std::sscanf(text, "%3s%3s%2ld%2ld:%2ld:%2ld%4ld", weekday, month, &day, &hour,
                                  &minute, &second, &year);
  if (scanned >= 2) tm.month = MonthOfName(month);
  tm.day = ToField(day);
  tm.hour = ToField(hour);
  tm.minute = ToField(minute);
  tm.second = ToField(second);
  tm.year = ToField(year);
  return StructToRealTime(tm);
}

RealTime SqlDateTimeToRealTime(const char *text) {
  TmeStruct tm = kDefaultTmeStruct;
  char month[4] = "";
  char marker[3] = "";
  long day = tm.day, year = tm.year, hour = 0, minute = 0;
  const int scanned =
      std::sscanf(text, "%3s %3ld %4ld %2ld:%2ld%2s", month, &day, &year, &hour, &minute, marker);
  if (scanned >= 1) tm.month = MonthOfName(month);
  if (hour == 12) hour = 0;
  if (marker[0] == 'P' || marker[0] == 'p') hour += 12;
  tm.day = ToField(day);
  tm.year = ToField(year);
  tm.hour = ToField(hour);
  tm.minute = ToField(minute);
  return StructToRealTime(tm);
}

}  // namespace qorb::tme

extern "C" {

QORB_API RealTime TmeStringToRealTime(const char *text) {
  return text != nullptr ? qorb::tme::StringToRealTime(text) : 0.0;
}

QORB_API RealTime TmeJulianStringToRealTime(const char *text) {
  return text != nullptr ? qorb::tme::JulianStringToRealTime(text) : 0.0;
}

QORB_API RealTime TmeMSTimeStringToRealTime(const char *text) {
  return text != nullptr ? qorb::tme::CtimeStringToRealTime(text) : 0.0;
}

QORB_API int32_t TmeMSTimeStringToLongSec(const char *text) {
  const RealTime value = TmeMSTimeStringToRealTime(text);
  // Whole seconds below 2^32 plus a fraction: the 64-bit truncation is exact
  // and its low 32 bits are the wrapped signed count.
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(value)));
}

QORB_API RealTime TmeSQLDateTimeToRealTime(const char *text) {
  return text != nullptr ? qorb::tme::SqlDateTimeToRealTime(text) : 0.0;
}

}  // extern "C"
