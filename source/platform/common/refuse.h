// refuse.h - how the layer's functions refuse: the reason becomes the
// calling thread's last error and the answer is false, or 0 for a handle.
#pragma once

#include <cstdint>

#include "platform/errors.h"
#include "platform/objects.h"

namespace qorb::plat {

inline bool Refuse(std::uint32_t code) {
  SetLastError(code);
  return false;
}

inline Handle RefuseHandle(std::uint32_t code) {
  SetLastError(code);
  return 0;
}

}  // namespace qorb::plat
