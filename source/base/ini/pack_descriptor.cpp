// pack_descriptor.cpp - laying a descriptor tree down as a packed block
// (IniPackFdsc) and counting its size (IniSizeofFdsc), by one walk.
//
// Relies on: the packed layout of packed.h. Pointers become offsets from
// the block's start; where a block keeps a pointer that is not a reference
// (the unused slots of an Sdsc, copied unchanged), it holds the pointer's
// low 32 bits, which on a 32-bit host is the pointer itself.
#include <cstdint>
#include <cstring>

#include "ini/packed.h"

static_assert(sizeof(void *) != 4 || (offsetof(Fdsc, name) == qorb::ini::packed::kNameAt &&
                                      offsetof(Fdsc, format) == qorb::ini::packed::kFormatAt &&
                                      offsetof(Fdsc, sub) == qorb::ini::packed::kSubAt),
              "a packed Fdsc is the Fdsc of a 32-bit host");
static_assert(sizeof(void *) != 4 || offsetof(Sdsc, fields) == qorb::ini::packed::SlotAt(0),
              "a packed Sdsc is the Sdsc of a 32-bit host");
static_assert(sizeof(void *) != 4 || offsetof(Edsc, values) == qorb::ini::packed::ValueSlotAt(0),
              "a packed Edsc is the Edsc of a 32-bit host");

namespace qorb::ini::packed {
namespace {

std::uint32_t LowWord(const void *pointer) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

// Writes into the block when there is one, and always keeps the running
// offset, so that counting and packing lay things down alike.
class Packer {
 public:
  explicit Packer(unsigned char *block) : block_(block) {}

  std::uint32_t Pack(const Fdsc &descriptor) {
    CopyDescriptor(descriptor, 0);
    running_ = kFdscSize;
    return PackBelow(descriptor, 0, 0);
  }
  std::uint32_t size() const { return running_; }

 private:
  void PutWord(std::uint32_t at, std::uint32_t word) {
    if (block_ != nullptr) std::memcpy(block_ + at, &word, sizeof word);
  }

  // Lays a text down at the running offset; its offset, or 0 for NULL.
  std::uint32_t PutText(const char *text) {
    if (text == nullptr) return 0;
    const std::uint32_t at = running_;
    const auto size = static_cast<std::uint32_t>(std::strlen(text) + 1);
    if (block_ != nullptr) std::memcpy(block_ + at, text, size);
    running_ += size;
    return at;
  }

  void CopyDescriptor(const Fdsc &descriptor, std::uint32_t at) {
    PutWord(at + kUserWordAt, descriptor.userWord);
    PutWord(at + kNameAt, LowWord(descriptor.name));
    PutWord(at + kFlagsAt, descriptor.flags);
    PutWord(at + kTypeAt, descriptor.type);
    PutWord(at + kCountAt, descriptor.count);
    PutWord(at + kFormatAt, LowWord(descriptor.format));
    PutWord(at + kSubAt, LowWord(descriptor.sub));
  }

  void CopyStructure(const Sdsc &structure, std::uint32_t at) {
    PutWord(at + kFieldCountAt, structure.fieldCount);
    PutWord(at + kStructureUserWordAt, structure.userWord);
    PutWord(at + kSizeAt, structure.size);
    PutWord(at + kReservedAt, structure.reserved);
    for (std::uint32_t slot = 0; slot < SDSC_MAX_FIELDS; ++slot) {
      CopyDescriptor(structure.fields[slot], at + SlotAt(slot));
    }
  }

  // The Sdsc and, unless nested too deep, what its used slots point to. A
  // slot that is not packed any further keeps no references.
  std::uint32_t PackStructure(const Sdsc &structure, std::uint32_t at, int depth) {
    CopyStructure(structure, at);
    running_ += kSdscSize;
    for (std::uint32_t slot = 0; slot < FieldsInUse(structure); ++slot) {
      const std::uint32_t slotAt = at + SlotAt(slot);
      if (depth >= kMaxNesting) {
        for (std::uint32_t word : kReferenceWords) PutWord(slotAt + word, 0);
        continue;
      }
      const std::uint32_t result = PackBelow(structure.fields[slot], slotAt, depth + 1);
      if (result != 0) return result;
    }
    return 0;
  }

  void PackEnumeration(const Edsc &enumeration, std::uint32_t at) {
    PutWord(at + kNameCountAt, enumeration.count);
    for (std::uint32_t slot = 0; slot < EDSC_MAX_NAMES; ++slot) {
      PutWord(at + ValueSlotAt(slot), enumeration.values[slot]);
    }
    running_ += kEdscSize;
    for (std::uint32_t slot = 0; slot < EDSC_MAX_NAMES; ++slot) {
      PutWord(at + NameSlotAt(slot), PutText(enumeration.names[slot]));
    }
  }

  // Replaces the references of the descriptor copied at `at` by offsets,
  // laying down what they refer to.
  std::uint32_t PackBelow(const Fdsc &descriptor, std::uint32_t at, int depth) {
    if (block_ != nullptr && !PackableDescriptor(descriptor.type, descriptor.flags)) {
      return INI_RC_UNMARKED_POINTER;
    }
    PutWord(at + kNameAt, PutText(descriptor.name));
    PutWord(at + kFormatAt, PutText(descriptor.format));
    if (descriptor.sub == nullptr) {
      PutWord(at + kSubAt, 0);
      return 0;
    }
    running_ = static_cast<std::uint32_t>(RoundUpToFour(running_));
    const std::uint32_t sub = running_;
    std::uint32_t result = 0;
    if (CarriesStructure(descriptor.type)) {
      result = PackStructure(*static_cast<const Sdsc *>(descriptor.sub), sub, depth);
    } else if (CarriesEnumeration(descriptor.type)) {
      PackEnumeration(*static_cast<const Edsc *>(descriptor.sub), sub);
    }
    if (result == 0) PutWord(at + kSubAt, sub);
    return result;
  }

  unsigned char *block_;
  std::uint32_t running_ = 0;
};

}  // namespace

std::uint32_t PackDescriptor(const Fdsc &descriptor, unsigned char *block, std::uint32_t *size) {
  Packer packer(block);
  const std::uint32_t result = packer.Pack(descriptor);
  if (size != nullptr) *size = packer.size();
  return result;
}

}  // namespace qorb::ini::packed

extern "C" {

QORB_API uint32_t IniPackFdsc(const Fdsc *descriptor, void *block) {
  if (descriptor == nullptr || block == nullptr) return 0;
  return qorb::ini::packed::PackDescriptor(*descriptor, static_cast<unsigned char *>(block),
                                           nullptr);
}

}  // extern "C"
