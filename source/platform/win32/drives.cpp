// drives.cpp - drives, the current drive and each drive's working directory
// on Windows.
//
// Relies on GetLogicalDrives, GetCurrentDirectoryA, SetCurrentDirectoryA and
// GetFullPathNameA. The drive map is the identity: Windows drives are the
// library's drives, so mapping a drive to its own root is accepted and any
// other mapping is not supported (50). Each drive's working directory is
// kept where Windows looks for it when it resolves "D:x": in the process
// environment, as "=D:", written whenever a drive stops being current.
#include <cstring>

#include "platform/common/path_text.h"
#include "platform/files.h"
#include "platform/win32/drives.h"
#include "platform/win32/windows_api.h"

namespace qorb::plat {
namespace {

// The library's path names have at most 255 characters.
constexpr DWORD kWorkingTextLimit = 255;

bool Fail(std::uint32_t code) {
  SetLastError(code);
  return false;
}

// "X:" and "X:\" of a drive.
struct DriveTexts {
  explicit DriveTexts(int drive) {
    const char letter = DriveLetterOf(drive);
    relative[0] = root[0] = letter;
    relative[1] = root[1] = ':';
    root[2] = '\\';
  }
  char relative[3] = {};
  char root[4] = {};
};

// The process working directory; false (206) when it does not fit.
bool HostWorkingDirectory(char *buffer, std::size_t capacity) {
  const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(capacity), buffer);
  if (length == 0) return Fail(GetLastError());
  return length < capacity || Fail(kErrorNameTooLong);
}

// Notes the current drive's working directory as Windows keeps it ("=C:"),
// so that the drive comes back to it.
void RememberCurrentDirectory() {
  char cwd[MAX_PATH];
  if (!HostWorkingDirectory(cwd, sizeof cwd) || DriveNumberOfLetter(cwd[0]) == 0 || cwd[1] != ':') {
    return;
  }
  const char variable[] = {'=', cwd[0], ':', '\0'};
  SetEnvironmentVariableA(variable, cwd);
}

bool IsOwnRoot(int drive, const char *hostDirectory) {
  const DriveSplit split = SplitDrive(hostDirectory);
  if (split.drive != drive) return false;
  return split.rest[0] == '\0' || (IsPathSeparator(split.rest[0]) && split.rest[1] == '\0');
}

}  // namespace

namespace win32 {

bool DriveExists(int drive) {
  return drive >= 1 && drive <= kDriveCount && ((GetLogicalDrives() >> (drive - 1)) & 1u) != 0;
}

bool PathDriveExists(const char *pathName) {
  const int drive = SplitDrive(pathName).drive;
  return drive == 0 || DriveExists(drive) || Fail(kErrorInvalidDrive);
}

}  // namespace win32

bool MapDrive(int drive, const char *hostDirectory) {
  if (!win32::DriveExists(drive)) return Fail(kErrorInvalidDrive);
  if (hostDirectory == nullptr || hostDirectory[0] == '\0') return Fail(kErrorInvalidParameter);
  return IsOwnRoot(drive, hostDirectory) || Fail(kErrorNotSupported);
}

bool UnmapDrive(int drive) {
  if (!win32::DriveExists(drive)) return Fail(kErrorInvalidDrive);
  return Fail(kErrorNotSupported);
}

bool HostDirectoryOfDrive(int drive, char *buffer, std::size_t capacity) {
  if (buffer == nullptr) return Fail(kErrorInvalidParameter);
  if (!win32::DriveExists(drive)) return Fail(kErrorInvalidDrive);
  const DriveTexts texts(drive);
  if (capacity <= std::strlen(texts.root)) return Fail(kErrorNameTooLong);
  std::strcpy(buffer, texts.root);
  return true;
}

int CurrentDrive() {
  char cwd[MAX_PATH];
  if (!HostWorkingDirectory(cwd, sizeof cwd) || cwd[1] != ':') return 0;
  return DriveNumberOfLetter(cwd[0]);
}

bool ChangeCurrentDrive(int drive) {
  if (!win32::DriveExists(drive)) return Fail(kErrorInvalidDrive);
  if (drive == CurrentDrive()) return true;
  RememberCurrentDirectory();
  const DriveTexts texts(drive);
  // "X:" is the drive's own working directory; its root when that is gone.
  if (SetCurrentDirectoryA(texts.relative) != FALSE || SetCurrentDirectoryA(texts.root) != FALSE) {
    return true;
  }
  return Fail(kErrorInvalidDrive);
}

bool ReadWorkingDirectory(char *buffer, std::size_t capacity) {
  if (buffer == nullptr) return Fail(kErrorInvalidParameter);
  return HostWorkingDirectory(buffer, capacity);
}

bool ReadDriveWorkingDirectory(int drive, char *buffer, std::size_t capacity) {
  if (buffer == nullptr) return Fail(kErrorInvalidParameter);
  if (drive == 0 || drive == CurrentDrive()) return HostWorkingDirectory(buffer, capacity);
  if (!win32::DriveExists(drive)) return Fail(kErrorInvalidDrive);
  const DriveTexts texts(drive);
  char here[] = {texts.relative[0], ':', '.', '\0'};
  const DWORD length = GetFullPathNameA(here, static_cast<DWORD>(capacity), buffer, nullptr);
  if (length == 0) return Fail(GetLastError());
  return length < capacity || Fail(kErrorNameTooLong);
}

bool ChangeWorkingDirectory(const char *pathName) {
  if (pathName == nullptr) return Fail(kErrorInvalidParameter);
  if (!win32::PathDriveExists(pathName)) return false;
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(pathName, sizeof full, full, nullptr);
  if (length == 0) return Fail(GetLastError());
  if (length > kWorkingTextLimit) return Fail(kErrorNameTooLong);
  const int drive = DriveNumberOfLetter(full[0]);
  if (drive != CurrentDrive()) RememberCurrentDirectory();
  if (SetCurrentDirectoryA(full) == FALSE) return Fail(GetLastError());
  RememberCurrentDirectory();
  return true;
}

}  // namespace qorb::plat
