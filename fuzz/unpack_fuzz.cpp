// unpack_fuzz.cpp - packed blocks from any input. The first byte chooses
// what the rest is and whether its numbers are in the other order:
//  - a data block for a record of every packable type (nested structures, a
//    dotted string, enumerations, marked pointers): unpacked into a record
//    of exactly its size, it must leave the pointers alone and pack back to
//    the same bytes (swapped back first when it came in the other order);
//  - a descriptor block: IniUnpackFdscTree on exactly its bytes; a tree it
//    accepts must pack again and unpack to the same tree, and the same
//    block unpacked in place must give the same answer and the same tree.
//
// Relies on: IniSizeofData, IniPackData, IniUnpackData, SwpSwapStructure,
// IniUnpackFdscTree, IniUnpackFdsc, IniSizeofFdsc and IniPackFdsc.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_input.h"
#include "qorb32n.h"
#include "support/descriptors.h"

namespace {

using qorb::test::F;
using qorb::test::S;
using Bytes = std::vector<unsigned char>;

constexpr uint32_t kBothMarks = FDSC_SKIP | FDSC_NOPACK;

#pragma pack(push, 1)
struct Part {
  int16_t small;
  uint32_t mode;
  double when;
};
struct Rich {
  uint16_t shortBool;
  uint32_t boolean[2];
  uint8_t byte[3];
  int16_t shorts[2];
  uint16_t ushort;
  int32_t longs[3];
  uint32_t ulong;
  float single[2];
  double twice;
  char string[7];
  char *text;
  uint16_t shortEnum[2];
  uint32_t enumeration;
  RealTime time;
  char fixed[5];
  char dotted[6];
  Part parts[3];
  LstList *list;
  Part *pointed;
  LstList *partList;
};
#pragma pack(pop)

const Edsc kMode{2, {"Off", "On"}, {0, 1}};
const Sdsc kNameExt = S(6, {F("Name", FDSC_STRING, 4), F("Ext", FDSC_STRING, 2)});
const Sdsc kPart = S(sizeof(Part), {F("Small", FDSC_SHORT, 1), F("Mode", FDSC_ENUM, 1, &kMode),
                                    F("When", FDSC_REALTIME, 1)});
const Fdsc kElement = F("Element", FDSC_LONG, 1);
const Sdsc kRichFields = S(sizeof(Rich), {F("ShortBool", FDSC_SHORTBOOL, 1),
                                          F("Bool", FDSC_BOOL, 2),
                                          F("Byte", FDSC_BYTE, 3),
                                          F("Short", FDSC_SHORT, 2),
                                          F("UShort", FDSC_USHORT, 1),
                                          F("Long", FDSC_LONG, 3),
                                          F("ULong", FDSC_ULONG, 1),
                                          F("Float", FDSC_FLOAT, 2),
                                          F("Double", FDSC_DOUBLE, 1),
                                          F("String", FDSC_STRING, 7),
                                          F("Text", FDSC_STRINGPTR, 1, nullptr, kBothMarks),
                                          F("ShortEnum", FDSC_SHORTENUM, 2, &kMode),
                                          F("Enum", FDSC_ENUM, 1, &kMode),
                                          F("Time", FDSC_REALTIME, 1),
                                          F("Fixed", FDSC_FIXEDSTRING, 5),
                                          F("Dotted", FDSC_DOTTEDSTRING, 6, &kNameExt),
                                          F("Part", FDSC_STRUCT, 3, &kPart),
                                          F("List", FDSC_LIST, 1, &kElement, FDSC_NOPACK),
                                          F("Pointed", FDSC_STRUCTPTR, 1, &kPart, FDSC_SKIP),
                                          F("Parts", FDSC_STRUCTLIST, 1, &kPart, kBothMarks)});
const Fdsc kRich = F("Rich", FDSC_STRUCT, 1, &kRichFields);

// The pointer fields' bytes, which unpacking must leave as they are.
constexpr std::size_t kPointerFields[] = {offsetof(Rich, text), offsetof(Rich, list),
                                          offsetof(Rich, pointed), offsetof(Rich, partList)};

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckDataBlock(const std::uint8_t *data, std::size_t size, bool swap) {
  uint32_t packedSize = 0;
  Require(IniSizeofData(&kRich, nullptr, &packedSize) == 0);
  Bytes block(packedSize, 0);
  std::memcpy(block.data(), data, size < packedSize ? size : packedSize);

  Bytes record(sizeof(Rich), 0xA5);
  Require(IniUnpackData(&kRich, record.data(), block.data(), swap ? 1 : 0) == 0);
  for (const std::size_t at : kPointerFields) {
    for (std::size_t i = 0; i < sizeof(void *); ++i) Require(record[at + i] == 0xA5);
  }
  if (swap) {
    void *cursor = record.data();
    SwpSwapStructure(&cursor, &kRichFields, 0);
    Require(cursor == record.data() + sizeof(Rich));
  }
  // Pointer fields are passed over, so their bytes in the copy stay.
  Bytes again = block;
  Require(IniPackData(&kRich, record.data(), again.data()) == 0);
  Require(again == block);
}

bool Carried(uint32_t type) {
  return type == FDSC_STRUCT || type == FDSC_DOTTEDSTRING || type == FDSC_SHORTENUM ||
         type == FDSC_ENUM;
}

bool SameText(const char *a, const char *b) {
  return (a == nullptr) == (b == nullptr) && (a == nullptr || std::strcmp(a, b) == 0);
}

bool SameTree(const Fdsc &a, const Fdsc &b, int depth);

bool SameNumbers(const Fdsc &a, const Fdsc &b) {
  return a.userWord == b.userWord && a.flags == b.flags && a.type == b.type && a.count == b.count;
}

bool SameStructure(const Sdsc &a, const Sdsc &b, int depth) {
  if (a.fieldCount != b.fieldCount || a.userWord != b.userWord || a.size != b.size ||
      a.reserved != b.reserved) {
    return false;
  }
  const uint32_t used = a.fieldCount < SDSC_MAX_FIELDS ? a.fieldCount : SDSC_MAX_FIELDS;
  for (uint32_t i = 0; i < SDSC_MAX_FIELDS; ++i) {
    // Unused slots keep their numbers, not what they pointed to.
    const bool same = i < used ? SameTree(a.fields[i], b.fields[i], depth + 1)
                               : SameNumbers(a.fields[i], b.fields[i]);
    if (!same) return false;
  }
  return true;
}

bool SameEnumeration(const Edsc &a, const Edsc &b) {
  if (a.count != b.count) return false;
  for (uint32_t i = 0; i < EDSC_MAX_NAMES; ++i) {
    if (!SameText(a.names[i], b.names[i]) || a.values[i] != b.values[i]) return false;
  }
  return true;
}

// Two trees agree in every number, text and carried sub-descriptor.
bool SameTree(const Fdsc &a, const Fdsc &b, int depth) {
  if (!SameNumbers(a, b) || !SameText(a.name, b.name) || !SameText(a.format, b.format)) {
    return false;
  }
  if (!Carried(a.type) || depth > 50) return true;
  if ((a.sub == nullptr) != (b.sub == nullptr)) return false;
  if (a.sub == nullptr) return true;
  if (a.type == FDSC_STRUCT || a.type == FDSC_DOTTEDSTRING) {
    return SameStructure(*static_cast<const Sdsc *>(a.sub), *static_cast<const Sdsc *>(b.sub),
                         depth);
  }
  return SameEnumeration(*static_cast<const Edsc *>(a.sub), *static_cast<const Edsc *>(b.sub));
}

bool IsPointerType(uint32_t type) {
  return type == FDSC_STRINGPTR || type == FDSC_STRUCTLIST || type == FDSC_LIST ||
         type == FDSC_STRUCTPTR;
}

// Whether a used descriptor of the tree is a pointer type without both
// marks. A block of the other order is checked for them in its words as
// stored, so such a tree can come out of it, and it then packs to nothing.
bool HasUnmarkedPointer(const Fdsc &field, int depth) {
  if (IsPointerType(field.type) && (field.flags & kBothMarks) != kBothMarks) return true;
  if ((field.type != FDSC_STRUCT && field.type != FDSC_DOTTEDSTRING) || field.sub == nullptr ||
      depth > 50) {
    return false;
  }
  const auto &structure = *static_cast<const Sdsc *>(field.sub);
  const uint32_t used =
      structure.fieldCount < SDSC_MAX_FIELDS ? structure.fieldCount : SDSC_MAX_FIELDS;
  for (uint32_t i = 0; i < used; ++i) {
    if (HasUnmarkedPointer(structure.fields[i], depth + 1)) return true;
  }
  return false;
}

// Packs an accepted tree again: the new block must give the same tree.
void CheckRepacked(const Fdsc &tree, bool unmarked) {
  uint32_t size = 0;
  Require(IniSizeofFdsc(&tree, &size) == 0);
  Bytes block(size);
  const uint32_t packed = IniPackFdsc(&tree, block.data());
  Require(packed == (unmarked ? INI_RC_UNMARKED_POINTER : 0));
  if (unmarked) return;
  Fdsc *again = nullptr;
  Require(IniUnpackFdscTree(block.data(), size, 0, &again) == 0);
  Require(SameTree(tree, *again, 0));
  MemFreeMem_(again);
}

// In place, on exactly the bytes the tree was built from: the same result,
// and for an accepted block the same tree.
void CheckInPlace(const Bytes &input, uint32_t expected, bool swap, const Fdsc *tree,
                  bool unmarked) {
  Bytes block = input;
  Require(IniUnpackFdsc(block.data(), swap ? 1 : 0) == expected);
  if (expected != 0) {
    Require(block == input);
    return;
  }
  if constexpr (sizeof(void *) == 4) {
    Require(SameTree(*tree, *reinterpret_cast<const Fdsc *>(block.data()), 0));
  } else {
    // A block in this host's order again, references still offsets.
    Fdsc *again = nullptr;
    const uint32_t result =
        IniUnpackFdscTree(block.data(), static_cast<uint32_t>(block.size()), 0, &again);
    Require(result == (unmarked ? INI_RC_UNMARKED_POINTER : 0));
    if (again == nullptr) return;
    Require(SameTree(*tree, *again, 0));
    MemFreeMem_(again);
  }
}

void CheckDescriptorBlock(const std::uint8_t *data, std::size_t size, bool swap) {
  const Bytes input(data, data + size);
  Fdsc *tree = reinterpret_cast<Fdsc *>(&tree);
  const uint32_t result =
      IniUnpackFdscTree(input.data(), static_cast<uint32_t>(size), swap ? 1 : 0, &tree);
  Require(result == 0 || result == INI_RC_UNMARKED_POINTER || result == INI_RC_MALFORMED);
  Require((result == 0) == (tree != nullptr));
  // A malformed block may run past its bytes, so only the others are
  // unpacked in place.
  const bool unmarked = tree != nullptr && HasUnmarkedPointer(*tree, 0);
  if (result != INI_RC_MALFORMED) CheckInPlace(input, result, swap, tree, unmarked);
  if (tree == nullptr) return;
  CheckRepacked(*tree, unmarked);
  MemFreeMem_(tree);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  qorb::fuzz::SetUpLibrary();
  if (size == 0) return 0;
  const qorb::fuzz::AllocationBalance balance;
  const bool swap = (data[0] & 1) != 0;
  if ((data[0] & 2) != 0) {
    CheckDescriptorBlock(data + 1, size - 1, swap);
  } else {
    CheckDataBlock(data + 1, size - 1, swap);
  }
  return 0;
}
