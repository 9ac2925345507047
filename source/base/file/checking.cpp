// checking.cpp - turning a path name as typed into an absolute one against
// the working directory of its drive, checking or entering its directory,
// and handing back the part asked for.
//
// Relies on: the decompositions (the parent of a directory), the drive map,
// and the working directory calls of this family. Every text here stays
// within kMaxPathLength characters; a longer one is refused before anything
// changes. A path whose ".." parts climb above the root is refused too.
#include <cstring>

#include "file/file_private.h"

namespace qorb::fil {
namespace {

enum PartWanted : std::uint32_t { kDrive = 0, kDirectory = 1, kDriveDirectory = 2, kFileName = 3 };
enum CheckMode : std::uint32_t { kCheckExists = 0, kEnter = 1 };

// Joins two texts into a working buffer; false when the result would pass
// kMaxPathLength.
bool Join(char *out, const char *first, const char *second) {
  return JoinTexts(out, kPathCapacity, first, second);
}

// Adds one directory part and its backslash to an absolute directory.
bool AppendPart(char *directory, const char *part, std::size_t length) {
  const std::size_t used = std::strlen(directory);
  if (used + length + 1 > kMaxPathLength) return false;
  std::memcpy(directory + used, part, length);
  directory[used + length] = '\\';
  directory[used + length + 1] = '\0';
  return true;
}

bool ApplyPart(char *result, const char *part, std::size_t length) {
  if (length == 2 && part[0] == '.' && part[1] == '.') {
    const Piece parent = ParentOf(result);
    if (parent.result == 0) return false;
    StorePiece(parent, result);
    return true;
  }
  if (length == 1 && part[0] == '.') return true;
  return AppendPart(result, part, length);
}

// The base directory on another drive: that drive's working directory, read
// by making it current for a moment and coming back to `working`.
bool ReadBaseOnDrive(const char *drive, const char *working, char *base) {
  if (UpperAscii(drive[0]) == UpperAscii(working[0])) return true;
  if (!SetPath(drive)) return false;
  GetPath(base);
  const bool restored = SetPath(working);
  return restored && base[0] != '\0';
}

// Check mode 0 visits the directory and comes back, 1 stays there, any
// other value does nothing. A failed change puts everything back.
bool CheckDirectory(const char *absolute, std::uint32_t checkMode) {
  if (checkMode != kCheckExists && checkMode != kEnter) return true;
  DirectoryVisit visit(absolute);
  if (!visit.noted() || !SetPath(absolute)) return false;
  if (checkMode == kEnter) visit.Keep();
  return true;
}

// The first two characters of a text (fewer when it is shorter).
void CopyDrive(char *drive, const char *text) {
  drive[0] = text[0];
  drive[1] = text[0] != '\0' ? text[1] : '\0';
  drive[2] = '\0';
}

// The pieces of a checked path name.
struct CheckedPath {
  char drive[3];
  char directory[kPathCapacity];  // absolute, without the drive
  char fileName[kPathCapacity];
  char absolute[kPathCapacity];  // drive and directory
};

bool SelectPart(const CheckedPath &checked, std::uint32_t partWanted, char *out) {
  switch (partWanted) {
    case kDrive:
      return Join(out, checked.drive, "");
    case kDirectory:
      return Join(out, checked.directory, "");
    case kDriveDirectory:
      return Join(out, checked.absolute, "");
    case kFileName:
      return Join(out, checked.fileName, "");
    default:
      return Join(out, checked.absolute, checked.fileName);
  }
}

}  // namespace

bool MakeAbsDir(char *directory, const char *base) {
  char result[kPathCapacity];
  if (!Join(result, directory[0] == '\\' ? "\\" : base, "")) return false;
  const char *part = directory;
  while (*part != '\0') {
    const char *end = std::strchr(part, '\\');
    if (end == nullptr) end = part + std::strlen(part);
    const auto length = static_cast<std::size_t>(end - part);
    if (length > 0 && !ApplyPart(result, part, length)) return false;
    part = *end != '\0' ? end + 1 : end;
  }
  std::strcpy(directory, result);
  return true;
}

bool CheckPathName(char *path, std::uint32_t checkMode, std::uint32_t partWanted) {
  if (std::strlen(path) > kMaxPathLength) return false;
  const bool hasDrives = DiskMap() != 0;
  char working[kPathCapacity];
  if (GetPath(working)[0] == '\0') return false;
  char base[kPathCapacity];
  std::strcpy(base, working);

  CheckedPath checked{};
  const char *rest = path;
  if (hasDrives) {
    const char *colon = std::strchr(path, ':');
    if (colon != nullptr) {
      CopyDrive(checked.drive, path);
      rest = colon + 1;
      if (!ReadBaseOnDrive(checked.drive, working, base)) return false;
    } else {
      CopyDrive(checked.drive, working);
    }
  }
  const char *baseDirectory = hasDrives ? base + 2 : base;

  const char *lastBackslash = std::strrchr(rest, '\\');
  if (lastBackslash != nullptr) {
    std::strcpy(checked.fileName, lastBackslash + 1);
    const auto directoryLength = static_cast<std::size_t>(lastBackslash + 1 - rest);
    std::memcpy(checked.directory, rest, directoryLength);
    checked.directory[directoryLength] = '\0';
    if (!MakeAbsDir(checked.directory, baseDirectory)) return false;
  } else {
    std::strcpy(checked.fileName, rest);
    std::strcpy(checked.directory, baseDirectory);
  }
  char result[kPathCapacity];
  if (!Join(checked.absolute, checked.drive, checked.directory) ||
      !SelectPart(checked, partWanted, result)) {
    return false;
  }
  if (lastBackslash != nullptr) path[lastBackslash + 1 - path] = '\0';
  if (!CheckDirectory(checked.absolute, checkMode)) return false;
  std::strcpy(path, result);
  return true;
}

}  // namespace qorb::fil

extern "C" {

QORB_API uint32_t FilMakeAbsDir(char *directory, const char *base) {
  if (directory == nullptr || base == nullptr) return 0;
  return qorb::fil::MakeAbsDir(directory, base) ? 1 : 0;
}

QORB_API uint32_t FilCheckPathName(char *path, uint32_t checkMode, uint32_t partWanted) {
  if (path == nullptr) return 0;
  return qorb::fil::CheckPathName(path, checkMode, partWanted) ? 1 : 0;
}

QORB_API char *FilNormalizePath(char *destination, const char *source) {
  if (destination == nullptr || source == nullptr) return destination;
  const std::size_t length = std::strlen(source);
  std::memmove(destination, source, length + 1);
  if (length > 0 && destination[length - 1] != ':' && destination[length - 1] != '\\') {
    destination[length] = '\\';
    destination[length + 1] = '\0';
  }
  return destination;
}

}  // extern "C"
