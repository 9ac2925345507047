// memory.cpp - what the C run-time's allocator tells about a block it handed
// out.
//
// Relies on: _msize, the run-time's own size of a block from malloc.
#include <malloc.h>

#include "platform/memory.h"

namespace qorb::plat {

std::size_t HostAllocationSize(const void *block) {
  return _msize(const_cast<void *>(block));
}

}  // namespace qorb::plat
