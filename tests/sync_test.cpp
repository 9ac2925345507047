// sync_test.cpp - the Sem family: mutexes, events and counting semaphores,
// unnamed within one process and named across real child processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "qorb32n.h"
#include "support/child_process.h"

namespace {

constexpr uint32_t kInvalidHandle = 6;
constexpr uint32_t kNotOwner = 288;
constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kNotFound = 2;
constexpr uint32_t kAccessDenied = 5;

using qorb::test::RunInChild;
using qorb::test::WaitChild;

// A name no other test process uses: parallel test runs never collide.
std::string UniqueName(const std::string &tag) {
  return "qorb-sync-" + std::to_string(getpid()) + "-" + tag;
}

// Runs fn on a new thread and returns its result once the thread has ended.
template <typename Fn>
uint32_t OnOtherThread(Fn fn) {
  uint32_t result = 0xDEADBEEF;
  std::thread worker([&] { result = fn(); });
  worker.join();
  return result;
}

TEST(SemMutex, TimeOutZeroAndReentrancy) {
  SemMutexHandle m = 0;
  ASSERT_EQ(0u, SemCreateMutex(&m, nullptr, 0, 0));
  EXPECT_NE(0u, m);
  EXPECT_EQ(0u, SemRequestMutex(&m, 0));
  EXPECT_EQ(0u, SemRequestMutex(&m, 0));  // owner: no wait
  EXPECT_EQ(SEM_RC_TIMEOUT, OnOtherThread([&] { return SemRequestMutex(&m, 0); }));
  EXPECT_EQ(SEM_RC_TIMEOUT, OnOtherThread([&] { return SemRequestMutex(&m, 5); }));
  EXPECT_EQ(kNotOwner, OnOtherThread([&] { return SemReleaseMutex(&m); }));
  EXPECT_EQ(0u, SemReleaseMutex(&m));
  EXPECT_EQ(SEM_RC_TIMEOUT, OnOtherThread([&] { return SemRequestMutex(&m, 0); }));
  EXPECT_EQ(0u, SemReleaseMutex(&m));
  EXPECT_EQ(kNotOwner, SemReleaseMutex(&m));
  EXPECT_EQ(0u, OnOtherThread([&] {  // free now, and abandoned by this thread
              return SemRequestMutex(&m, 0);
            }));
  EXPECT_EQ(0u, SemRequestMutex(&m, 0));
  EXPECT_EQ(0u, SemReleaseMutex(&m));
  EXPECT_EQ(0u, SemCloseMutex(&m));
}

TEST(SemMutex, CreatedOwnedBelongsToCreator) {
  SemMutexHandle m = 0;
  ASSERT_EQ(0u, SemCreateMutex(&m, nullptr, 0, 1));
  EXPECT_EQ(SEM_RC_TIMEOUT, OnOtherThread([&] { return SemRequestMutex(&m, 0); }));
  EXPECT_EQ(0u, SemReleaseMutex(&m));
  EXPECT_EQ(0u, OnOtherThread([&] {
              uint32_t rc = SemRequestMutex(&m, 0);
              return rc != 0 ? rc : SemReleaseMutex(&m);
            }));
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
    while (stage != 3) std::this_thread::yield();
  });
  while (stage != 1) std::this_thread::yield();
  std::thread blocked([&] {
    stage = 2;
    blockedResult = SemRequestMutex(&m, SEM_INDEFINITE_WAIT);
    if (blockedResult == 0) blockedResult = SemReleaseMutex(&m);
  });
  while (stage != 2) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let it fall asleep
  stage = 3;
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
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      ASSERT_EQ(0u, SemRequestMutex(&m, SEM_INDEFINITE_WAIT));
      long seen = counter;
      if ((i & 63) == 0) std::this_thread::yield();
      counter = seen + 1;
      ASSERT_EQ(0u, SemReleaseMutex(&m));
    }
  };
  std::thread a(work), b(work), c(work);
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(60000, counter);
  EXPECT_EQ(0u, SemCloseMutex(&m));
}

