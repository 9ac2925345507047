// packed.h - the layout of packed descriptor blocks, which is the same on
// every host (28-byte Fdsc, 1696-byte Sdsc, 132-byte Edsc, 32-bit words and
// offsets), and the operations on them that the packing and unpacking
// sources share: laying a tree down, checking a received block, reading its
// words in either byte order.
//
// Relies on: qorb32n.h and the walker's type facts. In memory the
// descriptors hold native pointers; only a 32-bit host can turn a packed
// block into descriptors in place.
#pragma once

#include <cstdint>
#include <cstring>

#include "ini/walker.h"
#include "qorb32n.h"

namespace qorb::ini::packed {

inline constexpr std::uint32_t kFdscSize = 28;
inline constexpr std::uint32_t kSdscSize = 1696;
inline constexpr std::uint32_t kEdscSize = 132;

// Word offsets inside a packed Fdsc.
inline constexpr std::uint32_t kUserWordAt = 0;
inline constexpr std::uint32_t kNameAt = 4;
inline constexpr std::uint32_t kFlagsAt = 8;
inline constexpr std::uint32_t kTypeAt = 12;
inline constexpr std::uint32_t kCountAt = 16;
inline constexpr std::uint32_t kFormatAt = 20;
inline constexpr std::uint32_t kSubAt = 24;
// The words that hold numbers, and those that hold references.
inline constexpr std::uint32_t kNumberWords[] = {kUserWordAt, kFlagsAt, kTypeAt, kCountAt};
inline constexpr std::uint32_t kReferenceWords[] = {kNameAt, kFormatAt, kSubAt};

// Word offsets inside a packed Sdsc, and where its slot i starts.
inline constexpr std::uint32_t kFieldCountAt = 0;
inline constexpr std::uint32_t kStructureUserWordAt = 4;
inline constexpr std::uint32_t kSizeAt = 8;
inline constexpr std::uint32_t kReservedAt = 12;
// The header words that unpacking swaps (not the reserved word).
inline constexpr std::uint32_t kStructureNumberWords[] = {kFieldCountAt, kStructureUserWordAt,
                                                          kSizeAt};
inline constexpr std::uint32_t SlotAt(std::uint32_t slot) {
  return 16 + kFdscSize * slot;
}

// Word offsets inside a packed Edsc.
inline constexpr std::uint32_t kNameCountAt = 0;
inline constexpr std::uint32_t NameSlotAt(std::uint32_t slot) {
  return 4 + 4 * slot;
}
inline constexpr std::uint32_t ValueSlotAt(std::uint32_t slot) {
  return 4 + 4 * EDSC_MAX_NAMES + 4 * slot;
}

// Descriptor blocks take a pointer-type field only when it carries both
// FDSC_SKIP and FDSC_NOPACK.
inline bool PackableDescriptor(std::uint32_t type, std::uint32_t flags) {
  constexpr std::uint32_t kBothMarks = FDSC_SKIP | FDSC_NOPACK;
  return !IsPointerType(type) || (flags & kBothMarks) == kBothMarks;
}
// The types whose sub-descriptor a block carries.
inline bool CarriesStructure(std::uint32_t type) {
  return type == FDSC_DOTTEDSTRING || type == FDSC_STRUCT;
}
inline bool CarriesEnumeration(std::uint32_t type) {
  return type == FDSC_SHORTENUM || type == FDSC_ENUM;
}

inline std::uint64_t RoundUpToFour(std::uint64_t offset) {
  return (offset + 3u) & ~std::uint64_t{3};
}

// Lays the descriptor and everything below it down at the block's start;
// with a NULL block only counts. 0, or 8 at the first pointer-type
// descriptor without both marks (only when writing). *size (may be NULL)
// receives the bytes laid down or counted.
std::uint32_t PackDescriptor(const Fdsc &descriptor, unsigned char *block, std::uint32_t *size);

// A packed block being read: its bytes, its length (kUnbounded when the
// caller does not know it) and whether its numbers are in the other order.
class Block {
 public:
  static constexpr std::uint64_t kUnbounded = UINT64_MAX;

  Block(const unsigned char *base, std::uint64_t length, bool swap)
      : base_(base), length_(length), swap_(swap) {}

  // The word at an offset as stored, and in this host's order.
  std::uint32_t StoredWord(std::uint64_t at) const {
    std::uint32_t word;
    std::memcpy(&word, base_ + at, sizeof word);
    return word;
  }
  std::uint32_t Word(std::uint64_t at) const;

  // Whether size bytes from `at` lie inside the block.
  bool Holds(std::uint64_t at, std::uint64_t size) const {
    return at <= length_ && size <= length_ - at;
  }
  // The bytes of the text at `at` with its NUL; 0 when the block ends first.
  std::uint64_t TextSize(std::uint64_t at) const;
  const char *TextAt(std::uint64_t at) const { return reinterpret_cast<const char *>(base_ + at); }

 private:
  const unsigned char *base_;
  std::uint64_t length_;
  bool swap_;
};

// What a checked block holds besides its top Fdsc.
struct Contents {
  std::uint64_t structures = 0;
  std::uint64_t enumerations = 0;
  std::uint64_t textBytes = 0;
};

// Result of a block that is not laid out as packing lays a tree down.
inline constexpr std::uint32_t kMalformed = INI_RC_MALFORMED;

// Checks that the block holds a descriptor tree exactly where packing puts
// each part (so every offset is the one expected, and offsets only grow),
// within its length: 0, 8 for a pointer-type descriptor without both marks
// (its words read as stored), or kMalformed. Structures nested deeper than
// kMaxNesting are not looked into, as packing does not lay their fields'
// texts down.
std::uint32_t CheckBlock(const Block &block, Contents &contents);

}  // namespace qorb::ini::packed
