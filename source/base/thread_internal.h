// thread_internal.h - what the worker pool shows of itself to its tests.
#pragma once

#include <cstdint>

#include "qorb32n.h"

namespace qorb::thd {

// Windows priority for a priorityLevel, in bands of four from 6 upwards.
int PriorityForLevel(std::int32_t level);

// Number of idle workers in the pool, read under the thread mutex (0 when
// there is no pool).
std::uint32_t IdleCount();

// Number of workers running a job (or about to).
std::uint32_t BusyCount();

// The idle worker at a position from the one idle longest, or nullptr.
ThdWorker *IdleWorkerAt(std::uint32_t position);

}  // namespace qorb::thd
