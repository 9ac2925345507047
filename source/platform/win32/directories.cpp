// directories.cpp - making a directory, an entry's status and a volume's
// free space, by path names, on Windows.
//
// Relies on CreateDirectoryA, GetFileAttributesExA, GetVolumePathNameA and
// GetDiskFreeSpaceA, whose failures carry the Windows numbers already.
#include "platform/files.h"
#include "platform/win32/drives.h"
#include "platform/win32/windows_api.h"

namespace qorb::plat {
namespace {

bool Fail(std::uint32_t code) {
  SetLastError(code);
  return false;
}

// Refuses a missing path name or result, and a drive that does not exist.
bool CheckArguments(const char *pathName, const void *result) {
  if (pathName == nullptr || result == nullptr) return Fail(kErrorInvalidParameter);
  return win32::PathDriveExists(pathName);
}

bool StatusOf(const char *pathName, WIN32_FILE_ATTRIBUTE_DATA *data) {
  return GetFileAttributesExA(pathName, GetFileExInfoStandard, data) != FALSE ||
         Fail(GetLastError());
}

}  // namespace

bool MakeDirectory(const char *pathName) {
  if (!CheckArguments(pathName, pathName)) return false;
  return CreateDirectoryA(pathName, nullptr) != FALSE || Fail(GetLastError());
}

bool GetEntryStatus(const char *pathName, EntryStatus *status) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!CheckArguments(pathName, status) || !StatusOf(pathName, &data)) return false;
  const bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status->mode = directory ? kModeDirectory : kModeRegular;
  status->size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool QueryDiskSpace(const char *pathName, DiskSpace *space) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!CheckArguments(pathName, space)) return false;
  // A path that is not there has no volume, as on every host.
  if (!StatusOf(pathName, &data)) {
    return Fail(LastError() == kErrorFileNotFound ? kErrorPathNotFound : LastError());
  }
  char root[MAX_PATH];
  if (GetVolumePathNameA(pathName, root, sizeof root) == FALSE) return Fail(GetLastError());
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters) ==
      FALSE) {
    return Fail(GetLastError());
  }
  *space = DiskSpace{sectorsPerCluster, bytesPerSector, freeClusters, totalClusters};
  return true;
}

}  // namespace qorb::plat
