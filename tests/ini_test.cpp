// ini_test.cpp - configuration files: the type table and descriptor sizes,
// value conversions both ways (caller formats included), the file syntax,
// lookups, reading and writing records of every type, and random files.
// Files live on drive C: mapped to a temporary directory; every case checks
// that the allocator's counters end where they started.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ini/walker.h"
#include "qorb32n.h"
#include "support/descriptors.h"
#include "support/line_ends.h"
#include "support/mapped_drives.h"
#include "support/tracked_balance.h"

namespace {

using qorb::ini::Flow;

using qorb::test::F;
using qorb::test::HostLineEnds;
using qorb::test::S;

// Frees what IniRead allocated into a record, by walking its descriptor:
// string pointers, pointed-to structures, and lists with their elements.
class RecordFreer final : public qorb::ini::RecordVisitor {
 protected:
  Flow Plain(const Fdsc &field, uint32_t, unsigned char *address) override {
    if (field.type == FDSC_STRINGPTR) MemFreeString_(Take(address));
    return Flow::kNext;
  }
  Flow Structure(const Fdsc &, const Sdsc &structure, uint32_t, unsigned char *address) override {
    Walk(address, structure);
    return Flow::kNext;
  }
  Flow StructurePointer(const Fdsc &, const Sdsc &structure, uint32_t,
                        unsigned char *address) override {
    if (void *pointed = Take(address)) {
      Walk(pointed, structure);
      MemFreeMem_(pointed);
    }
    return Flow::kEndField;
  }
  Flow StructureList(const Fdsc &, const Sdsc &structure, uint32_t,
                     unsigned char *address) override {
    auto *list = static_cast<LstList *>(Take(address));
    for (LstItem *item = list != nullptr ? list->first : nullptr; item; item = item->next) {
      Walk(item->data, structure);
      MemFreeMem_(item->data);
    }
    LstFreeList_(list);
    return Flow::kEndField;
  }
  Flow List(const Fdsc &, const Fdsc &element, uint32_t, unsigned char *address) override {
    auto *list = static_cast<LstList *>(Take(address));
    for (LstItem *item = list != nullptr ? list->first : nullptr; item; item = item->next) {
      if (element.type == FDSC_STRINGPTR) {
        MemFreeString_(item->data);
      } else {
        MemFreeMem_(item->data);
      }
    }
    LstFreeList_(list);
    return Flow::kEndField;
  }

 private:
  static void *Take(unsigned char *address) {
    void *pointer = qorb::ini::LoadPointer(address);
    qorb::ini::StorePointer(address, nullptr);
    return pointer;
  }
  void Walk(void *address, const Sdsc &structure) {
    qorb::ini::WalkStructure(&address, structure, *this);
  }
};

void FreeRecord(void *record, const Fdsc &descriptor) {
  RecordFreer freer;
  qorb::ini::WalkField(&record, descriptor, freer);
}

class Ini : public testing::Test {
 protected:
  Ini() { ErrInitialize(ERR_MODE_CONSOLE, "initest", 0, 0, 0, 0); }

