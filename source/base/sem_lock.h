// sem_lock.h - holds a Sem mutex for a scope.
//
// The handle is copied when the lock is taken, so the lock given back is the
// lock taken even when the variable it came from is changed meanwhile (a
// repeated initialisation, a pool being terminated).
#pragma once

#include <cstdint>

#include "qorb32n.h"

namespace qorb {

class SemLock {
 public:
  explicit SemLock(SemMutexHandle handle, std::uint32_t timeout = SEM_INDEFINITE_WAIT)
      : handle_(handle), code_(SemRequestMutex(&handle_, timeout)), held_(code_ == 0) {}
  ~SemLock() { Release(); }
  SemLock(const SemLock &) = delete;
  SemLock &operator=(const SemLock &) = delete;

  // 0 when the mutex is held, else the code of the failed request.
  std::uint32_t code() const { return code_; }
  bool held() const { return held_; }

  // Gives the mutex back early; the code of the release (0 when not held).
  std::uint32_t Release() {
    if (!held_) return 0;
    held_ = false;
    return SemReleaseMutex(&handle_);
  }

 private:
  SemMutexHandle handle_;
  std::uint32_t code_;
  bool held_;
};

}  // namespace qorb
