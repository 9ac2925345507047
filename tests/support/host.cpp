// host.cpp - probes of the host's privileges for tests: Linux capabilities
// and nice limits; on Windows every thread may set any level of its own and
// no test plays another user.
#include "support/host.h"

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace qorb::test {

// Wine's own system library exports its version; Windows' does not.
bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool HostLetsThreadsRaisePriority() {
  return true;
}
bool HostLetsProcessChangeUser() {
  return false;
}
bool BecomeNobody() {
  return false;
}
bool HostCanDropPriorityRights() {
  return false;
}
bool DropPriorityRights() {
  return false;
}

}  // namespace qorb::test

#else

#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <thread>

namespace qorb::test {
namespace {

constexpr int kCapSetgid = 6;
constexpr int kCapSetuid = 7;
constexpr int kCapSysNice = 23;
constexpr unsigned kNobody = 65534;

// The effective capability set from /proc/self/status; 0 when unreadable.
std::uint64_t EffectiveCapabilities() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("CapEff:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16);
  }
  return 0;
}

bool Has(std::uint64_t capabilities, int capability) {
  return ((capabilities >> capability) & 1u) != 0;
}

bool MayChangeUser(std::uint64_t capabilities) {
  return Has(capabilities, kCapSetuid) && Has(capabilities, kCapSetgid);
}

}  // namespace

bool RunningUnderWine() {
  return false;
}

bool HostLetsThreadsRaisePriority() {
  bool raised = false;
  std::thread probe([&raised] {
    const auto self = static_cast<id_t>(gettid());
    const int start = getpriority(PRIO_PROCESS, self);
    if (setpriority(PRIO_PROCESS, self, 19) == 0) {
      raised = setpriority(PRIO_PROCESS, self, start) == 0;
    }
  });
  probe.join();
  return raised;
}

bool HostLetsProcessChangeUser() {
  return MayChangeUser(EffectiveCapabilities());
}

bool BecomeNobody() {
  return setresgid(kNobody, kNobody, kNobody) == 0 && setresuid(kNobody, kNobody, kNobody) == 0;
}

bool HostCanDropPriorityRights() {
  const std::uint64_t capabilities = EffectiveCapabilities();
  return !Has(capabilities, kCapSysNice) || MayChangeUser(capabilities);
}

bool DropPriorityRights() {
  if (const rlimit none{0, 0}; setrlimit(RLIMIT_NICE, &none) != 0) return false;
  return !MayChangeUser(EffectiveCapabilities()) || BecomeNobody();
}

}  // namespace qorb::test

#endif
