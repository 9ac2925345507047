// text_reader.h - reading a host file in the Windows run-time's text mode.
#pragma once

#include <cstdio>

namespace qorb::plat {

// A stream over a file opened for binary reading that delivers each CR LF
// pair as a lone LF; closing it closes the file. nullptr when the stream
// cannot be made (the file then stays open and the caller's).
std::FILE *OpenCrLfReader(std::FILE *binary);

}  // namespace qorb::plat
