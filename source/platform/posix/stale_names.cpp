// stale_names.cpp - the sweep of this user's shared-memory folder.
//
// Relies on Linux keeping POSIX shared memory as files in /dev/shm. A name is
// touched only under its own flock, taken without waiting: a busy name
// belongs to a live process anyway.
#include "platform/posix/stale_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/posix/liveness.h"
#include "platform/posix/shared_object.h"
#include "platform/posix/shm_name.h"

namespace qorb::plat::posix {
namespace {

constexpr char kShmFolder[] = "/dev/shm";

std::atomic<long> g_lastSweep{-kSweepIntervalSeconds};

long MonotonicSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long>(now.tv_sec);
}

bool StartsWith(const char *text, const char *prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// A liveness file: probing it removes it when its process has ended.
void SweepLiveness(const char *tail) {
  unsigned pid = 0;
  unsigned nonce = 0;
  if (std::sscanf(tail, "%u-%x", &pid, &nonce) == 2) IsProcessAlive(ProcessToken{pid, nonce});
}

// An object file: removed when no live process holds it.
void SweepObject(const char *entry) {
  char shmName[kShmNameSize];
  if (std::snprintf(shmName, sizeof shmName, "/%s", entry) >= static_cast<int>(sizeof shmName)) {
    return;
  }
  const int fd = shm_open(shmName, O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return;
  struct stat status {};
  if (fstat(fd, &status) == 0 && status.st_uid == geteuid() && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
      fstat(fd, &status) == 0 && status.st_nlink > 0) {
    bool stale = static_cast<std::size_t>(status.st_size) < kSharedSize;
    if (!stale) {
      void *page = mmap(nullptr, kSharedSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
      if (page != MAP_FAILED) {
        auto *object = static_cast<SharedObject *>(page);
        stale = object->header.magic.load(std::memory_order_acquire) != kSharedMagic ||
                !PruneDeadHolders(*object);
        munmap(page, kSharedSize);
      }
    }
    if (stale) shm_unlink(shmName);
    flock(fd, LOCK_UN);
  }
  close(fd);
}

void Sweep() {
  DIR *folder = opendir(kShmFolder);
  if (folder == nullptr) return;
  const UserShmPrefixes prefixes = UserPrefixes();
  const std::size_t livenessLength = std::strlen(prefixes.liveness);
  while (const dirent *entry = readdir(folder)) {
    if (StartsWith(entry->d_name, prefixes.liveness)) {
      SweepLiveness(entry->d_name + livenessLength);
    } else if (StartsWith(entry->d_name, prefixes.objects)) {
      SweepObject(entry->d_name);
    }
  }
  closedir(folder);
}

}  // namespace

void SweepStaleNamesNowAndThen() {
  const long now = MonotonicSeconds();
  long last = g_lastSweep.load(std::memory_order_relaxed);
  if (now - last < kSweepIntervalSeconds) return;
  if (!g_lastSweep.compare_exchange_strong(last, now, std::memory_order_relaxed)) return;
  Sweep();
}

}  // namespace qorb::plat::posix
