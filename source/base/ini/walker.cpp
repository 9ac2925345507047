// walker.cpp - the record-cursor walk over a field and over a structure.
//
// Relies on: the extent rule of descriptors.cpp. Only visitors read or
// write the record; a walk over a NULL record hands NULL addresses to them.

#include "ini/walker.h"

namespace qorb::ini {
namespace {

// How many WalkStructure calls are open on this thread.
thread_local int openStructureWalks = 0;

class NestingLevel {
 public:
  NestingLevel() { ++openStructureWalks; }
  ~NestingLevel() { --openStructureWalks; }
  NestingLevel(const NestingLevel &) = delete;
  NestingLevel &operator=(const NestingLevel &) = delete;
};

unsigned char *At(void **cursor) {
  return static_cast<unsigned char *>(*cursor);
}

// A walk over a NULL record (one that only counts) stays NULL throughout.
unsigned char *Advance(unsigned char *address, std::size_t bytes) {
  return address != nullptr ? address + bytes : nullptr;
}

bool Selected(const Fdsc &field, Fields which) {
  switch (which) {
    case Fields::kPlain:
      return !IsNestedType(field.type);
    case Fields::kNested:
      return IsNestedType(field.type);
    default:
      return true;
  }
}

std::size_t StructureExtent(const Sdsc &structure) {
  std::size_t extent = 0;
  for (std::uint32_t i = 0; i < FieldsInUse(structure); ++i) {
    extent += FieldExtent(structure.fields[i]);
  }
  return extent;
}

}  // namespace

Flow FieldVisitor::BeginField(const Fdsc & /*field*/) {
  return Flow::kNext;
}

Flow RecordVisitor::Element(const Fdsc &field, std::uint32_t index, unsigned char *address) {
  if (IsPlainType(field.type)) return Plain(field, index, address);
  const Sdsc *structure = StructureOf(field);
  const Fdsc *element = ElementOf(field);
  if (field.type == FDSC_STRUCT && structure != nullptr) {
    return Structure(field, *structure, index, address);
  }
  if (field.type == FDSC_STRUCTPTR && structure != nullptr) {
    return StructurePointer(field, *structure, index, address);
  }
  if (field.type == FDSC_STRUCTLIST && structure != nullptr) {
    return StructureList(field, *structure, index, address);
  }
  if (element != nullptr) return List(field, *element, index, address);
  return Other(field, index, address);
}

bool WalkField(void **cursor, const Fdsc &field, FieldVisitor &visitor) {
  unsigned char *const start = At(cursor);
  Flow flow = visitor.BeginField(field);
  const std::uint32_t count = ElementCount(field);
  const std::size_t stride = ElementStride(field);
  for (std::uint32_t i = 0; flow == Flow::kNext && i < count; ++i) {
    flow = visitor.Element(field, i, Advance(start, i * stride));
  }
  *cursor = Advance(start, FieldExtent(field));
  return flow != Flow::kStop;
}

bool WalkStructure(void **cursor, const Sdsc &structure, FieldVisitor &visitor, Fields which) {
  if (openStructureWalks >= kMaxNesting) {
    *cursor = Advance(At(cursor), StructureExtent(structure));
    return true;
  }
  const NestingLevel level;
  for (std::uint32_t i = 0; i < FieldsInUse(structure); ++i) {
    const Fdsc &field = structure.fields[i];
    if (!Selected(field, which)) {
      *cursor = Advance(At(cursor), FieldExtent(field));
    } else if (!WalkField(cursor, field, visitor)) {
      return false;
    }
  }
  return true;
}

bool WalkStructureInTwoPasses(void **cursor, const Sdsc &structure, FieldVisitor &visitor) {
  void *const start = *cursor;
  if (!WalkStructure(cursor, structure, visitor, Fields::kPlain)) return false;
  *cursor = start;
  return WalkStructure(cursor, structure, visitor, Fields::kNested);
}

}  // namespace qorb::ini
