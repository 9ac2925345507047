// process_identity.h - telling a live process from a dead one by its id.
//
// A process id alone may be reused once its owner ends, so the registry of
// named objects records each holder's id with its start time (from
// /proc/<pid>/stat); a holder is alive when a process with that id exists,
// is no zombie, and started at the recorded time.
#pragma once

#include <cstdint>

namespace qorb::plat::posix {

struct ProcessIdentity {
  std::uint32_t pid = 0;
  std::uint64_t startTime = 0;  // clock ticks after boot; 0 when unknown
};

// The calling process (recomputed after fork()).
ProcessIdentity CurrentProcess();

bool IsAlive(const ProcessIdentity &process);

}  // namespace qorb::plat::posix
