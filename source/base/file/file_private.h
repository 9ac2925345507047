// file_private.h - what the files-and-paths family's sources share: its
// source path, the sizes of its working buffers and the path-name pieces
// that decomposition hands to the other parts of the family.
//
// Relies on: qorb32n.h only. Only file/*.cpp include this header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qorb32n.h"

namespace qorb::fil {

// The source path every allocation of the family carries.
inline constexpr const char *kSourcePath = "base\\file";

// Working buffers of the checking, listing and directory operations: a path
// name has at most 255 characters there, and longer texts are refused.
inline constexpr std::size_t kPathCapacity = 256;
inline constexpr std::size_t kMaxPathLength = kPathCapacity - 1;
// A listed file's full path name is built in a buffer of this size.
inline constexpr std::size_t kFileEntryCapacity = 260;

// A piece of a path name: where it starts (inside the path, or in a literal
// such as "\"), how long it is, and the in-place operation's result.
struct Piece {
  const char *text;
  std::size_t length;
  int result;
};
using Decomposer = Piece (*)(const char *path);

// The eight decompositions; none looks beyond the path's NUL.
Piece DiskOf(const char *path);
Piece DirOf(const char *path);
Piece PathOf(const char *path);
Piece FileNameOf(const char *path);
Piece ParentOf(const char *path);
Piece DirNameOf(const char *path);
Piece NameOfFileName(const char *path);
Piece ExtOfFileName(const char *path);

// Writes the piece with a NUL into out; out may overlap the piece.
void StorePiece(const Piece &piece, char *out);

// ASCII letters upper-cased, every other character as it is.
inline char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

// The drive number of a drive letter: the upper-cased letter minus 64, so
// that only 'A' to 'Z' give the numbers 1 to 26.
int DriveNumberOf(char letter);

// The working directory as "C:\work\" into a buffer of kPathCapacity bytes
// (the empty text when it cannot be read), and changing it with the drive.
char *GetPath(char *buffer);
bool SetPath(const char *path);

// Visiting a directory for a moment: notes the working directory and, when
// the target names another drive, that drive's own, and puts both back when
// it ends unless Keep() made the visit the new place.
class DirectoryVisit {
 public:
  explicit DirectoryVisit(const char *target);
  ~DirectoryVisit();
  DirectoryVisit(const DirectoryVisit &) = delete;
  DirectoryVisit &operator=(const DirectoryVisit &) = delete;

  bool noted() const { return noted_; }
  void Keep() { kept_ = true; }

 private:
  char home_[kPathCapacity];
  char otherDrive_[kPathCapacity];
  bool noted_ = false;
  bool kept_ = false;
};

// The drives C: to Z: that can be made current, as a mask (bit n-1 for n).
std::uint32_t DiskMap();
bool DirExists(const char *directory);
bool MakeDir(const char *directory);
bool MakeAbsDir(char *directory, const char *base);
bool CheckPathName(char *path, std::uint32_t checkMode, std::uint32_t partWanted);

// Writes first and second joined into out, which holds capacity bytes;
// false, with out untouched, when they do not fit. out may be first itself.
bool JoinTexts(char *out, std::size_t capacity, const char *first, const char *second);

// Whether the text starts with a drive by the position test (a second
// character ':'), without reading past a short text's NUL.
inline bool HasDrivePrefix(const char *path) {
  return path[0] != '\0' && path[1] == ':';
}

}  // namespace qorb::fil
