// scenario.cpp - the scenario registry and starting scenario children.
//
// Relies on posix_spawn and /proc/self/exe to start the test program again
// on POSIX, on CreateProcessA and GetModuleFileNameA on Windows.
#include "support/scenario.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <spawn.h>
#include <unistd.h>

#include <climits>
#endif

#include <cstring>
#include <map>

#include "support/child_process.h"

#ifndef _WIN32
extern char **environ;
#endif

namespace qorb::test {
namespace {

constexpr char kScenarioFlag[] = "--qorb-scenario";

std::map<std::string, ScenarioBody> &Registry() {
  static std::map<std::string, ScenarioBody> registry;
  return registry;
}

#ifdef _WIN32

// One word of a command line as the run-time's argument parser reads it
// back: in quotes, with the backslashes before a quote doubled.
void AppendQuoted(std::string &line, const std::string &word) {
  line += '"';
  std::size_t backslashes = 0;
  for (const char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, '\\');
  line += '"';
}

std::string ReadSelfProgram() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

ChildProcess Spawn(const std::string &path, const std::vector<std::string> &words) {
  std::string line;
  for (const std::string &word : words) {
    if (!line.empty()) line += ' ';
    AppendQuoted(line, word);
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &process) == FALSE) {
    return -1;
  }
  CloseHandle(process.hThread);
  return reinterpret_cast<ChildProcess>(process.hProcess);
}

#else

std::string ReadSelfProgram() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

ChildProcess Spawn(const std::string &path, std::vector<std::string> words) {
  std::vector<char *> argv;
  for (std::string &word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

#endif

}  // namespace

ScenarioRegistrar::ScenarioRegistrar(const char *name, ScenarioBody body) {
  Registry()[name] = body;
}

const std::string &SelfProgram() {
  static const std::string self = ReadSelfProgram();
  return self;
}

ChildProcess StartScenario(const std::string &name, const ScenarioArguments &arguments,
                           const std::string &program) {
  const std::string &path = program.empty() ? SelfProgram() : program;
  std::vector<std::string> words = {path, kScenarioFlag, name};
  words.insert(words.end(), arguments.begin(), arguments.end());
  return Spawn(path, words);
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
