// drives.h - what the Windows file code shares: which drives exist, and the
// check every path name passes before it reaches the system.
#pragma once

namespace qorb::plat::win32 {

// Whether drive 1 (A:) to 26 (Z:) exists on this system.
bool DriveExists(int drive);

// The check every path name passes before it reaches the system: false,
// with kErrorNameTooLong set, when it is too long for the system's "A"
// calls (MAX_PATH with its end), which answer such names with a variety of
// codes; false with kErrorInvalidDrive when it starts with a drive that
// does not exist (or a colon after no letter), the answer the drive table
// gives elsewhere, where Windows would say "path not found".
bool AcceptPathName(const char *pathName);

}  // namespace qorb::plat::win32
