// host_error.h - host error numbers in the Windows numbers the platform
// interface reports.
#pragma once

#include <cstdint>

namespace qorb::plat {

// The Windows error code for an errno value (or a pthread result); codes
// without a closer match become kErrorInvalidParameter.
std::uint32_t WindowsErrorFromErrno(int error);

// The same for a failure on the way to a directory (searching, entering or
// making one), where a missing entry means the path was not found.
std::uint32_t PathErrorFromErrno(int error);

}  // namespace qorb::plat
