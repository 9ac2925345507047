// directories.cpp - making a directory, an entry's status and a volume's
// free space, by path names.
//
// Relies on: mkdir, stat and statvfs on the host path that the drive table
// resolves.
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>

#include "platform/common/refuse.h"
#include "platform/files.h"
#include "platform/posix/drive_table.h"
#include "platform/posix/host_error.h"

namespace qorb::plat {
namespace {

// Windows sectors are 512 bytes; a host block that is no whole number of
// them counts as one sector of its own size.
constexpr std::uint64_t kSectorBytes = 512;

std::uint32_t ClampTo32(std::uint64_t value) {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, 0xFFFFFFFFu));
}

// Refuses a missing path name or result, then resolves the path name.
bool ResolveArguments(const char *pathName, const void *result, HostPath *host) {
  if (pathName == nullptr || result == nullptr) return Refuse(kErrorInvalidParameter);
  return ResolveHostPath(pathName, host);
}

}  // namespace

bool MakeDirectory(const char *pathName) {
  HostPath host;
  if (!ResolveArguments(pathName, pathName, &host)) return false;
  return mkdir(host.path, 0777) == 0 || Refuse(PathErrorFromErrno(errno));
}

bool GetEntryStatus(const char *pathName, EntryStatus *status) {
  HostPath host;
  if (!ResolveArguments(pathName, status, &host)) return false;
  struct stat hostStatus {};
  if (stat(host.path, &hostStatus) != 0) return Refuse(WindowsErrorFromErrno(errno));
  status->mode = S_ISDIR(hostStatus.st_mode) ? kModeDirectory : 0;
  if (S_ISREG(hostStatus.st_mode)) status->mode |= kModeRegular;
  status->size = static_cast<std::uint64_t>(hostStatus.st_size);
  return true;
}

bool QueryDiskSpace(const char *pathName, DiskSpace *space) {
  HostPath host;
  if (!ResolveArguments(pathName, space, &host)) return false;
  struct statvfs volume {};
  if (statvfs(host.path, &volume) != 0) return Refuse(PathErrorFromErrno(errno));
  const std::uint64_t blockBytes = volume.f_frsize != 0 ? volume.f_frsize : volume.f_bsize;
  const bool wholeSectors = blockBytes % kSectorBytes == 0;
  space->bytesPerSector = ClampTo32(wholeSectors ? kSectorBytes : blockBytes);
  space->sectorsPerCluster = ClampTo32(wholeSectors ? blockBytes / kSectorBytes : 1);
  space->freeClusters = ClampTo32(volume.f_bavail);
  space->totalClusters = ClampTo32(volume.f_blocks);
  return true;
}

}  // namespace qorb::plat
