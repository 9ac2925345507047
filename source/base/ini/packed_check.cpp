// packed_check.cpp - reading a packed descriptor block in either byte order
// and checking, before anything is unpacked, that it is laid out exactly as
// packing lays a tree down and lies within its length.
//
// Relies on: the packed layout of packed.h and the single-value swaps.
// Offsets are checked against the running offset of the packing walk, so
// they only grow: a block cannot loop back on itself, and the walk ends.
#include <cstring>

#include "ini/packed.h"
#include "swap_internal.h"

namespace qorb::ini::packed {
namespace {

class Checker {
 public:
  Checker(const Block &block, Contents &contents) : block_(block), contents_(contents) {}

  std::uint32_t CheckTop() {
    if (!block_.Holds(0, kFdscSize)) return kMalformed;
    running_ = kFdscSize;
    return CheckDescriptor(0, 0);
  }

 private:
  // The text a reference names must start at the running offset.
  bool TextIsNext(std::uint32_t reference) {
    if (reference == 0) return true;
    if (reference != running_) return false;
    const std::uint64_t size = block_.TextSize(reference);
    running_ += size;
    contents_.textBytes += size;
    return size != 0;
  }

  std::uint32_t CheckDescriptor(std::uint64_t at, int depth) {
    if (!PackableDescriptor(block_.StoredWord(at + kTypeAt), block_.StoredWord(at + kFlagsAt))) {
      return INI_RC_UNMARKED_POINTER;
    }
    if (!TextIsNext(block_.Word(at + kNameAt)) || !TextIsNext(block_.Word(at + kFormatAt))) {
      return kMalformed;
    }
    const std::uint32_t sub = block_.Word(at + kSubAt);
    if (sub == 0) return 0;
    running_ = RoundUpToFour(running_);
    if (sub != running_) return kMalformed;
    const std::uint32_t type = block_.Word(at + kTypeAt);
    if (CarriesStructure(type)) return CheckStructure(sub, depth);
    if (CarriesEnumeration(type)) return CheckEnumeration(sub);
    return block_.Holds(sub, 0) ? 0 : kMalformed;
  }

  std::uint32_t CheckStructure(std::uint64_t at, int depth) {
    if (!block_.Holds(at, kSdscSize)) return kMalformed;
    running_ += kSdscSize;
    ++contents_.structures;
    if (depth >= kMaxNesting) return 0;
    const std::uint32_t used = block_.Word(at + kFieldCountAt);
    for (std::uint32_t slot = 0; slot < used && slot < SDSC_MAX_FIELDS; ++slot) {
      const std::uint32_t result = CheckDescriptor(at + SlotAt(slot), depth + 1);
      if (result != 0) return result;
    }
    return 0;
  }

  std::uint32_t CheckEnumeration(std::uint64_t at) {
    if (!block_.Holds(at, kEdscSize)) return kMalformed;
    running_ += kEdscSize;
    ++contents_.enumerations;
    for (std::uint32_t slot = 0; slot < EDSC_MAX_NAMES; ++slot) {
      if (!TextIsNext(block_.Word(at + NameSlotAt(slot)))) return kMalformed;
    }
    return 0;
  }

  const Block &block_;
  Contents &contents_;
  std::uint64_t running_ = 0;
};

}  // namespace

std::uint32_t Block::Word(std::uint64_t at) const {
  const std::uint32_t word = StoredWord(at);
  return swap_ ? swp::Reversed32(word) : word;
}

std::uint64_t Block::TextSize(std::uint64_t at) const {
  if (!Holds(at, 1)) return 0;
  const char *text = TextAt(at);
  if (length_ == kUnbounded) return std::strlen(text) + 1;
  const void *end = std::memchr(text, '\0', static_cast<std::size_t>(length_ - at));
  return end != nullptr ? static_cast<const char *>(end) - text + 1 : 0;
}

std::uint32_t CheckBlock(const Block &block, Contents &contents) {
  Checker checker(block, contents);
  return checker.CheckTop();
}

}  // namespace qorb::ini::packed
