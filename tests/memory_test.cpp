// memory_test.cpp - the tracked allocator: guard and size damage, the dump,
// strings and slots with the refusals, the limits (in child processes) and
// concurrent use.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "qorb32n.h"
#include "support/capture.h"

namespace {

std::mutex g_reportsMutex;
std::vector<std::string> g_reports;

void CollectReport(uint32_t severity, const char *message) {
  std::lock_guard<std::mutex> hold(g_reportsMutex);
  g_reports.push_back(std::to_string(severity) + " " + message);
}

std::vector<std::string> TakeReports() {
  std::lock_guard<std::mutex> hold(g_reportsMutex);
  return std::exchange(g_reports, {});
}

// A child's reports go to its standard error, where EXPECT_EXIT looks.
void ReportToStderr(uint32_t /*severity*/, const char *message) {
  (void)std::fprintf(stderr, "%s\n", message);
}

void StartReporting(void (*callback)(uint32_t, const char *), uint32_t verbosity) {
  ErrInitialize(ERR_MODE_CALLBACK, "memtest", reinterpret_cast<uintptr_t>(callback), 0, 0, 0);
  BaseSetVerbosity(verbosity);
}

MemBlockHeader *HeaderOf(void *user) {
  return reinterpret_cast<MemBlockHeader *>(static_cast<unsigned char *>(user) -
                                            sizeof(MemBlockHeader));
}

struct Status {
  uint32_t bytes = 0, blocks = 0;
  bool operator==(const Status &) const = default;
};

Status QueryStatus() {
  Status status;
  MemQueryStatus(&status.bytes, &status.blocks);
  return status;
}

class MemoryTest : public testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    StartReporting(CollectReport, ERR_SEV_ERROR);
    start_ = QueryStatus();
  }
  void TearDown() override {
    EXPECT_EQ(QueryStatus(), start_) << "blocks leaked";
    MemSetLimits(10000000, 10000, 1);
  }
  Status start_;
};

TEST_F(MemoryTest, GuardDamageIsReportedInOrderAndTheBlockStillFreed) {
  auto *user = static_cast<unsigned char *>(MemAllocMem_(40, 4242, "tests\\guards.cpp"));
  user[-1] ^= 0xFF;  // inside the guard word
  user[40] = 0;      // the trailer
  const std::vector<std::string> both = {"32768 Top guard corrupt. Allocated: guards:4242",
                                         "32768 Bottom guard corrupt. Allocated: guards:4242"};
  BaseSetVerbosity(ERR_SEV_WARNING);  // without the Error bit the check is silent
  MemCheckMemory();
  EXPECT_TRUE(TakeReports().empty());
  BaseSetVerbosity(ERR_SEV_ERROR);
  MemCheckMemory();
  EXPECT_EQ(TakeReports(), both);
  MemFreeMem_(user);
  EXPECT_EQ(TakeReports(), both);
}

// In a child (the free of a damaged size skews the counters): checks, asks and
// frees; exits 0 when each reported the size alone and the block left. Under
// ASan a read or write outside the block ends it otherwise.
void DamageSizeAndFree(uint32_t damaged) {
  StartReporting(CollectReport, ERR_SEV_ERROR);
  (void)MemAllocMem_(5000, 30, "sizes");  // room for a plausible wrong size
  void *user = MemAllocMem_(40, 31, "sizes");
  const Status before = QueryStatus();
  HeaderOf(user)->size = damaged;
  MemCheckMemory();
  const bool asked = MemQueryBlockSize(user) == damaged;
  MemFreeMem_(user);
  const std::vector<std::string> report(3, "32768 Size invalid. Allocated:  sizes:31");
  const bool freed = QueryStatus().blocks == before.blocks - 1;
  std::exit(asked && freed && TakeReports() == report ? 0 : 3);
}

TEST_F(MemoryTest, DamagedSizeIsReportedWithoutReachingOutsideTheBlock) {
  // Huge, below the overhead, and within the counted bytes but beyond the
  // block the host allocator holds.
  for (uint32_t damaged : {0xFFFFFF00u, 0u, 3u, 24u, 65u + 2000u}) {
    EXPECT_EXIT(DamageSizeAndFree(damaged), testing::ExitedWithCode(0), "") << damaged;
  }
}

