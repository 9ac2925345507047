// error_private.h - what the parts of error reporting share among
// themselves: the settings that ErrInitialize writes, the report in the
// making, the four channels and the error table's lock.
//
// Settings are plain words written by ErrInitialize without a lock (it runs
// once, early); they are atomics only so that concurrent readers stay
// well-defined.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "qorb32n.h"
#include "sem_lock.h"

namespace qorb::err {

// The source path that the library's own reports carry.
inline constexpr const char *kSourcePath = "base\\error";

// Longest wait for the error-table mutex, in milliseconds.
inline constexpr std::uint32_t kTableWaitMs = 1000;

// Buffer sizes, terminating NUL included.
inline constexpr std::size_t kMessageSize = 512;      // formatted message
inline constexpr std::size_t kLineSize = 512;         // console and log line
inline constexpr std::size_t kExpansionSize = 128;    // numbers 100 to 107
inline constexpr std::size_t kMessageBoxSize = 512;   // message-box text
inline constexpr std::size_t kLogFileNameSize = 260;  // daily log file name

// Slots of the error table; 2 to 50 hold reports.
inline constexpr std::uint32_t kSlotCount = 51;
inline constexpr std::uint32_t kFirstReportSlot = 2;
inline constexpr std::uint32_t kLastReportSlot = 50;
inline constexpr std::uint32_t kOverflowSlot = 1;

// --- settings (settings.cpp) ----------------------------------------------
struct SinkSettings {
  ErrSinkFunction function;
  std::uintptr_t a;
  std::uintptr_t b;
  std::uintptr_t c;
};

std::uint32_t Mode();
const char *DefaultTask();
SinkSettings Sink();
ErrMessageBoxHook MessageBoxHook();
ErrReportCallback ReportCallback();
SemMutexHandle &TableMutex();
SemMutexHandle &PanicMutex();

// --- one report on its way to a channel -----------------------------------
struct Report {
  const char *task;  // resolved: never NULL
  RealTime time;     // as the caller passed it
  std::uint32_t severity;
  std::uint32_t number;
  const char *file;  // the part after the last backslash; never NULL
  std::uint32_t line;
  const char *message;  // formatted, at most 511 characters
  std::uint32_t link;   // the earlier slot on entry, 0 without an index
};

// ErrPutError with the format's arguments in a va_list.
void PutErrorV(const char *task, RealTime time, std::uint32_t severity, std::uint32_t number,
               const char *file, std::uint32_t line, std::uint32_t *index, const char *format,
               std::va_list args);

// Each channel returns its result for *index.
std::uint32_t SendToSink(const Report &report);                     // mode 1
std::uint32_t RecordInTable(const Report &report);                  // mode 2
std::uint32_t WriteLine(const Report &report, std::uint32_t mode);  // 3, 5, 6

// --- the error table (table.cpp) ------------------------------------------
// Holds the error-table mutex (waiting at most 1000 ms) for its lifetime
// when code() is 0.
class TableLock : public SemLock {
 public:
  TableLock();
};

// Table writes; the caller holds a TableLock.
bool SlotInUse(std::uint32_t slot);
std::uint32_t StoreInTable(const Report &report);

// --- fixed texts (texts.cpp) ----------------------------------------------
// The class name shown in the message box for numbers 1 to 99 ("Unknown
// Error" for 10 to 99, which have none).
const char *ClassName(std::uint32_t number);
// The message format of numbers 100 to 107, else NULL.
const char *MessageFormat(std::uint32_t number);

}  // namespace qorb::err
