// scenario.cpp - the scenario registry and starting scenario children.
//
// Relies on posix_spawn and /proc/self/exe to start the test program again.
#include "support/scenario.h"

#include <spawn.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <map>

#include "support/child_process.h"

extern char **environ;

namespace qorb::test {
namespace {

constexpr char kScenarioFlag[] = "--qorb-scenario";

std::map<std::string, ScenarioBody> &Registry() {
  static std::map<std::string, ScenarioBody> registry;
  return registry;
}

}  // namespace

ScenarioRegistrar::ScenarioRegistrar(const char *name, ScenarioBody body) {
  Registry()[name] = body;
}

const std::string &SelfProgram() {
  static const std::string self = [] {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
  }();
  return self;
}

pid_t StartScenario(const std::string &name, const ScenarioArguments &arguments,
                    const std::string &program) {
  const std::string &path = program.empty() ? SelfProgram() : program;
  std::vector<std::string> words = {path, kScenarioFlag, name};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char *> argv;
  for (std::string &word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

int RunScenario(const std::string &name, const ScenarioArguments &arguments,
                const std::string &program) {
  return WaitChild(StartScenario(name, arguments, program));
}

bool RunScenarioFromCommandLine(int argc, char **argv, int *exitCode) {
  if (argc < 3 || std::strcmp(argv[1], kScenarioFlag) != 0) return false;
  const auto found = Registry().find(argv[2]);
  *exitCode =
      found != Registry().end() ? found->second(ScenarioArguments(argv + 3, argv + argc)) : 127;
  return true;
}

}  // namespace qorb::test
