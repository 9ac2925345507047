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

// Whether the text starts with a drive by the position test (a second
// character ':'), without reading past a short text's NUL.
inline bool HasDrivePrefix(const char *path) {
  return path[0] != '\0' && path[1] == ':';
}

}  // namespace qorb::fil
