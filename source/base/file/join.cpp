// join.cpp - joining two texts into a bounded buffer, the one way this
// family builds a path name out of pieces.
//
// Relies on: the C string functions.
#include <cstring>

#include "file/file_private.h"

namespace qorb::fil {

bool JoinTexts(char *out, std::size_t capacity, const char *first, const char *second) {
  const std::size_t firstLength = std::strlen(first);
  if (firstLength + std::strlen(second) >= capacity) return false;
  if (out != first) std::memmove(out, first, firstLength + 1);
  std::strcat(out, second);
  return true;
}

}  // namespace qorb::fil
