// directories.cpp - whether a file or directory exists, making directories
// with their missing parents, and mapping a file's path into another tree.
//
// Relies on: the platform layer's status, directory and drive calls. A
// directory exists when it can be made the working directory for a moment;
// every visit puts back the drive and working directory it found.
#include <cstring>

#include "file/file_private.h"
#include "platform/common/text_compare.h"
#include "platform/files.h"

namespace qorb::fil {
namespace {

bool PathNameExists(const char *path) {
  plat::EntryStatus status{};
  return plat::GetEntryStatus(path, &status) && (status.mode & plat::kModeDirectory) == 0;
}

// Applies an operation to a path on the drive it names, made current for
// the length of the call; a path without a drive as it stands.
bool OnNamedDrive(const char *path, bool (*operation)(const char *)) {
  if (!HasDrivePrefix(path)) return operation(path);
  const int noted = plat::CurrentDrive();
  if (!plat::ChangeCurrentDrive(DriveNumberOf(path[0]))) return false;
  const bool result = operation(path + 2);
  plat::ChangeCurrentDrive(noted);
  return result;
}

// Makes the directory whose text ends at each of the cut places in turn,
// from the shortest outwards, putting the backslashes back.
bool Descend(char *text, const std::size_t *cuts, std::size_t count) {
  while (count-- > 0) {
    text[cuts[count]] = '\\';
    if (!plat::MakeDirectory(text)) return false;
  }
  return true;
}

bool DirMatch(char *path, const char *source, const char *target, char *out) {
  char *last = std::strrchr(path, '\\');
  if (last == nullptr) return false;
  *last = '\0';
  const char *fileName = last + 1;
  const std::size_t sourceLength = std::strlen(source);
  if (plat::CompareNoCaseN(path, source, sourceLength) != 0) return false;
  const char *rest = path + sourceLength;
  if (rest[0] != '\0' && rest[0] != '\\') return false;
  char directory[kPathCapacity];
  if (!JoinTexts(directory, sizeof directory, target, rest)) return false;
  // The full name must fit before any directory is made for it.
  if (std::strlen(directory) + 1 + std::strlen(fileName) > kMaxPathLength) return false;
  if (!DirExists(directory) && !MakeDir(directory)) return false;
  JoinTexts(directory, sizeof directory, directory, "\\");
  JoinTexts(out, kPathCapacity, directory, fileName);
  return true;
}

}  // namespace

bool DirExists(const char *directory) {
  if (std::strcmp(directory, "\\") == 0) return true;
  if (std::strlen(directory) > kMaxPathLength) return false;
  DirectoryVisit visit(directory);
  // A trailing backslash is accepted as it stands: the platform ignores it.
  return visit.noted() && plat::ChangeWorkingDirectory(directory);
}

bool MakeDir(const char *directory) {
  std::size_t length = std::strlen(directory);
  if (length > kMaxPathLength) return false;
  char text[kPathCapacity];
  std::memcpy(text, directory, length + 1);
  if (length > 1 && text[length - 1] == '\\') text[--length] = '\0';
  if (plat::MakeDirectory(text)) return true;
  // Climb until a shorter directory can be made, noting where it was cut.
  std::size_t cuts[kPathCapacity];
  std::size_t count = 0;
  for (;;) {
    char *last = std::strrchr(text, '\\');
    if (last == nullptr || last == text) return false;
    *last = '\0';
    cuts[count++] = static_cast<std::size_t>(last - text);
    if (plat::MakeDirectory(text)) return Descend(text, cuts, count);
  }
}

}  // namespace qorb::fil

extern "C" {

QORB_API uint32_t FilPathNameExists(const char *path) {
  if (path == nullptr) return 0;
  return qorb::fil::PathNameExists(path) ? 1 : 0;
}

QORB_API uint32_t FilDirExists(const char *directory) {
  if (directory == nullptr) return 0;
  return qorb::fil::DirExists(directory) ? 1 : 0;
}

QORB_API uint32_t FilPathExists(const char *directory) {
  if (directory == nullptr) return 0;
  return qorb::fil::OnNamedDrive(directory, qorb::fil::DirExists) ? 1 : 0;
}

QORB_API uint32_t FilMakeDir(const char *directory) {
  if (directory == nullptr) return 0;
  return qorb::fil::MakeDir(directory) ? 1 : 0;
}

QORB_API uint32_t FilMakePath(const char *directory) {
  if (directory == nullptr) return 0;
  return qorb::fil::OnNamedDrive(directory, qorb::fil::MakeDir) ? 1 : 0;
}

QORB_API uint32_t FilDirMatch(char *path, const char *source, const char *target, char *out) {
  if (path == nullptr || source == nullptr || target == nullptr || out == nullptr) return 0;
  return qorb::fil::DirMatch(path, source, target, out) ? 1 : 0;
}

}  // extern "C"
