// memory.h - what the host allocator tells about a block it handed out.
#pragma once

#include <cstddef>

namespace qorb::plat {

// The bytes the host allocator really holds for a block that malloc returned
// (at least the size asked for), so that a damaged size recorded inside the
// block can be told apart from one that fits it.
std::size_t HostAllocationSize(const void *block);

}  // namespace qorb::plat
