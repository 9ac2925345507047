// files.h - drives, working directories, directories, entry status, free
// space, directory search and host files, all by the library's Windows-style
// path names.
//
// A path name uses backslashes (a forward slash passes through to the host,
// which also takes it as a separator) and may start with a drive letter and
// colon. Drives are numbered 1 for A: to 26 for Z:. On POSIX each drive maps
// to a host directory (by default only C:, the host root); "D:\x" is
// absolute on D:, "D:x" relative to D:'s own working directory, "\x" rooted
// on the current drive and "x" relative to the current drive's working
// directory, which is the host process's working directory. "." and ".."
// are resolved in the text and never climb above a drive's root. Failures
// set the last error to a Windows number: 2 not found, 3 path not found,
// 5 access denied, 15 invalid drive, 18 no more files, 183 already exists,
// 206 name too long, 87 invalid parameter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/errors.h"

namespace qorb::plat {

inline constexpr int kDriveCount = 26;

// Maps a drive (1 to 26) to an existing host directory, which becomes the
// drive's root and working directory; remapping the current drive moves the
// process there. Unmapping refuses the current drive (5). On Windows the
// drives are the system's own: a drive maps only to its own root ("D:\"),
// anything else and every unmapping answer not supported (50).
bool MapDrive(int drive, const char *hostDirectory);
bool UnmapDrive(int drive);
// The host directory a drive is mapped to ("D:\" on Windows); false (15)
// for an unmapped drive.
bool HostDirectoryOfDrive(int drive, char *buffer, std::size_t capacity);

// The current drive, as the host working directory shows it: when that has
// left the current drive's tree, the drive whose root is its longest mapped
// prefix becomes current.
int CurrentDrive();
// Makes a drive current, in its own working directory (its root when that
// is gone); false (15) when it is not mapped or cannot be entered.
bool ChangeCurrentDrive(int drive);

// The current drive's working directory as "C:\work" ("C:\" at the root);
// false (206) when it does not fit, (3) when the host working directory lies
// on no mapped drive.
bool ReadWorkingDirectory(char *buffer, std::size_t capacity);
// The same for any mapped drive (15 for another), as "D:\data".
bool ReadDriveWorkingDirectory(int drive, char *buffer, std::size_t capacity);
// Makes a directory the working directory of its drive, and a drive named
// in the path the current drive. Directories whose text would exceed 255
// characters are refused (206).
bool ChangeWorkingDirectory(const char *pathName);

// Makes one directory (its parent must exist); 183 when the name exists.
bool MakeDirectory(const char *pathName);

// An entry's status: the mode carries the Windows bits below.
inline constexpr std::uint32_t kModeDirectory = 0x4000;
inline constexpr std::uint32_t kModeRegular = 0x8000;
struct EntryStatus {
  std::uint32_t mode;
  std::uint64_t size;
};
bool GetEntryStatus(const char *pathName, EntryStatus *status);

// The free space of the volume that holds a path, in the Windows figures:
// free bytes are sectorsPerCluster x bytesPerSector x freeClusters. Cluster
// counts beyond 32 bits are given as 0xFFFFFFFF.
struct DiskSpace {
  std::uint32_t sectorsPerCluster;
  std::uint32_t bytesPerSector;
  std::uint32_t freeClusters;
  std::uint32_t totalClusters;
};
bool QueryDiskSpace(const char *pathName, DiskSpace *space);

// One entry a directory search found.
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::size_t kEntryNameCapacity = 260;
struct FoundEntry {
  std::uint32_t attributes;
  char name[kEntryNameCapacity];
};

// A directory search over a pattern such as "C:\work\*.txt": the entries of
// the directory whose names match the last part (see WildcardMatches),
// "." and ".." among them except in a drive's root, in the host's order.
class DirectorySearch {
 public:
  DirectorySearch() = default;
  ~DirectorySearch();
  DirectorySearch(const DirectorySearch &) = delete;
  DirectorySearch &operator=(const DirectorySearch &) = delete;

  // Starts the search and gives the first entry; false with 2 when nothing
  // matches, 3 when the directory does not exist.
  bool Begin(const char *pattern, FoundEntry *entry);
  // The next entry; false with 18 when there is none left.
  bool Next(FoundEntry *entry);

 private:
  struct State;
  void Close();
  State *state_ = nullptr;
};

// Opens the host file a path name names with an fopen mode; nullptr on
// failure with the last error set (a directory is refused with 5). A file
// opened for reading in text mode ("r" without "b" or "+") sees each CR LF
// pair as a lone LF; positions count the file's bytes. Writes keep the
// host's line ends: LF on POSIX, CR LF in the Windows run-time's text mode.
std::FILE *OpenHostFile(const char *pathName, const char *mode);

}  // namespace qorb::plat
