// values.cpp - the single-value swaps, swapping arrays of 4-byte values, and
// the swap width of each descriptor type.
//
// Relies on: swap_internal.h for the byte reversal. Addresses may be
// unaligned; NULL is ignored.
#include <cstddef>

#include "swap_internal.h"

namespace qorb::swp {

std::uint32_t SwapWidth(std::uint32_t type) {
  switch (type) {
    case FDSC_SHORTBOOL:
    case FDSC_SHORT:
    case FDSC_USHORT:
    case FDSC_SHORTENUM:
      return 2;
    case FDSC_BOOL:
    case FDSC_LONG:
    case FDSC_ULONG:
    case FDSC_FLOAT:
    case FDSC_ENUM:
      return 4;
    case FDSC_DOUBLE:
    case FDSC_REALTIME:
      return 8;
    default:
      return 0;
  }
}

void SwapElement(void *address, std::uint32_t type) {
  switch (SwapWidth(type)) {
    case 2:
      Swap2(address);
      break;
    case 4:
      Swap4(address);
      break;
    case 8:
      Swap8(address);
      break;
    default:
      break;
  }
}

// A plain loop: compilers turn it into vector byte shuffles, which keeps it
// at memory speed without hand-written intrinsics.
void SwapLongArray(unsigned char *values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) Swap4(values + 4 * i);
}

}  // namespace qorb::swp

extern "C" {

QORB_API void SwpSwapShort(void *value) {
  if (value != nullptr) qorb::swp::Swap2(value);
}

QORB_API void SwpSwapUShort(void *value) {
  SwpSwapShort(value);
}

QORB_API void SwpSwapULong(void *value) {
  if (value != nullptr) qorb::swp::Swap4(value);
}

QORB_API void SwpSwapLong(void *value) {
  SwpSwapULong(value);
}

QORB_API void SwpSwapFloat(void *value) {
  SwpSwapULong(value);
}

QORB_API void SwpSwapDouble(void *value) {
  if (value != nullptr) qorb::swp::Swap8(value);
}

QORB_API void SwpSwapLongArray(void *values, uint32_t count) {
  if (values != nullptr) qorb::swp::SwapLongArray(static_cast<unsigned char *>(values), count);
}

}  // extern "C"
