// path_text.cpp - drive letters, drive splitting and folding path parts into
// a drive-relative directory.
//
// Relies on: path_text.h; the C string functions.
#include "platform/common/path_text.h"

#include <cstring>

namespace qorb::plat {

int DriveNumberOfLetter(char letter) {
  if (letter >= 'A' && letter <= 'Z') return letter - 'A' + 1;
  if (letter >= 'a' && letter <= 'z') return letter - 'a' + 1;
  return 0;
}

char DriveLetterOf(int drive) {
  return static_cast<char>('A' + drive - 1);
}

DriveSplit SplitDrive(const char *pathName) {
  if (pathName[0] == '\0' || pathName[1] != ':') return DriveSplit{0, pathName};
  const int drive = DriveNumberOfLetter(pathName[0]);
  return DriveSplit{drive != 0 ? drive : -1, pathName + 2};
}

const char *NamePartOf(const char *pathName) {
  const char *name = pathName;
  for (const char *c = pathName; *c != '\0'; ++c) {
    if (IsPathSeparator(*c)) name = c + 1;
  }
  if (name == pathName && pathName[0] != '\0' && pathName[1] == ':') name = pathName + 2;
  return name;
}

namespace {

// Drops the last part of a relative directory ("a/b" becomes "a").
void DropLastPart(char *relative) {
  char *slash = std::strrchr(relative, '/');
  *(slash != nullptr ? slash : relative) = '\0';
}

bool AppendPart(char *relative, std::size_t capacity, const char *part, std::size_t length) {
  std::size_t used = std::strlen(relative);
  const std::size_t separator = used > 0 ? 1 : 0;
  if (used + separator + length >= capacity) return false;
  if (separator != 0) relative[used++] = '/';
  std::memcpy(relative + used, part, length);
  relative[used + length] = '\0';
  return true;
}

}  // namespace

bool AppendPathParts(char *relative, std::size_t capacity, const char *text) {
  while (*text != '\0') {
    const char *end = text;
    while (*end != '\0' && !IsPathSeparator(*end)) ++end;
    const std::size_t length = static_cast<std::size_t>(end - text);
    if (length == 2 && text[0] == '.' && text[1] == '.') {
      DropLastPart(relative);
    } else if (length > 0 && !(length == 1 && text[0] == '.')) {
      if (!AppendPart(relative, capacity, text, length)) return false;
    }
    text = *end != '\0' ? end + 1 : end;
  }
  return true;
}

bool FormatDriveDirectory(int drive, const char *relative, char *out, std::size_t capacity) {
  const std::size_t length = std::strlen(relative);
  if (length + 3 >= capacity) return false;
  out[0] = DriveLetterOf(drive);
  out[1] = ':';
  out[2] = '\\';
  for (std::size_t i = 0; i <= length; ++i) out[3 + i] = relative[i] == '/' ? '\\' : relative[i];
  return true;
}

}  // namespace qorb::plat
