// platform_objects_test.cpp - the platform layer's kernel objects beneath
// the Sem family: wait results, handle reuse, closes racing waits, fork.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/objects.h"
#ifndef _WIN32
#include "platform/posix/shared_object.h"
#endif
#include "support/child_process.h"
#include "support/posix_only.h"
#include "support/scenario.h"
#include "support/wait_until.h"

namespace plat = qorb::plat;

namespace {

std::string UniqueName(const std::string &tag) {
  return "qorb-plat-" + std::to_string(qorb::test::CurrentProcessId()) + "-" + tag;
}

TEST(PlatformObjects, AbandonedIsReportedToTheNextOwner) {
  for (const char *name : {static_cast<const char *>(nullptr), "named"}) {
    const std::string unique = name != nullptr ? UniqueName(name) : "";
    const plat::Handle mutex =
        plat::CreateMutexObject(name != nullptr ? unique.c_str() : nullptr, false);
    ASSERT_NE(0u, mutex);
    std::thread([mutex] { plat::WaitForObject(mutex, plat::kInfinite); }).join();
    EXPECT_EQ(plat::kWaitAbandoned, plat::WaitForObject(mutex, 0)) << unique;
    EXPECT_EQ(plat::kWaitObject0, plat::WaitForObject(mutex, 0)) << unique;
    EXPECT_TRUE(plat::ReleaseMutexObject(mutex));
    EXPECT_TRUE(plat::ReleaseMutexObject(mutex));
    EXPECT_FALSE(plat::ReleaseMutexObject(mutex));
    EXPECT_EQ(plat::kErrorNotOwner, plat::LastError());
    EXPECT_TRUE(plat::CloseObject(mutex));
  }
}

TEST(PlatformObjects, ClosedHandlesAreNotHandedOutAgainSoon) {
  std::set<plat::Handle> seen;
  for (int round = 0; round < 5000; ++round) {
    const plat::Handle event = plat::CreateEventObject(nullptr, false);
    ASSERT_NE(0u, event);
    EXPECT_TRUE(seen.insert(event).second) << "handle reused after " << round << " closes";
    ASSERT_TRUE(plat::CloseObject(event));
    EXPECT_EQ(plat::kWaitFailed, plat::WaitForObject(event, 0));
    EXPECT_EQ(plat::kErrorInvalidHandle, plat::LastError());
  }
  EXPECT_FALSE(plat::SetEventObject(0x7FFFFFFFu));  // never handed out
  EXPECT_EQ(plat::kErrorInvalidHandle, plat::LastError());
}

TEST(PlatformObjects, LastErrorIsPerThread) {
  plat::SetLastError(1234);
  std::thread([] { EXPECT_EQ(0u, plat::LastError()); }).join();
  EXPECT_EQ(1234u, plat::LastError());
}

// Waits until a thread of this process is inside a wait on the object.
void AwaitSleeper(plat::Handle object) {
  ASSERT_TRUE(qorb::test::WaitUntil([&] { return plat::SleepersForTesting(object) == 1; }));
}

// A sleeper on a closed unnamed event must not wake up inside whatever
// object takes the slot next, even when many slots are recycled meanwhile.
TEST(PlatformObjects, WaiterOnClosedUnnamedEventIsNotReachedByNewObjects) {
  const plat::Handle event = plat::CreateEventObject(nullptr, false);
  std::atomic<std::uint32_t> result{0xDEADBEEF};
  std::thread waiter([&] { result = plat::WaitForObject(event, 300); });
  // A slow host may let the short wait end before this thread looks.
  ASSERT_TRUE(qorb::test::WaitUntil(
      [&] { return plat::SleepersForTesting(event) == 1 || result.load() != 0xDEADBEEF; }));
  ASSERT_TRUE(plat::CloseObject(event));
  std::vector<plat::Handle> posted;
  posted.reserve(3000);
  for (int i = 0; i < 3000; ++i) posted.push_back(plat::CreateEventObject(nullptr, true));
  for (plat::Handle h : posted) plat::CloseObject(h);
  for (int i = 0; i < 3000; ++i) plat::CloseObject(plat::CreateEventObject(nullptr, true));
  waiter.join();
  EXPECT_EQ(plat::kWaitTimeout, result.load());
}

// Closing the handle a thread waits on keeps the named object mapped until
// the wait ends; another handle can still end it.
TEST(PlatformObjects, CloseDuringNamedWaitKeepsTheObject) {
  const std::string name = UniqueName("close-race");
  const plat::Handle waited = plat::CreateEventObject(name.c_str(), false);
  const plat::Handle other = plat::CreateEventObject(name.c_str(), false);
  ASSERT_NE(0u, waited);
  ASSERT_NE(0u, other);
  std::atomic<std::uint32_t> result{0xDEADBEEF};
  std::thread waiter([&] { result = plat::WaitForObject(waited, plat::kInfinite); });
  AwaitSleeper(waited);
  EXPECT_TRUE(plat::CloseObject(waited));
  EXPECT_FALSE(plat::CloseObject(waited));
  EXPECT_TRUE(plat::SetEventObject(other));
  waiter.join();
  EXPECT_EQ(plat::kWaitObject0, result.load());
  EXPECT_TRUE(plat::CloseObject(other));
}

TEST(PlatformObjects, ForkedChildKeepsPrivateCopies) {
  QORB_POSIX_ONLY("Windows has no fork()");
#ifndef _WIN32
  const plat::Handle mine = plat::CreateMutexObject(nullptr, true);
  const plat::Handle theirs = plat::CreateMutexObject(nullptr, false);
  const plat::Handle event = plat::CreateEventObject(nullptr, true);
  const std::string name = UniqueName("fork");
  const plat::Handle named = plat::CreateEventObject(name.c_str(), true);
  std::atomic<bool> held{false}, done{false};
  std::thread other([&] {
    plat::WaitForObject(theirs, plat::kInfinite);
    held = true;
    while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    plat::ReleaseMutexObject(theirs);
  });
  while (!held) std::this_thread::yield();
  const int status = qorb::test::RunInChild([&] {
    // The forking thread still owns its mutex; the other thread is gone.
    if (!plat::ReleaseMutexObject(mine) || plat::ReleaseMutexObject(mine)) return 1;
    if (plat::WaitForObject(theirs, 0) != plat::kWaitAbandoned) return 2;
    if (plat::WaitForObject(event, 0) != plat::kWaitObject0) return 3;
    // Named handles are not inherited: the child holds no such object.
    if (plat::WaitForObject(named, 0) != plat::kWaitFailed) return 4;
    return plat::LastError() == plat::kErrorInvalidHandle ? 0 : 5;
  });
  done = true;
  other.join();
  EXPECT_EQ(0, status);
  EXPECT_TRUE(plat::ReleaseMutexObject(mine));  // the parent's state is its own
  EXPECT_TRUE(plat::CloseObject(mine));
  EXPECT_TRUE(plat::CloseObject(theirs));
  EXPECT_TRUE(plat::CloseObject(event));
  EXPECT_TRUE(plat::CloseObject(named));
#endif
}

// Closing an unnamed mutex that a thread owns ends that ownership, and a
// thread asleep on it wakes with the closed handle's failure instead of
// sleeping for good (nobody could ever give it back).
TEST(PlatformObjects, ClosingAnOwnedMutexWakesItsWaiter) {
  QORB_POSIX_ONLY(
      "a Windows mutex outlives a closed handle: its owner keeps it, its waiters sleep on");
#ifndef _WIN32
  const plat::Handle mutex = plat::CreateMutexObject(nullptr, true);
  std::atomic<std::uint32_t> result{0xDEADBEEF}, error{0};
  std::thread waiter([&] {
    result = plat::WaitForObject(mutex, plat::kInfinite);
    error = plat::LastError();
  });
  AwaitSleeper(mutex);
  EXPECT_TRUE(plat::CloseObject(mutex));
  waiter.join();
  EXPECT_EQ(plat::kWaitFailed, result.load());
  EXPECT_EQ(plat::kErrorInvalidHandle, error.load());
  EXPECT_FALSE(plat::ReleaseMutexObject(mutex));
  EXPECT_EQ(plat::kErrorInvalidHandle, plat::LastError());
#endif
}

// The holder table of a named object: entries stay where they are while
// their process holds handles, the table refuses a process once full, and
// ended processes (here: made-up ones, with no liveness file) are pruned.
TEST(PlatformObjects, HolderTableFillsAndPrunesEndedProcesses) {
  QORB_POSIX_ONLY("the holder table belongs to the emulated named objects");
#ifndef _WIN32
  using namespace qorb::plat::posix;
  static SharedObject object;
  InitSharedObject(object, SharedKind::kMutex, false);
  const ProcessToken self = CurrentProcessToken();
  ASSERT_NE(self.nonce, 0u);
  EXPECT_EQ(AddHolder(object, self), 0u);
  for (std::uint32_t i = 1; i < kMaxHolders; ++i) {
    EXPECT_EQ(AddHolder(object, ProcessToken{self.pid, self.nonce + i}), i);
  }
  EXPECT_EQ(AddHolder(object, ProcessToken{self.pid, self.nonce + kMaxHolders}), kNoHolder);
  EXPECT_EQ(AddHolder(object, self), 0u) << "a holder's second handle reuses its entry";
  EXPECT_TRUE(RemoveHolder(object, 0));
  EXPECT_TRUE(PruneDeadHolders(object));
  EXPECT_EQ(object.header.holderEnd, 1u);
  EXPECT_EQ(AddHolder(object, ProcessToken{self.pid, self.nonce + 1}), 1u);
  EXPECT_FALSE(RemoveHolder(object, 0));
  EXPECT_FALSE(PruneDeadHolders(object));
  EXPECT_EQ(object.header.holderEnd, 0u);
#endif
}

// Makes a named event, posts the parent's "ready" event and waits to be killed.
QORB_SCENARIO(MakeEventUntilKilled) {
  const plat::Handle made = plat::CreateEventObject(arguments.at(0).c_str(), false);
  const plat::Handle ready = plat::OpenEventObject(arguments.at(1).c_str(), 0x00100002u);
  if (made == 0 || ready == 0 || !plat::SetEventObject(ready)) return 1;
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

// Opens and closes a name of its own, as any later user of named objects.
QORB_SCENARIO(TouchAName) {
  return plat::CloseObject(plat::CreateEventObject(arguments.at(0).c_str(), false)) ? 0 : 1;
}

// What a killed process left in shared memory goes when any process next
// makes or opens a name, not only that name.
TEST(PlatformObjects, ObjectsOfKilledProcessesAreSweptOnTheNextOpen) {
  QORB_POSIX_ONLY("the kernel removes what a killed process held; nothing is left in /dev/shm");
#ifndef _WIN32
  const std::string left = UniqueName("left"), readyName = UniqueName("ready");
  const std::string file = "/dev/shm/qorb32n-" + std::to_string(geteuid()) + "-" + left;
  const plat::Handle ready = plat::CreateEventObject(readyName.c_str(), false);
  const pid_t child = qorb::test::StartScenario("MakeEventUntilKilled", {left, readyName});
  ASSERT_EQ(plat::WaitForObject(ready, 60000), plat::kWaitObject0);
  EXPECT_EQ(access(file.c_str(), F_OK), 0);
  ASSERT_EQ(kill(child, SIGKILL), 0);
  EXPECT_EQ(qorb::test::WaitChild(child), 128 + SIGKILL);
  EXPECT_EQ(qorb::test::RunScenario("TouchAName", {UniqueName("touch")}), 0);
  EXPECT_NE(access(file.c_str(), F_OK), 0);
  EXPECT_TRUE(plat::CloseObject(ready));
#endif
}

}  // namespace
