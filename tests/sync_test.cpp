// sync_test.cpp - the Sem family: mutexes, events and counting semaphores,
// unnamed within one process and named across real child processes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "qorb32n.h"

namespace {

constexpr uint32_t kInvalidHandle = 6;
constexpr uint32_t kNotOwner = 288;
constexpr uint32_t kInvalidParameter = 87;

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

}  // namespace