TEST_F(MemoryTest, DumpListsSurvivorsOldestFirst) {
  void *first = MemAllocMem_(10, 7, "C:\\app\\first.c");
  void *middle = MemAllocMem_(20, 8, "middle");
  void *last = MemAllocMem_(0, 70000, "ab");  // the line keeps its low 16 bits
  MemFreeMem_(middle);
  std::FILE *stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(MemDumpMemory(stream), 1u);
  std::rewind(stream);
  std::string text;
  for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream)) text += static_cast<char>(c);
  (void)std::fclose(stream);
  char expected[256];
  (void)std::snprintf(expected, sizeof expected,
                      "%5lu. %p first. - 7: 35\n%5lu. %p     ab - 4464: 25\n", start_.blocks + 1ul,
                      static_cast<void *>(HeaderOf(first)), start_.blocks + 2ul,
                      static_cast<void *>(HeaderOf(last)));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), start_.blocks + 2);
  EXPECT_TRUE(text.ends_with(expected)) << text;
  MemFreeMem_(first);
  MemFreeMem_(last);
  EXPECT_EQ(MemDumpMemory(nullptr), 1u);
}

TEST_F(MemoryTest, StringsSlotsAndRefusals) {
  char *slot = MemAllocString_("abc", 3, "strings");
  ASSERT_NE(slot, nullptr);
  EXPECT_STREQ(slot, "abc");
  EXPECT_EQ(MemQueryBlockSize(slot), 29u);
  // The slot's old text is freed and replaced by a tracked copy; no text empties it.
  const char *text = "longer text";
  char *copy = MemFreeStringAlloc_(&slot, text, 4, "strings");
  EXPECT_TRUE(copy == slot && copy != text && std::strcmp(copy, text) == 0);
  EXPECT_EQ(QueryStatus(), (Status{start_.bytes + 37, start_.blocks + 1}));
  EXPECT_TRUE(MemFreeStringAlloc_(&slot, nullptr, 5, "strings") == nullptr && slot == nullptr);
  char *owned = MemAllocString_("x", 6, "strings");
  EXPECT_TRUE(MemFreeStringSet(&slot, owned) == owned && slot == owned);  // only stores
  char plain[] = "not tracked";
  EXPECT_TRUE(MemFreeStringSet(&slot, plain) == plain && slot == plain);  // frees "x"
  // Refused: no text, no slot, and a total beyond 32 bits (like a failed malloc).
  EXPECT_EQ(MemAllocString_(nullptr, 3, "strings"), nullptr);
  EXPECT_EQ(MemFreeStringAlloc_(nullptr, "x", 7, "strings"), nullptr);
  EXPECT_TRUE(TakeReports().empty());
  for (uint32_t request : {0xFFFFFFE7u, 0xFFFFFFFFu}) {
    EXPECT_EQ(MemAllocMem_(request, 5, "huge"), nullptr) << request;
  }
  EXPECT_EQ(TakeReports(), std::vector<std::string>(2, "32768 A NULL pointer was detected."));
  EXPECT_EQ(qorb::test::CaptureStderr([] { MemFreeMem_(nullptr); }),
            "Warning! Tried to free NULL pointer.\n");
  EXPECT_EQ(qorb::test::CaptureStderr([] { MemFreeString_(nullptr); }), "");
}

// In a child: brings the byte total (or the block count) to its default limit
// plus `extra`; exits 7 when every allocation came back.
void FillToLimit(bool blocks, uint32_t verbosity, uint32_t extra) {
  StartReporting(ReportToStderr, verbosity);
  const Status now = QueryStatus();
  bool allCameBack = blocks || MemAllocMem_(10000000 - now.bytes - 25 + extra, 1, "x") != nullptr;
  for (uint32_t i = now.blocks; blocks && allCameBack && i < 10000 + extra; ++i) {
    allCameBack = MemAllocMem_(0, 2, "limit") != nullptr;
  }
  std::exit(allCameBack ? 7 : 8);
}

