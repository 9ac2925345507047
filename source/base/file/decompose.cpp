// decompose.cpp - taking a path name apart: drive, directory, path, file
// name, parent, last directory name, name without extension and extension,
// each in place and as a copying twin.
//
// Relies on: nothing but the C string functions. Each decomposition finds
// its piece as a span of the path (or the literal "\"), and one store writes
// it back, so no working copy is needed and a path of any length is handled
// whole: the piece is never longer than the path it came from.
#include <cstring>

#include "file/file_private.h"

namespace qorb::fil {
namespace {

constexpr const char *kRootText = "\\";

Piece Span(const char *begin, const char *end, int result) {
  return Piece{begin, static_cast<std::size_t>(end - begin), result};
}

Piece Empty(const char *path, int result) {
  return Piece{path, 0, result};
}

Piece Root() {
  return Piece{kRootText, 1, 1};
}

// The last occurrence of c in [begin, end), or nullptr.
const char *LastBefore(const char *begin, const char *end, char c) {
  while (end != begin) {
    if (*--end == c) return end;
  }
  return nullptr;
}

// The occurrence of c before the last one in [begin, end), or nullptr; the
// first position counts, but a last occurrence there has none before it.
const char *NextToLastChar(const char *begin, const char *end, char c) {
  const char *last = LastBefore(begin, end, c);
  return last == nullptr ? nullptr : LastBefore(begin, last, c);
}

}  // namespace

Piece DiskOf(const char *path) {
  return HasDrivePrefix(path) ? Piece{path, 2, 1} : Empty(path, 0);
}

Piece DirOf(const char *path) {
  const char *last = std::strrchr(path, '\\');
  if (last == nullptr) return Empty(path, 0);
  const char *end = last + 1;
  const char *colon = static_cast<const char *>(std::memchr(path, ':', end - path));
  return Span(colon != nullptr ? colon + 1 : path, end, 1);
}

Piece PathOf(const char *path) {
  const char *end = std::strrchr(path, '\\');
  if (end == nullptr) end = std::strchr(path, ':');
  return end != nullptr ? Span(path, end + 1, 1) : Empty(path, 0);
}

Piece FileNameOf(const char *path) {
  const char *start = std::strrchr(path, '\\');
  if (start == nullptr) start = std::strchr(path, ':');
  start = start != nullptr ? start + 1 : path;
  const std::size_t length = std::strlen(start);
  return Piece{start, length, length > 0 ? 1 : 0};
}

// The parent of the path as if it ended with a backslash: cut after the
// next-to-last backslash; a parent with a single backslash is the root.
Piece ParentOf(const char *path) {
  const std::size_t length = std::strlen(path);
  if (length == 0) return Empty(path, 0);
  // Where the trailing backslash stands, or would stand once appended.
  const char *last = path[length - 1] == '\\' ? path + length - 1 : path + length;
  const char *cut = LastBefore(path, last, '\\');
  if (cut == nullptr) return Empty(path, 0);
  if (LastBefore(path, cut, '\\') == nullptr) return Root();
  return Span(path, cut + 1, 1);
}

Piece DirNameOf(const char *path) {
  const char *start = HasDrivePrefix(path) ? path + 2 : path;
  const char *end = start + std::strlen(start);
  const char *last = LastBefore(start, end, '\\');
  if (last == nullptr) return Empty(start, 0);
  const char *previous = NextToLastChar(start, end, '\\');
  if (previous != nullptr) return Span(previous + 1, last, 1);
  return last == start ? Root() : Span(start, last, 1);
}

Piece NameOfFileName(const char *path) {
  const char *name = std::strrchr(path, '\\');
  name = name != nullptr ? name + 1 : path;
  const char *dot = std::strrchr(name, '.');
  return Span(name, dot != nullptr ? dot : name + std::strlen(name), 1);
}

Piece ExtOfFileName(const char *path) {
  const char *dot = std::strrchr(path, '.');
  if (dot == nullptr) return Empty(path, 1);
  return Piece{dot + 1, std::strlen(dot + 1), 1};
}

void StorePiece(const Piece &piece, char *out) {
  std::memmove(out, piece.text, piece.length);
  out[piece.length] = '\0';
}

namespace {

int InPlace(char *path, Decomposer decompose) {
  if (path == nullptr) return 0;
  const Piece piece = decompose(path);
  StorePiece(piece, path);
  return piece.result;
}

// The twins leave the source alone and succeed even with an empty piece.
int Copying(char *destination, const char *source, Decomposer decompose) {
  if (destination == nullptr || source == nullptr) return 0;
  StorePiece(decompose(source), destination);
  return 1;
}

}  // namespace
}  // namespace qorb::fil

using qorb::fil::Copying;
using qorb::fil::InPlace;

extern "C" {

QORB_API int FilDiskOf(char *path) {
  return InPlace(path, qorb::fil::DiskOf);
}
QORB_API int FilDirOf(char *path) {
  return InPlace(path, qorb::fil::DirOf);
}
QORB_API int FilPathOf(char *path) {
  return InPlace(path, qorb::fil::PathOf);
}
QORB_API int FilFileNameOf(char *path) {
  return InPlace(path, qorb::fil::FileNameOf);
}
QORB_API int FilParentOf(char *path) {
  return InPlace(path, qorb::fil::ParentOf);
}
QORB_API int FilDirNameOf(char *path) {
  return InPlace(path, qorb::fil::DirNameOf);
}
QORB_API int FilNameOfFileName(char *path) {
  return InPlace(path, qorb::fil::NameOfFileName);
}
QORB_API int FilExtOfFileName(char *path) {
  return InPlace(path, qorb::fil::ExtOfFileName);
}

QORB_API int FilGetDiskOf(char *destination, const char *source) {
  return Copying(destination, source, qorb::fil::DiskOf);
}
QORB_API int FilGetDirOf(char *destination, const char *source) {
  return Copying(destination, source, qorb::fil::DirOf);
}
QORB_API int FilGetPathOf(char *destination, const char *source) {
  return Copying(destination, source, qorb::fil::PathOf);
}
QORB_API int FilGetFileNameOf(char *destination, const char *source) {
  return Copying(destination, source, qorb::fil::FileNameOf);
}
QORB_API int FilGetParentOf(char *destination, const char *source) {
  return Copying(destination, source, qorb::fil::ParentOf);
}
QORB_API int FilGetDirNameOf(char *destination, const char *source) {
  return Copying(destination, source, qorb::fil::DirNameOf);
}
QORB_API int FilGetNameOfFileName(char *destination, const char *source) {
  return Copying(destination, source, qorb::fil::NameOfFileName);
}
QORB_API int FilGetExtOfFileName(char *destination, const char *source) {
  return Copying(destination, source, qorb::fil::ExtOfFileName);
}

}  // extern "C"
