// disks.cpp - which drives exist, their free space, and mapping drives to
// host directories.
//
// Relies on: the platform layer's drive table and free-space query. A drive
// exists when it can be made current; the probes put the noted drive back.
#include "file/file_private.h"
#include "platform/files.h"

namespace qorb::fil {
namespace {

constexpr int kFirstProbedDrive = 3;  // C:

// Whether a drive can be made current; the current drive stays as it was.
bool CanEnterDrive(int drive) {
  const int noted = plat::CurrentDrive();
  const bool entered = plat::ChangeCurrentDrive(drive);
  plat::ChangeCurrentDrive(noted);
  return entered;
}

bool DiskExists(const char *path) {
  if (!HasDrivePrefix(path)) return false;
  const auto letter = static_cast<unsigned char>(path[0]);
  // Characters above 127 count as below 'A'.
  if (letter > 127 || DriveNumberOf(path[0]) < 1) return false;
  return CanEnterDrive(DriveNumberOf(path[0]));
}

std::uint32_t PathFree(const char *path) {
  plat::DiskSpace space{};
  if (!plat::QueryDiskSpace(path, &space)) return 0;
  // The product wraps above 4 GB, as the 32-bit figure always did.
  return space.sectorsPerCluster * space.bytesPerSector * space.freeClusters;
}

}  // namespace

std::uint32_t DiskMap() {
  const int noted = plat::CurrentDrive();
  std::uint32_t map = 0;
  for (int drive = kFirstProbedDrive; drive <= plat::kDriveCount; ++drive) {
    if (plat::ChangeCurrentDrive(drive)) map |= 1u << (drive - 1);
  }
  plat::ChangeCurrentDrive(noted);
  return map;
}

}  // namespace qorb::fil

extern "C" {

QORB_API uint32_t FilDiskExists(const char *path) {
  if (path == nullptr) return 0;
  return qorb::fil::DiskExists(path) ? 1 : 0;
}

QORB_API uint32_t FilGetDiskMap(void) {
  return qorb::fil::DiskMap();
}

QORB_API uint32_t FilGetPathFree(const char *rootPath) {
  if (rootPath == nullptr) return 0;
  return qorb::fil::PathFree(rootPath);
}

QORB_API uint32_t FilMapDrive(char letter, const char *hostDirectory) {
  if (hostDirectory == nullptr) return 0;
  return qorb::plat::MapDrive(qorb::fil::DriveNumberOf(letter), hostDirectory) ? 1 : 0;
}

QORB_API uint32_t FilUnmapDrive(char letter) {
  return qorb::plat::UnmapDrive(qorb::fil::DriveNumberOf(letter)) ? 1 : 0;
}

}  // extern "C"