TEST(SemHandles, ZeroStaleAndNullHandles) {
  SemMutexHandle zero = 0;
  uint32_t out[3] = {7, 8, 9};
  EXPECT_EQ(kInvalidHandle, SemRequestMutex(&zero, 0));
  EXPECT_EQ(kInvalidHandle, SemReleaseMutex(&zero));
  EXPECT_EQ(kInvalidHandle, SemCloseMutex(&zero));
  EXPECT_EQ(SEM_RC_NOT_SUPPORTED, SemQueryMutex(&zero, &out[0], &out[1], &out[2]));
  EXPECT_EQ(7u, out[0]);
  EXPECT_EQ(8u, out[1]);
  EXPECT_EQ(9u, out[2]);
  SemEventHandle zeroEvent = 0;
  uint32_t posted = 5;
  EXPECT_EQ(kInvalidHandle, SemPostEvent(&zeroEvent));
  EXPECT_EQ(kInvalidHandle, SemWaitEvent(&zeroEvent, 0));
  EXPECT_EQ(kInvalidHandle, SemQueryEvent(&zeroEvent, &posted));
  EXPECT_EQ(0u, posted);
  EXPECT_EQ(kInvalidHandle, SemResetEvent(&zeroEvent, &posted));
  EXPECT_EQ(kInvalidHandle, SemCloseEvent(&zeroEvent));

  EXPECT_EQ(kInvalidParameter, SemCreateMutex(nullptr, nullptr, 0, 0));
  EXPECT_EQ(kInvalidParameter, SemRequestMutex(nullptr, 0));
  EXPECT_EQ(kInvalidParameter, SemPostEvent(nullptr));
  EXPECT_EQ(kInvalidParameter, SemQueryEvent(nullptr, nullptr));
  EXPECT_EQ(kInvalidParameter, SemCreateCount(nullptr, "x", 0, 0));

  // A closed handle stays dead, also once new objects have been made.
  SemMutexHandle m = 0;
  ASSERT_EQ(0u, SemCreateMutex(&m, nullptr, 0, 0));
  const SemMutexHandle stale = m;
  ASSERT_EQ(0u, SemCloseMutex(&m));
  EXPECT_EQ(kInvalidHandle, SemCloseMutex(&m));
  SemMutexHandle others[64];
  for (auto &h : others) ASSERT_EQ(0u, SemCreateMutex(&h, nullptr, 0, 0));
  for (auto &h : others) EXPECT_NE(stale, h);
  m = stale;
  EXPECT_EQ(kInvalidHandle, SemRequestMutex(&m, 0));
  for (auto &h : others) ASSERT_EQ(0u, SemCloseMutex(&h));
  // A mutex handle is no event handle, nor the other way round.
  SemEventHandle e = 0;
  ASSERT_EQ(0u, SemCreateEvent(&e, nullptr, 0, 0));
  EXPECT_EQ(kInvalidHandle, SemReleaseMutex(&e));
  ASSERT_EQ(0u, SemCreateMutex(&m, nullptr, 0, 0));
  EXPECT_EQ(kInvalidHandle, SemPostEvent(&m));
  EXPECT_EQ(0u, SemCloseMutex(&m));
  EXPECT_EQ(0u, SemCloseEvent(&e));
}

TEST(SemEvent, PostResetQueryAndWait) {
  SemEventHandle e = 0;
  uint32_t posted = 7;
  uint32_t postCount = 7;
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
  EXPECT_EQ(0u, SemPostEvent(&e));
  EXPECT_EQ(0u, SemPostEvent(&e));
  EXPECT_EQ(0u, SemQueryEvent(&e, &posted));
  EXPECT_EQ(1u, posted);
  EXPECT_EQ(0u, SemCloseEvent(&e));
  EXPECT_EQ(kInvalidHandle, SemQueryEvent(&e, &posted));
  EXPECT_EQ(0u, posted);
}

TEST(SemEvent, PostReleasesEveryWaiter) {
  SemEventHandle e = 0;
  ASSERT_EQ(0u, SemCreateEvent(&e, nullptr, 0, 0));
  std::atomic<int> passed{0};
  std::thread waiters[4];
  for (auto &t : waiters) {
    t = std::thread([&] {
      if (SemWaitEvent(&e, SEM_INDEFINITE_WAIT) == 0) ++passed;
    });
  }
  EXPECT_EQ(0, passed.load());
  EXPECT_EQ(0u, SemPostEvent(&e));
  for (auto &t : waiters) t.join();
  EXPECT_EQ(4, passed.load());
  EXPECT_EQ(0u, SemCloseEvent(&e));
}

