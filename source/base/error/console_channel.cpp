// console_channel.cpp - channel 3: the report line on standard output
// (modes 3 and 5) and in the day's log file "<task>.<yyyymmdd>.log" in the
// current directory (modes 5 and 6).
//
// Relies on TmeGetRealTime and TmeRealTimeToAltString for the stamp and on
// the platform's OpenHostFile for the log. Each log line is appended by one
// open, one write and one close, so lines of concurrent reporters (threads
// or processes) neither tear nor get lost.
#include <bit>
#include <cstdio>

#include "bounded_format.h"
#include "error/error_private.h"
#include "platform/files.h"

namespace qorb::err {

namespace {

// The compact form "yyyymmdd.hhmmss": date first, time of day after the point.
constexpr std::size_t kStampSize = 16;
constexpr std::size_t kTimeOfDayOffset = 9;

// The severity letters of the four levels; an area (or any other value)
// takes 'a' plus the position of its lowest bit, and no bit at all '?'.
char SeverityLetter(std::uint32_t severity) {
  switch (severity) {
    case ERR_SEV_ERROR:
      return 'E';
    case ERR_SEV_WARNING:
      return 'W';
    case ERR_SEV_INFO:
      return 'I';
    case ERR_SEV_DEBUG:
      return 'D';
    case 0:
      return '?';
    default:
      return static_cast<char>('a' + std::countr_zero(severity));
  }
}

// Formats the line followed by a newline; the length including the newline.
std::size_t FormatLine(char (&line)[kLineSize + 1], const Report &report, const char *stamp) {
  const char *text = report.message;
  char expansion[kExpansionSize];
  if (const char *format = MessageFormat(report.number); format != nullptr) {
    BoundedFormat(expansion, sizeof expansion, format, report.message);
    text = expansion;
  }
  std::size_t length =
      BoundedFormat(line, kLineSize, "%.6s(%8.8s:%04u)%c%04u %s", stamp + kTimeOfDayOffset,
                    report.file, report.line, SeverityLetter(report.severity), report.number, text);
  line[length++] = '\n';
  return length;
}

// The stamp of the clock's current second. Reports come in bursts within
// one second, so each thread keeps the last conversion.
const char *CurrentStamp() {
  thread_local RealTime lastTime = -1.0;
  thread_local char lastStamp[kStampSize] = {};
  const RealTime now = TmeGetRealTime();
  if (now != lastTime) {
    TmeRealTimeToAltString(now, lastStamp);
    lastTime = now;
  }
  return lastStamp;
}

void AppendToLog(const char *task, const char *stamp, const char *line, std::size_t length) {
  char name[kLogFileNameSize];
  BoundedFormat(name, sizeof name, "%s.%8.8s.log", task, stamp);
  std::FILE *log = plat::OpenHostFile(name, "a");
  if (log == nullptr) return;
  // Under the stream's buffer size, so the close writes it in one piece.
  // A log that cannot be written is skipped like one that cannot be opened.
  static_cast<void>(std::fwrite(line, 1, length, log));
  static_cast<void>(std::fclose(log));
}

}  // namespace

std::uint32_t WriteLine(const Report &report, std::uint32_t mode) {
  const char *stamp = CurrentStamp();
  char line[kLineSize + 1];
  const std::size_t length = FormatLine(line, report, stamp);
  if (mode != ERR_MODE_LOG) static_cast<void>(std::fwrite(line, 1, length, stdout));
  if (mode != ERR_MODE_CONSOLE) AppendToLog(report.task, stamp, line, length);
  return 1;
}

}  // namespace qorb::err
