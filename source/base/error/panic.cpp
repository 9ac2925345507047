// panic.cpp - ErrPanicError: the last-resort line in "panic.log" in the
// current directory (and on standard output in modes 3 and 5), then the
// panic mutex given back so that a caller that took it leaves it free.
//
// Relies on the platform's OpenHostFile, the compact time form and
// SemReleaseMutex. Takes no lock; the process goes on afterwards.
#include <cstdio>

#include "error/error_private.h"
#include "platform/files.h"

namespace qorb::err {

namespace {

void AppendPanicLine(const char *text, const char *file, std::uint32_t line) {
  std::FILE *log = plat::OpenHostFile("panic.log", "a");
  if (log == nullptr) return;
  char stamp[16];
  TmeRealTimeToAltString(TmeGetRealTime(), stamp);
  static_cast<void>(std::fprintf(log, "%s %s - %s:%u - %s\n", stamp, "", file, line, text));
  static_cast<void>(std::fclose(log));
}

}  // namespace

void Panic(const char *text, const char *file, std::uint32_t line) {
  if (text == nullptr) text = "";
  if (file == nullptr) file = "Unknown";
  const std::uint32_t mode = Mode();
  if (mode == ERR_MODE_CONSOLE || mode == ERR_MODE_BOTH) std::printf("Panic: %s\n", text);
  AppendPanicLine(text, file, line);
  if (PanicMutex() != 0) SemReleaseMutex(&PanicMutex());
}

}  // namespace qorb::err

extern "C" QORB_API void ErrPanicError(const char *text, const char *file, std::uint32_t line) {
  qorb::err::Panic(text, file, line);
}