TEST(SemNamed, CreateTwiceReachesOneObject) {
  const std::string name = UniqueName("one/obj\\ect");
  SemEventHandle first = 0, second = 0;
  uint32_t posted = 0;
  ASSERT_EQ(0u, SemCreateEvent(&first, name.c_str(), 0, 1));
  ASSERT_EQ(0u, SemCreateEvent(&second, name.c_str(), 0, 0));  // state argument ignored
  EXPECT_NE(first, second);
  EXPECT_EQ(0u, SemQueryEvent(&second, &posted));
  EXPECT_EQ(1u, posted);
  EXPECT_EQ(0u, SemResetEvent(&first, &posted));
  EXPECT_EQ(SEM_RC_TIMEOUT, SemWaitEvent(&second, 0));
  // Closing one handle keeps the object; closing the last removes it.
  EXPECT_EQ(0u, SemPostEvent(&second));
  EXPECT_EQ(0u, SemCloseEvent(&first));
  SemEventHandle opened = 0;
  ASSERT_EQ(0u, SemOpenEvent(&opened, name.c_str()));
  EXPECT_EQ(0u, SemWaitEvent(&opened, 0));
  EXPECT_EQ(0u, SemCloseEvent(&opened));
  EXPECT_EQ(0u, SemCloseEvent(&second));
  EXPECT_EQ(kNotFound, SemOpenEvent(&opened, name.c_str()));
  EXPECT_EQ(0u, opened);
  ASSERT_EQ(0u, SemCreateEvent(&first, name.c_str(), 0, 0));  // fresh state
  EXPECT_EQ(SEM_RC_TIMEOUT, SemQueryEvent(&first, &posted));
  EXPECT_EQ(0u, SemCloseEvent(&first));

  // Names differing only in escaped bytes stay apart.
  const std::string slash = UniqueName("a/b"), escaped = UniqueName("a%2Fb");
  ASSERT_EQ(0u, SemCreateEvent(&first, slash.c_str(), 0, 1));
  ASSERT_EQ(0u, SemCreateEvent(&second, escaped.c_str(), 0, 0));
  EXPECT_EQ(SEM_RC_TIMEOUT, SemWaitEvent(&second, 0));
  EXPECT_EQ(0u, SemCloseEvent(&first));
  EXPECT_EQ(0u, SemCloseEvent(&second));
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
  // Once the mutex is gone the name is free for an event.
  ASSERT_EQ(0u, SemCreateEvent(&e, name.c_str(), 0, 0));
  EXPECT_EQ(0u, SemCloseEvent(&e));

  e = 99;
  EXPECT_EQ(kNotFound, SemOpenEvent(&e, UniqueName("missing").c_str()));
  EXPECT_EQ(0u, e);
  m = 99;
  EXPECT_EQ(kNotFound, SemOpenMutex(&m, UniqueName("missing").c_str()));
  EXPECT_EQ(0u, m);
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
  const std::string ev = UniqueName("access");
  SemEventHandle full = 0, waitOnly = 0;
  uint32_t postCount = 1;
  ASSERT_EQ(0u, SemCreateEvent(&full, ev.c_str(), 0, 0));
  ASSERT_EQ(0u, SemOpenEvent(&waitOnly, ev.c_str()));
  EXPECT_EQ(kAccessDenied, SemPostEvent(&waitOnly));
  EXPECT_EQ(kAccessDenied, SemResetEvent(&waitOnly, &postCount));
  EXPECT_EQ(0u, postCount);
  EXPECT_EQ(SEM_RC_TIMEOUT, SemWaitEvent(&waitOnly, 0));
  EXPECT_EQ(0u, SemPostEvent(&full));
  EXPECT_EQ(0u, SemWaitEvent(&waitOnly, 0));
  EXPECT_EQ(0u, SemCloseEvent(&waitOnly));
  EXPECT_EQ(0u, SemCloseEvent(&full));

  const std::string mx = UniqueName("access-mutex");
  SemMutexHandle owner = 0, opened = 0;
  ASSERT_EQ(0u, SemCreateMutex(&owner, mx.c_str(), 0, 0));
  ASSERT_EQ(0u, SemOpenMutex(&opened, mx.c_str()));
  EXPECT_EQ(0u, SemRequestMutex(&opened, 0));
  EXPECT_EQ(0u, SemRequestMutex(&owner, 0));  // the same mutex, recursively
  EXPECT_EQ(SEM_RC_TIMEOUT, OnOtherThread([&] { return SemRequestMutex(&owner, 2); }));
  EXPECT_EQ(0u, SemReleaseMutex(&opened));
  EXPECT_EQ(0u, SemReleaseMutex(&opened));
  EXPECT_EQ(kNotOwner, SemReleaseMutex(&owner));
  EXPECT_EQ(0u, SemCloseMutex(&opened));
  EXPECT_EQ(0u, SemCloseMutex(&owner));
}

