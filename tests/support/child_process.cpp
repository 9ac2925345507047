// child_process.cpp - fork, exec of /proc/self/exe, and waiting for children.
#include "support/child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace qorb::test {

pid_t ForkChild(const std::function<int()> &body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

pid_t SpawnTestCase(const std::string &testName, const std::vector<std::string> &environment) {
  // Everything the child needs is built before fork(): only exec runs there.
  const std::string filter = "--gtest_filter=" + testName;
  std::vector<char *> argv = {const_cast<char *>("/proc/self/exe"),
                              const_cast<char *>(filter.c_str()), nullptr};
  std::vector<char *> envp;
  for (char **entry = environ; *entry != nullptr; ++entry) envp.push_back(*entry);
  for (const std::string &entry : environment) envp.push_back(const_cast<char *>(entry.c_str()));
  envp.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
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

std::string EnvironmentValue(const char *name) {
  const char *value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace qorb::test
