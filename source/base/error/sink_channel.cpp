// sink_channel.cpp - channel 1: packs the report into the 298-byte sink
// record and hands it to the external sink; prints the report on standard
// output when the sink refuses it.
//
// Relies on TmeGetRealTime for reports that leave the time to the library.
#include <cstddef>
#include <cstdio>

#include "bounded_format.h"
#include "error/error_private.h"
#include "platform/errors.h"

static_assert(sizeof(ErrSinkRecord) == 298, "the sink record is 298 packed bytes");
static_assert(offsetof(ErrSinkRecord, time) == 0);
static_assert(offsetof(ErrSinkRecord, severity) == 8);
static_assert(offsetof(ErrSinkRecord, number) == 12);
static_assert(offsetof(ErrSinkRecord, line) == 16);
static_assert(offsetof(ErrSinkRecord, file) == 20 && sizeof(ErrSinkRecord::file) == 13);
static_assert(offsetof(ErrSinkRecord, message) == 33 && sizeof(ErrSinkRecord::message) == 256);
static_assert(offsetof(ErrSinkRecord, task) == 289 && sizeof(ErrSinkRecord::task) == 9);

namespace qorb::err {

namespace {

// The record travels byte-exact; the library is built for little-endian
// hosts only, so the fields are stored as they are.
static_assert(sizeof(std::uint32_t) == 4 && sizeof(RealTime) == 8);

// A missing sink function counts as a sink that refuses every record.
constexpr std::uint32_t kNoSinkCode = plat::kErrorInvalidParameter;

ErrSinkRecord MakeRecord(const Report &report) {
  ErrSinkRecord record;
  // Neither "not above 0" nor NaN passes this test; both take the clock.
  record.time = report.time > 0.0 ? report.time : TmeGetRealTime();
  record.severity = report.severity;
  record.number = report.number;
  record.line = report.line;
  CopyPadded(record.file, sizeof record.file, report.file);
  CopyPadded(record.message, sizeof record.message, report.message);
  CopyPadded(record.task, sizeof record.task, report.task);
  return record;
}

// One printf, so that failure blocks of concurrent reports do not mix.
void PrintUndelivered(const Report &report, std::uint32_t code) {
  std::printf(
      "HubSendResource failed with error %u\n"
      "The following error was not sent:\n"
      "  Task: %s\n"
      "  File: %s\n"
      "  Line: %u\n"
      "  Time: %lf\n"
      "  Sev : %u\n"
      "  Err : %u\n"
      "  Msg : %s\n\n",
      code, report.task, report.file, report.line, report.time, report.severity, report.number,
      report.message);
}

}  // namespace

std::uint32_t SendToSink(const Report &report) {
  ErrSinkRecord record = MakeRecord(report);
  const SinkSettings sink = Sink();
  const std::uint32_t code = sink.function != nullptr
                                 ? sink.function(0, sink.a, sink.b, sink.c, &record, sizeof record)
                                 : kNoSinkCode;
  if (code != 0) PrintUndelivered(report, code);
  return code;
}

}  // namespace qorb::err
