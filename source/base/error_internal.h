// error_internal.h - what error reporting shares with the families above it.
//
// The allocator takes the memory mutex that ErrInitialize creates and gates
// its own reports on the verbosity mask; neither is part of the public
// interface.
#pragma once

#include <cstdint>

#include "qorb32n.h"

namespace qorb::err {

// The memory mutex created by every ErrInitialize (0 before the first).
SemMutexHandle &MemoryMutex();

// The verbosity mask set by BaseSetVerbosity (initially 0).
std::uint32_t Verbosity();

}  // namespace qorb::err
