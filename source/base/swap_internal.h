// swap_internal.h - reversing the byte order of single values, and the swap
// width of each descriptor type, shared by the swapping family and by the
// configuration family's unpacking of packed data.
//
// Relies on: qorb32n.h for the type codes. Values are read and written
// through memcpy, so no address needs to be aligned.
#pragma once

#include <cstdint>
#include <cstring>

#include "qorb32n.h"

namespace qorb::swp {

inline std::uint16_t Reversed16(std::uint16_t value) {
  return static_cast<std::uint16_t>((value >> 8) | (value << 8));
}

inline std::uint32_t Reversed32(std::uint32_t value) {
#if defined(__GNUC__) || defined(__clang__)
  return __builtin_bswap32(value);
#else
  return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
#endif
}

inline std::uint64_t Reversed64(std::uint64_t value) {
  return (static_cast<std::uint64_t>(Reversed32(static_cast<std::uint32_t>(value))) << 32) |
         Reversed32(static_cast<std::uint32_t>(value >> 32));
}

// Reverses the bytes of the Word at address in place.
template <typename Word, Word (*Reverse)(Word)>
void ReverseInPlace(void *address) {
  Word value;
  std::memcpy(&value, address, sizeof value);
  value = Reverse(value);
  std::memcpy(address, &value, sizeof value);
}

inline void Swap2(void *address) {
  ReverseInPlace<std::uint16_t, Reversed16>(address);
}
inline void Swap4(void *address) {
  ReverseInPlace<std::uint32_t, Reversed32>(address);
}
inline void Swap8(void *address) {
  ReverseInPlace<std::uint64_t, Reversed64>(address);
}

// The bytes each element of a type is swapped as: 2, 4 or 8, or 0 for the
// types whose bytes are left alone (bytes, texts, pointers, verbosity and
// duration words, structures and the unused codes).
std::uint32_t SwapWidth(std::uint32_t type);

// Reverses one element of a type in place by its swap width; nothing for a
// width of 0.
void SwapElement(void *address, std::uint32_t type);

}  // namespace qorb::swp
