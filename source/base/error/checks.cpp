// checks.cpp - the check front ends: each passes a good value straight
// back and reports a bad one as an Error with a fixed number and message
// before passing it back. A front-end report never stays in the error table.
//
// Relies on ErrPutError and ErrClearError; their results are not examined.
#include <cstdarg>

#include "error/error_private.h"

namespace qorb::err {

namespace {

constexpr std::uint32_t kDosError = 3;
constexpr std::uint32_t kNullError = 4;
constexpr std::uint32_t kAssertError = 5;
constexpr std::uint32_t kRcError = 6;

// Reports an Error under number with the given format, then frees the table
// slot the report produced (in mode 2 it takes the message-box path and
// produces 0 or 1, which the clearing ignores).
void ReportCheck(const char *file, std::uint32_t line, std::uint32_t number, const char *format,
                 ...) QORB_PRINTF(4, 5);

void ReportCheck(const char *file, std::uint32_t line, std::uint32_t number, const char *format,
                 ...) {
  std::uint32_t index = 0;
  std::va_list args;
  va_start(args, format);
  PutErrorV(nullptr, 0.0, ERR_SEV_ERROR, number, file, line, &index, format, args);
  va_end(args);
  ErrClearError(index);
}

}  // namespace

}  // namespace qorb::err

extern "C" {

QORB_API std::uint32_t ErrDosError(const char *file, std::uint32_t line, std::uint32_t code) {
  if (code == 0) return 0;
  qorb::err::ReportCheck(file, line, qorb::err::kDosError, "%lu : %s",
                         static_cast<unsigned long>(code), "No error text available");
  return code;
}

QORB_API void *ErrNullError(const char *file, std::uint32_t line, void *pointer) {
  if (pointer != nullptr) return pointer;
  qorb::err::ReportCheck(file, line, qorb::err::kNullError, "A NULL pointer was detected.");
  return nullptr;
}

QORB_API void ErrAssertError(const char *file, std::uint32_t line, const char *condition) {
  qorb::err::ReportCheck(file, line, qorb::err::kAssertError, "Failed: %s",
                         condition != nullptr ? condition : "");
}

QORB_API std::uint32_t ErrRcError(const char *file, std::uint32_t line, std::uint32_t code) {
  if (code == 0) return 0;
  qorb::err::ReportCheck(file, line, qorb::err::kRcError, "%lu : %s",
                         static_cast<unsigned long>(code), "Non-zero return code.");
  return code;
}

QORB_API std::uint32_t ErrBoolError(const char *file, std::uint32_t line, std::uint32_t value) {
  if (value != 0) return value;
  qorb::err::ReportCheck(file, line, qorb::err::kRcError, "FALSE return code.");
  return 0;
}

}  // extern "C"
