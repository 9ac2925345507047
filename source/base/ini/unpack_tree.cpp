// unpack_tree.cpp - IniUnpackFdscTree: building a native descriptor tree
// from a packed block, checked against its length, in one tracked block.
//
// Relies on: the block check and layout of packed.h and the tracked
// allocator. The tree block holds the top Fdsc, then every Sdsc and Edsc,
// then the texts: the check counts them, so the block is exactly as large
// as the tree, and every record in it keeps its alignment because each
// record's size is a multiple of it.
#include <cstdint>
#include <cstring>
#include <new>

#include "ini/ini_private.h"
#include "ini/packed.h"

namespace qorb::ini::packed {
namespace {

constexpr std::uint64_t TreeSize(const Contents &contents) {
  return sizeof(Fdsc) + contents.structures * sizeof(Sdsc) + contents.enumerations * sizeof(Edsc) +
         contents.textBytes;
}

// Reads a checked block and fills the tree block front to back.
class TreeBuilder {
 public:
  TreeBuilder(const Block &block, unsigned char *tree, const Contents &contents)
      : block_(block),
        records_(tree),
        texts_(reinterpret_cast<char *>(tree + TreeSize(contents) - contents.textBytes)) {}

  Fdsc *Build() {
    Fdsc *top = NewRecord<Fdsc>();
    *top = Descriptor(0, 0);
    return top;
  }

 private:
  template <typename Record>
  Record *NewRecord() {
    Record *record = new (records_) Record{};
    records_ += sizeof(Record);
    return record;
  }

  const char *Text(std::uint32_t reference) {
    if (reference == 0) return nullptr;
    const auto size = static_cast<std::size_t>(block_.TextSize(reference));
    char *copy = texts_;
    std::memcpy(copy, block_.TextAt(reference), size);
    texts_ += size;
    return copy;
  }

  // A descriptor's numbers, without what it refers to.
  Fdsc Numbers(std::uint64_t at) const {
    return Fdsc{block_.Word(at + kUserWordAt),
                nullptr,
                block_.Word(at + kFlagsAt),
                block_.Word(at + kTypeAt),
                block_.Word(at + kCountAt),
                nullptr,
                nullptr};
  }

  Fdsc Descriptor(std::uint64_t at, int depth) {
    Fdsc descriptor = Numbers(at);
    descriptor.name = Text(block_.Word(at + kNameAt));
    descriptor.format = Text(block_.Word(at + kFormatAt));
    const std::uint32_t sub = block_.Word(at + kSubAt);
    if (sub == 0) return descriptor;
    if (CarriesStructure(descriptor.type)) descriptor.sub = Structure(sub, depth);
    if (CarriesEnumeration(descriptor.type)) descriptor.sub = Enumeration(sub);
    return descriptor;
  }

  // Slots beyond the used ones, and the slots of a structure nested too
  // deep, keep only their numbers.
  const Sdsc *Structure(std::uint64_t at, int depth) {
    Sdsc *structure = NewRecord<Sdsc>();
    structure->fieldCount = block_.Word(at + kFieldCountAt);
    structure->userWord = block_.Word(at + kStructureUserWordAt);
    structure->size = block_.Word(at + kSizeAt);
    structure->reserved = block_.StoredWord(at + kReservedAt);
    const std::uint32_t used = depth < kMaxNesting ? FieldsInUse(*structure) : 0;
    for (std::uint32_t slot = 0; slot < SDSC_MAX_FIELDS; ++slot) {
      const std::uint64_t slotAt = at + SlotAt(slot);
      structure->fields[slot] = slot < used ? Descriptor(slotAt, depth + 1) : Numbers(slotAt);
    }
    return structure;
  }

  const Edsc *Enumeration(std::uint64_t at) {
    Edsc *enumeration = NewRecord<Edsc>();
    enumeration->count = block_.Word(at + kNameCountAt);
    for (std::uint32_t slot = 0; slot < EDSC_MAX_NAMES; ++slot) {
      enumeration->names[slot] = Text(block_.Word(at + NameSlotAt(slot)));
      enumeration->values[slot] = block_.Word(at + ValueSlotAt(slot));
    }
    return enumeration;
  }

  const Block &block_;
  unsigned char *records_;
  char *texts_;
};

std::uint32_t UnpackTree(const Block &block, Fdsc **tree) {
  Contents contents;
  const std::uint32_t result = CheckBlock(block, contents);
  if (result != 0) return result;
  const std::uint64_t size = TreeSize(contents);
  if (size > UINT32_MAX - MEM_OVERHEAD) return INI_RC_NO_MEMORY;
  void *memory = MemAllocMem_(static_cast<std::uint32_t>(size), __LINE__, kSourcePath);
  if (memory == nullptr) return INI_RC_NO_MEMORY;
  *tree = TreeBuilder(block, static_cast<unsigned char *>(memory), contents).Build();
  return 0;
}

}  // namespace
}  // namespace qorb::ini::packed

extern "C" {

QORB_API uint32_t IniUnpackFdscTree(const void *block, uint32_t length, uint32_t swap,
                                    Fdsc **tree) {
  if (tree == nullptr) return qorb::ini::packed::kMalformed;
  *tree = nullptr;
  if (block == nullptr) return qorb::ini::packed::kMalformed;
  const qorb::ini::packed::Block packed(static_cast<const unsigned char *>(block), length,
                                        swap != 0);
  return qorb::ini::packed::UnpackTree(packed, tree);
}

}  // extern "C"
