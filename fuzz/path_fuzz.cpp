// path_fuzz.cpp - the path-name functions on any texts: the eight pieces in
// place and copying (which must agree), FilNormalizePath, FilMakeAbsDir,
// FilFileMatch, FilCheckPathName without changing directory, and
// FilDirMatch towards a drive that is not mapped, so that nothing is made.
// The input's texts, split at NUL bytes, are a path, a base or pattern, and
// a name. Buffers are exactly as large as the contract asks, so a write or
// read past them is caught.
//
// Relies on: the Fil path functions; FilGetPath to see that the working
// directory and drive come back unchanged.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_input.h"
#include "qorb32n.h"

namespace {

constexpr std::size_t kPathBuffer = 256;

// A heap copy of text in a block of at least `minimum` bytes.
struct Buffer {
  Buffer(const std::string &text, std::size_t minimum)
      : size(std::max(text.size() + 1, minimum)), bytes(std::make_unique<char[]>(size)) {
    std::memcpy(bytes.get(), text.c_str(), text.size() + 1);
  }
  char *get() const { return bytes.get(); }
  std::size_t size;
  std::unique_ptr<char[]> bytes;
};

using InPlace = int (*)(char *);
using Copying = int (*)(char *, const char *);

const struct {
  InPlace inPlace;
  Copying copying;
} kPieces[] = {
    {FilDiskOf, FilGetDiskOf},
    {FilDirOf, FilGetDirOf},
    {FilPathOf, FilGetPathOf},
    {FilFileNameOf, FilGetFileNameOf},
    {FilParentOf, FilGetParentOf},
    {FilDirNameOf, FilGetDirNameOf},
    {FilNameOfFileName, FilGetNameOfFileName},
    {FilExtOfFileName, FilGetExtOfFileName},
};

// The in-place piece and the copied piece are the same text, never longer
// than the path, and the source of the copy is left alone.
void CheckPieces(const std::string &path) {
  for (const auto &piece : kPieces) {
    const Buffer inPlace(path, 0);
    const Buffer source(path, 0);
    const Buffer destination(path, 0);
    piece.inPlace(inPlace.get());
    if (piece.copying(destination.get(), source.get()) != 1) std::abort();
    if (std::strcmp(inPlace.get(), destination.get()) != 0) std::abort();
    if (std::strlen(inPlace.get()) > path.size() || path != source.get()) std::abort();
  }
}

void CheckNormalize(const std::string &path) {
  const Buffer destination(path, path.size() + 2);
  if (FilNormalizePath(destination.get(), path.c_str()) != destination.get()) std::abort();
  if (std::strlen(destination.get()) > path.size() + 1) std::abort();
}

void CheckMakeAbsDir(const std::string &directory, const std::string &base) {
  const Buffer buffer(directory, kPathBuffer);
  if (FilMakeAbsDir(buffer.get(), base.c_str()) == 0) {
    if (directory != buffer.get()) std::abort();  // refusal leaves it as it was
  } else if (std::strlen(buffer.get()) >= kPathBuffer) {
    std::abort();
  }
}

void CheckWithoutMoving(const std::string &path) {
  char before[kPathBuffer];
  char after[kPathBuffer];
  FilGetPath(before);
  for (uint32_t part = 0; part < 5; ++part) {
    const Buffer buffer(path, kPathBuffer);
    FilCheckPathName(buffer.get(), part % 2 == 0 ? 0u : 2u, part);
    if (std::strlen(buffer.get()) >= buffer.size) std::abort();
  }
  const Buffer cut(path, 0);
  char out[kPathBuffer];
  if (FilDirMatch(cut.get(), "F:\\src", "Y:\\dst", out) != 0) std::abort();
  FilGetPath(after);
  if (std::strcmp(before, after) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  qorb::fuzz::SetUpLibrary();
  std::vector<std::string> texts = qorb::fuzz::SplitTexts(data, size, 3);
  texts.resize(3);
  const qorb::fuzz::AllocationBalance balance;
  CheckPieces(texts[0]);
  CheckNormalize(texts[0]);
  CheckMakeAbsDir(texts[0], texts[1]);
  if (FilFileMatch(texts[1].c_str(), texts[2].c_str()) > 1) std::abort();
  CheckWithoutMoving(texts[0]);
  return 0;
}
