// sync_test.cpp - the Sem family: mutexes, events and counting semaphores,
// unnamed within one process and named across real child processes.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/objects.h"
#include "qorb32n.h"
#include "support/child_process.h"
#include "support/host.h"
#include "support/posix_only.h"
#include "support/scenario.h"
#include "support/wait_until.h"

namespace {

constexpr uint32_t kNotFound = 2;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kInvalidHandle = 6;
constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kNotOwner = 288;

using qorb::test::RunScenario;
using qorb::test::StartScenario;
using qorb::test::WaitChild;

// A name no other test process uses: parallel test runs never collide.
std::string UniqueName(const std::string &tag) {
  return "qorb-sync-" + std::to_string(qorb::test::CurrentProcessId()) + "-" + tag;
}

// Runs fn on a new thread and returns its result once the thread has ended.
template <typename Fn>
uint32_t OnOtherThread(Fn fn) {
  uint32_t result = 0xDEADBEEF;
  std::thread worker([&] { result = fn(); });
  worker.join();
  return result;
}

// A counting semaphore's three words, to compare in one go.
std::array<uint32_t, 3> Words(const SemCount &c) {
  return {c.mutex, c.event, c.count};
}

// Waits until `count` threads of this process are inside a wait on the
// object, so that what the test does next happens to sleeping waiters.
void AwaitSleepers(uint32_t handle, uint32_t count) {
  ASSERT_TRUE(
      qorb::test::WaitUntil([&] { return qorb::plat::SleepersForTesting(handle) == count; }));
}

TEST(SemMutex, OwnershipTimeOutsAndReentrancy) {
  SemMutexHandle m = 0;
  ASSERT_EQ(0u, SemCreateMutex(&m, nullptr, 0, 1));  // created owned
  EXPECT_NE(0u, m);
  EXPECT_EQ(0u, SemRequestMutex(&m, 0));  // owner: no wait
  auto requestElsewhere = [&m](uint32_t timeout) {
    return OnOtherThread([&] { return SemRequestMutex(&m, timeout); });
  };
  EXPECT_EQ(SEM_RC_TIMEOUT, requestElsewhere(0));
  EXPECT_EQ(SEM_RC_TIMEOUT, requestElsewhere(5));
  EXPECT_EQ(kNotOwner, OnOtherThread([&] { return SemReleaseMutex(&m); }));
  EXPECT_EQ(0u, SemReleaseMutex(&m));
  EXPECT_EQ(SEM_RC_TIMEOUT, requestElsewhere(0));  // still held once
  EXPECT_EQ(0u, SemReleaseMutex(&m));
  EXPECT_EQ(kNotOwner, SemReleaseMutex(&m));
  EXPECT_EQ(0u, requestElsewhere(0));  // free now
  EXPECT_EQ(0u, SemCloseMutex(&m));
}

TEST(SemMutex, AbandonedByEndedThreadGoesToWaiters) {
  SemMutexHandle m = 0;
  ASSERT_EQ(0u, SemCreateMutex(&m, nullptr, 0, 0));
  std::atomic<int> stage{0};
  std::atomic<uint32_t> blockedResult{0xDEADBEEF};
  std::thread owner([&] {
    SemRequestMutex(&m, SEM_INDEFINITE_WAIT);
    SemRequestMutex(&m, SEM_INDEFINITE_WAIT);  // ends holding it twice
    stage = 1;
    while (stage != 2) std::this_thread::yield();
  });
  while (stage != 1) std::this_thread::yield();
  std::thread blocked([&] {
    blockedResult = SemRequestMutex(&m, SEM_INDEFINITE_WAIT);
    if (blockedResult == 0) blockedResult = SemReleaseMutex(&m);
  });
  AwaitSleepers(m, 1);
  stage = 2;
  owner.join();
  blocked.join();
  EXPECT_EQ(0u, blockedResult.load());
  // A waiter arriving after the owner ended finds it free too.
  std::thread late([&] { SemRequestMutex(&m, SEM_INDEFINITE_WAIT); });
  late.join();
  EXPECT_EQ(0u, SemRequestMutex(&m, 0));
  EXPECT_EQ(0u, SemReleaseMutex(&m));
  EXPECT_EQ(kNotOwner, SemReleaseMutex(&m));
  EXPECT_EQ(0u, SemCloseMutex(&m));
}

TEST(SemMutex, ExcludesAcrossThreads) {
  SemMutexHandle m = 0;
  ASSERT_EQ(0u, SemCreateMutex(&m, nullptr, 0, 0));
  long counter = 0;
  std::array<std::thread, 3> workers;
  for (auto &worker : workers) {
    worker = std::thread([&] {
      for (int i = 0; i < 20000 && SemRequestMutex(&m, SEM_INDEFINITE_WAIT) == 0; ++i) {
        const long seen = counter;
        if ((i & 63) == 0) std::this_thread::yield();
        counter = seen + 1;
        SemReleaseMutex(&m);
      }
    });
  }
  for (auto &worker : workers) worker.join();
  EXPECT_EQ(60000, counter);
  EXPECT_EQ(0u, SemCloseMutex(&m));
}

TEST(SemHandles, ZeroNullAndStaleHandles) {
  SemMutexHandle zero = 0;
  SemEventHandle zeroEvent = 0;
  uint32_t posted = 5;
  for (uint32_t rc :
       {SemRequestMutex(&zero, 0), SemReleaseMutex(&zero), SemCloseMutex(&zero),
        SemPostEvent(&zeroEvent), SemWaitEvent(&zeroEvent, 0), SemQueryEvent(&zeroEvent, &posted),
        SemResetEvent(&zeroEvent, &posted), SemCloseEvent(&zeroEvent)}) {
    EXPECT_EQ(kInvalidHandle, rc);
  }
  for (uint32_t rc :
       {SemCreateMutex(nullptr, nullptr, 0, 0), SemRequestMutex(nullptr, 0), SemCloseMutex(nullptr),
        SemPostEvent(nullptr), SemQueryEvent(nullptr, nullptr), SemCreateCount(nullptr, "x", 0, 0),
        SemChangeCount(nullptr, 1)}) {
    EXPECT_EQ(kInvalidParameter, rc);
  }
  std::array<uint32_t, 3> out{7, 8, 9};
  EXPECT_EQ(SEM_RC_NOT_SUPPORTED, SemQueryMutex(&zero, &out[0], &out[1], &out[2]));
  EXPECT_EQ((std::array<uint32_t, 3>{7, 8, 9}), out);

  // A closed handle stays dead, and a new object does not answer to it.
  SemMutexHandle m = 0, fresh = 0;
  ASSERT_EQ(0u, SemCreateMutex(&m, nullptr, 0, 0));
  ASSERT_EQ(0u, SemCloseMutex(&m));
  EXPECT_EQ(kInvalidHandle, SemCloseMutex(&m));
  ASSERT_EQ(0u, SemCreateMutex(&fresh, nullptr, 0, 0));
  EXPECT_NE(m, fresh);
  EXPECT_EQ(kInvalidHandle, SemRequestMutex(&m, 0));
  // A mutex handle is no event handle, nor the other way round.
  SemEventHandle e = 0;
  ASSERT_EQ(0u, SemCreateEvent(&e, nullptr, 0, 0));
  EXPECT_EQ(kInvalidHandle, SemReleaseMutex(&e));
  EXPECT_EQ(kInvalidHandle, SemPostEvent(&fresh));
  EXPECT_EQ(0u, SemCloseMutex(&fresh) + SemCloseEvent(&e));
}

TEST(SemEvent, PostResetQueryAndWait) {
  SemEventHandle e = 0;
  uint32_t posted = 7, postCount = 7;
  ASSERT_EQ(0u, SemCreateEvent(&e, nullptr, 0, 1));
  EXPECT_EQ(0u, SemQueryEvent(&e, &posted));
  EXPECT_EQ(1u, posted);
  EXPECT_EQ(0u, SemWaitEvent(&e, 0));
  EXPECT_EQ(0u, SemWaitEvent(&e, SEM_INDEFINITE_WAIT));  // stays posted
  EXPECT_EQ(0u, SemResetEvent(&e, &postCount));
  EXPECT_EQ(0u, postCount);
  EXPECT_EQ(SEM_RC_TIMEOUT, SemQueryEvent(&e, &posted));
  EXPECT_EQ(0u, posted);
  EXPECT_EQ(SEM_RC_TIMEOUT, SemWaitEvent(&e, 0));
  EXPECT_EQ(SEM_RC_TIMEOUT, SemWaitEvent(&e, 3));
  // One post releases every sleeping waiter; a second changes nothing.
  std::atomic<int> passed{0};
  std::array<std::thread, 4> waiters;
  for (auto &waiter : waiters) {
    waiter = std::thread([&] { passed += SemWaitEvent(&e, SEM_INDEFINITE_WAIT) == 0 ? 1 : 0; });
  }
  AwaitSleepers(e, 4);
  EXPECT_EQ(0u, SemPostEvent(&e));
  EXPECT_EQ(0u, SemPostEvent(&e));
  for (auto &waiter : waiters) waiter.join();
  EXPECT_EQ(4, passed.load());
  EXPECT_EQ(0u, SemQueryEvent(&e, &posted));
  EXPECT_EQ(1u, posted);
  EXPECT_EQ(0u, SemCloseEvent(&e));
  EXPECT_EQ(kInvalidHandle, SemQueryEvent(&e, &posted));
  EXPECT_EQ(0u, posted);
}

TEST(SemNamed, CreateTwiceReachesOneObject) {
#ifdef _WIN32
  // A backslash separates the kernel's name spaces there ("Local\x").
  const std::string name = UniqueName("one/object");
#else
  const std::string name = UniqueName("one/obj\\ect");
#endif
  SemEventHandle first = 0, second = 0, opened = 0;
  uint32_t posted = 0;
  ASSERT_EQ(0u, SemCreateEvent(&first, name.c_str(), 0, 1));
  ASSERT_EQ(0u, SemCreateEvent(&second, name.c_str(), 0, 0));  // state argument ignored
  EXPECT_NE(first, second);
  EXPECT_EQ(0u, SemQueryEvent(&second, &posted));
  EXPECT_EQ(0u, SemResetEvent(&first, &posted));
  EXPECT_EQ(SEM_RC_TIMEOUT, SemWaitEvent(&second, 0));
  // Closing one handle keeps the object; closing the last removes it.
  EXPECT_EQ(0u, SemPostEvent(&second));
  EXPECT_EQ(0u, SemCloseEvent(&first));
  ASSERT_EQ(0u, SemOpenEvent(&opened, name.c_str()));
  EXPECT_EQ(0u, SemWaitEvent(&opened, 0));
  EXPECT_EQ(0u, SemCloseEvent(&opened));
  EXPECT_EQ(0u, SemCloseEvent(&second));
  ASSERT_EQ(0u, SemCreateEvent(&first, name.c_str(), 0, 0));  // fresh state
  EXPECT_EQ(SEM_RC_TIMEOUT, SemQueryEvent(&first, &posted));
  EXPECT_EQ(0u, SemCloseEvent(&first));

  // Names differing only in escaped bytes stay apart.
  const std::string slash = UniqueName("a/b"), escaped = UniqueName("a%2Fb");
  ASSERT_EQ(0u, SemCreateEvent(&first, slash.c_str(), 0, 1));
  ASSERT_EQ(0u, SemCreateEvent(&second, escaped.c_str(), 0, 0));
  EXPECT_EQ(SEM_RC_TIMEOUT, SemWaitEvent(&second, 0));
  EXPECT_EQ(0u, SemCloseEvent(&first) + SemCloseEvent(&second));
}

TEST(SemNamed, KindsNamesAndAccess) {
  const std::string name = UniqueName("kinds");
  SemMutexHandle m = 0;
  SemEventHandle e = 99;
  ASSERT_EQ(0u, SemCreateMutex(&m, name.c_str(), 0, 0));
  EXPECT_EQ(kInvalidHandle, SemCreateEvent(&e, name.c_str(), 0, 0));
  EXPECT_EQ(0u, e);
  EXPECT_EQ(kInvalidHandle, SemOpenEvent(&e, name.c_str()));
  EXPECT_EQ(0u, SemCloseMutex(&m));
  ASSERT_EQ(0u, SemCreateEvent(&e, name.c_str(), 0, 0));  // the name is free again
  EXPECT_EQ(0u, SemCloseEvent(&e));

  e = m = 99;
  EXPECT_EQ(kNotFound, SemOpenEvent(&e, UniqueName("missing").c_str()));
  EXPECT_EQ(kNotFound, SemOpenMutex(&m, UniqueName("missing").c_str()));
  EXPECT_EQ(0u, e + m);
  EXPECT_NE(0u, SemOpenMutex(&m, nullptr));
  // Overlong names are refused, every byte value is accepted.
  const std::string overlong(300, 'x');
  EXPECT_EQ(kInvalidParameter, SemCreateMutex(&m, overlong.c_str(), 0, 0));
  EXPECT_EQ(kInvalidParameter, SemOpenEvent(&e, overlong.c_str()));
  std::string odd = UniqueName("odd");
  for (int byte = 1; byte < 256; byte += 37) odd.push_back(static_cast<char>(byte));
  ASSERT_EQ(0u, SemCreateMutex(&m, odd.c_str(), 0, 0));
  EXPECT_EQ(0u, SemCloseMutex(&m));

  // Opened handles may wait and release, but not post or reset.
  SemEventHandle full = 0, waitOnly = 0;
  uint32_t postCount = 1;
  ASSERT_EQ(0u, SemCreateEvent(&full, name.c_str(), 0, 0));
  ASSERT_EQ(0u, SemOpenEvent(&waitOnly, name.c_str()));
  EXPECT_EQ(kAccessDenied, SemPostEvent(&waitOnly));
  EXPECT_EQ(kAccessDenied, SemResetEvent(&waitOnly, &postCount));
  EXPECT_EQ(0u, postCount);
  EXPECT_EQ(SEM_RC_TIMEOUT, SemWaitEvent(&waitOnly, 0));
  EXPECT_EQ(0u, SemPostEvent(&full));
  EXPECT_EQ(0u, SemWaitEvent(&waitOnly, 0));
  EXPECT_EQ(0u, SemCloseEvent(&waitOnly) + SemCloseEvent(&full));
  SemMutexHandle owner = 0, opened = 0;
  ASSERT_EQ(0u, SemCreateMutex(&owner, name.c_str(), 0, 0));
  ASSERT_EQ(0u, SemOpenMutex(&opened, name.c_str()));
  EXPECT_EQ(0u, SemRequestMutex(&opened, 0));
  EXPECT_EQ(0u, SemRequestMutex(&owner, 0));  // the same mutex, recursively
  EXPECT_EQ(SEM_RC_TIMEOUT, OnOtherThread([&] { return SemRequestMutex(&owner, 2); }));
  EXPECT_EQ(0u, SemReleaseMutex(&opened));
  EXPECT_EQ(0u, SemReleaseMutex(&opened));
  EXPECT_EQ(kNotOwner, SemReleaseMutex(&owner));
  EXPECT_EQ(0u, SemCloseMutex(&opened) + SemCloseMutex(&owner));
}

// A second process reaches the parent's mutex by name; the owner flag of a
// create that finds the name is ignored.
QORB_SCENARIO(OpenOwnedMutex) {
  const char *name = arguments.at(0).c_str();
  SemMutexHandle opened = 0, created = 0;
  if (SemOpenMutex(&opened, name) != 0) return 2;
  if (SemRequestMutex(&opened, 0) != SEM_RC_TIMEOUT) return 3;
  if (SemCreateMutex(&created, name, 0, 1) != 0) return 4;
  if (SemRequestMutex(&created, 1) != SEM_RC_TIMEOUT) return 5;
  return SemReleaseMutex(&created) == kNotOwner ? 0 : 6;
}

TEST(SemNamed, MutexSharedWithChildProcess) {
  const std::string name = UniqueName("shared-mutex");
  SemMutexHandle m = 0;
  ASSERT_EQ(0u, SemCreateMutex(&m, name.c_str(), 0, 1));
  EXPECT_EQ(0, RunScenario("OpenOwnedMutex", {name}));
  EXPECT_EQ(0u, SemReleaseMutex(&m));
  EXPECT_EQ(0u, SemCloseMutex(&m));
}

// Takes the named mutex, opens the event, posts "ready" and waits to be killed.
QORB_SCENARIO(HoldUntilKilled) {
  SemMutexHandle cm = 0;
  SemEventHandle ce = 0, cready = 0;
  if (SemOpenMutex(&cm, arguments.at(0).c_str()) != 0 || SemRequestMutex(&cm, 0) != 0) return 1;
  if (SemOpenEvent(&ce, arguments.at(1).c_str()) != 0) return 2;
  if (SemCreateEvent(&cready, arguments.at(2).c_str(), 0, 0) != 0 || SemPostEvent(&cready) != 0) {
    return 3;
  }
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

// A killed process counts as having released its mutex and closed its
// handles. `peer` is the program that plays the other process: this test
// program, or its build for the other pointer width.
void KilledHolderLeavesMutexAndName(const std::string &peer) {
  const std::string mutexName = UniqueName("killed-mutex");
  const std::string readyName = UniqueName("killed-ready");
  const std::string eventName = UniqueName("killed-event");
  SemMutexHandle m = 0;
  SemEventHandle ready = 0, e = 0;
  ASSERT_EQ(0u, SemCreateMutex(&m, mutexName.c_str(), 0, 0));
  ASSERT_EQ(0u, SemCreateEvent(&ready, readyName.c_str(), 0, 0));
  ASSERT_EQ(0u, SemCreateEvent(&e, eventName.c_str(), 0, 1));
  const qorb::test::ChildProcess child =
      StartScenario("HoldUntilKilled", {mutexName, eventName, readyName}, peer);
  ASSERT_GT(child, 0);
  ASSERT_EQ(0u, SemWaitEvent(&ready, 60000));  // woken by the child's post
  EXPECT_EQ(SEM_RC_TIMEOUT, SemRequestMutex(&m, 0));
  // The child's handle keeps the event alive after the parent's close.
  EXPECT_EQ(0u, SemCloseEvent(&e));
  ASSERT_EQ(0u, SemOpenEvent(&e, eventName.c_str()));
  EXPECT_EQ(0u, SemWaitEvent(&e, 0));
  EXPECT_EQ(0u, SemCloseEvent(&e));
  // One waiter blocks before the kill, the parent's own wait comes after it.
  std::atomic<uint32_t> blocked{0xDEADBEEF};
  std::thread waiter([&] {
    blocked = SemRequestMutex(&m, SEM_INDEFINITE_WAIT);
    if (blocked == 0) blocked = SemReleaseMutex(&m);
  });
  AwaitSleepers(m, 1);
  ASSERT_TRUE(qorb::test::KillChild(child));
  waiter.join();
  EXPECT_EQ(0u, blocked.load());
  EXPECT_EQ(0u, SemRequestMutex(&m, 0));
  EXPECT_EQ(0u, SemReleaseMutex(&m));
#ifndef _WIN32
  // Ended but not yet reaped: a zombie holds nothing, and the name is gone.
  siginfo_t info{};
  ASSERT_EQ(0, waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT));
  EXPECT_EQ(kNotFound, SemOpenEvent(&e, eventName.c_str()));
#endif
  EXPECT_EQ(qorb::test::kKilledStatus, WaitChild(child));
  EXPECT_EQ(kNotFound, SemOpenEvent(&e, eventName.c_str()));
  uint32_t posted = 1;
  ASSERT_EQ(0u, SemCreateEvent(&e, eventName.c_str(), 0, 0));
  EXPECT_EQ(SEM_RC_TIMEOUT, SemQueryEvent(&e, &posted));  // fresh state
  EXPECT_EQ(0u, SemCloseEvent(&e) + SemCloseEvent(&ready) + SemCloseMutex(&m));
}

TEST(SemNamed, ChildKilledWhileOwningLeavesMutexAndName) {
  KilledHolderLeavesMutexAndName({});
}

// As another user, makes the shared-memory file behind the name that the
// user of the test would use for `name`, open to everybody.
#ifndef _WIN32
QORB_SCENARIO(SquatName) {
  const std::string file = "/qorb32n-" + arguments.at(1) + "-" + arguments.at(0);
  if (!qorb::test::BecomeNobody()) return 1;
  const int fd = shm_open(file.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
  if (fd < 0) return 2;
  fchmod(fd, 0666);
  const bool sized = ftruncate(fd, 4096) == 0;
  close(fd);
  return sized ? 0 : 3;
}
#endif

// Names belong to their user: a file another user made first is refused,
// never adopted, and the user's other names keep working.
TEST(SemNamed, AnotherUsersObjectIsRefused) {
  QORB_POSIX_ONLY("the kernel keeps Windows names apart by session, not by a file's owner");
#ifndef _WIN32
  if (!qorb::test::HostLetsProcessChangeUser())
    GTEST_SKIP() << "playing another user needs CAP_SETUID and CAP_SETGID";
  const std::string name = UniqueName("squatted");
  ASSERT_EQ(0, RunScenario("SquatName", {name, std::to_string(geteuid())}));
  SemEventHandle e = 0;
  SemMutexHandle m = 0;
  EXPECT_EQ(kAccessDenied, SemCreateEvent(&e, name.c_str(), 0, 0));
  EXPECT_EQ(kAccessDenied, SemOpenEvent(&e, name.c_str()));
  EXPECT_EQ(kAccessDenied, SemCreateMutex(&m, name.c_str(), 0, 0));
  const std::string other = UniqueName("unaffected");
  EXPECT_EQ(0u, SemCreateEvent(&e, other.c_str(), 0, 0));
  EXPECT_EQ(0u, SemCloseEvent(&e));
  shm_unlink(("/qorb32n-" + std::to_string(geteuid()) + "-" + name).c_str());
#endif
}

TEST(SemCount, UnnamedEdgeCases) {
  SemCount c{};
  uint32_t count = 0, postCount = 1;
  ASSERT_EQ(0u, SemCreateCount(&c, nullptr, 0, 5));
  EXPECT_EQ(0u, SemWaitCount(&c, 5, 0));
  EXPECT_EQ(SEM_RC_TIMEOUT, SemWaitCount(&c, 6, 0));
  EXPECT_EQ(0u, SemChangeCount(&c, 1));
  // The event stays posted: every wait passes, whatever the counter.
  EXPECT_EQ(0u, SemWaitCount(&c, 7, 0));
  EXPECT_EQ(0u, SemWaitCount(&c, 1000, SEM_INDEFINITE_WAIT));
  EXPECT_EQ(0u, SemChangeCount(&c, 0xFFFFFFFEu));
  EXPECT_EQ(0u, SemQueryCount(&c, &count));
  EXPECT_EQ(4u, count);
  EXPECT_EQ(0u, SemResetEvent(&c.event, &postCount));
  EXPECT_EQ(SEM_RC_TIMEOUT, SemWaitCount(&c, 7, 1));
  EXPECT_EQ(0u, SemChangeCount(&c, 0xFFFFFFFBu));  // wraps below zero
  // The change is made under the mutex: a holder on another thread delays it.
  EXPECT_EQ(0u, SemRequestMutex(&c.mutex, 0));
  std::thread changer([&] { SemChangeCount(&c, 1); });
  AwaitSleepers(c.mutex, 1);
  EXPECT_EQ(0u, SemQueryCount(&c, &count));
  EXPECT_EQ(0xFFFFFFFFu, count);
  EXPECT_EQ(0u, SemReleaseMutex(&c.mutex));
  changer.join();
  EXPECT_EQ(0u, SemQueryCount(&c, &count));
  EXPECT_EQ(0u, count);
  EXPECT_EQ(0u, SemCloseCount(&c));
  EXPECT_EQ(kInvalidHandle, SemCloseCount(&c));
  EXPECT_EQ(kInvalidHandle, SemChangeCount(&c, 1));
}

TEST(SemCount, NamesAndPartialFailures) {
  // The longest name that fits is accepted; one more byte touches nothing.
  std::string name68 = UniqueName("n");
  name68.resize(68, 'x');
  SemCount c{};
  SemMutexHandle m = 0;
  SemEventHandle e = 0;
  ASSERT_EQ(0u, SemCreateCount(&c, name68.c_str(), 0, 1));
  EXPECT_EQ(0u, SemOpenMutex(&m, (name68 + ".countMutex").c_str()));
  EXPECT_EQ(0u, SemOpenEvent(&e, (name68 + ".countEvent").c_str()));
  EXPECT_EQ(0u, SemCloseMutex(&m) + SemCloseEvent(&e) + SemCloseCount(&c));
  SemCount untouched = {11, 22, 33};
  EXPECT_EQ(kInvalidParameter, SemCreateCount(&untouched, (name68 + "y").c_str(), 0, 1));
  EXPECT_EQ(kInvalidParameter, SemOpenCount(&untouched, (name68 + "y").c_str()));
  EXPECT_EQ((std::array<uint32_t, 3>{11, 22, 33}), Words(untouched));

  // Opening a missing semaphore fails at the event and leaves the mutex.
  SemCount missing = {44, 55, 66};
  EXPECT_EQ(kNotFound, SemOpenCount(&missing, UniqueName("none").c_str()));
  EXPECT_EQ((std::array<uint32_t, 3>{44, 0, 66}), Words(missing));
  EXPECT_NE(0u, SemOpenCount(&missing, nullptr));

  // A create whose mutex name is taken by an event keeps its event.
  const std::string clash = UniqueName("clash");
  SemEventHandle squatter = 0;
  ASSERT_EQ(0u, SemCreateEvent(&squatter, (clash + ".countMutex").c_str(), 0, 0));
  SemCount partial = {0, 0, 77};
  EXPECT_EQ(kInvalidHandle, SemCreateCount(&partial, clash.c_str(), 0, 1));
  EXPECT_EQ((std::array<uint32_t, 3>{0, partial.event, 77}), Words(partial));
  EXPECT_NE(0u, partial.event);
  EXPECT_EQ(0u, SemCloseEvent(&partial.event) + SemCloseEvent(&squatter));
}

// Opens and creates the parent's counting semaphore, changing it both ways.
QORB_SCENARIO(ShareCount) {
  const char *name = arguments.at(0).c_str();
  SemCount opened = {0, 0, 40}, created{};
  uint32_t count = 0;
  if (SemOpenCount(&opened, name) != 0) return 1;
  // Opened with the right to wait only: the change is made, its post
  // refused, and the mutex given back.
  if (SemChangeCount(&opened, 2) != kAccessDenied) return 2;
  if (SemQueryCount(&opened, &count) != 0 || count != 42) return 3;
  if (SemRequestMutex(&opened.mutex, 0) != 0) return 4;
  if (SemReleaseMutex(&opened.mutex) != 0) return 5;
  // Creating the existing name gives full access to the same pair.
  if (SemCreateCount(&created, name, 0, 7) != 0) return 6;
  if (SemChangeCount(&created, 1) != 0 || SemCloseCount(&created) != 0) return 7;
  if (SemWaitCount(&opened, 1000, 0) != 0) return 8;
  return SemCloseCount(&opened) == 0 ? 0 : 9;
}

// The counter lives in each process's own record; the pair is shared.
void CountSharedWith(const std::string &peer) {
  const std::string name = UniqueName("pool");
  SemCount c{};
  ASSERT_EQ(0u, SemCreateCount(&c, name.c_str(), 0, 3));
  EXPECT_EQ(SEM_RC_TIMEOUT, SemWaitCount(&c, 100, 0));
  EXPECT_EQ(0, RunScenario("ShareCount", {name}, peer));
  // The child's change posted the shared event; the counter here is ours.
  EXPECT_EQ(0u, SemWaitCount(&c, 100, 0));
  uint32_t count = 0;
  EXPECT_EQ(0u, SemQueryCount(&c, &count));
  EXPECT_EQ(3u, count);
  EXPECT_EQ(0u, SemCloseCount(&c));
  SemCount gone{};
  EXPECT_EQ(kNotFound, SemOpenCount(&gone, name.c_str()));
}

TEST(SemCount, SharedWithChildProcess) {
  CountSharedWith({});
}

// The build of this test program for the other pointer width, run from the
// 32-bit build against the 64-bit one (which the test command builds first).
std::string OtherWidthProgram() {
#if defined(QORB_OTHER_WIDTH_TESTS)
  const std::string path = std::string(QORB_OTHER_WIDTH_TESTS) + "/sync_test";
  if (access(path.c_str(), X_OK) == 0 && RunScenario("Nothing", {}, path) == 0) return path;
#endif
  return {};
}

QORB_SCENARIO(Nothing) {
  return static_cast<int>(arguments.size());
}

// A 32-bit and a 64-bit process share one named mutex, event and counting
// semaphore, and the mutex survives its owner being killed.
TEST(SemNamed, SharedAcrossPointerWidths) {
  if (sizeof(void *) != 4) GTEST_SKIP() << "runs from the 32-bit build, against the 64-bit one";
  const std::string peer = OtherWidthProgram();
  if (peer.empty()) GTEST_SKIP() << "the 64-bit build of sync_test is not there or does not run";
  KilledHolderLeavesMutexAndName(peer);
  CountSharedWith(peer);
}

}  // namespace
