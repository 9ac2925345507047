// drives.h - what the Windows file code shares: which drives exist, and the
// check every path name passes before it reaches the system.
#pragma once

namespace qorb::plat::win32 {

// Whether drive 1 (A:) to 26 (Z:) exists on this system.
bool DriveExists(int drive);

// False, with kErrorInvalidDrive set, when the path name starts with a drive
// that does not exist (or a colon after no letter); the same answer the
// drive table gives elsewhere, where Windows would say "path not found".
bool PathDriveExists(const char *pathName);

}  // namespace qorb::plat::win32
