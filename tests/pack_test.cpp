// pack_test.cpp - packed descriptor and data blocks: the documented bytes,
// blocks laid down by hand in the "M" order, round trips of nested trees,
// the result codes, and damaged blocks under a seeded bounded fuzz. Every
// case checks that the allocator's counters end where they started.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "qorb32n.h"
#include "support/byte_order.h"
#include "support/descriptors.h"
#include "support/tracked_balance.h"

namespace {

using qorb::test::ByteWriter;
using qorb::test::F;
using qorb::test::S;
using qorb::test::SameBytes;

constexpr uint32_t kBothMarks = FDSC_SKIP | FDSC_NOPACK;
constexpr bool kPointersFitInPlace = sizeof(void *) == 4;

uint32_t WordAt(const std::vector<unsigned char> &block, size_t at) {
  uint32_t word;
  std::memcpy(&word, block.data() + at, 4);
  return word;
}

// A block of exactly the size IniSizeofFdsc gives (so the sanitizer sees any
// overrun), filled with 0xEE to show the filler that is not written.
std::vector<unsigned char> Packed(const Fdsc &descriptor, uint32_t expected = 0) {
  uint32_t size = 0;
  EXPECT_EQ(IniSizeofFdsc(&descriptor, &size), 0u);
  std::vector<unsigned char> block(size, 0xEE);
  EXPECT_EQ(IniPackFdsc(&descriptor, block.data()), expected);
  return block;
}

class Pack : public testing::Test {
 protected:
  Pack() { ErrInitialize(ERR_MODE_CONSOLE, "packtest", 0, 0, 0, 0); }
  qorb::test::TrackedBalance balance_;
};

bool Carried(uint32_t type) {
  return type == FDSC_STRUCT || type == FDSC_DOTTEDSTRING || type == FDSC_SHORTENUM ||
         type == FDSC_ENUM;
}

// Two descriptors unpacked from one another agree in every number and text,
// and in the sub-descriptors that blocks carry.
void ExpectSameTree(const Fdsc &a, const Fdsc &b, int depth = 0) {
  SCOPED_TRACE(std::string(depth, ' ') + (a.name != nullptr ? a.name : "(null)"));
  EXPECT_EQ(a.userWord, b.userWord);
  EXPECT_EQ(a.flags, b.flags);
  ASSERT_EQ(a.type, b.type);
  EXPECT_EQ(a.count, b.count);
  EXPECT_STREQ(a.name, b.name);
  EXPECT_STREQ(a.format, b.format);
  if (!Carried(a.type)) return;
  ASSERT_EQ(a.sub == nullptr, b.sub == nullptr);
  if (a.sub == nullptr) return;
  if (a.type == FDSC_STRUCT || a.type == FDSC_DOTTEDSTRING) {
    const auto &x = *static_cast<const Sdsc *>(a.sub);
    const auto &y = *static_cast<const Sdsc *>(b.sub);
    EXPECT_EQ(x.fieldCount, y.fieldCount);
    EXPECT_EQ(x.userWord, y.userWord);
    EXPECT_EQ(x.size, y.size);
    EXPECT_EQ(x.reserved, y.reserved);
    for (uint32_t i = 0; i < x.fieldCount && i < 60; ++i) {
      ExpectSameTree(x.fields[i], y.fields[i], depth + 1);
    }
  } else if (a.type == FDSC_SHORTENUM || a.type == FDSC_ENUM) {
    const auto &x = *static_cast<const Edsc *>(a.sub);
    const auto &y = *static_cast<const Edsc *>(b.sub);
    EXPECT_EQ(x.count, y.count);
    for (int i = 0; i < 16; ++i) {
      EXPECT_STREQ(x.names[i], y.names[i]);
      EXPECT_EQ(x.values[i], y.values[i]);
    }
  }
}

// ---- descriptor blocks -------------------------------------------------------

const Edsc kMode{2, {"Off", "On"}, {0, 1}};

TEST_F(Pack, DocumentedDescriptorBlocks) {
  const Fdsc port = F("Port", FDSC_ULONG, 1);
  std::vector<unsigned char> block = Packed(port);
  ByteWriter expected(false);
  expected.U32(0).U32(28).U32(0).U32(FDSC_ULONG).U32(1).U32(0).U32(0).Text("Port").Zeros(1);
  EXPECT_EQ(std::string(block.begin(), block.end()), expected.bytes());

  const Fdsc mode{0x01020304, "Mode", 0x100, FDSC_ENUM, 1, nullptr, &kMode};
  block = Packed(mode);
  ByteWriter edsc(false);
  edsc.U32(0x01020304).U32(28).U32(0x100).U32(FDSC_ENUM).U32(1).U32(0).U32(36).Text("Mode");
  edsc.Zeros(1).U8(0xEE).U8(0xEE).U8(0xEE).U32(2).U32(168).U32(172).Zeros(14 * 4);
  edsc.U32(0).U32(1).Zeros(14 * 4).Text("Off").Zeros(1).Text("On").Zeros(1);
  EXPECT_EQ(std::string(block.begin(), block.end()), edsc.bytes());
  ASSERT_EQ(block.size(), 175u);

  // Unpacked in place: numbers stay, references become pointers where
  // they fit and stay offsets where they do not.
  EXPECT_EQ(IniUnpackFdsc(block.data(), 0), 0u);
  const auto reference = [&](uint32_t offset) {
    return kPointersFitInPlace
               ? static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block.data() + offset))
               : offset;
  };
  EXPECT_EQ(WordAt(block, 4), reference(28));
  EXPECT_EQ(WordAt(block, 24), reference(36));
  EXPECT_EQ(WordAt(block, 40), reference(168));
  EXPECT_EQ(WordAt(block, 12), FDSC_ENUM);
}