TEST_F(MemoryTest, LimitsEndTheProcessOnePastThemOrOnlyReport) {
  const std::pair<bool, const char *> cases[] = {
      {false, "Exceeded MaxAmountMemoryAllowed 10000001 > 10000000"},
      {true, "Exceeded MaxNumBlocksAllowed 10001 > 10000"}};
  for (const auto &[blocks, report] : cases) {
    EXPECT_EXIT(FillToLimit(blocks, ERR_SEV_ERROR, 0), testing::ExitedWithCode(7), "");
    EXPECT_EXIT(FillToLimit(blocks, ERR_SEV_ERROR, 1), testing::ExitedWithCode(1), report);
    EXPECT_EXIT(FillToLimit(blocks, ERR_SEV_WARNING, 1), testing::ExitedWithCode(1), "^$");
  }
  // With exitOnLimit 0 the allocation is made, counted and reported.
  MemSetLimits(start_.bytes + 100, start_.blocks, 0);
  void *big = MemAllocMem_(200, 1, "limits");
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(QueryStatus(), (Status{start_.bytes + 225, start_.blocks + 1}));
  const std::vector<std::string> expected = {
      "32768 Exceeded MaxAmountMemoryAllowed " + std::to_string(start_.bytes + 225ull) + " > " +
          std::to_string(start_.bytes + 100ull),
      "32768 Exceeded MaxNumBlocksAllowed " + std::to_string(start_.blocks + 1ull) + " > " +
          std::to_string(start_.blocks)};
  EXPECT_EQ(TakeReports(), expected);
  MemFreeMem_(big);
}

TEST_F(MemoryTest, ConcurrentUseKeepsTheCountersExact) {
  constexpr int kThreads = 4;
  std::vector<std::vector<void *>> live(kThreads);
  std::vector<std::thread> threads;
  std::FILE *sink = std::tmpfile();
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, sink, &mine = live[t]] {
      std::mt19937 random(1234u + static_cast<unsigned>(t));
      for (int round = 0; round < 3000; ++round) {
        const unsigned pick = random() % 100;
        if (pick < 55 || mine.empty()) {
          const uint32_t request = 1 + random() % 300;
          mine.push_back(MemAllocMem_(request, t, "stress"));
          static_cast<unsigned char *>(mine.back())[request - 1] = 0x42;  // the caller's own
        } else if (pick < 95) {
          std::swap(mine[random() % mine.size()], mine.back());
          MemFreeMem_(mine.back());
          mine.pop_back();
        } else {
          (void)(pick < 98 ? MemCheckMemory() : MemDumpMemory(sink));
        }
      }
    });
  }
  for (std::thread &thread : threads) thread.join();
  (void)std::fclose(sink);
  Status expected = start_;
  for (const auto &mine : live) {
    for (void *block : mine) expected.bytes += MemQueryBlockSize(block);
    expected.blocks += static_cast<uint32_t>(mine.size());
  }
  EXPECT_EQ(QueryStatus(), expected);
  MemCheckMemory();
  EXPECT_TRUE(TakeReports().empty());
  for (const auto &mine : live) std::for_each(mine.begin(), mine.end(), MemFreeMem_);
}

// ErrInitialize repeated while threads allocate keeps the one memory mutex:
// no failed release, no two threads in the registry, exact counters.
TEST_F(MemoryTest, RepeatedInitializeWhileThreadsAllocate) {
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&stop] {
      while (!stop.load()) MemFreeMem_(MemAllocMem_(64, 1, "init"));
    });
  }
  for (int call = 0; call < 200; ++call) StartReporting(CollectReport, ERR_SEV_ERROR);
  stop = true;
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(QueryStatus(), start_);
  EXPECT_TRUE(TakeReports().empty());
}

// A pointer that is no live block (freed already, or inside a block) is
// reported and left alone: nothing is unlinked, counted off or cleared.
TEST_F(MemoryTest, DoubleAndInteriorFreesAreReportedAndLeftAlone) {
  void *freed = MemAllocMem_(40, 1, "twice");
  auto *kept = static_cast<unsigned char *>(MemAllocMem_(64, 2, "kept"));
  std::memset(kept, 0x11, 64);
  MemFreeMem_(freed);
  const Status before = QueryStatus();
  for (void *pointer : {freed, static_cast<void *>(kept + 8)}) {
    MemFreeMem_(pointer);
    char expected[96];
    std::snprintf(expected, sizeof expected, "32768 Free of a pointer that is no live block: %p",
                  pointer);
    EXPECT_EQ(TakeReports(), std::vector<std::string>{expected});
    EXPECT_EQ(QueryStatus(), before);
  }
  EXPECT_EQ(std::count(kept, kept + 64, 0x11), 64);
  MemCheckMemory();
  EXPECT_TRUE(TakeReports().empty());
  MemFreeMem_(kept);
}

}  // namespace
