// swap_test.cpp - byte swapping: single values and arrays at unaligned
// addresses, and whole records by descriptor, checked against records laid
// down by hand in the "M" order. Members of byte-packed records are compared
// through a unary plus, as a copy: a reference to one may be misaligned.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "qorb32n.h"
#include "support/byte_order.h"
#include "support/descriptors.h"

namespace {

using qorb::test::ByteWriter;
using qorb::test::F;
using qorb::test::Hex;
using qorb::test::S;
using qorb::test::SameBytes;

TEST(Swap, SingleValuesAtUnalignedAddresses) {
  const struct {
    void (*swap)(void *);
    size_t width;
    const char *after;
  } cases[] = {
      {SwpSwapShort, 2, "02 01"},       {SwpSwapUShort, 2, "02 01"},
      {SwpSwapULong, 4, "04 03 02 01"}, {SwpSwapLong, 4, "04 03 02 01"},
      {SwpSwapFloat, 4, "04 03 02 01"}, {SwpSwapDouble, 8, "08 07 06 05 04 03 02 01"},
  };
  for (const auto &c : cases) {
    unsigned char bytes[11] = {0xEE, 1, 2, 3, 4, 5, 6, 7, 8, 0xEE, 0xEE};
    c.swap(bytes + 1);
    EXPECT_EQ(Hex(bytes + 1, c.width), c.after);
    EXPECT_EQ(bytes[0], 0xEE);
    EXPECT_EQ(bytes[1 + c.width], c.width == 8 ? 0xEE : 1 + c.width);
    c.swap(bytes + 1);
    EXPECT_EQ(Hex(bytes + 1, 8), "01 02 03 04 05 06 07 08");
  }
  // A float swapped as raw bytes survives even when the swapped bits are a
  // signalling NaN.
  float value = 0;
  const unsigned char nanBytes[4] = {0x01, 0x00, 0x80, 0x7F};
  std::memcpy(&value, nanBytes, 4);
  SwpSwapFloat(&value);
  SwpSwapFloat(&value);
  EXPECT_TRUE(SameBytes(&value, nanBytes, 4));
}

TEST(Swap, LongArraySwapsEachValueAndNothingElse) {
  std::vector<unsigned char> bytes(3 + 4 * 5 + 3, 0xEE);
  for (size_t i = 0; i < 20; ++i) bytes[3 + i] = static_cast<unsigned char>(i);
  SwpSwapLongArray(bytes.data() + 3, 0);
  EXPECT_EQ(bytes[3], 0);
  SwpSwapLongArray(bytes.data() + 3, 5);
  EXPECT_EQ(Hex(bytes.data(), bytes.size()),
            "EE EE EE 03 02 01 00 07 06 05 04 0B 0A 09 08 0F 0E 0D 0C 13 12 11 10 EE EE EE");
}

// ---- records -------------------------------------------------------------

#pragma pack(push, 1)
struct Inner {
  int16_t small;
  uint32_t word;
  double real;
};
struct Every {
  uint16_t shortBool;
  uint32_t boolean;
  uint8_t byte;
  int16_t shortNumber;
  uint16_t ushortNumber;
  int32_t longs[2];
  uint32_t ulongNumber;
  float single;
  double twice;
  char string[5];
  char *stringPointer;
  uint16_t shortEnum;
  uint32_t enumeration;
  RealTime time;
  char fixed[3];
  char dotted[4];
  uint32_t verbosity;
  uint32_t duration;
  LstList *structures;
  LstList *elements;
  Inner inner[2];
  Inner *pointed;
  uint32_t last;
};
#pragma pack(pop)

const Edsc kNames{1, {"One"}, {1}};
const Sdsc kDottedParts = S(4, {F("Name", FDSC_STRING, 2), F("Ext", FDSC_STRING, 2)});
const Sdsc kInner = S(sizeof(Inner), {F("Small", FDSC_SHORT, 1), F("Word", FDSC_ULONG, 1),
                                      F("Real", FDSC_DOUBLE, 1)});
const Fdsc kElement = F("Element", FDSC_ULONG, 1);
const Sdsc kEvery = S(sizeof(Every), {F("ShortBool", FDSC_SHORTBOOL, 1),
                                      F("Bool", FDSC_BOOL, 1),
                                      F("Byte", FDSC_BYTE, 1),
                                      F("Short", FDSC_SHORT, 1),
                                      F("UShort", FDSC_USHORT, 1),
                                      F("Long", FDSC_LONG, 2),
                                      F("ULong", FDSC_ULONG, 1),
                                      F("Float", FDSC_FLOAT, 1),
                                      F("Double", FDSC_DOUBLE, 1),
                                      F("String", FDSC_STRING, 5),
                                      F("Pointer", FDSC_STRINGPTR, 1),
                                      F("ShortEnum", FDSC_SHORTENUM, 1, &kNames),
                                      F("Enum", FDSC_ENUM, 1, &kNames),
                                      F("Time", FDSC_REALTIME, 1),
                                      F("Fixed", FDSC_FIXEDSTRING, 3),
                                      F("Dotted", FDSC_DOTTEDSTRING, 4, &kDottedParts),
                                      F("Level", FDSC_VERBOSITY, 1),
                                      F("Wait", FDSC_DURATION, 1),
                                      F("Structures", FDSC_STRUCTLIST, 1, &kInner),
                                      F("Elements", FDSC_LIST, 1, &kElement),
                                      F("Inner", FDSC_STRUCT, 2, &kInner),
                                      F("Pointed", FDSC_STRUCTPTR, 1, &kInner),
                                      F("Last", FDSC_ULONG, 1)});

// The bytes of an Inner in the given order.
void PutInner(ByteWriter &out, int16_t small, uint32_t word, double real) {
  out.U16(static_cast<uint16_t>(small)).U32(word).F64(real);
}

// A record of every type with the numbers in the given order; pointers,
// texts and the verbosity and duration words as the record holds them.
std::string EveryBytes(bool msbFirst, Inner *pointed, LstList *list) {
  ByteWriter out(msbFirst);
  char *text = nullptr;
  const uint32_t levelAndWait[2] = {0x8001, 93784};
  out.U16(1).U32(0x01020304).U8(0xAB).U16(static_cast<uint16_t>(-300)).U16(65000);
  out.U32(static_cast<uint32_t>(-2)).U32(0x7FFFFFFF).U32(0xDEADBEEF).F32(0.5f).F64(-2.25);
  out.Text("abcd").Zeros(1).Pointer(text).U16(0x0102).U32(0x0A0B0C0D).F64(997879726.25);
  out.Text("xyzNMEX").Raw(levelAndWait, sizeof levelAndWait);
  out.Pointer(list).Pointer(list);
  PutInner(out, -1, 0x11223344, 1.5);
  PutInner(out, 7, 0x55667788, -0.125);
  out.Pointer(pointed).U32(0xCAFEF00D);
  return out.bytes();
}

Every EveryFrom(const std::string &bytes) {
  Every every;
  EXPECT_EQ(bytes.size(), sizeof every);
  std::memcpy(&every, bytes.data(), sizeof every);
  return every;
}

TEST(Swap, RecordOfEveryTypeFromTheOtherOrder) {
  Inner pointedNative{3, 0x01000000, 2.0};
  ByteWriter pointedM(true);
  PutInner(pointedM, 3, 0x01000000, 2.0);
  Inner pointed;
  std::memcpy(&pointed, pointedM.bytes().data(), sizeof pointed);
  auto *list = reinterpret_cast<LstList *>(static_cast<uintptr_t>(0x12345678));

  Every every = EveryFrom(EveryBytes(true, &pointed, list));
  void *cursor = &every;
  SwpSwapStructure(&cursor, &kEvery, 1);
  EXPECT_EQ(cursor, reinterpret_cast<unsigned char *>(&every) + sizeof every);
  const Every expected = EveryFrom(EveryBytes(false, &pointed, list));
  EXPECT_EQ(Hex(&every, sizeof every), Hex(&expected, sizeof expected));
  EXPECT_EQ(+every.verbosity, 0x8001u) << "verbosity keeps its byte order";
  EXPECT_EQ(Hex(&pointed, sizeof pointed), Hex(&pointedNative, sizeof pointedNative));

  // Without follow the pointed-to structure stays; twice restores all.
  cursor = &every;
  SwpSwapStructure(&cursor, &kEvery, 0);
  EXPECT_EQ(Hex(&pointed, sizeof pointed), Hex(&pointedNative, sizeof pointedNative));
  cursor = &every;
  SwpSwapStructure(&cursor, &kEvery, 0);
  EXPECT_EQ(Hex(&every, sizeof every), Hex(&expected, sizeof expected));
}

TEST(Swap, StructurePointersAreFollowedOnlyWhenAsked) {
  Inner first{0x0102, 0x0A0B0C0D, 0.0};
  Inner second = first;
  Inner *pointers[2] = {&first, &second};
  const Fdsc field = F("Pointed", FDSC_STRUCTPTR, 2, &kInner);
  void *cursor = pointers;
  SwpSwapField(&cursor, &field, 0);
  EXPECT_EQ(+first.small, 0x0102);
  EXPECT_EQ(pointers[0], &first) << "the pointer itself is never swapped";
  EXPECT_EQ(cursor, &pointers[2]);
  cursor = pointers;
  SwpSwapField(&cursor, &field, 1);
  EXPECT_EQ(+first.small, 0x0201);
  EXPECT_EQ(+first.word, 0x0D0C0B0Au);
  EXPECT_EQ(+second.small, 0x0102) << "only the field's first pointer is followed";
  Inner *none = nullptr;
  cursor = &none;
  SwpSwapField(&cursor, &field, 1);
  EXPECT_EQ(cursor, &none + 2);
}

}  // namespace
