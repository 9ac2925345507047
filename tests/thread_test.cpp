// Tests of the worker pool: growth, order of idle workers, priorities,
// termination and concurrent use.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/thread_internal.h"
#include "platform/platform.h"
#include "qorb32n.h"

namespace {

// A gate that jobs wait at until the test opens it.
struct Gate {
  SemEventHandle event = 0;
  std::atomic<int> arrived{0};
  std::atomic<int> finished{0};
  Gate() { SemCreateEvent(&event, nullptr, 0, 0); }
  ~Gate() { SemCloseEvent(&event); }
  void Open() { SemPostEvent(&event); }
};

void WaitAtGate(uintptr_t argument) {
  auto *gate = reinterpret_cast<Gate *>(argument);
  gate->arrived.fetch_add(1);
  SemWaitEvent(&gate->event, SEM_INDEFINITE_WAIT);
  gate->finished.fetch_add(1);
}

// Polls a condition that another thread makes true; the bound only keeps a
// broken pool from hanging the suite.
template <typename Condition>
bool Eventually(Condition condition) {
  for (int i = 0; i < 5000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return condition();
}

void InitReporting() {
  ErrInitialize(ERR_MODE_CALLBACK, "test", 0, 0, 0, 0);
}

TEST(ThreadPool, StartBeforeInitializeAndAfterTerminateGivesNull) {
  InitReporting();
  EXPECT_EQ(ThdStartThreadFull(WaitAtGate, 0, 0, 0, 0), nullptr);
  ASSERT_EQ(ThdInitialize(1), 0u);
  ASSERT_EQ(ThdTerminate(), 0u);
  EXPECT_EQ(ThdStartThreadFull(WaitAtGate, 0, 0, 0, 0), nullptr);
  EXPECT_EQ(qorb::thd::IdleCount(), 0u);
}

TEST(ThreadPool, GrowsWhenEveryWorkerIsBusyAndKeepsEveryWorker) {
  InitReporting();
  ASSERT_EQ(ThdInitialize(3), 0u);
  EXPECT_EQ(qorb::thd::IdleCount(), 3u);
  Gate gate;
  std::set<ThdWorker *> workers;
  for (int i = 0; i < 4; ++i) {
    ThdWorker *worker = ThdStartThreadFull(WaitAtGate, reinterpret_cast<uintptr_t>(&gate), 0, 0, 0);
    ASSERT_NE(worker, nullptr);
    workers.insert(worker);
  }
  EXPECT_EQ(workers.size(), 4u);
  ASSERT_TRUE(Eventually([&] { return gate.arrived.load() == 4; }));
  EXPECT_EQ(qorb::thd::IdleCount(), 0u);
  EXPECT_EQ(ThdTerminate(), 4u) << "refused while jobs run";
  gate.Open();
  ASSERT_TRUE(Eventually([] { return qorb::thd::IdleCount() == 4; }));
  EXPECT_EQ(gate.finished.load(), 4);
  EXPECT_EQ(ThdTerminate(), 0u);
}

TEST(ThreadPool, HandsJobsToTheWorkerIdleLongest) {
  InitReporting();
  ASSERT_EQ(ThdInitialize(2), 0u);
  ThdWorker *first = qorb::thd::IdleWorkerAt(0);
  ThdWorker *second = qorb::thd::IdleWorkerAt(1);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);

  Gate gate;
  gate.Open();
  EXPECT_EQ(ThdStartThreadFull(WaitAtGate, reinterpret_cast<uintptr_t>(&gate), 0, 0, 0), first);
  ASSERT_TRUE(Eventually([] { return qorb::thd::IdleCount() == 2; }));
  // The worker that just returned stands behind the one that never worked.
  EXPECT_EQ(qorb::thd::IdleWorkerAt(0), second);
  EXPECT_EQ(qorb::thd::IdleWorkerAt(1), first);
  EXPECT_EQ(ThdStartThreadFull(WaitAtGate, reinterpret_cast<uintptr_t>(&gate), 0, 0, 0), second);
  ASSERT_TRUE(Eventually([] { return qorb::thd::IdleCount() == 2; }));
  EXPECT_EQ(ThdTerminate(), 0u);
}

TEST(ThreadPool, OneWorkerServesSuccessiveJobs) {
  InitReporting();
  ASSERT_EQ(ThdInitialize(1), 0u);
  Gate gate;
  gate.Open();
  ThdWorker *worker = ThdStartThreadFull(WaitAtGate, reinterpret_cast<uintptr_t>(&gate), 0, 0, 0);
  ASSERT_NE(worker, nullptr);
  ASSERT_TRUE(Eventually([] { return qorb::thd::IdleCount() == 1; }));
  EXPECT_EQ(ThdStartThreadFull(WaitAtGate, reinterpret_cast<uintptr_t>(&gate), 7, 12, 1), worker);
  EXPECT_EQ(worker->priorityClass, 7u);
  EXPECT_EQ(worker->priorityLevel, 12);
  EXPECT_EQ(worker->flags, 1u);
  ASSERT_TRUE(Eventually([&] { return gate.finished.load() == 2; }));
  ASSERT_TRUE(Eventually([] { return qorb::thd::IdleCount() == 1; }));
  EXPECT_EQ(ThdTerminate(), 0u);
  // A fresh pool after termination.
  ASSERT_EQ(ThdInitialize(2), 0u);
  EXPECT_EQ(qorb::thd::IdleCount(), 2u);
  EXPECT_EQ(ThdTerminate(), 0u);
}

TEST(ThreadPool, PriorityLevelsMapInBandsOfFour) {
  using qorb::thd::PriorityForLevel;
  const std::pair<int32_t, int> expected[] = {{-40, -15}, {0, -15}, {5, -15}, {6, -2},  {9, -2},
                                              {10, -1},   {13, -1}, {14, 0},  {17, 0},  {18, 1},
                                              {21, 1},    {22, 2},  {25, 2},  {26, 15}, {1000, 15}};
  for (const auto &[level, priority] : expected) {
    EXPECT_EQ(PriorityForLevel(level), priority) << "level " << level;
  }
}

struct PriorityProbe {
  SemEventHandle done = 0;
  std::atomic<int> seen{99};
};

void RecordPriority(uintptr_t argument) {
  auto *probe = reinterpret_cast<PriorityProbe *>(argument);
  probe->seen.store(qorb::plat::GetCurrentThreadPriority());
  SemPostEvent(&probe->done);
}

std::vector<std::string> g_reports;
std::mutex g_reportsMutex;
void CollectReport(uint32_t, const char *message) {
  std::lock_guard<std::mutex> lock(g_reportsMutex);
  g_reports.emplace_back(message);
}

// Runs one job on the single worker and answers the priority it ran at.
int PriorityOfJob(int32_t level, uint32_t flags) {
  PriorityProbe probe;
  SemCreateEvent(&probe.done, nullptr, 0, 0);
  EXPECT_NE(
      ThdStartThreadFull(RecordPriority, reinterpret_cast<uintptr_t>(&probe), 0, level, flags),
      nullptr);
  SemWaitEvent(&probe.done, SEM_INDEFINITE_WAIT);
  SemCloseEvent(&probe.done);
  Eventually([] { return qorb::thd::IdleCount() == 1; });
  return probe.seen.load();
}

TEST(ThreadPool, JobsRunAtTheirLevelOrIdleAndRefusalsAreReported) {
  ErrInitialize(ERR_MODE_CALLBACK, "test", reinterpret_cast<uintptr_t>(&CollectReport), 0, 0, 0);
  ASSERT_EQ(ThdInitialize(1), 0u);
  // Raising a priority needs privileges the host may not grant; then the
  // refusal is reported (error 3 with code 5) and the job still runs.
  const auto expectLevelOrRefusal = [](int32_t level, int expected) {
    g_reports.clear();
    const int seen = PriorityOfJob(level, THD_SET_PRIORITY);
    if (seen != expected) {
      std::lock_guard<std::mutex> lock(g_reportsMutex);
      ASSERT_FALSE(g_reports.empty()) << "level " << level << " ran at " << seen;
      EXPECT_EQ(g_reports.front(), "5 : No error text available");
    }
  };
  expectLevelOrRefusal(15, qorb::plat::kPriorityNormal);
  expectLevelOrRefusal(30, qorb::plat::kPriorityTimeCritical);
  // Without the flag the job inherits the idle priority its worker fell to.
  EXPECT_EQ(PriorityOfJob(30, 1), qorb::plat::kPriorityIdle);
  EXPECT_EQ(PriorityOfJob(3, THD_SET_PRIORITY), qorb::plat::kPriorityIdle);
  EXPECT_EQ(ThdTerminate(), 0u);
}

void CountJob(uintptr_t argument) {
  reinterpret_cast<std::atomic<int> *>(argument)->fetch_add(1);
}

TEST(ThreadPool, ConcurrentCallersAllGetTheirJobsRun) {
  InitReporting();
  ASSERT_EQ(ThdInitialize(2), 0u);
  std::atomic<int> ran{0};
  constexpr int kCallers = 4;
  constexpr int kJobsEach = 200;
  std::vector<std::thread> callers;
  for (int c = 0; c < kCallers; ++c) {
    callers.emplace_back([&] {
      for (int j = 0; j < kJobsEach; ++j) {
        ASSERT_NE(ThdStartThreadFull(CountJob, reinterpret_cast<uintptr_t>(&ran), 0, 0, 0),
                  nullptr);
      }
    });
  }
  for (auto &caller : callers) caller.join();
  ASSERT_TRUE(Eventually([&] { return ran.load() == kCallers * kJobsEach; }));
  ASSERT_TRUE(Eventually([] { return ThdTerminate() == 0; }));
  uint32_t bytes = 1;
  uint32_t blocks = 1;
  MemQueryStatus(&bytes, &blocks);
  EXPECT_EQ(blocks, 0u) << "terminate releases every worker record and the pool";
}

}  // namespace