// A structure laid down in the "M" order by hand: a ULONG with a format, an
// enumeration, and a nested structure holding a marked string pointer. The
// first unused slot of each structure holds numbers too.
constexpr size_t kTopSlot3 = 32 + 16 + 3 * 28, kInnerSlot1 = 1888 + 16 + 28;
std::string StructureBlockInMOrder() {
  ByteWriter out(true);
  out.U32(7).U32(28).U32(0).U32(FDSC_STRUCT).U32(1).U32(0).U32(32).Text("Cfg").Zeros(1);
  const auto fdsc = [&](uint32_t type, uint32_t name, uint32_t flags, uint32_t format,
                        uint32_t sub) {
    out.U32(0x11).U32(name).U32(flags).U32(type).U32(1).U32(format).U32(sub);
  };
  const auto unused = [&] { out.U32(0x99).U32(0).U32(0x10).U32(FDSC_LONG).U32(9).Zeros(8); };
  out.U32(3).U32(0xAA).U32(20).Raw("\x01\x02\x03\x04", 4);  // Sdsc at 32
  fdsc(FDSC_ULONG, 1728, 0, 1733, 0);                       // slot 0 at 48
  fdsc(FDSC_ENUM, 1737, 0, 0, 1744);                        // slot 1
  fdsc(FDSC_STRUCT, 1883, 0, 0, 1888);                      // slot 2
  unused();
  out.Zeros(56 * 28);
  out.Text("Port").Zeros(1).Text("%lx").Zeros(1).Text("Mode").Zeros(1).Zeros(2);  // to 1744
  out.U32(2).U32(1876).U32(1880).Zeros(14 * 4).U32(5).U32(6).Zeros(14 * 4);       // Edsc at 1744
  out.Text("Off").Zeros(1).Text("On").Zeros(1).Text("In").Zeros(1).Zeros(2);
  out.U32(1).U32(0).U32(8).U32(0);  // Sdsc at 1888
  fdsc(FDSC_STRINGPTR, 3584, kBothMarks, 0, 0);
  unused();
  out.Zeros(58 * 28).Text("Host").Zeros(1);
  return out.bytes();
}