TEST(SemNamed, MutexSharedWithChildProcess) {
  const std::string name = UniqueName("shared-mutex");
  SemMutexHandle m = 0;
  ASSERT_EQ(0u, SemCreateMutex(&m, name.c_str(), 0, 1));
  EXPECT_EQ(0, RunInChild([&] {
              SemMutexHandle opened = 0, created = 0;
              if (SemOpenMutex(&opened, name.c_str()) != 0) return 1;
              if (SemRequestMutex(&opened, 0) != SEM_RC_TIMEOUT) return 2;
              if (SemCreateMutex(&created, name.c_str(), 0, 1) != 0)
                return 3;  // owner flag ignored
              if (SemRequestMutex(&created, 1) != SEM_RC_TIMEOUT) return 4;
              if (SemReleaseMutex(&created) != kNotOwner) return 5;
              return 0;
            }));
  // The parent's handles mean nothing in a child; unnamed copies keep working.
  SemMutexHandle local = 0;
  ASSERT_EQ(0u, SemCreateMutex(&local, nullptr, 0, 1));
  EXPECT_EQ(0, RunInChild([&] {
              if (SemRequestMutex(&m, 0) != kInvalidHandle) return 1;
              if (SemRequestMutex(&local, 0) != 0) return 2;
              if (SemReleaseMutex(&local) != 0 || SemReleaseMutex(&local) != 0) return 3;
              return SemReleaseMutex(&local) == kNotOwner ? 0 : 4;
            }));
  EXPECT_EQ(0u, SemReleaseMutex(&local));
  EXPECT_EQ(0u, SemCloseMutex(&local));
  // A child that ends holding the mutex leaves it to the next waiter.
  EXPECT_EQ(0u, SemReleaseMutex(&m));
  EXPECT_EQ(0, RunInChild([&] {
              SemMutexHandle opened = 0;
              if (SemOpenMutex(&opened, name.c_str()) != 0) return 1;
              return SemRequestMutex(&opened, 0) == 0 ? 0 : 2;
            }));
  EXPECT_EQ(0u, SemRequestMutex(&m, 0));
  EXPECT_EQ(0u, SemReleaseMutex(&m));
  EXPECT_EQ(0u, SemCloseMutex(&m));
}

