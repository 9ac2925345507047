// drive_table.cpp - the drive table: drives mapped to host directories, the
// current drive and each drive's working directory, and resolving path names
// through them.
//
// Relies on: getcwd, chdir, realpath and stat; the path text helpers of
// common/. The current drive's working directory is the host process's
// working directory, read back on every use so that it stays in step with
// whatever changed it; the others are kept here, relative to their roots.
// One lock guards the table and every change of the host directory.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/common/path_text.h"
#include "platform/common/refuse.h"
#include "platform/files.h"
#include "platform/posix/drive_table.h"
#include "platform/posix/host_error.h"

namespace qorb::plat {
namespace {

constexpr std::size_t kRootCapacity = 1024;
// A working directory's text, "X:\" and the part below the root, has at most
// 255 characters.
constexpr std::size_t kWorkingTextCapacity = 256;
constexpr int kDefaultDrive = 3;

struct Drive {
  bool mapped;
  char root[kRootCapacity];               // canonical host directory, "/" for the host root
  char workingDir[kWorkingTextCapacity];  // below root as "a/b"; kept while not current
};

struct DriveTable {
  DriveTable() {
    drives[kDefaultDrive].mapped = true;
    std::strcpy(drives[kDefaultDrive].root, "/");
  }
  std::mutex lock;
  Drive drives[kDriveCount + 1] = {};  // indexed by drive number; 0 stays unused
  int current = kDefaultDrive;
};

DriveTable &Table() {
  static DriveTable table;
  return table;
}

bool IsValidDrive(int drive) {
  return drive >= 1 && drive <= kDriveCount;
}

bool IsMapped(const DriveTable &table, int drive) {
  return IsValidDrive(drive) && table.drives[drive].mapped;
}

// The part of a host path below root ("" for root itself), or nullptr when
// the path lies outside it.
const char *RelativeUnder(const char *root, const char *hostPath) {
  if (root[1] == '\0') return hostPath[0] == '/' ? hostPath + 1 : nullptr;
  const std::size_t length = std::strlen(root);
  if (std::strncmp(root, hostPath, length) != 0) return nullptr;
  if (hostPath[length] == '\0') return hostPath + length;
  return hostPath[length] == '/' ? hostPath + length + 1 : nullptr;
}

// Reads the host working directory into cwd and keeps the current drive in
// step with it; the part below the current drive's root, or nullptr (3)
// when it lies on no mapped drive.
const char *SyncWithHost(DriveTable &table, char *cwd, std::size_t capacity) {
  if (getcwd(cwd, capacity) == nullptr) {
    SetLastError(PathErrorFromErrno(errno));
    return nullptr;
  }
  if (IsMapped(table, table.current)) {
    if (const char *below = RelativeUnder(table.drives[table.current].root, cwd)) return below;
  }
  int best = 0;
  std::size_t bestLength = 0;
  const char *bestBelow = nullptr;
  for (int drive = 1; drive <= kDriveCount; ++drive) {
    if (!table.drives[drive].mapped) continue;
    const char *below = RelativeUnder(table.drives[drive].root, cwd);
    const std::size_t length = std::strlen(table.drives[drive].root);
    if (below != nullptr && (best == 0 || length > bestLength)) {
      best = drive;
      bestLength = length;
      bestBelow = below;
    }
  }
  if (best == 0) {
    SetLastError(kErrorPathNotFound);
    return nullptr;
  }
  table.current = best;
  return bestBelow;
}

// Keeps the current drive's working directory before another drive becomes
// current; one that cannot be told or kept is remembered as the root.
void RememberCurrentDirectory(DriveTable &table) {
  char cwd[kHostPathCapacity];
  const char *below = SyncWithHost(table, cwd, sizeof cwd);
  char *kept = table.drives[table.current].workingDir;
  if (below != nullptr && std::strlen(below) + 3 < kWorkingTextCapacity) {
    std::strcpy(kept, below);
  } else {
    kept[0] = '\0';
  }
}

// Writes the host path of a directory below a drive's root.
bool ComposeHostPath(const Drive &drive, const char *below, char *out, std::size_t capacity) {
  const std::size_t rootLength = drive.root[1] == '\0' ? 0 : std::strlen(drive.root);
  const std::size_t belowLength = std::strlen(below);
  if (rootLength + 1 + belowLength >= capacity) return Refuse(kErrorNameTooLong);
  std::memcpy(out, drive.root, rootLength);
  out[rootLength] = '/';
  std::memcpy(out + rootLength + 1, below, belowLength + 1);
  // The root alone keeps no trailing slash, except the host root itself.
  if (belowLength == 0 && rootLength > 0) out[rootLength] = '\0';
  return true;
}

// A path name as its drive and the directory or file below that drive's
// root.
struct Resolution {
  int drive;
  char below[kHostPathCapacity];
};

// The working directory of a drive below its root: the host's for the
// current drive, the kept one for the others; nullptr, with the error that
// reading the host's gave, when the current drive's cannot be told.
const char *WorkingBelow(DriveTable &table, int drive, const char *currentBelow,
                         std::uint32_t syncError) {
  const char *below = drive == table.current ? currentBelow : table.drives[drive].workingDir;
  if (below == nullptr) SetLastError(syncError);
  return below;
}

bool Resolve(DriveTable &table, const char *pathName, Resolution *out) {
  char cwd[kHostPathCapacity];
  const char *currentBelow = SyncWithHost(table, cwd, sizeof cwd);
  const std::uint32_t syncError = LastError();
  const DriveSplit split = SplitDrive(pathName);
  const int drive = split.drive == 0 ? table.current : split.drive;
  if (!IsMapped(table, drive)) return Refuse(kErrorInvalidDrive);
  out->drive = drive;
  out->below[0] = '\0';
  if (!IsPathSeparator(split.rest[0])) {
    const char *base = WorkingBelow(table, drive, currentBelow, syncError);
    if (base == nullptr) return false;
    if (std::strlen(base) >= sizeof out->below) return Refuse(kErrorNameTooLong);
    std::strcpy(out->below, base);
  }
  if (!AppendPathParts(out->below, sizeof out->below, split.rest)) return Refuse(kErrorNameTooLong);
  return true;
}

// Enters a drive's kept working directory, or its root when that is gone.
bool EnterDrive(DriveTable &table, int drive) {
  Drive &entry = table.drives[drive];
  char host[kHostPathCapacity];
  if (ComposeHostPath(entry, entry.workingDir, host, sizeof host) && chdir(host) == 0) return true;
  entry.workingDir[0] = '\0';
  return chdir(entry.root) == 0;
}

}  // namespace

bool ResolveHostPath(const char *pathName, HostPath *out) {
  DriveTable &table = Table();
  std::lock_guard<std::mutex> hold(table.lock);
  Resolution resolution;
  if (!Resolve(table, pathName, &resolution)) return false;
  out->isDriveRoot = resolution.below[0] == '\0';
  return ComposeHostPath(table.drives[resolution.drive], resolution.below, out->path,
                         sizeof out->path);
}

bool MapDrive(int drive, const char *hostDirectory) {
  if (!IsValidDrive(drive)) return Refuse(kErrorInvalidDrive);
  if (hostDirectory == nullptr || hostDirectory[0] == '\0') return Refuse(kErrorInvalidParameter);
  char real[PATH_MAX];
  if (realpath(hostDirectory, real) == nullptr) return Refuse(PathErrorFromErrno(errno));
  struct stat status {};
  if (stat(real, &status) != 0) return Refuse(PathErrorFromErrno(errno));
  if (!S_ISDIR(status.st_mode)) return Refuse(kErrorPathNotFound);
  if (std::strlen(real) >= kRootCapacity) return Refuse(kErrorNameTooLong);

  DriveTable &table = Table();
  std::lock_guard<std::mutex> hold(table.lock);
  char cwd[kHostPathCapacity];
  SyncWithHost(table, cwd, sizeof cwd);
  if (drive == table.current && chdir(real) != 0) return Refuse(PathErrorFromErrno(errno));
  Drive &entry = table.drives[drive];
  std::strcpy(entry.root, real);
  entry.workingDir[0] = '\0';
  entry.mapped = true;
  return true;
}

bool UnmapDrive(int drive) {
  DriveTable &table = Table();
  std::lock_guard<std::mutex> hold(table.lock);
  if (!IsMapped(table, drive)) return Refuse(kErrorInvalidDrive);
  char cwd[kHostPathCapacity];
  SyncWithHost(table, cwd, sizeof cwd);
  if (drive == table.current) return Refuse(kErrorAccessDenied);
  table.drives[drive].mapped = false;
  return true;
}

bool HostDirectoryOfDrive(int drive, char *buffer, std::size_t capacity) {
  if (buffer == nullptr) return Refuse(kErrorInvalidParameter);
  DriveTable &table = Table();
  std::lock_guard<std::mutex> hold(table.lock);
  if (!IsMapped(table, drive)) return Refuse(kErrorInvalidDrive);
  const char *root = table.drives[drive].root;
  if (std::strlen(root) >= capacity) return Refuse(kErrorNameTooLong);
  std::strcpy(buffer, root);
  return true;
}

int CurrentDrive() {
  DriveTable &table = Table();
  std::lock_guard<std::mutex> hold(table.lock);
  char cwd[kHostPathCapacity];
  SyncWithHost(table, cwd, sizeof cwd);
  return table.current;
}

bool ChangeCurrentDrive(int drive) {
  DriveTable &table = Table();
  std::lock_guard<std::mutex> hold(table.lock);
  if (!IsMapped(table, drive)) return Refuse(kErrorInvalidDrive);
  RememberCurrentDirectory(table);
  if (drive == table.current) return true;
  if (!EnterDrive(table, drive)) return Refuse(kErrorInvalidDrive);
  table.current = drive;
  return true;
}

bool ReadWorkingDirectory(char *buffer, std::size_t capacity) {
  return ReadDriveWorkingDirectory(0, buffer, capacity);
}

// Drive 0 stands for the current drive here.
bool ReadDriveWorkingDirectory(int drive, char *buffer, std::size_t capacity) {
  if (buffer == nullptr) return Refuse(kErrorInvalidParameter);
  DriveTable &table = Table();
  std::lock_guard<std::mutex> hold(table.lock);
  char cwd[kHostPathCapacity];
  const char *currentBelow = SyncWithHost(table, cwd, sizeof cwd);
  const std::uint32_t syncError = LastError();
  if (drive == 0) drive = table.current;
  if (!IsMapped(table, drive)) return Refuse(kErrorInvalidDrive);
  const char *below = WorkingBelow(table, drive, currentBelow, syncError);
  if (below == nullptr) return false;
  if (!FormatDriveDirectory(drive, below, buffer, capacity)) return Refuse(kErrorNameTooLong);
  return true;
}

bool ChangeWorkingDirectory(const char *pathName) {
  if (pathName == nullptr) return Refuse(kErrorInvalidParameter);
  DriveTable &table = Table();
  std::lock_guard<std::mutex> hold(table.lock);
  Resolution resolution;
  if (!Resolve(table, pathName, &resolution)) return false;
  char text[kWorkingTextCapacity];
  if (!FormatDriveDirectory(resolution.drive, resolution.below, text, sizeof text)) {
    return Refuse(kErrorNameTooLong);
  }
  char host[kHostPathCapacity];
  if (!ComposeHostPath(table.drives[resolution.drive], resolution.below, host, sizeof host)) {
    return false;
  }
  if (resolution.drive != table.current) RememberCurrentDirectory(table);
  if (chdir(host) != 0) return Refuse(PathErrorFromErrno(errno));
  std::strcpy(table.drives[resolution.drive].workingDir, resolution.below);
  table.current = resolution.drive;
  return true;
}

}  // namespace qorb::plat
