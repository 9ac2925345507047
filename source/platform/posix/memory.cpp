// memory.cpp - what the host allocator tells about a block it handed out.
//
// Relies on: glibc's malloc_usable_size (sanitizer runtimes intercept it and
// answer the size that was asked for).
#include <malloc.h>

#include "platform/memory.h"

namespace qorb::plat {

std::size_t HostAllocationSize(const void *block) {
  return malloc_usable_size(const_cast<void *>(block));
}

}  // namespace qorb::plat