// Unused slots come into this host's order as well, in the top structure and
// in a nested one, both ways of unpacking.
TEST_F(Pack, BlockFromTheOtherOrder) {
  const std::string bytes = StructureBlockInMOrder();
  ASSERT_EQ(bytes.size(), 3589u);
  const std::vector<unsigned char> block(bytes.begin(), bytes.end());
  Fdsc *tree = nullptr;
  ASSERT_EQ(IniUnpackFdscTree(block.data(), 3589, 1, &tree), 0u);
  const auto used = [](Fdsc field) {
    field.userWord = 0x11;
    return field;
  };
  static const Edsc names{2, {"Off", "On"}, {5, 6}};
  static const Sdsc inner = S(8, {used(F("Host", FDSC_STRINGPTR, 1, nullptr, kBothMarks))});
  static Sdsc cfg =
      S(20, {used(F("Port", FDSC_ULONG, 1, nullptr, 0, "%lx")),
             used(F("Mode", FDSC_ENUM, 1, &names)), used(F("In", FDSC_STRUCT, 1, &inner))});
  cfg.userWord = 0xAA;
  cfg.reserved = 0x04030201;  // the sender's order, never swapped
  const Fdsc expected{7, "Cfg", 0, FDSC_STRUCT, 1, nullptr, &cfg};
  ExpectSameTree(*tree, expected);
  const auto &top = *static_cast<const Sdsc *>(tree->sub);
  const auto &nested = *static_cast<const Sdsc *>(top.fields[2].sub);
  for (const Fdsc *slot : {&top.fields[3], &nested.fields[1]}) {
    EXPECT_EQ(slot->userWord, 0x99u);
    EXPECT_EQ(slot->flags, 0x10u);
    EXPECT_EQ(slot->type, FDSC_LONG);
    EXPECT_EQ(slot->count, 9u);
  }
  MemFreeMem_(tree);

  // In place: the same numbers; on this host's width either a tree or a
  // packed block of this host's order, which unpacks to the same tree.
  std::vector<unsigned char> copy = block;
  ASSERT_EQ(IniUnpackFdsc(copy.data(), 1), 0u);
  EXPECT_EQ(WordAt(copy, 32 + 8), 20u);
  for (const size_t at : {kTopSlot3, kInnerSlot1}) {
    EXPECT_EQ(WordAt(copy, at), 0x99u) << at;
    EXPECT_EQ(WordAt(copy, at + 8), 0x10u) << at;
    EXPECT_EQ(WordAt(copy, at + 12), FDSC_LONG) << at;
    EXPECT_EQ(WordAt(copy, at + 16), 9u) << at;
  }
  if (kPointersFitInPlace) {
    ExpectSameTree(*reinterpret_cast<const Fdsc *>(copy.data()), expected);
  } else {
    ASSERT_EQ(IniUnpackFdscTree(copy.data(), 3589, 0, &tree), 0u);
    ExpectSameTree(*tree, expected);
    MemFreeMem_(tree);
  }
}

// A tree of nested structures with every type, the pointer types marked.
const Sdsc kParts = S(4, {F("Name", FDSC_STRING, 2), F("Ext", FDSC_STRING, 2)});
const Sdsc kLeaf =
    S(6, {F("Small", FDSC_SHORT, 1, nullptr, 0, "%hx"), F("Mode", FDSC_SHORTENUM, 2, &kMode)});
const Fdsc kElement = F("Element", FDSC_LONG, 1);
const Sdsc kMiddle =
    S(6 * 2 + 8 + 4 + 1, {F("Leaf", FDSC_STRUCT, 2, &kLeaf), F("Time", FDSC_REALTIME, 1),
                          F("Dotted", FDSC_DOTTEDSTRING, 4, &kParts), F(nullptr, FDSC_BYTE, 1)});

