// text_compare.h - case-insensitive comparison of 8-bit texts as the Windows
// run-time's _stricmp and _strnicmp do it: both characters lower-cased
// (ASCII letters only), then compared as unsigned bytes.
#pragma once

#include <cstddef>

namespace qorb::plat {

inline int LowerAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

// Negative, zero or positive as a sorts before, with or after b.
inline int CompareNoCase(const char *a, const char *b) {
  for (;; ++a, ++b) {
    const int difference =
        LowerAscii(static_cast<unsigned char>(*a)) - LowerAscii(static_cast<unsigned char>(*b));
    if (difference != 0 || *a == '\0') return difference;
  }
}

// The same over at most n characters.
inline int CompareNoCaseN(const char *a, const char *b, std::size_t n) {
  for (; n > 0; --n, ++a, ++b) {
    const int difference =
        LowerAscii(static_cast<unsigned char>(*a)) - LowerAscii(static_cast<unsigned char>(*b));
    if (difference != 0 || *a == '\0') return difference;
  }
  return 0;
}

}  // namespace qorb::plat
