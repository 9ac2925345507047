// index.h - the lookup index of a configuration file opened for reading:
// sections by name, keys by name within the run of keys after a section.
//
// Relies on: the entries of the IniFile, which stay as they are while the
// index is used. Results are exactly those of scanning the entries from the
// first: names compare without regard to case (ASCII letters, as _stricmp
// does) and the first entry of a name wins. A hash of the case-folded name
// and its run keeps each lookup from walking the file.
#pragma once

#include <cstdint>
#include <optional>

#include "qorb32n.h"

namespace qorb::ini {

class EntryIndex {
 public:
  // Indexes the file's entries; a zero-filled index is empty.
  void Build(const IniFile &file);

  // The position of the entry right after the first section named path.
  std::optional<std::uint32_t> FindSection(const IniFile &file, const char *path) const;

  // The value of the first key named key among the keys from position start
  // up to the next section or the end; nullptr when there is none.
  const char *FindKey(const IniFile &file, std::uint32_t start, const char *key) const;

 private:
  // Power of two, over three times the entries: probes stay short.
  static constexpr std::uint32_t kSlotCount = 16384;
  // The run number of a section header; keys are numbered by the position
  // their run starts at (0 for the keys before the first section).
  static constexpr std::uint16_t kSectionRun = 0xFFFF;

  // The slot holding the first entry of name in run, or the empty slot
  // where it would go.
  std::uint32_t Probe(const IniFile &file, std::uint16_t run, const char *name) const;

  std::uint16_t slots_[kSlotCount];       // entry position + 1; 0 is empty
  std::uint16_t runOf_[INI_MAX_ENTRIES];  // each entry's run
};

static_assert(INI_MAX_ENTRIES < 0xFFFF, "entry positions and runs fit 16 bits");

}  // namespace qorb::ini
