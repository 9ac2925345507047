// walker.h - field descriptors over a caller's record: the type table's
// facts, the extent rule, and the one record-cursor walker that reading,
// writing, packing and byte swapping share.
//
// Relies on: qorb32n.h for Fdsc, Sdsc and Edsc. Usable by any family's
// sources (swap, tag): nothing here allocates or reports.
//
// A record cursor is a pointer to a variable holding the current address in
// a record. The walker hands a field's elements to a visitor and always
// leaves the cursor just past the field's extent, whatever the visitor did
// with them, so that no client has to keep the cursor rule itself. A cursor
// holding NULL (a walk that only counts) stays NULL, and so do the element
// addresses handed out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qorb32n.h"

namespace qorb::ini {

// ---- the type table ------------------------------------------------------

// Element size in a record (the type table's "size"); 0 for codes without
// a table entry.
std::uint32_t ElementSize(std::uint32_t type);
// The type's default format; "" for codes without a table entry.
const char *DefaultFormat(std::uint32_t type);

// Types 0 to 17: one text value per element.
inline bool IsPlainType(std::uint32_t type) {
  return type <= FDSC_DURATION;
}
// Types 9, 14 and 15, whose count is a length in bytes.
inline bool IsCharacterType(std::uint32_t type) {
  return type == FDSC_STRING || type == FDSC_FIXEDSTRING || type == FDSC_DOTTEDSTRING;
}
// Types 10, 26, 27 and 28, held in a record as a pointer.
inline bool IsPointerType(std::uint32_t type) {
  return type == FDSC_STRINGPTR || type == FDSC_STRUCTLIST || type == FDSC_LIST ||
         type == FDSC_STRUCTPTR;
}
// Types 25 and up, which the configuration files keep in sections and walk
// in the second pass.
inline bool IsNestedType(std::uint32_t type) {
  return type >= FDSC_STRUCT;
}

// ---- sub-descriptors -----------------------------------------------------

// The field's structure descriptor (types 15, 25, 26, 28), else nullptr.
const Sdsc *StructureOf(const Fdsc &field);
// The field's enumeration table (types 11, 12), else nullptr.
const Edsc *EnumerationOf(const Fdsc &field);
// The element descriptor of an FDSC_LIST, else nullptr.
const Fdsc *ElementOf(const Fdsc &field);

// The slots of a structure that are looked at: fieldCount, at most 60.
std::uint32_t FieldsInUse(const Sdsc &structure);
// The names in use of an enumeration: count, at most 16.
std::uint32_t NamesInUse(const Edsc &enumeration);

// ---- extents -------------------------------------------------------------

// How many elements the walker hands over: 1 for the character types (their
// count is a length), count for every other type.
std::uint32_t ElementCount(const Fdsc &field);
// The distance between two elements: count bytes for the character types,
// the Sdsc's size for FDSC_STRUCT, the element size otherwise.
std::size_t ElementStride(const Fdsc &field);
// The bytes the field takes in a record: ElementCount x ElementStride.
std::size_t FieldExtent(const Fdsc &field);

// ---- the walker ----------------------------------------------------------

// What a visitor answers: go on with the next element, pass over the rest
// of this field, or end the whole walk.
enum class Flow { kNext, kEndField, kStop };

// Receives the fields of a walk. The walker calls BeginField once per field,
// then Element for element 0, 1, ... (each at the field's start plus index x
// stride) while the answer is kNext. A visitor that handles a nested
// structure walks it itself, with WalkStructure on a cursor of its own.
class FieldVisitor {
 public:
  virtual Flow BeginField(const Fdsc &field);
  virtual Flow Element(const Fdsc &field, std::uint32_t index, unsigned char *address) = 0;

 protected:
  FieldVisitor() = default;
  FieldVisitor(const FieldVisitor &) = default;
  FieldVisitor &operator=(const FieldVisitor &) = default;
  ~FieldVisitor() = default;
};

// A visitor that sorts each element by what it is and hands it to a hook.
// The compound hooks get the sub-descriptor they need, which the dispatch
// has checked. Each hook answers as Element does; the defaults pass over
// the rest of the field.
class RecordVisitor : public FieldVisitor {
 public:
  Flow Element(const Fdsc &field, std::uint32_t index, unsigned char *address) final;

 protected:
  // Types 0 to 17.
  virtual Flow Plain(const Fdsc &, std::uint32_t /*index*/, unsigned char * /*address*/) {
    return Flow::kEndField;
  }
  // FDSC_STRUCT: structure `index` lies at address.
  virtual Flow Structure(const Fdsc &, const Sdsc &, std::uint32_t /*index*/,
                         unsigned char * /*address*/) {
    return Flow::kEndField;
  }
  // FDSC_STRUCTPTR, FDSC_STRUCTLIST and FDSC_LIST: address holds the pointer.
  virtual Flow StructurePointer(const Fdsc &, const Sdsc &, std::uint32_t /*index*/,
                                unsigned char * /*address*/) {
    return Flow::kEndField;
  }
  virtual Flow StructureList(const Fdsc &, const Sdsc &, std::uint32_t /*index*/,
                             unsigned char * /*address*/) {
    return Flow::kEndField;
  }
  virtual Flow List(const Fdsc &, const Fdsc & /*element*/, std::uint32_t /*index*/,
                    unsigned char * /*address*/) {
    return Flow::kEndField;
  }
  // Unused type codes, and compound fields without their sub-descriptor.
  virtual Flow Other(const Fdsc &, std::uint32_t /*index*/, unsigned char * /*address*/) {
    return Flow::kEndField;
  }
};

// Which fields of a structure a walk hands to its visitor; the others are
// stepped over by their extents.
enum class Fields { kAll, kPlain, kNested };

// Walks one field from the cursor's address and leaves the cursor just past
// the field's extent. false when the visitor answered kStop.
bool WalkField(void **cursor, const Fdsc &field, FieldVisitor &visitor);

// Walks the structure's fields in slot order from the cursor's address,
// handing those that `which` selects to WalkField; the cursor ends past the
// last field. Structures nested deeper than kMaxNesting walks are stepped
// over unvisited, so that a descriptor that contains itself cannot exhaust
// the stack. false when the visitor answered kStop.
inline constexpr int kMaxNesting = 100;
bool WalkStructure(void **cursor, const Sdsc &structure, FieldVisitor &visitor,
                   Fields which = Fields::kAll);

// The order of configuration files: the plain fields first, then, from the
// structure's start again, the nested ones. The cursor ends past the last
// field.
bool WalkStructureInTwoPasses(void **cursor, const Sdsc &structure, FieldVisitor &visitor);

// Reads and writes a value at an element's address. Records are byte-packed,
// so nothing in them can be assumed aligned.
template <typename T>
T Load(const unsigned char *address) {
  T value;
  std::memcpy(&value, address, sizeof value);
  return value;
}
template <typename T>
void Store(unsigned char *address, T value) {
  std::memcpy(address, &value, sizeof value);
}
inline void *LoadPointer(const unsigned char *address) {
  return Load<void *>(address);
}
inline void StorePointer(unsigned char *address, const void *pointer) {
  Store(address, const_cast<void *>(pointer));
}

}  // namespace qorb::ini
