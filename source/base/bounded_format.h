// bounded_format.h - the one formatter the library uses for fixed-size texts.
//
// Every fixed-size text of the library (report messages, log lines and file
// names, message-box texts) is formatted here: printf-style into a caller's
// buffer of known size, cut to fit and always NUL-terminated, so that no
// format or argument a caller passes can write past the buffer.
#pragma once

#include <cstdarg>
#include <cstddef>

#if defined(__GNUC__)
#define QORB_BOUNDED_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QORB_BOUNDED_PRINTF(fmt, args)
#endif

namespace qorb {

// Formats into out[size] and returns the number of characters stored (at
// most size - 1), cutting the text where the buffer ends. A NULL format or a
// failed conversion stores an empty text; size 0 stores nothing.
std::size_t BoundedFormatV(char *out, std::size_t size, const char *format, std::va_list args);

std::size_t BoundedFormat(char *out, std::size_t size, const char *format, ...)
    QORB_BOUNDED_PRINTF(3, 4);

// The same for a character array, whose size the compiler knows.
template <std::size_t N>
std::size_t BoundedFormatV(char (&out)[N], const char *format, std::va_list args) {
  return BoundedFormatV(out, N, format, args);
}

// Copies text (NULL counts as empty) into out[size] as strncpy does: a
// shorter text is padded with NULs to the end of the field, a longer one is
// cut to size bytes without a terminating NUL. For fixed-width record fields.
void CopyPadded(char *out, std::size_t size, const char *text);

}  // namespace qorb
