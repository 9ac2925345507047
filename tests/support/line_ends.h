// line_ends.h - what a text written in text mode holds on this host: LF
// line ends on POSIX, CR LF in the Windows run-time's text mode.
#pragma once

#include <string>

namespace qorb::test {

// The bytes a text-mode write of `text` leaves in the file.
inline std::string HostLineEnds(const std::string &text) {
#ifdef _WIN32
  std::string written;
  for (const char c : text) {
    if (c == '\n') written += '\r';
    written += c;
  }
  return written;
#else
  return text;
#endif
}

}  // namespace qorb::test
