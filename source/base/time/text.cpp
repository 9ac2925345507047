// text.cpp - the three text forms of a RealTime: standard
// "2001-08-15_12:48:46.2500", compact "20010815.124846" and ctime-style
// "Wed Aug 15 12:48:46 2001".
//
// Relies on the calendar conversion. The forms are those of the printf
// formats "%4lu-%02lu-%02lu_%02lu:%02lu:%02lu.%04lu",
// "%4lu%02lu%02lu.%02lu%02lu%02lu" and
// "%3s %3s %02.2lu %02.2lu:%02.2lu:%02.2lu %04.4lu", written digit by digit:
// every field the calendar yields fits its width (years 1970 to 2106,
// ten-thousandths below 10000), so the texts are always 24, 15 and 24
// characters and the callers' 25, 16 and 25 bytes always hold them.
#include <cstdint>

#include "time_internal.h"

namespace qorb::tme {

namespace {

// Writes value as exactly width decimal digits, zero-padded on the left.
char *PutDigits(char *out, std::int64_t value, int width) {
  auto rest = static_cast<std::uint64_t>(value);
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  }
  return out + width;
}

char *PutName(char *out, const char *name) {
  out[0] = name[0];
  out[1] = name[1];
  out[2] = name[2];
  return out + 3;
}

// Three fields with a separator between them, the first of firstWidth
// digits: a date (year, month, day) or a time of day. A separator of '\0'
// means none (the compact form).
char *PutTriple(char *out, int firstWidth, std::int32_t first, std::int32_t second,
                std::int32_t third, char separator) {
  out = PutDigits(out, first, firstWidth);
  if (separator != '\0') *out++ = separator;
  out = PutDigits(out, second, 2);
  if (separator != '\0') *out++ = separator;
  return PutDigits(out, third, 2);
}

char *PutDate(char *out, const TmeStruct &tm, char separator) {
  return PutTriple(out, 4, tm.year, tm.month, tm.day, separator);
}

char *PutTimeOfDay(char *out, const TmeStruct &tm, char separator) {
  return PutTriple(out, 2, tm.hour, tm.minute, tm.second, separator);
}

void WriteStandard(RealTime t, char *out) {
  TmeStruct tm;
  RealTimeToStruct(t, tm);
  out = PutDate(out, tm, '-');
  *out++ = '_';
  out = PutTimeOfDay(out, tm, ':');
  *out++ = '.';
  out = PutDigits(out, tm.tenThousandths, 4);
  *out = '\0';
}

void WriteCompact(RealTime t, char *out) {
  TmeStruct tm;
  RealTimeToStruct(t, tm);
  out = PutDate(out, tm, '\0');
  *out++ = '.';
  out = PutTimeOfDay(out, tm, '\0');
  *out = '\0';
}

void WriteCtime(RealTime t, char *out) {
  TmeStruct tm;
  RealTimeToStruct(t, tm);
  out = PutName(out, kWeekdayNames[tm.dayOfWeek]);
  *out++ = ' ';
  out = PutName(out, kMonthNames[tm.month - 1]);
  *out++ = ' ';
  out = PutDigits(out, tm.day, 2);
  *out++ = ' ';
  out = PutTimeOfDay(out, tm, ':');
  *out++ = ' ';
  out = PutDigits(out, tm.year, 4);
  *out = '\0';
}

}  // namespace

}  // namespace qorb::tme

extern "C" {

QORB_API char *TmeRealTimeToString(RealTime t, char *out) {
  if (out != nullptr) qorb::tme::WriteStandard(t, out);
  return out;
}

QORB_API char *TmeRealTimeToAltString(RealTime t, char *out) {
  if (out != nullptr) qorb::tme::WriteCompact(t, out);
  return out;
}

QORB_API char *Tme_ctime(const RealTime *t, char *out) {
  if (t == nullptr || out == nullptr) return nullptr;
  qorb::tme::WriteCtime(*t, out);
  return out;
}

}  // extern "C"
