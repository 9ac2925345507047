// bounded_format.cpp - bounded formatting of fixed-size texts and padded
// copies into fixed-width record fields.
//
// Relies on vsnprintf, which never writes past the size it is given and
// tells how long the whole text would have been.
#include "bounded_format.h"

#include <cstdio>
#include <cstring>

namespace qorb {

std::size_t BoundedFormatV(char *out, std::size_t size, const char *format, std::va_list args) {
  if (out == nullptr || size == 0) return 0;
  if (format == nullptr) {
    out[0] = '\0';
    return 0;
  }
  const int wanted = std::vsnprintf(out, size, format, args);
  if (wanted < 0) {
    out[0] = '\0';
    return 0;
  }
  const auto length = static_cast<std::size_t>(wanted);
  return length < size ? length : size - 1;
}

std::size_t BoundedFormat(char *out, std::size_t size, const char *format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::size_t length = BoundedFormatV(out, size, format, args);
  va_end(args);
  return length;
}

void CopyPadded(char *out, std::size_t size, const char *text) {
  const std::size_t length = text != nullptr ? strnlen(text, size) : 0;
  if (length > 0) std::memcpy(out, text, length);
  if (length < size) std::memset(out + length, 0, size - length);
}

}  // namespace qorb
