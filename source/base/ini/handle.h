// handle.h - the two kinds of IniFile handle: one opened for reading, which
// carries the lookup index right behind the documented record, and one
// opened for writing, which is the record alone.
//
// Relies on: the tracked allocator for the handle and its entry copies.
// Only ini/*.cpp include this header.
#pragma once

#include "ini/index.h"
#include "qorb32n.h"

namespace qorb::ini {

// A handle opened for reading. The IniFile comes first, so the caller's
// IniFile * and this record share their address.
struct ReadHandle {
  IniFile file;
  EntryIndex index;
};

// The handles of IniOpen's two modes; nullptr on every failure, with
// nothing left allocated or open.
IniFile *OpenForReading(const char *path);
IniFile *OpenForWriting(const char *path);

// The reading handle behind a file; nullptr for one opened for writing.
inline const ReadHandle *AsReadHandle(const IniFile *file) {
  return file->stream == nullptr ? reinterpret_cast<const ReadHandle *>(file) : nullptr;
}

// Closes the output file, if any, and frees the entries and the handle.
void CloseHandle(IniFile *file);

}  // namespace qorb::ini
