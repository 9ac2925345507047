// unpack_in_place.cpp - IniUnpackFdsc: turning a packed descriptor block
// into descriptors in place, after checking it whole.
//
// Relies on: the block check and layout of packed.h, the single-value
// swaps. A reference becomes a pointer in its own 4 bytes only where
// pointers are 4 bytes wide; on a wider host it stays an offset in this
// host's byte order, so the block is left a packed block of this host.
#include <cstdint>
#include <cstring>

#include "ini/packed.h"
#include "swap_internal.h"

namespace qorb::ini::packed {
namespace {

constexpr bool kReferencesBecomePointers = sizeof(void *) == sizeof(std::uint32_t);

class InPlaceUnpacker {
 public:
  InPlaceUnpacker(unsigned char *base, bool swap) : base_(base), swap_(swap) {}

  void Descriptor(std::uint32_t at, int depth) {
    for (std::uint32_t word : kNumberWords) Number(at + word);
    Reference(at + kNameAt);
    Reference(at + kFormatAt);
    const std::uint32_t sub = Reference(at + kSubAt);
    if (sub == 0) return;
    const std::uint32_t type = Load(at + kTypeAt);
    if (CarriesStructure(type)) Structure(sub, depth);
    if (CarriesEnumeration(type)) Enumeration(sub);
  }

 private:
  std::uint32_t Load(std::uint32_t at) const {
    std::uint32_t word;
    std::memcpy(&word, base_ + at, sizeof word);
    return word;
  }
  void Store(std::uint32_t at, std::uint32_t word) { std::memcpy(base_ + at, &word, sizeof word); }

  void Number(std::uint32_t at) {
    if (swap_) swp::Swap4(base_ + at);
  }

  // Brings a reference into this host's order and, where it fits, turns it
  // into a pointer; answers the offset.
  std::uint32_t Reference(std::uint32_t at) {
    Number(at);
    const std::uint32_t offset = Load(at);
    if (kReferencesBecomePointers && offset != 0) {
      Store(at, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(base_ + offset)));
    }
    return offset;
  }

  // Every slot's numbers are brought into this host's order, as the tree
  // unpacking reads them. The fields of a structure nested too deep were
  // packed without texts; they keep no references. Unused slots keep their
  // reference words as stored: nothing follows them.
  void Structure(std::uint32_t at, int depth) {
    for (std::uint32_t word : kStructureNumberWords) Number(at + word);
    const std::uint32_t used = Load(at + kFieldCountAt);
    for (std::uint32_t slot = 0; slot < SDSC_MAX_FIELDS; ++slot) {
      const std::uint32_t slotAt = at + SlotAt(slot);
      if (slot < used && depth < kMaxNesting) {
        Descriptor(slotAt, depth + 1);
        continue;
      }
      for (std::uint32_t word : kNumberWords) Number(slotAt + word);
      if (slot < used) {
        for (std::uint32_t word : kReferenceWords) Store(slotAt + word, 0);
      }
    }
  }

  void Enumeration(std::uint32_t at) {
    Number(at + kNameCountAt);
    for (std::uint32_t slot = 0; slot < EDSC_MAX_NAMES; ++slot) {
      Reference(at + NameSlotAt(slot));
      Number(at + ValueSlotAt(slot));
    }
  }

  unsigned char *base_;
  bool swap_;
};

}  // namespace
}  // namespace qorb::ini::packed

extern "C" {

QORB_API uint32_t IniUnpackFdsc(void *block, uint32_t swap) {
  namespace packed = qorb::ini::packed;
  if (block == nullptr) return packed::kMalformed;
  auto *base = static_cast<unsigned char *>(block);
  packed::Contents contents;
  const uint32_t result =
      packed::CheckBlock(packed::Block(base, packed::Block::kUnbounded, swap != 0), contents);
  if (result != 0) return result;
  packed::InPlaceUnpacker(base, swap != 0).Descriptor(0, 0);
  return 0;
}

}  // extern "C"