TEST(SemNamed, ChildKilledWhileOwningLeavesMutexAndName) {
  const std::string mutexName = UniqueName("killed-mutex");
  const std::string readyName = UniqueName("killed-ready");
  const std::string eventName = UniqueName("killed-event");
  SemMutexHandle m = 0;
  SemEventHandle ready = 0, e = 0;
  ASSERT_EQ(0u, SemCreateMutex(&m, mutexName.c_str(), 0, 0));
  ASSERT_EQ(0u, SemCreateEvent(&ready, readyName.c_str(), 0, 0));
  ASSERT_EQ(0u, SemCreateEvent(&e, eventName.c_str(), 0, 1));
  const pid_t child = qorb::test::ForkChild([&] {
    SemMutexHandle cm = 0;
    SemEventHandle ce = 0, cready = 0;
    if (SemOpenMutex(&cm, mutexName.c_str()) != 0 || SemRequestMutex(&cm, 0) != 0) return 1;
    if (SemOpenEvent(&ce, eventName.c_str()) != 0) return 2;
    if (SemCreateEvent(&cready, readyName.c_str(), 0, 0) != 0) return 3;
    if (SemPostEvent(&cready) != 0) return 4;
    for (;;) pause();
  });
  ASSERT_GT(child, 0);
  ASSERT_EQ(0u, SemWaitEvent(&ready, 10000));
  EXPECT_EQ(SEM_RC_TIMEOUT, SemRequestMutex(&m, 0));
  // One waiter blocks before the kill, the parent's own wait comes after it.
  std::atomic<uint32_t> blocked{0xDEADBEEF};
  std::thread waiter([&] {
    blocked = SemRequestMutex(&m, SEM_INDEFINITE_WAIT);
    if (blocked == 0) blocked = SemReleaseMutex(&m);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(0, kill(child, SIGKILL));
  EXPECT_EQ(128 + SIGKILL, WaitChild(child));
  waiter.join();
  EXPECT_EQ(0u, blocked.load());
  EXPECT_EQ(0u, SemRequestMutex(&m, 0));
  EXPECT_EQ(0u, SemReleaseMutex(&m));
  // The killed child's handle to the event counts as closed: once the
  // parent closes its own, the name is gone and a new create starts fresh.
  EXPECT_EQ(0u, SemCloseEvent(&e));
  EXPECT_EQ(kNotFound, SemOpenEvent(&e, eventName.c_str()));
  uint32_t posted = 1;
  ASSERT_EQ(0u, SemCreateEvent(&e, eventName.c_str(), 0, 0));
  EXPECT_EQ(SEM_RC_TIMEOUT, SemQueryEvent(&e, &posted));
  EXPECT_EQ(0u, SemCloseEvent(&e));
  EXPECT_EQ(0u, SemCloseEvent(&ready));
  EXPECT_EQ(0u, SemCloseMutex(&m));
}

TEST(SemNamed, NameHeldOnlyByKilledChildIsGone) {
  const std::string name = UniqueName("orphan");
  const std::string readyName = UniqueName("orphan-ready");
  SemEventHandle e = 0, ready = 0;
  ASSERT_EQ(0u, SemCreateEvent(&e, name.c_str(), 0, 1));
  ASSERT_EQ(0u, SemCreateEvent(&ready, readyName.c_str(), 0, 0));
  const pid_t child = qorb::test::ForkChild([&] {
    SemEventHandle ce = 0, cready = 0;
    if (SemOpenEvent(&ce, name.c_str()) != 0) return 1;
    if (SemCreateEvent(&cready, readyName.c_str(), 0, 0) != 0 || SemPostEvent(&cready) != 0) {
      return 2;
    }
    for (;;) pause();
  });
  ASSERT_GT(child, 0);
  ASSERT_EQ(0u, SemWaitEvent(&ready, 10000));
  EXPECT_EQ(0u, SemCloseEvent(&e));
  EXPECT_EQ(0u, SemOpenEvent(&e, name.c_str()));  // still there: the child holds it
  EXPECT_EQ(0u, SemWaitEvent(&e, 0));
  EXPECT_EQ(0u, SemCloseEvent(&e));
  ASSERT_EQ(0, kill(child, SIGKILL));
  siginfo_t info{};
  ASSERT_EQ(0, waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT));
  // Ended but not yet reaped: a zombie holds nothing either.
  EXPECT_EQ(kNotFound, SemOpenEvent(&e, name.c_str()));
  EXPECT_EQ(128 + SIGKILL, WaitChild(child));
  EXPECT_EQ(0u, SemCloseEvent(&ready));
  EXPECT_EQ(kNotFound, SemOpenEvent(&ready, readyName.c_str()));
}

TEST(SemNamed, EventWakesWaiterInChildProcess) {
  const std::string name = UniqueName("wake");
  const std::string startedName = UniqueName("wake-started");
  SemEventHandle e = 0, started = 0;
  ASSERT_EQ(0u, SemCreateEvent(&e, name.c_str(), 0, 0));
  ASSERT_EQ(0u, SemCreateEvent(&started, startedName.c_str(), 0, 0));
  const pid_t child = qorb::test::ForkChild([&] {
    SemEventHandle ce = 0, cs = 0;
    if (SemOpenEvent(&ce, name.c_str()) != 0) return 1;
    if (SemCreateEvent(&cs, startedName.c_str(), 0, 0) != 0 || SemPostEvent(&cs) != 0) return 2;
    if (SemWaitEvent(&ce, SEM_INDEFINITE_WAIT) != 0) return 3;
    return 0;
  });
  ASSERT_EQ(0u, SemWaitEvent(&started, 10000));
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(0u, SemPostEvent(&e));
  EXPECT_EQ(0, WaitChild(child));
  EXPECT_EQ(0u, SemCloseEvent(&started));
  EXPECT_EQ(0u, SemCloseEvent(&e));
}

TEST(SemCount, UnnamedEdgeCases) {
  SemCount c{};
  uint32_t count = 0;
  ASSERT_EQ(0u, SemCreateCount(&c, nullptr, 0, 5));
  EXPECT_EQ(0u, SemQueryCount(&c, &count));
  EXPECT_EQ(5u, count);
  EXPECT_EQ(0u, SemWaitCount(&c, 5, 0));
  EXPECT_EQ(SEM_RC_TIMEOUT, SemWaitCount(&c, 6, 0));
  EXPECT_EQ(0u, SemChangeCount(&c, 1));
  EXPECT_EQ(0u, SemQueryCount(&c, &count));
  EXPECT_EQ(6u, count);
  // The event stays posted: every wait passes, whatever the counter.
  EXPECT_EQ(0u, SemWaitCount(&c, 7, 0));
  EXPECT_EQ(0u, SemWaitCount(&c, 1000, SEM_INDEFINITE_WAIT));
  EXPECT_EQ(0u, SemChangeCount(&c, 0xFFFFFFFEu));
  EXPECT_EQ(0u, SemQueryCount(&c, &count));
  EXPECT_EQ(4u, count);
  uint32_t postCount = 1;
  EXPECT_EQ(0u, SemResetEvent(&c.event, &postCount));
  EXPECT_EQ(SEM_RC_TIMEOUT, SemWaitCount(&c, 7, 1));
  EXPECT_EQ(0u, SemChangeCount(&c, 0xFFFFFFFBu));  // wraps below zero
  EXPECT_EQ(0u, SemQueryCount(&c, &count));
  EXPECT_EQ(0xFFFFFFFFu, count);
  // The change is made under the mutex: a holder on another thread delays it.
  EXPECT_EQ(0u, SemRequestMutex(&c.mutex, 0));
  std::thread changer([&] { SemChangeCount(&c, 1); });
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(0u, SemQueryCount(&c, &count));
  EXPECT_EQ(0xFFFFFFFFu, count);
  EXPECT_EQ(0u, SemReleaseMutex(&c.mutex));
  changer.join();
  EXPECT_EQ(0u, SemQueryCount(&c, &count));
  EXPECT_EQ(0u, count);
  const SemCount closed = c;
  EXPECT_EQ(0u, SemCloseCount(&c));
  EXPECT_EQ(closed.mutex, c.mutex);  // handles are not cleared
  EXPECT_EQ(kInvalidHandle, SemCloseCount(&c));
  EXPECT_EQ(kInvalidHandle, SemChangeCount(&c, 1));
}

TEST(SemCount, NamesAndPartialFailures) {
  // The longest name that fits is accepted; one more byte touches nothing.
  std::string name68 = UniqueName("n");
  name68.resize(68, 'x');
  SemCount c{};
  ASSERT_EQ(0u, SemCreateCount(&c, name68.c_str(), 0, 1));
  SemMutexHandle m = 0;
  SemEventHandle e = 0;
  EXPECT_EQ(0u, SemOpenMutex(&m, (name68 + ".countMutex").c_str()));
  EXPECT_EQ(0u, SemOpenEvent(&e, (name68 + ".countEvent").c_str()));
  EXPECT_EQ(0u, SemCloseMutex(&m));
  EXPECT_EQ(0u, SemCloseEvent(&e));
  EXPECT_EQ(0u, SemCloseCount(&c));
  SemCount untouched = {11, 22, 33};
  EXPECT_EQ(kInvalidParameter, SemCreateCount(&untouched, (name68 + "y").c_str(), 0, 1));
  EXPECT_EQ(kInvalidParameter, SemOpenCount(&untouched, (name68 + "y").c_str()));
  EXPECT_EQ(11u, untouched.mutex);
  EXPECT_EQ(22u, untouched.event);
  EXPECT_EQ(33u, untouched.count);

  // Opening a missing semaphore fails at the event and leaves the mutex.
  SemCount missing = {44, 55, 66};
  EXPECT_EQ(kNotFound, SemOpenCount(&missing, UniqueName("none").c_str()));
  EXPECT_EQ(44u, missing.mutex);
  EXPECT_EQ(0u, missing.event);
  EXPECT_EQ(66u, missing.count);
  EXPECT_NE(0u, SemOpenCount(&missing, nullptr));

  // A create whose mutex name is taken by an event keeps its event.
  const std::string clash = UniqueName("clash");
  SemEventHandle squatter = 0;
  ASSERT_EQ(0u, SemCreateEvent(&squatter, (clash + ".countMutex").c_str(), 0, 0));
  SemCount partial = {0, 0, 77};
  EXPECT_EQ(kInvalidHandle, SemCreateCount(&partial, clash.c_str(), 0, 1));
  EXPECT_NE(0u, partial.event);
  EXPECT_EQ(0u, partial.mutex);
  EXPECT_EQ(77u, partial.count);
  EXPECT_EQ(0u, SemCloseEvent(&partial.event));
  EXPECT_EQ(0u, SemCloseEvent(&squatter));
}

// Runs only when started by SemCount.SharedWithChildProcess.
TEST(SemCountChild, ChangeSharedCount) {
  const std::string name = qorb::test::EnvironmentValue("QORB_SYNC_COUNT_NAME");
  if (name.empty()) GTEST_SKIP() << "runs as a child process only";
  SemCount opened = {0, 0, 40};
  ASSERT_EQ(0u, SemOpenCount(&opened, name.c_str()));
  uint32_t count = 0;
  EXPECT_EQ(0u, SemQueryCount(&opened, &count));
  EXPECT_EQ(40u, count);  // opening leaves the counter as it was
  // Opened with the right to wait only: the change is made, its post refused.
  EXPECT_EQ(kAccessDenied, SemChangeCount(&opened, 2));
  EXPECT_EQ(0u, SemQueryCount(&opened, &count));
  EXPECT_EQ(42u, count);
  EXPECT_EQ(0u, SemRequestMutex(&opened.mutex, 0));  // and the mutex given back
  EXPECT_EQ(0u, SemReleaseMutex(&opened.mutex));
  // Creating the existing name gives full access to the same pair.
  SemCount created{};
  ASSERT_EQ(0u, SemCreateCount(&created, name.c_str(), 0, 7));
  EXPECT_EQ(0u, SemChangeCount(&created, 1));
  EXPECT_EQ(0u, SemCloseCount(&created));
  EXPECT_EQ(0u, SemWaitCount(&opened, 1000, 0));
  EXPECT_EQ(0u, SemCloseCount(&opened));
}

TEST(SemCount, SharedWithChildProcess) {
  const std::string name = UniqueName("pool");
  SemCount c{};
  ASSERT_EQ(0u, SemCreateCount(&c, name.c_str(), 0, 3));
  EXPECT_EQ(SEM_RC_TIMEOUT, SemWaitCount(&c, 100, 0));
  const pid_t child = qorb::test::SpawnTestCase("SemCountChild.ChangeSharedCount",
                                                {"QORB_SYNC_COUNT_NAME=" + name});
  EXPECT_EQ(0, WaitChild(child));
  // The child's change posted the shared event; the counter here is ours.
  EXPECT_EQ(0u, SemWaitCount(&c, 100, 0));
  uint32_t count = 0;
  EXPECT_EQ(0u, SemQueryCount(&c, &count));
  EXPECT_EQ(3u, count);
  EXPECT_EQ(0u, SemCloseCount(&c));
  SemCount gone{};
  EXPECT_EQ(kNotFound, SemOpenCount(&gone, name.c_str()));
}

}  // namespace
