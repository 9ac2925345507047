// scenario.h - cross-process tests with real child processes: the test
// program runs itself again with a scenario name (or runs another build of
// itself, such as the 32-bit one), instead of forking a running test, so
// that the same tests work under emulators and on hosts without fork().
#pragma once

#include <string>
#include <vector>

#include "support/child_process.h"

namespace qorb::test {

using ScenarioArguments = std::vector<std::string>;
using ScenarioBody = int (*)(const ScenarioArguments &arguments);

// Makes `body` runnable as "<program> --qorb-scenario <name> [arguments]".
struct ScenarioRegistrar {
  ScenarioRegistrar(const char *name, ScenarioBody body);
};

// Defines a scenario; its body sees `arguments` and returns the exit code.
#define QORB_SCENARIO(name)                                                                     \
  static int QorbScenario_##name(const qorb::test::ScenarioArguments &arguments);               \
  static const qorb::test::ScenarioRegistrar qorbScenarioRegistrar_##name(#name,                \
                                                                          QorbScenario_##name); \
  static int QorbScenario_##name(const qorb::test::ScenarioArguments &arguments)

// The running test program's own path.
const std::string &SelfProgram();

// Starts `program` (the test program itself when empty) running a scenario;
// the child, or -1.
ChildProcess StartScenario(const std::string &name, const ScenarioArguments &arguments,
                           const std::string &program = {});

// Starts a scenario and waits for it: its exit code, 128 + the signal that
// ended it, or -1.
int RunScenario(const std::string &name, const ScenarioArguments &arguments,
                const std::string &program = {});

// Runs the scenario named on the command line, if any; main() calls it first.
// False when the command line names none.
bool RunScenarioFromCommandLine(int argc, char **argv, int *exitCode);

}  // namespace qorb::test