  IniFile *OpenText(const std::string &content, const std::string &name = "C:\\work\\t.ini") {
    drives_.MakeFile(name, content);
    return IniOpen(name.c_str(), INI_MODE_READ);
  }
  std::string FileText(const std::string &name) const {
    std::ifstream in(drives_.Host(name), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // Writes one record as its own file and answers the file's text.
  std::string WriteText(const void *record, const Fdsc &descriptor) {
    IniFile *file = IniOpen("C:\\work\\w.ini", INI_MODE_WRITE);
    EXPECT_NE(file, nullptr);
    EXPECT_EQ(IniWrite(file, record, &descriptor), 0u);
    IniClose(file);
    return FileText("C:\\work\\w.ini");
  }
  // Reads that file back into a record; 2 when it does not open.
  uint32_t ReadBack(void *record, const Fdsc &descriptor) {
    IniFile *file = IniOpen("C:\\work\\w.ini", INI_MODE_READ);
    EXPECT_NE(file, nullptr);
    if (file == nullptr) return 2;
    const uint32_t result = IniRead(file, record, &descriptor);
    IniClose(file);
    return result;
  }

  qorb::test::TrackedBalance balance_;
  qorb::test::MappedDrives drives_;
};

// The entries of an open file as "[Section]" and "key=value".
std::vector<std::string> Entries(const IniFile *file) {
  std::vector<std::string> entries;
  for (uint32_t i = 0; i < file->entryCount; ++i) {
    const IniEntry &entry = file->entries[i];
    entries.push_back(entry.isSection != 0 ? "[" + std::string(entry.name) + "]"
                                           : std::string(entry.name) + "=" + entry.value);
  }
  return entries;
}

// ---- descriptors ---------------------------------------------------------

// The tests that read and write files on C: and D:.
class IniFiles : public Ini {
 protected:
  void SetUp() override { QORB_NEEDS_TEST_DRIVES(); }
};

TEST_F(Ini, TypeTableExtentsAndPackedSizes) {
  // Pointer fields take the width of the build's pointers.
  const IniTypeDefault *table = IniGetTypeDefaults();
  for (uint32_t type : {FDSC_STRINGPTR, FDSC_STRUCTLIST, FDSC_LIST, FDSC_STRUCTPTR}) {
    EXPECT_EQ(table[type].size, sizeof(void *));
  }
  const Sdsc twelve = S(12, {F("A", FDSC_ULONG, 3)});
  EXPECT_EQ(qorb::ini::FieldExtent(F("T", FDSC_STRUCT, 3, &twelve)), 36u);

  const Edsc mode{2, {"Off", "On"}, {0, 1}};
  const Sdsc empty = S(0, {});
  const struct {
    Fdsc descriptor;
    uint32_t size;
  } sizes[] = {{F("Port", FDSC_ULONG, 1), 33},
               {F("Mode", FDSC_ENUM, 1, &mode), 175},
               {F("Cfg", FDSC_STRUCT, 1, &empty), 28 + 4 + 1696},
               {F("Fmt", FDSC_ULONG, 1, nullptr, 0, "%lx"), 28 + 4 + 4}};
  for (const auto &c : sizes) {
    uint32_t size = 1;
    EXPECT_EQ(IniSizeofFdsc(&c.descriptor, &size), 0u);
    EXPECT_EQ(size, c.size) << c.descriptor.name;
  }
}

// A visitor that stops each field at its first element still leaves the
// cursor past the field; a structure that contains itself ends.
TEST_F(Ini, WalkerKeepsTheCursorRule) {
  struct FirstOnly final : qorb::ini::FieldVisitor {
    Flow Element(const Fdsc &, uint32_t, unsigned char *address) override {
      addresses.push_back(address);
      return Flow::kEndField;
    }
    std::vector<unsigned char *> addresses;
  } visitor;
  static Sdsc looping = S(4, {F("L", FDSC_LONG, 1)});
  looping.fields[1] = F("Self", FDSC_STRUCT, 1, &looping);
  looping.fieldCount = 2;
  const Sdsc record =
      S(34, {F("Bytes", FDSC_BYTE, 2), F("Name", FDSC_STRING, 8), F("Longs", FDSC_LONG, 3),
             F("Skip", FDSC_ULONG, 3, nullptr, FDSC_SKIP)});
  unsigned char bytes[34] = {};
  void *cursor = bytes;
  EXPECT_TRUE(qorb::ini::WalkStructureInTwoPasses(&cursor, record, visitor));
  EXPECT_EQ(cursor, bytes + 34);
  EXPECT_EQ(visitor.addresses,
            (std::vector<unsigned char *>{bytes, bytes + 2, bytes + 10, bytes + 22}));
  // A walk that only counts hands out NULL addresses and ends NULL.
  visitor.addresses.clear();
  cursor = nullptr;
  EXPECT_TRUE(qorb::ini::WalkStructure(&cursor, record, visitor));
  EXPECT_EQ(cursor, nullptr);
  EXPECT_EQ(visitor.addresses, std::vector<unsigned char *>(4, nullptr));

  struct Descend final : qorb::ini::FieldVisitor {
    Flow Element(const Fdsc &field, uint32_t, unsigned char *address) override {
      if (field.type != FDSC_STRUCT) return Flow::kNext;
      void *inner = address;
      qorb::ini::WalkStructure(&inner, looping, *this);
      return Flow::kNext;
    }
  } descend;
  unsigned char small[8] = {};
  cursor = small;
  EXPECT_TRUE(qorb::ini::WalkStructure(&cursor, looping, descend));
  uint32_t size = 0;
  const Fdsc top = F("Top", FDSC_STRUCT, 1, &looping);
  EXPECT_EQ(IniSizeofFdsc(&top, &size), 0u);
  EXPECT_GT(size, 1696u * 100);
}

// ---- conversions ---------------------------------------------------------

const Edsc kColours{3, {"Red", "Green", "Blue"}, {1, 2, 0x10003}};
const Sdsc kNameExt = S(11, {F("Name", FDSC_STRING, 8), F("Ext", FDSC_STRING, 3)});

struct ConversionCase {
  Fdsc field;
  std::string bytes;  // the element's bytes
  std::string text;
};

std::string Bytes(const void *value, size_t size) {
  return std::string(static_cast<const char *>(value), size);
}
template <typename T>
std::string Bytes(T value) {
  return Bytes(&value, sizeof value);
}

TEST_F(Ini, ElementsToText) {
  const ConversionCase cases[] = {
      {F("B", FDSC_BOOL, 1), Bytes<int32_t>(2), "FALSE"},
      {F("B", FDSC_SHORTBOOL, 1), Bytes<int16_t>(1), "TRUE"},
      {F("B", FDSC_BYTE, 1), Bytes<uint8_t>(200), "200"},
      {F("S", FDSC_SHORT, 1), Bytes<int16_t>(-5), "-5"},
      {F("U", FDSC_ULONG, 1, nullptr, 0, "%lx"), Bytes<uint32_t>(255), "ff"},
      {F("L", FDSC_LONG, 1, nullptr, 0, "%lx"), Bytes<int32_t>(-1), "ffffffff"},
      {F("F", FDSC_FLOAT, 1), Bytes<float>(1.5f), "1.500000"},
      {F("D", FDSC_DOUBLE, 1, nullptr, 0, "%.2e"), Bytes<double>(1.5), "1.50e+00"},
      {F("X", FDSC_FIXEDSTRING, 6), std::string("ab\0cd ", 6), "    ab"},
      {F("X", FDSC_STRING, 4), "abcd", "abcd"},
      {F("E", FDSC_ENUM, 1, &kColours), Bytes<uint32_t>(2), "Green"},
      {F("E", FDSC_ENUM, 1, &kColours), Bytes<uint32_t>(3), "Unknown"},
      {F("E", FDSC_SHORTENUM, 1, &kColours), Bytes<uint16_t>(3), "Blue"},
      {F("E", FDSC_ENUM, 1, &kColours, 0, "<%s>"), Bytes<uint32_t>(1), "<Red>"},
      {F("T", FDSC_REALTIME, 1), Bytes<double>(997879726.25), "2001-08-15_12:48:46.2500"},
      {F("V", FDSC_VERBOSITY, 1), Bytes<uint32_t>(0xC005), "Error|Warning|Area1|Area3"},
      {F("V", FDSC_VERBOSITY, 1), Bytes<uint32_t>(0x14001), " Warning|Area1"},
      {F("V", FDSC_VERBOSITY, 1), Bytes<uint32_t>(0), ""},
      {F("W", FDSC_DURATION, 1), Bytes<uint32_t>(90061), "1d1h1m1s"},
      {F("W", FDSC_DURATION, 1), Bytes<uint32_t>(3601), "1h1s"},
      {F("N", FDSC_DOTTEDSTRING, 11, &kNameExt), "NAME    EXT", "NAME.EXT"},
      {F("N", FDSC_DOTTEDSTRING, 11, &kNameExt), "AB         ", "AB."},
  };
  for (const ConversionCase &c : cases) {
    std::string element = c.bytes;
    void *cursor = element.data();
    char out[128];
    ASSERT_EQ(IniConvertToString(&cursor, out, &c.field), 1u) << c.text;
    EXPECT_EQ(std::string(out), c.text);
    EXPECT_EQ(cursor, element.data());
  }
  const char *pointed = "text";
  void *cursor = &pointed;
  char out[128] = "untouched";
  const Fdsc pointer = F("P", FDSC_STRINGPTR, 1, nullptr, 0, "[%s]");
  EXPECT_EQ(IniConvertToString(&cursor, out, &pointer), 1u);
  EXPECT_STREQ(out, "[text]");
  const Fdsc structure = F("S", FDSC_STRUCT, 1, &kNameExt);
  std::strcpy(out, "untouched");
  EXPECT_EQ(IniConvertToString(&cursor, out, &structure), 0u);
  EXPECT_STREQ(out, "untouched");
}

struct ReadingCase {
  Fdsc field;
  std::string before;
  std::string text;
  std::string after;
  uint32_t changed;
};

TEST_F(Ini, ElementsFromText) {
  const Fdsc boolean = F("B", FDSC_BOOL, 1);
  const Fdsc verbosity = F("V", FDSC_VERBOSITY, 1);
  const Fdsc duration = F("W", FDSC_DURATION, 1);
  const ReadingCase cases[] = {
      {boolean, Bytes<int32_t>(0), "true", Bytes<int32_t>(1), 1},
      {boolean, Bytes<int32_t>(0), "TRUEISH", Bytes<int32_t>(1), 1},
      {boolean, Bytes<int32_t>(1), "Yes", Bytes<int32_t>(1), 0},
      {boolean, Bytes<int32_t>(1), "YESS", Bytes<int32_t>(0), 1},
      {F("B", FDSC_SHORTBOOL, 1), Bytes<int16_t>(0), "1", Bytes<int16_t>(0), 0},
      {F("B", FDSC_BYTE, 1), Bytes<uint8_t>(3), "-1", Bytes<uint8_t>(255), 1},
      {F("B", FDSC_BYTE, 1), Bytes<uint8_t>(3), "abc", Bytes<uint8_t>(3), 0},
      {F("S", FDSC_SHORT, 1), Bytes<int16_t>(0), "70000", Bytes<int16_t>(4464), 1},
      {F("U", FDSC_ULONG, 1, nullptr, 0, "%lx"), Bytes<uint32_t>(0), "ff", Bytes<uint32_t>(255), 1},
      {F("U", FDSC_ULONG, 1, nullptr, 0, "v=%lu!"), Bytes<uint32_t>(0), "v=77!",
       Bytes<uint32_t>(77), 1},
      {F("D", FDSC_DOUBLE, 1), Bytes<double>(2.5), "2.5", Bytes<double>(2.5), 0},
      {F("F", FDSC_FLOAT, 1), Bytes<float>(0), "0.25", Bytes<float>(0.25f), 1},
      {F("X", FDSC_FIXEDSTRING, 6), "zzzzzz", "abcdefgh", "abcdef", 1},
      {F("X", FDSC_FIXEDSTRING, 6), "A     ", "a\t", "a     ", 0},
      {F("X", FDSC_STRING, 4), "wxyz", "abcdef", "abcz", 1},
      {F("X", FDSC_STRING, 4), std::string("ABC\0", 4), "abc", std::string("abc\0", 4), 0},
      {F("E", FDSC_ENUM, 1, &kColours), Bytes<uint32_t>(9), "gREEN", Bytes<uint32_t>(2), 1},
      {F("E", FDSC_ENUM, 1, &kColours), Bytes<uint32_t>(9), "Greenish", Bytes<uint32_t>(0), 1},
      {F("E", FDSC_SHORTENUM, 1, &kColours), Bytes<uint16_t>(3), "Blue", Bytes<uint16_t>(3), 0},
      {F("T", FDSC_REALTIME, 1), Bytes<double>(0), "2001-08-15_12:48:46.25",
       Bytes<double>(997879726.25), 1},
      {verbosity, Bytes<uint32_t>(0), "error | Debug|Area12", Bytes<uint32_t>(0x9800), 1},
      {verbosity, Bytes<uint32_t>(0), " Warning|Area1", Bytes<uint32_t>(0xF000), 1},
      {verbosity, Bytes<uint32_t>(5), "Area13", Bytes<uint32_t>(0), 1},
      {verbosity, Bytes<uint32_t>(0), "", Bytes<uint32_t>(0xF000), 1},
      {duration, Bytes<uint32_t>(0), "1d1h1m30", Bytes<uint32_t>(90090), 1},
      {duration, Bytes<uint32_t>(2), "2H", Bytes<uint32_t>(2), 0},
      {F("N", FDSC_DOTTEDSTRING, 11, &kNameExt), "NAME    EXT", "LONGFILENAME.TEXT", "LONGFILETEX",
       1},
      {F("N", FDSC_DOTTEDSTRING, 11, &kNameExt), "a          ", "A", "A          ", 0},
  };
  for (const ReadingCase &c : cases) {
    std::string element = c.before;
    void *cursor = element.data();
    uint32_t changed = 7;
    ASSERT_EQ(IniConvertFromString(&cursor, c.text.c_str(), &c.field, &changed), 1u) << c.text;
    EXPECT_EQ(element, c.after) << c.text;
    EXPECT_EQ(changed, c.changed) << c.text;
  }
  char *pointer = nullptr;
  void *cursor = &pointer;
  uint32_t changed = 0;
  const Fdsc strings = F("P", FDSC_STRINGPTR, 1);
  EXPECT_EQ(IniConvertFromString(&cursor, "copy", &strings, &changed), 1u);
  EXPECT_STREQ(pointer, "copy");
  EXPECT_EQ(changed, 1u);
  MemFreeString_(pointer);
  const Fdsc list = F("L", FDSC_LIST, 1, &strings);
  EXPECT_EQ(IniConvertFromString(&cursor, "x", &list, &changed), 0u);
}

// Formats that do not fit the field's kind give way to the type's default;
// none makes a conversion write outside its element or past 127 characters.
TEST_F(Ini, CallerFormatsStayInsideTheElement) {
  const std::string tooLong = std::string(90, 'x') + "%lu";
  const struct {
    uint32_t type;
    const char *format;
    const char *text;
    std::string written;  // what 200 stored (or "abc" for strings) is written as
    std::string read;
  } cases[] = {
      {FDSC_ULONG, "%s", "ff", "200", Bytes<uint32_t>(200)},
      {FDSC_ULONG, "%n", "12", "200", Bytes<uint32_t>(12)},
      {FDSC_ULONG, "%*d", "12", "200", Bytes<uint32_t>(12)},
      {FDSC_ULONG, "%d %d", "12 13", "200", Bytes<uint32_t>(12)},
      {FDSC_ULONG, "%2$d", "12", "200", Bytes<uint32_t>(12)},
      {FDSC_ULONG, tooLong.c_str(), "12", "200", Bytes<uint32_t>(12)},
      {FDSC_ULONG, "%", "12", "200", Bytes<uint32_t>(12)},
      {FDSC_SHORT, "%lld", "70000", "200", Bytes<int16_t>(4464)},
      {FDSC_BYTE, "%ld", "300", "200", Bytes<uint8_t>(44)},
      {FDSC_FLOAT, "%Lf", "2.5", "200.000000", Bytes<float>(2.5f)},
      {FDSC_ULONG, "%200lu", "5", std::string(127, ' '), Bytes<uint32_t>(5)},
      {FDSC_STRING, "%ls", "x", "abc", std::string("x\0\0\0", 4)},
      {FDSC_STRING, "%d", "x", "abc", std::string("x\0\0\0", 4)},
  };
  for (const auto &c : cases) {
    const Fdsc field = F("F", c.type, c.type == FDSC_STRING ? 4 : 1, nullptr, 0, c.format);
    const size_t size = c.type == FDSC_STRING ? 4 : qorb::ini::ElementSize(c.type);
    // The element sits between guard bytes, in a block of its own for the
    // sanitizers.
    auto block = std::make_unique<unsigned char[]>(size + 16);
    std::memset(block.get(), 0xA5, size + 16);
    unsigned char *element = block.get() + 8;
    if (c.type == FDSC_STRING) {
      std::memcpy(element, "abc", 4);
    } else if (c.type == FDSC_FLOAT || c.type == FDSC_DOUBLE) {
      const std::string value = c.type == FDSC_FLOAT ? Bytes<float>(200) : Bytes<double>(200);
      std::memcpy(element, value.data(), size);
    } else {
      std::memset(element, 0, size);
      element[0] = 200;
    }
    void *cursor = element;
    char out[128];
    ASSERT_EQ(IniConvertToString(&cursor, out, &field), 1u) << c.format;
    EXPECT_EQ(std::string(out), c.written) << c.format;
    uint32_t changed = 0;
    ASSERT_EQ(IniConvertFromString(&cursor, c.text, &field, &changed), 1u) << c.format;
    EXPECT_EQ(std::string(reinterpret_cast<char *>(element), size), c.read) << c.format;
    for (size_t i = 0; i < 8; ++i) {
      EXPECT_EQ(block[i], 0xA5) << c.format;
      EXPECT_EQ(block[8 + size + i], 0xA5) << c.format;
    }
  }
}

// ---- the documented example ------------------------------------------------

#pragma pack(push, 1)
struct Line {
  uint32_t speed;
};
struct Cfg {
  uint32_t port;
  char label[16];
  uint16_t items[2];
  uint32_t level;
  uint32_t wait;
  Line line[2];
};
#pragma pack(pop)

const Sdsc kLine = S(sizeof(Line), {F("Speed", FDSC_ULONG, 1)});
const Sdsc kCfgFields =
    S(sizeof(Cfg), {F("Port", FDSC_ULONG, 1), F("Label", FDSC_STRING, 16),
                    F("Items", FDSC_USHORT, 2), F("Level", FDSC_VERBOSITY, 1),
                    F("Wait", FDSC_DURATION, 1), F("Line", FDSC_STRUCT, 2, &kLine)});
const Fdsc kCfg = F("Cfg", FDSC_STRUCT, 1, &kCfgFields);

TEST_F(IniFiles, DocumentedExampleWritesAndReadsBack) {
  const Cfg cfg{80, "full", {1, 2}, 0xC000, 90, {{300}, {600}}};
  drives_.MakeDirectory("C:\\data");
  IniFile *file = IniOpen("C:\\data\\cfg.ini", INI_MODE_WRITE);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(IniWrite(file, &cfg, &kCfg), 0u);
  EXPECT_EQ(IniClose(file), 0u);
  EXPECT_EQ(FileText("C:\\data\\cfg.ini"),
            HostLineEnds("[ cfg.ini ]\n\n[ Cfg ]\n  Port = 80\n  Label = \"full\"\n  Items 1 = 1\n"
                         "  Items 2 = 2\n  Level = Error|Warning\n  Wait = 1m30s\n\n"
                         "[ Cfg Line 1 ]\n  Speed = 300\n\n[ Cfg Line 2 ]\n  Speed = 600\n"));

  file = IniOpen("C:\\data\\cfg.ini", INI_MODE_READ);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->stream, nullptr);
  Cfg back{};
  EXPECT_EQ(IniRead(file, &back, &kCfg), 0u);
  EXPECT_EQ(std::memcmp(&back, &cfg, sizeof cfg), 0);
  IniClose(file);
}

// ---- a record of every type ------------------------------------------------

#pragma pack(push, 1)
struct Inner {
  int32_t number;
  char tag[8];
};
struct Every {
  int16_t shortBool;
  int32_t boolean;
  uint8_t byte;
  int16_t shortNumber;
  uint16_t ushortNumber;
  int32_t longs[3];
  uint32_t ulongNumber;
  float single;
  double twice;
  char string[12];
  char *stringPointer;
  uint16_t shortEnum;
  uint32_t enumeration;
  RealTime time;
  char fixed[6];
  char dotted[11];
  uint32_t verbosity;
  uint32_t duration;
  uint32_t skipped;
  LstList *hosts;
  LstList *numbers;
  Inner inner[2];
  Inner *innerPointer;
  LstList *innerList;
};
#pragma pack(pop)

const Sdsc kInner = S(sizeof(Inner), {F("Number", FDSC_LONG, 1), F("Tag", FDSC_STRING, 8)});
const Fdsc kHost = F("Host", FDSC_STRINGPTR, 1);
const Fdsc kNumber = F("Number", FDSC_LONG, 1);
const Sdsc kEveryFields =
    S(sizeof(Every),
      {F("ShortBool", FDSC_SHORTBOOL, 1), F("Bool", FDSC_BOOL, 1), F("Byte", FDSC_BYTE, 1),
       F("Short", FDSC_SHORT, 1), F("UShort", FDSC_USHORT, 1), F("Long", FDSC_LONG, 3),
       F("ULong", FDSC_ULONG, 1, nullptr, 0, "0x%lX"), F("Float", FDSC_FLOAT, 1),
       F("Double", FDSC_DOUBLE, 1), F("String", FDSC_STRING, 12), F("Pointer", FDSC_STRINGPTR, 1),
       F("ShortEnum", FDSC_SHORTENUM, 1, &kColours), F("Enum", FDSC_ENUM, 1, &kColours),
       F("Time", FDSC_REALTIME, 1), F("Fixed", FDSC_FIXEDSTRING, 6),
       F("Dotted", FDSC_DOTTEDSTRING, 11, &kNameExt), F("Level", FDSC_VERBOSITY, 1),
       F("Wait", FDSC_DURATION, 1), F("Skipped", FDSC_ULONG, 1, nullptr, FDSC_SKIP),
       // Element lists write their keys into the
       // section being written, so they come
       // before the structures' sections.
       F("Hosts", FDSC_LIST, 1, &kHost), F("Numbers", FDSC_LIST, 1, &kNumber),
       F("Inner", FDSC_STRUCT, 2, &kInner), F("Pointed", FDSC_STRUCTPTR, 1, &kInner),
       F("Item", FDSC_STRUCTLIST, 1, &kInner)});
const Fdsc kEvery = F("Every", FDSC_STRUCT, 1, &kEveryFields);

Inner *NewInner(int32_t number, const char *tag) {
  auto *inner = static_cast<Inner *>(MemAllocMem_(sizeof(Inner), __LINE__, "tests\\ini"));
  inner->number = number;
  std::strcpy(inner->tag, tag);
  return inner;
}

void ExpectSameInner(const Inner &a, const Inner &b) {
  EXPECT_EQ(a.number, b.number);
  EXPECT_STREQ(a.tag, b.tag);
}

std::vector<const void *> ListData(const LstList *list) {
  std::vector<const void *> data;
  for (const LstItem *item = list != nullptr ? list->first : nullptr; item; item = item->next) {
    data.push_back(item->data);
  }
  return data;
}

// The plain fields of a record of every type; pointers and lists stay NULL.
Every PlainEvery() {
  Every every{};
  every.shortBool = 1;
  every.boolean = 1;
  every.byte = 250;
  every.shortNumber = -300;
  every.ushortNumber = 65000;
  every.longs[0] = -1;
  every.longs[2] = 2147483647;
  every.ulongNumber = 0xBEEF;
  every.single = 0.5f;
  every.twice = -2.25;
  std::strcpy(every.string, "a string");
  every.shortEnum = 3;
  every.enumeration = 2;
  every.time = 997879726.25;
  std::memcpy(every.fixed, "fix ed", 6);
  std::memcpy(every.dotted, "NAME    EXT", 11);
  every.verbosity = 0x8801;
  every.duration = 93784;
  every.skipped = 99;
  every.inner[0] = {1, "one"};
  every.inner[1] = {2, "two"};
  return every;
}

TEST_F(IniFiles, EveryTypeRoundTrips) {
  Every every = PlainEvery();
  every.innerList = LstNewList(0);
  every.hosts = LstNewList(0);
  every.numbers = LstNewList(0);
  every.stringPointer = MemAllocString_("pointed text", __LINE__, "tests\\ini");
  every.innerPointer = NewInner(7, "seven");
  for (int i = 0; i < 3; ++i) LstInsert(every.innerList, NewInner(10 + i, "listed"), LST_AT_END);
  for (const char *host : {"alpha", "beta"}) {
    LstInsert(every.hosts, MemAllocString_(host, __LINE__, "tests\\ini"), LST_AT_END);
  }
  for (int32_t n : {5, -6}) {
    auto *number = static_cast<int32_t *>(MemAllocMem_(4, __LINE__, "tests\\ini"));
    *number = n;
    LstInsert(every.numbers, number, LST_AT_END);
  }
  const std::string text = WriteText(&every, kEvery);
  EXPECT_EQ(text.find("Skipped"), std::string::npos) << text;
  for (const char *lines : {"  ULong = 0xBEEF\n", "  Host 1 = \"alpha\"\n  Host 2 = \"beta\"\n",
                            "\n[ Every Item 3 ]\n  Number = 12\n"}) {
    EXPECT_NE(text.find(HostLineEnds(lines)), std::string::npos) << lines << text;
  }

  Every back{};
  ASSERT_EQ(ReadBack(&back, kEvery), 0u);

  EXPECT_STREQ(static_cast<const char *>(back.stringPointer), "pointed text");
  Every expected = every;
  expected.skipped = 0;
  const size_t plainBytes = offsetof(Every, stringPointer);
  EXPECT_EQ(std::memcmp(&back, &expected, plainBytes), 0);
  EXPECT_EQ(std::memcmp(&back.shortEnum, &expected.shortEnum,
                        offsetof(Every, hosts) - offsetof(Every, shortEnum)),
            0);
  EXPECT_EQ(std::memcmp(back.inner, expected.inner, sizeof back.inner), 0);
  ASSERT_NE(static_cast<Inner *>(back.innerPointer), nullptr);
  ExpectSameInner(*back.innerPointer, *every.innerPointer);
  const auto listed = ListData(back.innerList);
  ASSERT_EQ(listed.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    ExpectSameInner(*static_cast<const Inner *>(listed[i]),
                    *static_cast<const Inner *>(ListData(every.innerList)[i]));
  }
  const auto hosts = ListData(back.hosts);
  ASSERT_EQ(hosts.size(), 2u);
  EXPECT_STREQ(static_cast<const char *>(hosts[0]), "alpha");
  EXPECT_STREQ(static_cast<const char *>(hosts[1]), "beta");
  const auto numbers = ListData(back.numbers);
  ASSERT_EQ(numbers.size(), 2u);
  EXPECT_EQ(*static_cast<const int32_t *>(numbers[1]), -6);

  FreeRecord(&back, kEvery);
  FreeRecord(&every, kEvery);
}

// ---- the file syntax -------------------------------------------------------

TEST_F(IniFiles, FileSyntax) {
  const std::string longWord(200, 'k');
  const struct {
    std::string content;
    bool opens;
    std::vector<std::string> entries;
  } cases[] = {
      {"[ x.ini ]", true, {}},
      {"\n  [ a.ini ] junk\n[ S ]\n", true, {"[S]"}},
      {"[ ]\n[ S ]", true, {"[S]"}},
      {"[ my file ]\n", false, {}},
      {"", false, {}},
      {"junk\n", false, {}},
      {"[ a.ini ]\nSpeed =300\nSpeed = 300\n", true, {"Speed=300", "Speed=300"}},
      {"[ a.ini ]\nSpeed=300", false, {}},
      {"[ a.ini ]\nSpeed=300\nOther = 1\n", true, {"Speed=300Other=1"}},
      {"[ a.ini ]\nMax_Rate = 5\n", false, {}},
      {"[ a.ini ]\nMax Rate = 5\nItems 3 = 7", true, {"MaxRate=5", "Items3=7"}},
      {"[ a.ini ]\nName = \"abc\n   def\"\n", true, {"Name=abcdef"}},
      {"[ a.ini ]\nN = \"a b\" \"c\"\n\n \"d\" Next = 2\n", true, {"N=a bcd", "Next=2"}},
      {"[ a.ini ]\nName = \"abc\n", false, {}},
      {"[ a.ini ]\nName =\nOther = 1\n", true, {"Name=Other = 1"}},
      {"[ a.ini ]\nKey = x \"y\"  \n", true, {"Key=x \"y\"  "}},
      {"[ a.ini ]\nKey =", true, {"Key="}},
      {"[ a.ini ]\n[ Port 2 ] Speed = 300\n", true, {"[Port2]", "Speed=300"}},
      {"[ a.ini ]\n[ ]\n", false, {}},
      {"[ a.ini ]\n[ abc\n", false, {}},
      {"[ a.ini ]\n-x = 1\n", false, {}},
      {"[ a.ini ]\r\nA = 1\r\n[ B ]\r\n", true, {"A=1", "[B]"}},
      {"[ a.ini ]\n" + longWord + " = " + longWord + "\n[ " + longWord + " ]\n",
       true,
       {std::string(127, 'k') + "=" + std::string(127, 'k'), "[" + std::string(127, 'k') + "]"}},
  };
  for (const auto &c : cases) {
    IniFile *file = OpenText(c.content);
    EXPECT_EQ(file != nullptr, c.opens) << c.content;
    if (file == nullptr) continue;
    EXPECT_EQ(Entries(file), c.entries) << c.content;
    IniClose(file);
  }
}

TEST_F(IniFiles, EntryLimit) {
  // Each key is two tracked copies: more than the default 10000 blocks.
  MemSetLimits(100000000, 20000, 1);
  std::string content = "[ big.ini ]\n";
  for (int i = 0; i < 5100; ++i) {
    content +=
        i % 100 == 0 ? "[ S" + std::to_string(i) + " ]\n" : "K" + std::to_string(i) + " = v\n";
  }
  IniFile *file = OpenText(content);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->entryCount, 5100u);
  IniClose(file);
  EXPECT_EQ(OpenText(content + "Last = 1\n"), nullptr);
}

// ---- lookups and reading -------------------------------------------------

TEST_F(IniFiles, ReadingFindsTheFirstMatchIgnoringCase) {
  IniFile *file = OpenText(
      "[ a.ini ]\nport = 1\n[ CFG ]\nPORT = 80\nport = 81\n[ Cfg ]\nPort = 90\n"
      "[ cfg line 2 ]\nspeed = 600\n[ Cfg Line 1 ]\nItems 1 = 4\n");
  ASSERT_NE(file, nullptr);
  Cfg cfg{};
  cfg.wait = 5;
  cfg.line[0].speed = 9;
  EXPECT_EQ(IniRead(file, &cfg, &kCfg), 0u);
  EXPECT_EQ(cfg.port, 80u);
  EXPECT_EQ(cfg.wait, 5u);
  EXPECT_EQ(cfg.line[0].speed, 9u);
  EXPECT_EQ(cfg.line[1].speed, 600u);

  uint32_t top = 0;
  const Fdsc port = F("Port", FDSC_ULONG, 1);
  EXPECT_EQ(IniRead(file, &top, &port), 0u);
  EXPECT_EQ(top, 1u);
  const Fdsc missing = F("Speed", FDSC_ULONG, 1);
  EXPECT_EQ(IniRead(file, &top, &missing), 1u);
  EXPECT_EQ(top, 1u);
  IniClose(file);

  file = OpenText("[ a.ini ]\n[ Cfg ]\nItems 1 = 4\nItems 3 = 5\n");
  ASSERT_NE(file, nullptr);
  uint32_t items[3] = {0, 8, 9};
  const Fdsc itemsField = F("Items", FDSC_ULONG, 3);
  const Sdsc holder = S(12, {itemsField});
  const Fdsc holderField = F("Cfg", FDSC_STRUCT, 1, &holder);
  EXPECT_EQ(IniRead(file, items, &holderField), 0u);
  EXPECT_EQ(items[0], 4u);
  EXPECT_EQ(items[1], 8u);
  EXPECT_EQ(items[2], 9u);
  IniClose(file);

  file = OpenText("[ a.ini ]\nItems 1 = 4\nItems 3 = 5\n");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(IniRead(file, items, &itemsField), 1u);
  IniClose(file);

  file = OpenText("[ x.ini ]");
  ASSERT_NE(file, nullptr);
  Cfg untouched{};
  untouched.port = 3;
  Cfg read = untouched;
  EXPECT_EQ(IniRead(file, &read, &kCfg), 1u);
  EXPECT_EQ(std::memcmp(&read, &untouched, sizeof read), 0);
  IniClose(file);
}

TEST_F(IniFiles, ListsAndPointersFollowTheirSections) {
  IniFile *file = OpenText(
      "[ a.ini ]\n[ Every ]\nHost 1 = \"h1\"\nHost 2 = h2\nHost 4 = h4\nNumber 2 = 2\n"
      "[ Every Item 1 ]\nNumber = 1\n[ Every Item 2 ]\n[ Every Item 4 ]\nNumber = 4\n");
  ASSERT_NE(file, nullptr);
  Every every{};
  every.innerPointer = NewInner(1, "preset");
  LstList *untouchedList = reinterpret_cast<LstList *>(&every);
  every.numbers = untouchedList;
  EXPECT_EQ(IniRead(file, &every, &kEvery), 0u);
  EXPECT_EQ(static_cast<Inner *>(every.innerPointer), nullptr);
  EXPECT_EQ(ListData(every.innerList).size(), 2u);
  ASSERT_EQ(ListData(every.hosts).size(), 2u);
  EXPECT_STREQ(static_cast<const char *>(ListData(every.hosts)[1]), "h2");
  EXPECT_EQ(static_cast<LstList *>(every.numbers), untouchedList);
  every.numbers = nullptr;
  FreeRecord(&every, kEvery);
  IniClose(file);
}

// ---- writing ---------------------------------------------------------------

TEST_F(IniFiles, WritingEdgeCases) {
  const uint32_t levels[] = {0x2000, 0};
  const Sdsc levelPair = S(8, {F("Level", FDSC_VERBOSITY, 1), F("Wait", FDSC_DURATION, 1)});
  EXPECT_EQ(WriteText(levels, F("Top", FDSC_STRUCT, 1, &levelPair)),
            HostLineEnds("[ w.ini ]\n\n[ Top ]\n  Level =  Info\n  Wait = \n"));

  // Empty and missing lists, a NULL structure pointer and a skipped field
  // write nothing, and the field after each comes out with its own value.
  struct {
    LstList *none;
    LstList *empty;
    Inner *pointer;
    uint32_t skipped;
    uint32_t after;
  } holder{nullptr, LstNewList(0), nullptr, 1, 42};
  const Sdsc holderFields = S(
      sizeof holder, {F("None", FDSC_STRUCTLIST, 1, &kInner), F("Empty", FDSC_LIST, 1, &kHost),
                      F("Ptr", FDSC_STRUCTPTR, 1, &kInner),
                      F("Skipped", FDSC_ULONG, 1, nullptr, FDSC_SKIP), F("After", FDSC_ULONG, 1)});
  EXPECT_EQ(WriteText(&holder, F("H", FDSC_STRUCT, 1, &holderFields)),
            HostLineEnds("[ w.ini ]\n\n[ H ]\n  After = 42\n"));
  LstFreeList_(holder.empty);

  // An unknown enumeration value reads back as 0; a NULL string as "".
  struct {
    char *text;
    uint32_t colour;
  } odd{nullptr, 77};
  const Sdsc oddFields = S(sizeof odd, {kHost, F("Colour", FDSC_ENUM, 1, &kColours)});
  const Fdsc oddField = F("Odd", FDSC_STRUCT, 1, &oddFields);
  EXPECT_EQ(WriteText(&odd, oddField),
            HostLineEnds("[ w.ini ]\n\n[ Odd ]\n  Host = \"\"\n  Colour = Unknown\n"));
  EXPECT_EQ(ReadBack(&odd, oddField), 0u);
  EXPECT_EQ(odd.colour, 0u);
  EXPECT_STREQ(odd.text, "");
  MemFreeString_(odd.text);

  // Over-long values are cut inside their line; a key or section whose line
  // cannot fit is left out, with what it holds.
  const std::string longName(126, 'n');
  const std::string longValue(300, 'v');
  struct {
    const char *text;
    uint32_t number;
    Line line;
  } lengthy{longValue.c_str(), 5, {6}};
  const Sdsc lengthyFields =
      S(sizeof lengthy, {F("Text", FDSC_STRINGPTR, 1), F(longName.c_str(), FDSC_ULONG, 1),
                         F(longName.c_str(), FDSC_STRUCT, 1, &kLine)});
  const Fdsc lengthyField = F("L", FDSC_STRUCT, 1, &lengthyFields);
  const std::string text = WriteText(&lengthy, lengthyField);
  EXPECT_EQ(text,
            HostLineEnds("[ w.ini ]\n\n[ L ]\n  Text = \"" + std::string(127 - 11, 'v') + "\"\n"));
  EXPECT_EQ(ReadBack(&lengthy, lengthyField), 0u);
  EXPECT_STREQ(lengthy.text, longValue.substr(0, 127 - 11).c_str());
  MemFreeString_(const_cast<char *>(lengthy.text));

  drives_.MakeDirectory("C:\\cfg");
  IniFile *file = IniOpen("C:\\cfg\\my_app.ini", INI_MODE_WRITE);
  ASSERT_NE(file, nullptr);
  IniClose(file);
  EXPECT_EQ(FileText("C:\\cfg\\my_app.ini"), HostLineEnds("[ my_app.ini ]\n"));
  EXPECT_EQ(IniOpen("C:\\cfg\\my_app.ini", INI_MODE_READ), nullptr);
  EXPECT_EQ(IniOpen("C:\\missing\\x.ini", INI_MODE_WRITE), nullptr);
  EXPECT_EQ(IniOpen("C:\\missing\\x.ini", INI_MODE_READ), nullptr);
}

// ---- random input ----------------------------------------------------------

// Random bytes and valid files with random damage go through IniOpen and
// IniRead of a record of every type: nothing crashes or overruns (the
// sanitize build watches), and everything read is freed again.
TEST_F(IniFiles, RandomAndMutatedFiles) {
  const Every every = PlainEvery();
  const std::string valid = WriteText(&every, kEvery) + "[ Every Item 1 ]\nNumber = 3\n";
  const char alphabet[] = "[]= \"\n\t.-_|\\:ab1ENumberItemHosts ";
  std::mt19937 random(20240601);
  int opened = 0;
  for (int round = 0; round < 1500; ++round) {
    std::string content;
    if (round % 3 == 0) {
      content.resize(random() % 300);
      for (char &c : content) c = static_cast<char>(random() % 256);
      if (round % 2 == 0) content.insert(0, "[ r.ini ]\n");
    } else {
      content = valid;
      for (unsigned cut = random() % 8; cut > 0; --cut) {
        const size_t at = random() % content.size();
        switch (random() % 3) {
          case 0:
            content.erase(at, random() % 12);
            break;
          case 1:
            content.insert(at,
                           std::string(random() % 200, alphabet[random() % (sizeof alphabet - 1)]));
            break;
          default:
            content[at] = alphabet[random() % (sizeof alphabet - 1)];
        }
        if (content.empty()) content = "[";
      }
    }
    IniFile *file = OpenText(content);
    if (file == nullptr) continue;
    ++opened;
    Every read{};
    IniRead(file, &read, &kEvery);
    IniClose(file);
    FreeRecord(&read, kEvery);
  }
  // Damage leaves enough files readable for IniRead to see them.
  EXPECT_GT(opened, 300);
}

}  // namespace
