// registry_lock.cpp - the process mutex and the per-user flock.
#include "platform/posix/registry_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "platform/errors.h"
#include "platform/posix/shm_name.h"

namespace qorb::plat::posix {
namespace {

std::mutex g_registryMutex;
int g_lockFd = -1;

// Opens the lock file once per process; it must belong to this user.
std::uint32_t EnsureLockFile() {
  if (g_lockFd >= 0) return kErrorSuccess;
  char name[kShmNameSize];
  RegistryLockShmName(name);
  const int fd = shm_open(name, O_RDWR | O_CREAT, 0600);
  if (fd < 0) return kErrorAccessDenied;
  struct stat status {};
  if (fstat(fd, &status) != 0 || status.st_uid != getuid()) {
    close(fd);
    return kErrorAccessDenied;
  }
  g_lockFd = fd;
  return kErrorSuccess;
}

}  // namespace

RegistryLock::RegistryLock() {
  g_registryMutex.lock();
  error_ = EnsureLockFile();
  if (error_ != 0) return;
  while (flock(g_lockFd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      error_ = kErrorAccessDenied;
      return;
    }
  }
}

RegistryLock::~RegistryLock() {
  if (error_ == 0) flock(g_lockFd, LOCK_UN);
  g_registryMutex.unlock();
}

void LockRegistryForFork() {
  g_registryMutex.lock();
}

void UnlockRegistryInParent() {
  g_registryMutex.unlock();
}

void ResetRegistryInChild() {
  if (g_lockFd >= 0) close(g_lockFd);
  g_lockFd = -1;
  g_registryMutex.unlock();
}

}  // namespace qorb::plat::posix
