// stale_names.h - removing what processes that ended without closing their
// named objects left in shared memory.
#pragma once

namespace qorb::plat::posix {

// Every so often (at most once in kSweepIntervalSeconds per process), looks
// through this user's objects and liveness files and removes those whose
// processes have all ended. Objects another process is changing are left.
void SweepStaleNamesNowAndThen();

inline constexpr long kSweepIntervalSeconds = 10;

}  // namespace qorb::plat::posix
