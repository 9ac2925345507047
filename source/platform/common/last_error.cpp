// last_error.cpp - the per-thread last-error code of the platform layer.
//
// Every platform call that fails stores a Windows error number here; callers
// read it right after the failing call, on the same thread.
#include "platform/errors.h"

namespace qorb::plat {
namespace {
thread_local std::uint32_t t_lastError = kErrorSuccess;
}  // namespace

std::uint32_t LastError() {
  return t_lastError;
}

void SetLastError(std::uint32_t code) {
  t_lastError = code;
}

}  // namespace qorb::plat
