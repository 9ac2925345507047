// process_identity.cpp - process ids with start times, read from /proc.
//
// Where /proc cannot be read the start time is 0 and liveness falls back to
// kill(pid, 0) alone (then a reused id keeps a dead holder looking alive).
#include "platform/posix/process_identity.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qorb::plat::posix {
namespace {

struct ProcessStatus {
  bool readable = false;
  bool zombie = false;
  std::uint64_t startTime = 0;
};

// Fields after the command name (which may hold spaces and parentheses):
// state is the 3rd field, the start time the 22nd.
ProcessStatus ReadStatus(std::uint32_t pid) {
  ProcessStatus status;
  char path[48];
  (void)std::snprintf(path, sizeof path, "/proc/%u/stat", pid);
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return status;
  char text[1024];
  const ssize_t length = read(fd, text, sizeof text - 1);
  close(fd);
  if (length <= 0) return status;
  text[length] = '\0';
  const char *cursor = std::strrchr(text, ')');
  if (cursor == nullptr) return status;
  ++cursor;
  for (int field = 3; field <= 22; ++field) {
    while (*cursor == ' ') ++cursor;
    if (*cursor == '\0') return status;
    if (field == 3) status.zombie = *cursor == 'Z' || *cursor == 'X';
    if (field == 22) {
      status.startTime = std::strtoull(cursor, nullptr, 10);
      status.readable = true;
      return status;
    }
    while (*cursor != ' ' && *cursor != '\0') ++cursor;
  }
  return status;
}

}  // namespace

ProcessIdentity CurrentProcess() {
  static ProcessIdentity cached;
  const auto pid = static_cast<std::uint32_t>(getpid());
  if (cached.pid != pid) {
    ProcessIdentity fresh;
    fresh.pid = pid;
    fresh.startTime = ReadStatus(pid).startTime;
    cached = fresh;
  }
  return cached;
}

bool IsAlive(const ProcessIdentity &process) {
  if (process.pid == 0) return false;
  if (kill(static_cast<pid_t>(process.pid), 0) != 0 && errno != EPERM) return false;
  const ProcessStatus status = ReadStatus(process.pid);
  if (!status.readable) return true;
  return !status.zombie && (process.startTime == 0 || status.startTime == process.startTime);
}

}  // namespace qorb::plat::posix
