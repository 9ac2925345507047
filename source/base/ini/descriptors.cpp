// descriptors.cpp - the type table, the sub-descriptors a field may carry,
// the extent rule of records, and the packed size of a descriptor tree.
//
// Relies on: qorb32n.h for the descriptor records. Every size and format
// the configuration family uses comes from the one table below.
#include <cstring>

#include "ini/walker.h"

static_assert(sizeof(void *) != 4 || sizeof(Fdsc) == 28, "Fdsc keeps its 32-bit layout");
static_assert(sizeof(void *) != 4 || sizeof(Sdsc) == 1696, "Sdsc keeps its 32-bit layout");
static_assert(sizeof(void *) != 4 || sizeof(Edsc) == 132, "Edsc keeps its 32-bit layout");
static_assert(sizeof(void *) != 4 || sizeof(IniEntry) == 12, "IniEntry keeps its 32-bit layout");
static_assert(sizeof(IniTypeDefault) == 2 * sizeof(void *));

namespace qorb::ini {
namespace {

// The pointer types take the host's pointer size in a caller's record.
constexpr std::uint32_t kPointerSize = sizeof(void *);

constexpr IniTypeDefault kTypeTable[FDSC_TYPE_COUNT] = {
    {"%s", 2},             // FDSC_SHORTBOOL
    {"%s", 4},             // FDSC_BOOL
    {"%hd", 1},            // FDSC_BYTE
    {"%hd", 2},            // FDSC_SHORT
    {"%hu", 2},            // FDSC_USHORT
    {"%ld", 4},            // FDSC_LONG
    {"%lu", 4},            // FDSC_ULONG
    {"%f", 4},             // FDSC_FLOAT
    {"%lf", 8},            // FDSC_DOUBLE
    {"%s", 1},             // FDSC_STRING
    {"%s", kPointerSize},  // FDSC_STRINGPTR
    {"%s", 2},             // FDSC_SHORTENUM
    {"%s", 4},             // FDSC_ENUM
    {"%s", 8},             // FDSC_REALTIME
    {"%s", 1},             // FDSC_FIXEDSTRING
    {"%s", 1},             // FDSC_DOTTEDSTRING
    {"%lu", 4},            // FDSC_VERBOSITY
    {"%lu", 4},            // FDSC_DURATION
    {"", 0},               // 18 to 24: not used
    {"", 0},
    {"", 0},
    {"", 0},
    {"", 0},
    {"", 0},
    {"", 0},
    {"", 0},             // FDSC_STRUCT
    {"", kPointerSize},  // FDSC_STRUCTLIST
    {"", kPointerSize},  // FDSC_LIST
    {"", kPointerSize},  // FDSC_STRUCTPTR
};

// Sizes of the records in a packed descriptor block, the same on every host.
constexpr std::uint32_t kPackedFdscSize = 28;
constexpr std::uint32_t kPackedSdscSize = 1696;
constexpr std::uint32_t kPackedEdscSize = 132;

std::uint32_t TextSize(const char *text) {
  return text != nullptr ? static_cast<std::uint32_t>(std::strlen(text) + 1) : 0;
}

std::uint32_t RoundUpToFour(std::uint32_t offset) {
  return (offset + 3u) & ~3u;
}

// Adds the packed size of one descriptor and what hangs below it, in the
// order packing lays them down, to the running total.
void AddPackedSize(const Fdsc &descriptor, std::uint32_t &total, int depth) {
  total += kPackedFdscSize + TextSize(descriptor.name) + TextSize(descriptor.format);
  if (descriptor.sub == nullptr) return;
  total = RoundUpToFour(total);
  if (descriptor.type == FDSC_STRUCT || descriptor.type == FDSC_DOTTEDSTRING) {
    const auto &structure = *static_cast<const Sdsc *>(descriptor.sub);
    total += kPackedSdscSize;
    if (depth >= kMaxNesting) return;
    for (std::uint32_t i = 0; i < FieldsInUse(structure); ++i) {
      AddPackedSize(structure.fields[i], total, depth + 1);
    }
  } else if (descriptor.type == FDSC_SHORTENUM || descriptor.type == FDSC_ENUM) {
    const auto &enumeration = *static_cast<const Edsc *>(descriptor.sub);
    total += kPackedEdscSize;
    for (const char *name : enumeration.names) total += TextSize(name);
  }
}

}  // namespace

std::uint32_t ElementSize(std::uint32_t type) {
  return type < FDSC_TYPE_COUNT ? kTypeTable[type].size : 0;
}

const char *DefaultFormat(std::uint32_t type) {
  return type < FDSC_TYPE_COUNT ? kTypeTable[type].format : "";
}

const Sdsc *StructureOf(const Fdsc &field) {
  const bool hasStructure = field.type == FDSC_DOTTEDSTRING || field.type == FDSC_STRUCT ||
                            field.type == FDSC_STRUCTLIST || field.type == FDSC_STRUCTPTR;
  return hasStructure ? static_cast<const Sdsc *>(field.sub) : nullptr;
}

const Edsc *EnumerationOf(const Fdsc &field) {
  const bool hasNames = field.type == FDSC_SHORTENUM || field.type == FDSC_ENUM;
  return hasNames ? static_cast<const Edsc *>(field.sub) : nullptr;
}

const Fdsc *ElementOf(const Fdsc &field) {
  return field.type == FDSC_LIST ? static_cast<const Fdsc *>(field.sub) : nullptr;
}

std::uint32_t FieldsInUse(const Sdsc &structure) {
  return structure.fieldCount < SDSC_MAX_FIELDS ? structure.fieldCount : SDSC_MAX_FIELDS;
}

std::uint32_t NamesInUse(const Edsc &enumeration) {
  return enumeration.count < EDSC_MAX_NAMES ? enumeration.count : EDSC_MAX_NAMES;
}

std::uint32_t ElementCount(const Fdsc &field) {
  if (IsCharacterType(field.type)) return field.count > 0 ? 1 : 0;
  return field.count;
}

std::size_t ElementStride(const Fdsc &field) {
  if (IsCharacterType(field.type)) return field.count;
  if (field.type == FDSC_STRUCT) {
    const Sdsc *structure = StructureOf(field);
    return structure != nullptr ? structure->size : 0;
  }
  return ElementSize(field.type);
}

std::size_t FieldExtent(const Fdsc &field) {
  return ElementCount(field) * ElementStride(field);
}

}  // namespace qorb::ini

extern "C" {

QORB_API const IniTypeDefault *IniGetTypeDefaults(void) {
  return qorb::ini::kTypeTable;
}

QORB_API uint32_t IniSizeofFdsc(const Fdsc *descriptor, uint32_t *size) {
  if (size == nullptr) return 0;
  *size = 0;
  if (descriptor != nullptr) qorb::ini::AddPackedSize(*descriptor, *size, 0);
  return 0;
}

}  // extern "C"
