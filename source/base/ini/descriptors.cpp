// descriptors.cpp - the type table, the sub-descriptors a field may carry,
// the extent rule of records, and the packed size of a descriptor tree
// (counted by the packing walk of pack_descriptor.cpp).
//
// Relies on: qorb32n.h for the descriptor records. Every size and format
// the configuration family uses comes from the one table below.
#include "ini/packed.h"
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
  if (descriptor != nullptr) qorb::ini::packed::PackDescriptor(*descriptor, nullptr, size);
  return 0;
}

}  // extern "C"