Sdsc EveryTypeSdsc() {
  Sdsc every = S(0, {});
  for (uint32_t type = 0; type <= FDSC_STRUCTPTR; ++type) {
    if (type > FDSC_DURATION && type < FDSC_STRUCT) continue;
    const bool pointer = type == FDSC_STRINGPTR || type >= FDSC_STRUCTLIST;
    const void *sub = type == FDSC_STRUCT || type == FDSC_STRUCTPTR || type == FDSC_STRUCTLIST
                          ? static_cast<const void *>(&kMiddle)
                      : type == FDSC_LIST         ? static_cast<const void *>(&kElement)
                      : type == FDSC_DOTTEDSTRING ? static_cast<const void *>(&kParts)
                      : type == FDSC_SHORTENUM || type == FDSC_ENUM ? &kMode
                                                                    : nullptr;
    every.fields[every.fieldCount++] = Fdsc{type * 3,
                                            "Field",
                                            pointer ? kBothMarks : 0u,
                                            type,
                                            type == FDSC_STRING ? 9u : 2u,
                                            type == FDSC_LONG ? "%ld" : nullptr,
                                            sub};
  }
  every.fields[every.fieldCount + 2] = Fdsc{99, nullptr, 1, 5, 9, nullptr, nullptr};
  return every;
}

TEST_F(Pack, NestedTreesRoundTrip) {
  static const Sdsc every = EveryTypeSdsc();
  const Fdsc top = F("Every", FDSC_STRUCT, 1, &every);
  std::vector<unsigned char> block = Packed(top);
  // An unused slot is copied with its numbers.
  const size_t unusedSlot = WordAt(block, 24) + 16 + 28 * (every.fieldCount + 2);
  EXPECT_EQ(WordAt(block, unusedSlot), 99u);
  EXPECT_EQ(WordAt(block, unusedSlot + 16), 9u);

  Fdsc *tree = nullptr;
  ASSERT_EQ(IniUnpackFdscTree(block.data(), static_cast<uint32_t>(block.size()), 0, &tree), 0u);
  ExpectSameTree(*tree, top);
  MemFreeMem_(tree);

  const std::vector<unsigned char> packed = block;
  EXPECT_EQ(IniUnpackFdsc(block.data(), 0), 0u);
  if (kPointersFitInPlace) {
    ExpectSameTree(*reinterpret_cast<const Fdsc *>(block.data()), top);
  } else {
    EXPECT_EQ(block, packed) << "a block of this host's order stays as it is";
  }
}

