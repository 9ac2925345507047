// descriptors.h - short builders for the field and structure descriptors
// that the configuration, packing and swapping tests describe records with.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "qorb32n.h"

namespace qorb::test {

// A field descriptor with userWord 0.
inline Fdsc F(const char *name, std::uint32_t type, std::uint32_t count,
              const void *sub = nullptr, std::uint32_t flags = 0, const char *format = nullptr) {
  return Fdsc{0, name, flags, type, count, format, sub};
}

// A structure descriptor of the given size listing the fields in order.
inline Sdsc S(std::uint32_t size, std::initializer_list<Fdsc> fields) {
  Sdsc structure{};
  structure.size = size;
  for (const Fdsc &field : fields) structure.fields[structure.fieldCount++] = field;
  return structure;
}

}  // namespace qorb::test
