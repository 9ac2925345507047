// child_process.cpp - fork and waiting for children.
#include "support/child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace qorb::test {

pid_t ForkChild(const std::function<int()> &body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

int WaitChild(pid_t pid) {
  if (pid <= 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

int RunInChild(const std::function<int()> &body) {
  return WaitChild(ForkChild(body));
}

}  // namespace qorb::test
