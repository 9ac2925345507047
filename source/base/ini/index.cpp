// index.cpp - hashing case-folded names with their run, and the lookups.
//
// Relies on: the platform's ASCII case folding, the same one that
// CompareNoCase uses, so that two names hash alike whenever they compare
// equal.
#include "ini/index.h"

#include "platform/common/text_compare.h"

namespace qorb::ini {
namespace {

// FNV-1a over the folded name, then the run mixed in.
std::uint32_t HashOf(std::uint16_t run, const char *name) {
  std::uint32_t hash = 2166136261u;
  for (; *name != '\0'; ++name) {
    hash ^= static_cast<std::uint32_t>(plat::LowerAscii(static_cast<unsigned char>(*name)));
    hash *= 16777619u;
  }
  hash ^= run * 0x9E3779B1u;
  return hash ^ (hash >> 15);
}

}  // namespace

std::uint32_t EntryIndex::Probe(const IniFile &file, std::uint16_t run, const char *name) const {
  std::uint32_t slot = HashOf(run, name) & (kSlotCount - 1);
  while (slots_[slot] != 0) {
    const std::uint32_t position = slots_[slot] - 1u;
    if (runOf_[position] == run && plat::CompareNoCase(file.entries[position].name, name) == 0) {
      return slot;
    }
    slot = (slot + 1) & (kSlotCount - 1);
  }
  return slot;
}

void EntryIndex::Build(const IniFile &file) {
  std::uint16_t keyRun = 0;
  for (std::uint32_t position = 0; position < file.entryCount; ++position) {
    const IniEntry &entry = file.entries[position];
    const std::uint16_t run = entry.isSection != 0 ? kSectionRun : keyRun;
    if (entry.isSection != 0) keyRun = static_cast<std::uint16_t>(position + 1);
    runOf_[position] = run;
    const std::uint32_t slot = Probe(file, run, entry.name);
    if (slots_[slot] == 0) slots_[slot] = static_cast<std::uint16_t>(position + 1);
  }
}

std::optional<std::uint32_t> EntryIndex::FindSection(const IniFile &file, const char *path) const {
  const std::uint32_t slot = Probe(file, kSectionRun, path);
  if (slots_[slot] == 0) return std::nullopt;
  return static_cast<std::uint32_t>(slots_[slot]);
}

const char *EntryIndex::FindKey(const IniFile &file, std::uint32_t start, const char *key) const {
  if (start >= kSectionRun) return nullptr;
  const std::uint32_t slot = Probe(file, static_cast<std::uint16_t>(start), key);
  if (slots_[slot] == 0) return nullptr;
  return file.entries[slots_[slot] - 1u].value;
}

}  // namespace qorb::ini
