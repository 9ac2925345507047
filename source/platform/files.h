// files.h - host files opened by the library's Windows-style path names.
#pragma once

#include <cstdio>

#include "platform/errors.h"

namespace qorb::plat {

// Opens the host file named by a library path name (backslash separators,
// optional drive letter) with an fopen mode. nullptr on failure, with the
// last error set.
std::FILE *OpenHostFile(const char *pathName, const char *mode);

}  // namespace qorb::plat
