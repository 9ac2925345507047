// host_error.h - host error numbers in the Windows numbers the platform
// interface reports.
#pragma once

#include <cstdint>

namespace qorb::plat {

// The Windows error code for an errno value (or a pthread result); codes
// without a closer match become kErrorInvalidParameter.
std::uint32_t WindowsErrorFromErrno(int error);

}  // namespace qorb::plat
