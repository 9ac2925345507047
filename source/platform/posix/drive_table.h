// drive_table.h - what the POSIX file code shares: turning a path name into
// the host path it names through the drive table.
#pragma once

#include <cstddef>

namespace qorb::plat {

// Room for any host path a mapped drive may expand to; longer results are
// refused (206) rather than cut.
inline constexpr std::size_t kHostPathCapacity = 4096;

// Where a path name leads on the host.
struct HostPath {
  char path[kHostPathCapacity];
  bool isDriveRoot;  // the path is the root directory of its drive
};

// Resolves a path name through the drive table (see files.h); false with
// the last error set (15 unmapped drive, 206 too long, 3 no working
// directory to resolve against).
bool ResolveHostPath(const char *pathName, HostPath *out);

}  // namespace qorb::plat
