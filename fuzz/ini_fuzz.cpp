// ini_fuzz.cpp - IniOpen on any file, IniRead of a record that uses every
// field type (own formats, enumerations, a dotted string, nested structures,
// a structure pointer, lists of strings, numbers and structures), then
// IniWrite of what was read and IniOpen of that output. Everything the read
// allocated is freed again, and the allocator must end where it started.
//
// Relies on: IniOpen, IniRead, IniWrite and IniClose through files on the
// scratch drive; MemFreeMem_, MemFreeString_ and LstFreeList_ for the record.
#include <cstdlib>
#include <cstring>

#include "fuzz_input.h"
#include "qorb32n.h"
#include "support/descriptors.h"

namespace {

using qorb::test::F;
using qorb::test::S;

#pragma pack(push, 1)
struct Inner {
  int32_t number;
  char tag[8];
  char *note;
  double ratio;
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

const Edsc kColours{3, {"Red", "Green", "Blue"}, {1, 2, 0x10003}};
const Sdsc kNameExt = S(11, {F("Name", FDSC_STRING, 8), F("Ext", FDSC_STRING, 3)});
const Sdsc kInner = S(
    sizeof(Inner), {F("Number", FDSC_LONG, 1, nullptr, 0, "%5ld"), F("Tag", FDSC_STRING, 8),
                    F("Note", FDSC_STRINGPTR, 1), F("Ratio", FDSC_DOUBLE, 1, nullptr, 0, "%.3e")});
const Fdsc kHost = F("Host", FDSC_STRINGPTR, 1);
const Fdsc kNumber = F("Number", FDSC_LONG, 1, nullptr, 0, "%x");
const Sdsc kEveryFields = S(sizeof(Every), {F("ShortBool", FDSC_SHORTBOOL, 1),
                                            F("Bool", FDSC_BOOL, 1),
                                            F("Byte", FDSC_BYTE, 1),
                                            F("Short", FDSC_SHORT, 1),
                                            F("UShort", FDSC_USHORT, 1, nullptr, 0, "%ho"),
                                            F("Long", FDSC_LONG, 3),
                                            F("ULong", FDSC_ULONG, 1, nullptr, 0, "0x%lX"),
                                            F("Float", FDSC_FLOAT, 1, nullptr, 0, "%g"),
                                            F("Double", FDSC_DOUBLE, 1),
                                            F("String", FDSC_STRING, 12),
                                            F("Pointer", FDSC_STRINGPTR, 1, nullptr, 0, "[%s]"),
                                            F("ShortEnum", FDSC_SHORTENUM, 1, &kColours),
                                            F("Enum", FDSC_ENUM, 1, &kColours),
                                            F("Time", FDSC_REALTIME, 1),
                                            F("Fixed", FDSC_FIXEDSTRING, 6),
                                            F("Dotted", FDSC_DOTTEDSTRING, 11, &kNameExt),
                                            F("Level", FDSC_VERBOSITY, 1),
                                            F("Wait", FDSC_DURATION, 1),
                                            F("Skipped", FDSC_ULONG, 1, nullptr, FDSC_SKIP),
                                            F("Hosts", FDSC_LIST, 1, &kHost),
                                            F("Numbers", FDSC_LIST, 1, &kNumber),
                                            F("Inner", FDSC_STRUCT, 2, &kInner),
                                            F("Pointed", FDSC_STRUCTPTR, 1, &kInner),
                                            F("Item", FDSC_STRUCTLIST, 1, &kInner)});
const Fdsc kEvery = F("Every", FDSC_STRUCT, 1, &kEveryFields);

void FreeInner(Inner &inner) {
  if (inner.note != nullptr) MemFreeString_(inner.note);
}

// Frees a list's items and, through freeData, what each item's data holds.
template <typename FreeData>
void FreeList(LstList *list, FreeData freeData) {
  if (list == nullptr) return;
  for (LstItem *item = list->first; item != nullptr; item = item->next) freeData(item->data);
  LstFreeList_(list);
}

void FreeEvery(Every &every) {
  if (every.stringPointer != nullptr) MemFreeString_(every.stringPointer);
  FreeList(every.hosts, [](void *text) { MemFreeString_(text); });
  FreeList(every.numbers, [](void *number) { MemFreeMem_(number); });
  for (Inner &inner : every.inner) FreeInner(inner);
  if (every.innerPointer != nullptr) {
    FreeInner(*every.innerPointer);
    MemFreeMem_(every.innerPointer);
  }
  FreeList(every.innerList, [](void *inner) {
    FreeInner(*static_cast<Inner *>(inner));
    MemFreeMem_(inner);
  });
}

// Reads the record from an open file; answers whether the read kept to the
// fields that are not to be touched.
bool ReadEvery(IniFile *file, Every &every) {
  every = Every{};
  every.skipped = 0x5A5A5A5Au;
  const uint32_t rc = IniRead(file, &every, &kEvery);
  if (rc > 1) return false;
  if (every.string[sizeof every.string - 1] != '\0') return false;
  for (const Inner &inner : every.inner) {
    if (inner.tag[sizeof inner.tag - 1] != '\0') return false;
  }
  return every.skipped == 0x5A5A5A5Au;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  qorb::fuzz::SetUpLibrary();
  const std::string path = qorb::fuzz::WriteInputFile("in.ini", data, size);
  const qorb::fuzz::AllocationBalance balance;
  IniFile *file = IniOpen(path.c_str(), INI_MODE_READ);
  if (file == nullptr) return 0;
  if (file->entryCount > INI_MAX_ENTRIES) std::abort();
  Every every;
  const bool kept = ReadEvery(file, every);
  IniClose(file);
  if (!kept) std::abort();

  IniFile *out = IniOpen("F:\\out.ini", INI_MODE_WRITE);
  if (out == nullptr) std::abort();
  IniWrite(out, &every, &kEvery);
  IniClose(out);
  FreeEvery(every);

  IniFile *back = IniOpen("F:\\out.ini", INI_MODE_READ);
  if (back != nullptr) {
    Every again;
    const bool keptAgain = ReadEvery(back, again);
    IniClose(back);
    FreeEvery(again);
    if (!keptAgain) std::abort();
  }
  return 0;
}