TEST_F(Pack, UnmarkedPointersAndTypesWithoutAPackedForm) {
  for (uint32_t type : {FDSC_STRINGPTR, FDSC_STRUCTLIST, FDSC_LIST, FDSC_STRUCTPTR}) {
    for (uint32_t flags : {0u, FDSC_SKIP, FDSC_NOPACK, kBothMarks}) {
      const Sdsc holder =
          S(4 + sizeof(void *), {F("A", FDSC_ULONG, 1), F("P", type, 1, nullptr, flags)});
      const Fdsc field = F("Holder", FDSC_STRUCT, 1, &holder);
      Packed(field, flags == kBothMarks ? 0 : INI_RC_UNMARKED_POINTER);
      const uint32_t dataResult = flags == 0 ? INI_RC_UNMARKED_POINTER : 0;
      uint32_t size = 0;
      EXPECT_EQ(IniSizeofData(&field, nullptr, &size), dataResult);
      unsigned char record[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
      unsigned char data[8] = {0, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE};
      EXPECT_EQ(IniPackData(&field, record, data), dataResult);
      EXPECT_EQ(data[4], 0xEE) << "a pointer's 4 bytes are passed over";
      if (dataResult == 0) {
        EXPECT_EQ(size, 8u);
      }
    }
  }
  // A pointer type without both marks, its words read as stored: a block
  // of the other order does not show it.
  for (const bool msbFirst : {false, true}) {
    ByteWriter unmarked(msbFirst);
    unmarked.U32(0).U32(0).U32(FDSC_SKIP).U32(FDSC_STRUCTPTR).U32(1).U32(0).U32(0);
    std::vector<unsigned char> block(unmarked.bytes().begin(), unmarked.bytes().end());
    EXPECT_EQ(IniUnpackFdsc(block.data(), msbFirst), msbFirst ? 0 : INI_RC_UNMARKED_POINTER);
  }

  for (uint32_t type : {FDSC_VERBOSITY, FDSC_DURATION, 20u, 29u}) {
    const Fdsc field = F("X", type, 1);
    unsigned char record[4] = {}, data[4] = {};
    uint32_t size = 0;
    EXPECT_EQ(IniSizeofData(&field, record, &size), INI_RC_NO_PACKED_FORM);
    EXPECT_EQ(IniPackData(&field, record, data), INI_RC_NO_PACKED_FORM);
    EXPECT_EQ(IniUnpackData(&field, record, data, 0), INI_RC_NO_PACKED_FORM);
  }
}

// ---- data blocks --------------------------------------------------------------

#pragma pack(push, 1)
struct Leaf {
  int16_t small;
  uint16_t modes[2];
};
struct Middle {
  Leaf leaf[2];
  RealTime time;
  char dotted[4];
  uint8_t byte;
};
struct Record {
  uint16_t shortBool[2];
  uint32_t boolean[2];
  uint8_t bytes[2];
  int16_t shorts[2];
  uint16_t ushorts[2];
  int32_t longs[2];
  uint32_t ulongs[2];
  float floats[2];
  double doubles[2];
  char string[9];
  char *stringPointers[2];
  uint16_t shortEnums[2];
  uint32_t enums[2];
  RealTime times[2];
  char fixed[2];
  char dotted[2];
  uint16_t verbosity_unused;
};
struct Nested {
  Middle middle[2];
  void *pointer;
};
#pragma pack(pop)

TEST_F(Pack, DataBlocksByteForByteAndFromTheOtherOrder) {
  static Sdsc fields = EveryTypeSdsc();
  fields.fieldCount = 16;  // the plain types: verbosity is last and stays out
  for (uint32_t i = 0; i < 16; ++i) fields.fields[i].count = i == FDSC_STRING ? 9 : 2;
  fields.fields[FDSC_DOTTEDSTRING].count = 2;
  fields.fields[FDSC_FIXEDSTRING].count = 2;
  fields.size = offsetof(Record, verbosity_unused);
  const Fdsc top = F("Record", FDSC_STRUCT, 1, &fields);

  Record record{{1, 0},
                {1, 7},
                {0xAB, 0xCD},
                {-300, 2},
                {65000, 3},
                {-2, 0x7FFFFFFF},
                {0xDEADBEEF, 1},
                {0.5f, -1.0f},
                {-2.25, 3.0},
                "eight ch",
                {nullptr, nullptr},
                {0x0102, 3},
                {0x0A0B0C0D, 4},
                {997879726.25, 1.0},
                {'f', 'x'},
                {'N', 'E'},
                0};
  const auto lay = [&](ByteWriter &out) {
    for (int i = 0; i < 2; ++i) out.U16(record.shortBool[i]);
    for (int i = 0; i < 2; ++i) out.U32(record.boolean[i]);
    out.U8(0xAB).U8(0xCD);
    for (int i = 0; i < 2; ++i) out.U16(static_cast<uint16_t>(record.shorts[i]));
    for (int i = 0; i < 2; ++i) out.U16(record.ushorts[i]);
    for (int i = 0; i < 2; ++i) out.U32(static_cast<uint32_t>(record.longs[i]));
    for (int i = 0; i < 2; ++i) out.U32(record.ulongs[i]);
    for (int i = 0; i < 2; ++i) out.F32(record.floats[i]);
    for (int i = 0; i < 2; ++i) out.F64(record.doubles[i]);
    out.Raw(record.string, 9).Raw("\xEE\xEE\xEE\xEE\xEE\xEE\xEE\xEE", 8);
    for (int i = 0; i < 2; ++i) out.U16(record.shortEnums[i]);
    for (int i = 0; i < 2; ++i) out.U32(record.enums[i]);
    for (int i = 0; i < 2; ++i) out.F64(record.times[i]);
    out.Text("fxNE");
  };
  ByteWriter inOrder(false), mOrder(true);
  lay(inOrder);
  lay(mOrder);

  uint32_t size = 0;
  ASSERT_EQ(IniSizeofData(&top, nullptr, &size), 0u);
  ASSERT_EQ(size, inOrder.size());
  std::vector<unsigned char> block(size, 0xEE);
  EXPECT_EQ(IniPackData(&top, &record, block.data()), 0u);
  EXPECT_EQ(std::string(block.begin(), block.end()), inOrder.bytes());

  const std::string &bytes = mOrder.bytes();
  for (const auto &[data, swap] : {std::pair{&inOrder.bytes(), 0u}, std::pair{&bytes, 1u}}) {
    Record back{};
    EXPECT_EQ(IniUnpackData(&top, &back, data->data(), swap), 0u);
    EXPECT_TRUE(SameBytes(&back, &record, sizeof back)) << "swap " << swap;
  }
  // The documented small cases.
  unsigned short pair[2] = {};
  const Fdsc ushorts = F("U", FDSC_USHORT, 2);
  EXPECT_EQ(IniUnpackData(&ushorts, pair, "\x00\x01\x00\x02", 1), 0u);
  EXPECT_EQ(pair[0], 1);
  EXPECT_EQ(pair[1], 2);
  const Sdsc doubleAndText = S(18, {F("D", FDSC_DOUBLE, 1), F("S", FDSC_STRING, 10)});
  const Fdsc twice = F("T", FDSC_STRUCT, 2, &doubleAndText);
  EXPECT_EQ(IniSizeofData(&twice, nullptr, &size), 0u);
  EXPECT_EQ(size, 36u);
}

// Nested structures, a pointer between them on this host's width: pack,
// unpack both ways, and a record swapped twice packs to the same block.
TEST_F(Pack, NestedRecordsRoundTrip) {
  static const Sdsc nested = S(sizeof(Nested), {F("M", FDSC_STRUCT, 2, &kMiddle),
                                                F("P", FDSC_STRUCTPTR, 1, &kMiddle, FDSC_NOPACK)});
  const Fdsc top = F("N", FDSC_STRUCT, 1, &nested);
  Nested record{};
  for (int m = 0; m < 2; ++m) {
    record.middle[m] = {
        {{static_cast<int16_t>(-m), {1, 2}}, {7, {0x102, 0x304}}}, 5.5 * m, "ab", 9};
  }
  record.pointer = &record;
  uint32_t size = 0;
  ASSERT_EQ(IniSizeofData(&top, &record, &size), 0u);
  EXPECT_EQ(size, 2 * sizeof(Middle) + 4);
  std::vector<unsigned char> block(size), again(size);
  ASSERT_EQ(IniPackData(&top, &record, block.data()), 0u);
  Nested back{};
  ASSERT_EQ(IniUnpackData(&top, &back, block.data(), 0), 0u);
  EXPECT_TRUE(SameBytes(back.middle, record.middle, sizeof back.middle));
  const void *left = back.pointer;
  EXPECT_EQ(left, nullptr) << "pointer fields are left as they are";

  // Swapped once, the record packs to a block of the other order, which
  // unpacking with swap brings back; swapped twice, it is what it was.
  const Nested original = record;
  void *cursor = &record;
  SwpSwapStructure(&cursor, &nested, 0);
  ASSERT_EQ(IniPackData(&top, &record, again.data()), 0u);
  EXPECT_NE(again, block);
  back = Nested{};
  ASSERT_EQ(IniUnpackData(&top, &back, again.data(), 1), 0u);
  EXPECT_TRUE(SameBytes(back.middle, original.middle, sizeof back.middle));
  cursor = &record;
  SwpSwapStructure(&cursor, &nested, 0);
  EXPECT_TRUE(SameBytes(&record, &original, sizeof record));
}

// ---- damaged blocks ---------------------------------------------------------------

// Unpacks a block of exactly `length` heap bytes; a tree it accepts is
// walked whole (by sizing it) before it is freed.
uint32_t UnpackTree(const std::vector<unsigned char> &bytes, size_t length, uint32_t swap) {
  std::vector<unsigned char> block(bytes.begin(), bytes.begin() + static_cast<long>(length));
  Fdsc *tree = reinterpret_cast<Fdsc *>(1);
  const uint32_t result =
      IniUnpackFdscTree(block.data(), static_cast<uint32_t>(length), swap, &tree);
  EXPECT_EQ(result == 0, tree != nullptr);
  if (tree != nullptr) {
    uint32_t size = 0;
    IniSizeofFdsc(tree, &size);
    MemFreeMem_(tree);
  }
  return result;
}

TEST_F(Pack, DamagedBlocksStayInsideTheirBytes) {
  static const Sdsc every = EveryTypeSdsc();
  const std::vector<unsigned char> valid = Packed(F("Every", FDSC_STRUCT, 1, &every));
  EXPECT_EQ(UnpackTree(valid, valid.size(), 0), 0u);
  // Cut anywhere, the block no longer holds the tree.
  for (size_t length = 0; length < valid.size(); length += 1 + length / 64) {
    EXPECT_EQ(UnpackTree(valid, length, 0), INI_RC_MALFORMED) << length;
  }
  std::mt19937 random(105);
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<unsigned char> bytes = valid;
    if (round % 4 == 0) {
      bytes.resize(random() % 4000);
      for (unsigned char &byte : bytes) byte = static_cast<unsigned char>(random());
    } else {
      for (unsigned damage = 1 + random() % 4; damage > 0; --damage) {
        const size_t at = random() % (bytes.size() - 3);
        const uint32_t word = random() % 3 == 0 ? random() : random() % (bytes.size() + 64);
        if (random() % 2 == 0) {
          std::memcpy(bytes.data() + (at & ~size_t{3}), &word, 4);
        } else {
          bytes[at] = static_cast<unsigned char>(word);
        }
      }
    }
    const size_t length = random() % 3 == 0 ? random() % (bytes.size() + 1) : bytes.size();
    const uint32_t result = UnpackTree(bytes, length, random() % 2);
    EXPECT_TRUE(result == 0 || result == INI_RC_UNMARKED_POINTER || result == INI_RC_MALFORMED);
    accepted += result == 0 ? 1 : 0;
  }
  EXPECT_GT(accepted, 100) << "damage to unused slots and numbers keeps a block usable";

  // In place, a reference word pointing anywhere but where packing puts it
  // is refused before it is followed, and the block is left as it was.
  const size_t firstSlot = WordAt(valid, 24) + 16;
  for (const size_t word : {size_t{4}, size_t{24}, firstSlot + 4, firstSlot + 24}) {
    for (const uint32_t offset : {1u, 27u, 4096u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
      std::vector<unsigned char> bytes = valid;
      std::memcpy(bytes.data() + word, &offset, 4);
      const std::vector<unsigned char> before = bytes;
      EXPECT_EQ(IniUnpackFdsc(bytes.data(), 0), INI_RC_MALFORMED);
      EXPECT_EQ(bytes, before);
    }
  }

  // Random data blocks into a record of exactly its extent.
  static const Sdsc nested = S(2 * sizeof(Middle), {F("M", FDSC_STRUCT, 2, &kMiddle)});
  const Fdsc top = F("N", FDSC_STRUCT, 1, &nested);
  for (int round = 0; round < 200; ++round) {
    std::vector<unsigned char> block(2 * sizeof(Middle)), record(2 * sizeof(Middle));
    for (unsigned char &byte : block) byte = static_cast<unsigned char>(random());
    EXPECT_EQ(IniUnpackData(&top, record.data(), block.data(), round % 2), 0u);
    EXPECT_EQ(IniPackData(&top, record.data(), block.data()), 0u);
  }
}

}  // namespace
