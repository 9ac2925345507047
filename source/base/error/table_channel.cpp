// table_channel.cpp - channel 2: records a report in the error table, or,
// for an Error with a class number (1 to 99), shows it through the
// message-box hook instead.
//
// Relies on the error-table mutex (1000 ms wait); the hook is called while
// it is held, so message boxes of concurrent reports come one at a time.
#include <cstdio>

#include "bounded_format.h"
#include "error/error_private.h"

namespace qorb::err {

namespace {

bool CallsForMessageBox(const Report &report) {
  return report.severity == ERR_SEV_ERROR && report.number >= 1 && report.number <= 99;
}

// Without a hook the text goes to standard error, so that an Error is not
// lost when the host installed no message box.
void ShowMessageBox(const char *text) {
  const ErrMessageBoxHook hook = MessageBoxHook();
  if (hook != nullptr) {
    hook(text);
  } else {
    static_cast<void>(std::fprintf(stderr, "%s\n", text));
  }
}

}  // namespace

std::uint32_t RecordInTable(const Report &report) {
  if (CallsForMessageBox(report)) {
    char text[kMessageBoxSize];
    BoundedFormat(text, sizeof text, "%s:%u %s\n%s\nPress OK to continue or CANCEL to abort",
                  report.file, report.line, ClassName(report.number), report.message);
    const TableLock lock;
    if (lock.code() != 0) return kOverflowSlot;
    ShowMessageBox(text);
    return 0;
  }
  const TableLock lock;
  if (lock.code() != 0) return kOverflowSlot;
  return StoreInTable(report);
}

}  // namespace qorb::err
