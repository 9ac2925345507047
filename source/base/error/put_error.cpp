// put_error.cpp - ErrPutError: formats the message once into a fixed
// buffer, resolves the task and file names and hands the report to the
// channel of the selected mode.
//
// Relies on the bounded formatter, so no caller's format can overrun the
// message buffer, and on the channels in the other files of this folder.
#include <cstdarg>
#include <cstring>

#include "bounded_format.h"
#include "error/error_private.h"

namespace qorb::err {

namespace {

// Only the backslash separates; NULL stands for an unknown reporter.
const char *FileNamePart(const char *file) {
  if (file == nullptr) return "Unknown";
  const char *separator = std::strrchr(file, '\\');
  return separator != nullptr ? separator + 1 : file;
}

std::uint32_t Dispatch(std::uint32_t mode, const Report &report) {
  switch (mode) {
    case ERR_MODE_SINK:
      return SendToSink(report);
    case ERR_MODE_TABLE:
      return RecordInTable(report);
    case ERR_MODE_CONSOLE:
    case ERR_MODE_BOTH:
    case ERR_MODE_LOG:
      return WriteLine(report, mode);
    case ERR_MODE_CALLBACK: {
      const ErrReportCallback callback = ReportCallback();
      if (callback != nullptr) callback(report.severity, report.message);
      return 0;
    }
    default:
      return 0;
  }
}

}  // namespace

void PutErrorV(const char *task, RealTime time, std::uint32_t severity, std::uint32_t number,
               const char *file, std::uint32_t line, std::uint32_t *index, const char *format,
               std::va_list args) {
  char message[kMessageSize];
  BoundedFormatV(message, format, args);
  const Report report{task != nullptr ? task : DefaultTask(),
                      time,
                      severity,
                      number,
                      FileNamePart(file),
                      line,
                      message,
                      index != nullptr ? *index : 0};
  const std::uint32_t result = Dispatch(Mode(), report);
  if (index != nullptr) *index = result;
}

}  // namespace qorb::err

extern "C" QORB_API void ErrPutError(const char *task, RealTime time, std::uint32_t severity,
                                     std::uint32_t number, const char *file, std::uint32_t line,
                                     std::uint32_t *index, const char *format, ...) {
  std::va_list args;
  va_start(args, format);
  qorb::err::PutErrorV(task, time, severity, number, file, line, index, format, args);
  va_end(args);
}
