// registry_lock.h - the lock around creating, opening and closing names.
//
// A process-wide mutex plus flock() on a per-user lock file in shared
// memory: the flock dies with its holder, so a process killed inside the
// registry never blocks the others.
#pragma once

#include <cstdint>

namespace qorb::plat::posix {

class RegistryLock {
 public:
  RegistryLock();
  ~RegistryLock();
  RegistryLock(const RegistryLock &) = delete;
  RegistryLock &operator=(const RegistryLock &) = delete;

  // False (with `error` a Windows code) when the lock file is unusable.
  bool held() const { return error_ == 0; }
  std::uint32_t error() const { return error_; }

 private:
  std::uint32_t error_ = 0;
};

// Around fork(): the child gets the process-wide mutex back and opens a lock
// file of its own (a shared open file description would share the flock).
void LockRegistryForFork();
void UnlockRegistryInParent();
void ResetRegistryInChild();

}  // namespace qorb::plat::posix
