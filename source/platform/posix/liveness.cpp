// liveness.cpp - the per-process liveness file and the probe of another's.
//
// Relies on POSIX shared memory (files in /dev/shm on Linux), flock() and
// getrandom(). The file is made with O_EXCL and owner-only permissions; a
// sweeper may unlink it in the moment between its creation and its lock, so
// the maker checks the link count once it holds the lock and starts over.
#include "platform/posix/liveness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <mutex>

#include "platform/posix/shm_name.h"

namespace qorb::plat::posix {
namespace {

std::mutex g_tokenLock;
ProcessToken g_token;
int g_tokenFd = -1;

std::uint32_t FreshNonce() {
  std::uint32_t nonce = 0;
  if (getrandom(&nonce, sizeof nonce, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof nonce)) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    nonce = static_cast<std::uint32_t>(now.tv_nsec) ^ (static_cast<std::uint32_t>(getpid()) << 12);
  }
  return nonce != 0 ? nonce : 1;
}

bool LockExclusive(int fd, bool wait) {
  while (flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// Makes and locks this process's file; false when the host refuses.
bool MakeToken() {
  const auto pid = static_cast<std::uint32_t>(getpid());
  for (int attempt = 0; attempt < 8; ++attempt) {
    const ProcessToken token{pid, FreshNonce()};
    char name[kShmNameSize];
    LivenessShmName(token.pid, token.nonce, name);
    const int fd = shm_open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    struct stat status {};
    if (LockExclusive(fd, true) && fstat(fd, &status) == 0 && status.st_nlink > 0) {
      g_token = token;
      g_tokenFd = fd;
      return true;
    }
    close(fd);
  }
  return false;
}

// Removes this process's file when it ends normally; a killed process leaves
// it for the next sweep.
struct TokenCleanup {
  ~TokenCleanup() {
    const std::lock_guard<std::mutex> lock(g_tokenLock);
    if (g_tokenFd < 0 || g_token.pid != static_cast<std::uint32_t>(getpid())) return;
    char name[kShmNameSize];
    LivenessShmName(g_token.pid, g_token.nonce, name);
    shm_unlink(name);
  }
} g_cleanup;

}  // namespace

ProcessToken CurrentProcessToken() {
  const std::lock_guard<std::mutex> lock(g_tokenLock);
  if (g_tokenFd < 0 && !MakeToken()) return ProcessToken{static_cast<std::uint32_t>(getpid()), 0};
  return g_token;
}

bool IsProcessAlive(const ProcessToken &token) {
  if (token.pid == 0 || token.nonce == 0) return false;
  if (kill(static_cast<pid_t>(token.pid), 0) != 0 && errno == ESRCH) return false;
  char name[kShmNameSize];
  LivenessShmName(token.pid, token.nonce, name);
  const int fd = shm_open(name, O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return errno != ENOENT;
  struct stat status {};
  bool alive = fstat(fd, &status) == 0 && status.st_uid == geteuid();
  if (alive && LockExclusive(fd, false)) {
    // Nobody holds it: its maker has ended. Remove it while we hold it.
    if (fstat(fd, &status) == 0 && status.st_nlink > 0) shm_unlink(name);
    alive = false;
  }
  close(fd);
  return alive;
}

void LockTokenForFork() {
  g_tokenLock.lock();
}

void UnlockTokenInParent() {
  g_tokenLock.unlock();
}

void ResetTokenInChild() {
  if (g_tokenFd >= 0) close(g_tokenFd);
  g_tokenFd = -1;
  g_token = ProcessToken{};
  g_tokenLock.unlock();
}

}  // namespace qorb::plat::posix
