// child_process.cpp - waiting for and killing children: waitpid and SIGKILL
// on POSIX, WaitForSingleObject and TerminateProcess on Windows.
#include "support/child_process.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace qorb::test {

#ifdef _WIN32

namespace {

HANDLE ProcessOf(ChildProcess child) {
  return reinterpret_cast<HANDLE>(child);
}

}  // namespace

int WaitChild(ChildProcess child) {
  if (child == -1) return -1;
  HANDLE process = ProcessOf(child);
  DWORD code = 0;
  const bool ended = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(process, &code) != FALSE;
  CloseHandle(process);
  return ended ? static_cast<int>(code) : -1;
}

bool KillChild(ChildProcess child) {
  return child != -1 && TerminateProcess(ProcessOf(child), kKilledStatus) != FALSE;
}

unsigned long CurrentProcessId() {
  return GetCurrentProcessId();
}

#else

int WaitChild(ChildProcess child) {
  if (child <= 0) return -1;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

bool KillChild(ChildProcess child) {
  return child > 0 && kill(child, SIGKILL) == 0;
}

unsigned long CurrentProcessId() {
  return static_cast<unsigned long>(getpid());
}

pid_t ForkChild(const std::function<int()> &body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

int RunInChild(const std::function<int()> &body) {
  return WaitChild(ForkChild(body));
}

#endif

}  // namespace qorb::test
