// liveness.h - telling a live process from a dead one across processes.
//
// Each process that uses named objects holds an exclusive flock() on a
// shared-memory file of its own, named after its pid and a random nonce. The
// kernel drops the lock when the process ends (or execs), so another process
// tells whether a recorded holder still lives by trying that lock: neither a
// reused pid (the nonce differs) nor a user-mode emulator (flock is passed to
// the host kernel as it is) can fool it.
#pragma once

#include <cstdint>

namespace qorb::plat::posix {

struct ProcessToken {
  std::uint32_t pid = 0;
  std::uint32_t nonce = 0;  // never 0 for a real token
};

// The calling process's token; made (and its file locked) on first use and
// again in a child after fork(). A token with nonce 0 when that fails.
ProcessToken CurrentProcessToken();

// Whether the process of a token still runs. A dead process's file is
// removed on the way.
bool IsProcessAlive(const ProcessToken &token);

// Around fork(): the token is held still while the process forks. In the
// child the inherited descriptor shares the parent's lock, so it is closed
// (the parent's file stays) and the child makes its own token when needed.
void LockTokenForFork();
void UnlockTokenInParent();
void ResetTokenInChild();

}  // namespace qorb::plat::posix
