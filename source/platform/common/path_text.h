// path_text.h - the text handling of path names that every host shares:
// drive letters and numbers, separators, and folding "." and ".." parts
// into a directory relative to a drive's root.
//
// Relies on: nothing but the C string functions.
#pragma once

#include <cstddef>

namespace qorb::plat {

// Both slashes separate the parts of a path name inside the layer.
inline bool IsPathSeparator(char c) {
  return c == '\\' || c == '/';
}

// The drive number (1 for A: to 26 for Z:) of a letter of either case, or 0.
int DriveNumberOfLetter(char letter);
// The upper-case letter of a drive number from 1 to 26.
char DriveLetterOf(int drive);

// A path name split at its drive: drive is the number of a leading "X:", 0
// when there is none and -1 when the character before the colon is no
// letter; rest is the text after the colon (or the whole name).
struct DriveSplit {
  int drive;
  const char *rest;
};
DriveSplit SplitDrive(const char *pathName);

// Where the name part of a pattern or path name starts: after its last
// separator, else after a drive's colon (the text's end when it has none).
const char *NamePartOf(const char *pathName);

// Appends the parts of `text` to `relative`, a NUL-terminated directory
// below a drive's root written as "a/b" ("" for the root): empty and "."
// parts are skipped, ".." drops the last part and stops at the root. False,
// with `relative` unspecified, when the result would not fit `capacity`.
bool AppendPathParts(char *relative, std::size_t capacity, const char *text);

// Writes "X:\a\b" for a drive and a relative directory "a/b" ("X:\" for the
// root); false when it does not fit.
bool FormatDriveDirectory(int drive, const char *relative, char *out, std::size_t capacity);

}  // namespace qorb::plat
