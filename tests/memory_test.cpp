// memory_test.cpp - the tracked allocator: block layout and recording, guard
// and size damage, limits (in child processes), the dump, strings and slots,
// NULL handling and concurrent use.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "error_internal.h"
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
  std::vector<std::string> taken;
  taken.swap(g_reports);
  return taken;
}

// Reports of a child process go to its standard error, where EXPECT_EXIT
// looks for them.
void ReportToStderr(uint32_t /*severity*/, const char *message) {
  (void)std::fprintf(stderr, "%s\n", message);
}

MemBlockHeader *HeaderOf(void *user) {
  return reinterpret_cast<MemBlockHeader *>(static_cast<unsigned char *>(user) -
                                            sizeof(MemBlockHeader));
}

struct Status {
  uint32_t bytes = 0;
  uint32_t blocks = 0;
};

Status QueryStatus() {
  Status status;
  EXPECT_EQ(MemQueryStatus(&status.bytes, &status.blocks), 0u);
  return status;
}

std::string Formatted(const char *format, const void *pointer) {
  char text[64];
  (void)std::snprintf(text, sizeof text, format, pointer);
  return text;
}

// Matches a child's standard error that does not contain `text`.
class LacksText : public testing::MatcherInterface<const std::string &> {
 public:
  explicit LacksText(std::string text) : text_(std::move(text)) {}
  bool MatchAndExplain(const std::string &output,
                       testing::MatchResultListener * /*listener*/) const override {
    return output.find(text_) == std::string::npos;
  }
  void DescribeTo(std::ostream *os) const override { *os << "does not contain " << text_; }

 private:
  std::string text_;
};

testing::Matcher<const std::string &> Lacks(const std::string &text) {
  return testing::MakeMatcher(new LacksText(text));
}

class MemoryTest : public testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ASSERT_EQ(ErrInitialize(ERR_MODE_CALLBACK, "memtest",
                            reinterpret_cast<uintptr_t>(&CollectReport), 0, 0, 0),
              1u);
    BaseSetVerbosity(ERR_SEV_ERROR);
    TakeReports();
    start_ = QueryStatus();
  }
  void TearDown() override {
    BaseSetVerbosity(0);
    MemSetLimits(10000000, 10000, 1);
  }
  Status start_;
};

TEST_F(MemoryTest, BlocksAreLaidOutRecordedAndCounted) {
  void *empty1 = MemAllocMem_(0, 11, "C:\\src\\base\\memory");
  void *empty2 = MemAllocMem_(0, 70000, "x.c");
  auto *bytes = static_cast<unsigned char *>(MemAllocMem_(100, 12, "dir\\verylongname.cpp"));
  ASSERT_NE(empty1, nullptr);
  ASSERT_NE(empty2, nullptr);
  ASSERT_NE(bytes, nullptr);
  EXPECT_NE(empty1, empty2);

  EXPECT_EQ(MemQueryBlockSize(empty1), 25u);
  EXPECT_EQ(MemQueryBlockSize(bytes), 125u);
  EXPECT_EQ(MemQueryBlockSize(nullptr), 0u);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
  EXPECT_EQ(reinterpret_cast<uintptr_t>(bytes) % (sizeof(void *) == 8 ? 16 : 8), 0u);

  const Status now = QueryStatus();
  EXPECT_EQ(now.bytes, start_.bytes + 175);
  EXPECT_EQ(now.blocks, start_.blocks + 3);
  EXPECT_EQ(MemQueryMemoryAllocated(), now.bytes);

  // Guard bytes AA 55 AA 55 right before the caller's area, "U" right after.
  const unsigned char guard[4] = {0xAA, 0x55, 0xAA, 0x55};
  EXPECT_EQ(std::memcmp(bytes - 4, guard, 4), 0);
  EXPECT_EQ(bytes[100], 'U');

  const MemBlockHeader *header = HeaderOf(bytes);
  EXPECT_EQ(header->size, 125u);
  EXPECT_EQ(header->line, 12);
  EXPECT_EQ(std::memcmp(header->file, "verylo", 6), 0);
  EXPECT_EQ(std::memcmp(HeaderOf(empty1)->file, "memory", 6), 0);
  EXPECT_EQ(std::memcmp(HeaderOf(empty2)->file, "x.c\0\0\0", 6), 0);
  EXPECT_EQ(HeaderOf(empty2)->line, 70000 & 0xFFFF);
  // Newest last: the registry chain runs through the three in order.
  EXPECT_EQ(HeaderOf(empty1)->next, HeaderOf(empty2));
  EXPECT_EQ(HeaderOf(empty2)->prev, HeaderOf(empty1));
  EXPECT_EQ(HeaderOf(empty2)->next, header);
  EXPECT_EQ(header->next, nullptr);

  MemFreeMem_(empty2);  // from the middle of the chain
  EXPECT_EQ(HeaderOf(empty1)->next, header);
  EXPECT_EQ(header->prev, HeaderOf(empty1));
  MemFreeMem_(bytes);
  MemFreeMem_(empty1);
  const Status end = QueryStatus();
  EXPECT_EQ(end.bytes, start_.bytes);
  EXPECT_EQ(end.blocks, start_.blocks);
  EXPECT_TRUE(TakeReports().empty());
}

TEST_F(MemoryTest, RequestsBeyondThirtyTwoBitsAreRefused) {
  for (uint32_t request : {0xFFFFFFF0u, 0xFFFFFFFFu, 0xFFFFFFE7u}) {
    EXPECT_EQ(MemAllocMem_(request, 5, "huge"), nullptr) << request;
  }
  const Status now = QueryStatus();
  EXPECT_EQ(now.bytes, start_.bytes);
  EXPECT_EQ(now.blocks, start_.blocks);
  const std::vector<std::string> reports = TakeReports();
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_NE(reports[0].find("A NULL pointer was detected."), std::string::npos) << reports[0];
}

TEST_F(MemoryTest, GuardDamageIsReportedInOrderAndTheBlockIsStillFreed) {
  auto *user = static_cast<unsigned char *>(MemAllocMem_(40, 4242, "tests\\guards.cpp"));
  ASSERT_NE(user, nullptr);
  user[-1] ^= 0xFF;  // inside the guard word
  user[40] = 0;      // the trailer
  const std::vector<std::string> both = {"32768 Top guard corrupt. Allocated: guards:4242",
                                         "32768 Bottom guard corrupt. Allocated: guards:4242"};

  EXPECT_EQ(MemCheckMemory(), 1u);
  EXPECT_EQ(TakeReports(), both);
  EXPECT_EQ(MemQueryBlockSize(user), 65u);
  EXPECT_EQ(TakeReports(), both);

  // Without the Error bit the check is silent; nothing is repaired.
  BaseSetVerbosity(ERR_SEV_WARNING);
  MemCheckMemory();
  EXPECT_TRUE(TakeReports().empty());
  BaseSetVerbosity(ERR_SEV_ERROR);

  MemFreeMem_(user);
  EXPECT_EQ(TakeReports(), both);
  const Status end = QueryStatus();
  EXPECT_EQ(end.bytes, start_.bytes);
  EXPECT_EQ(end.blocks, start_.blocks);

  // Only the trailer: one report, and the other live blocks stay quiet.
  void *healthy = MemAllocMem_(8, 1, "ok");
  auto *tail = static_cast<unsigned char *>(MemAllocMem_(3, 77, "tail"));
  tail[3] = 'V';
  MemCheckMemory();
  EXPECT_EQ(TakeReports(),
            std::vector<std::string>{"32768 Bottom guard corrupt. Allocated:   tail:77"});
  MemFreeMem_(tail);
  MemFreeMem_(healthy);
  TakeReports();
}

// Sizes a damaged header may hold: huge, below the overhead, and wrong but
// within the counted bytes (larger than the block itself).
std::vector<uint32_t> DamagedSizes() {
  return {0xFFFFFF00u, 3u, 24u, 0u, 65 + 2000};
}

// In a child, whose counters the damaged size leaves skewed: frees a block
// with that size; exits 0 when the free reported it and took the block out.
void FreeWithDamagedSize(uint32_t damaged) {
  ErrInitialize(ERR_MODE_CALLBACK, "child", reinterpret_cast<uintptr_t>(&CollectReport), 0, 0, 0);
  BaseSetVerbosity(ERR_SEV_ERROR);
  MemAllocMem_(5000, 30, "sizes");  // room for a plausible wrong size
  void *user = MemAllocMem_(40, 31, "sizes");
  const Status before = QueryStatus();
  HeaderOf(user)->size = damaged;
  TakeReports();
  MemFreeMem_(user);
  const bool reported =
      TakeReports() == std::vector<std::string>{"32768 Size invalid. Allocated:  sizes:31"};
  std::exit(reported && QueryStatus().blocks == before.blocks - 1 ? 0 : 3);
}

TEST_F(MemoryTest, DamagedSizeIsReportedWithoutReachingOutsideTheBlock) {
  // ASan sees any stray read of the trailer or write of the clearing; in the
  // child it turns the exit status into its own.
  void *neighbour = MemAllocMem_(5000, 30, "sizes");
  for (uint32_t damaged : DamagedSizes()) {
    void *user = MemAllocMem_(40, 31, "sizes");
    ASSERT_NE(user, nullptr);
    HeaderOf(user)->size = damaged;
    MemCheckMemory();
    EXPECT_EQ(TakeReports(), std::vector<std::string>{"32768 Size invalid. Allocated:  sizes:31"})
        << damaged;
    EXPECT_EQ(MemQueryBlockSize(user), damaged);
    EXPECT_EQ(TakeReports().size(), 1u);
    HeaderOf(user)->size = 65;
    MemFreeMem_(user);
    EXPECT_EXIT(FreeWithDamagedSize(damaged), testing::ExitedWithCode(0), "") << damaged;
  }
  MemFreeMem_(neighbour);
  EXPECT_EQ(QueryStatus().bytes, start_.bytes);
}

TEST_F(MemoryTest, DumpListsSurvivorsOldestFirst) {
  void *first = MemAllocMem_(10, 7, "C:\\app\\first.c");
  void *middle = MemAllocMem_(20, 8, "middle");
  void *last = MemAllocMem_(0, 65535, "ab");
  MemFreeMem_(middle);

  std::FILE *stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(MemDumpMemory(stream), 1u);
  std::rewind(stream);
  std::vector<std::string> lines;
  char line[256];
  while (std::fgets(line, sizeof line, stream) != nullptr) lines.emplace_back(line);
  (void)std::fclose(stream);

  ASSERT_EQ(lines.size(), start_.blocks + 2);
  const unsigned long n = start_.blocks;
  char expected[128];
  (void)std::snprintf(expected, sizeof expected, "%5lu. %s first. - 7: 35\n", n + 1,
                      Formatted("%p", HeaderOf(first)).c_str());
  EXPECT_EQ(lines[n], expected);
  (void)std::snprintf(expected, sizeof expected, "%5lu. %s     ab - 65535: 25\n", n + 2,
                      Formatted("%p", HeaderOf(last)).c_str());
  EXPECT_EQ(lines[n + 1], expected);

  MemFreeMem_(first);
  MemFreeMem_(last);
  // Freed blocks leave the listing.
  stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  MemDumpMemory(stream);
  std::rewind(stream);
  std::size_t count = 0;
  while (std::fgets(line, sizeof line, stream) != nullptr) ++count;
  (void)std::fclose(stream);
  EXPECT_EQ(count, start_.blocks);
  EXPECT_EQ(MemDumpMemory(nullptr), 1u);
}

TEST_F(MemoryTest, StringsSlotsAndNullPointers) {
  char *abc = MemAllocString_("abc", 3, "strings");
  ASSERT_NE(abc, nullptr);
  EXPECT_STREQ(abc, "abc");
  EXPECT_EQ(MemQueryBlockSize(abc), 29u);
  EXPECT_EQ(MemAllocString_(nullptr, 3, "strings"), nullptr);
  EXPECT_EQ(QueryStatus().blocks, start_.blocks + 1);

  // The slot's old text is freed and replaced by a copy.
  char *slot = abc;
  const char *replacement = "longer text";
  char *copy = MemFreeStringAlloc_(&slot, replacement, 4, "strings");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(slot, copy);
  EXPECT_NE(copy, replacement);
  EXPECT_STREQ(copy, replacement);
  EXPECT_EQ(QueryStatus().blocks, start_.blocks + 1);
  EXPECT_EQ(QueryStatus().bytes, start_.bytes + 12 + 25);
  EXPECT_EQ(MemFreeStringAlloc_(&slot, nullptr, 5, "strings"), nullptr);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(QueryStatus().blocks, start_.blocks);

  char *owned = MemAllocString_("x", 6, "strings");
  EXPECT_EQ(MemFreeStringSet(&slot, owned), owned);  // empty slot: only stores
  EXPECT_EQ(slot, owned);
  char plain[] = "not tracked";
  EXPECT_EQ(MemFreeStringSet(&slot, plain), plain);
  EXPECT_EQ(slot, plain);
  EXPECT_EQ(QueryStatus().blocks, start_.blocks);
  EXPECT_EQ(MemFreeStringAlloc_(nullptr, "x", 7, "strings"), nullptr);
  EXPECT_EQ(QueryStatus().blocks, start_.blocks);

  EXPECT_EQ(qorb::test::CaptureStderr([] { MemFreeMem_(nullptr); }),
            "Warning! Tried to free NULL pointer.\n");
  EXPECT_EQ(qorb::test::CaptureStderr([] { MemFreeString_(nullptr); }), "");
  EXPECT_TRUE(TakeReports().empty());
}

TEST_F(MemoryTest, ExceededLimitsAllocateAndReportWhenNotExiting) {
  MemSetLimits(start_.bytes + 100, start_.blocks + 2, 0);
  void *big = MemAllocMem_(200, 1, "limits");
  void *second = MemAllocMem_(0, 2, "limits");
  void *third = MemAllocMem_(0, 3, "limits");
  EXPECT_NE(big, nullptr);
  EXPECT_NE(second, nullptr);
  EXPECT_NE(third, nullptr);
  EXPECT_EQ(QueryStatus().blocks, start_.blocks + 3);
  EXPECT_EQ(QueryStatus().bytes, start_.bytes + 275);
  // Every allocation is measured: the third exceeds both limits.
  std::vector<std::string> expected;
  for (uint64_t total : {225u, 250u, 275u}) {
    expected.push_back("32768 Exceeded MaxAmountMemoryAllowed " +
                       std::to_string(start_.bytes + total) + " > " +
                       std::to_string(start_.bytes + 100ull));
  }
  expected.push_back("32768 Exceeded MaxNumBlocksAllowed " + std::to_string(start_.blocks + 3ull) +
                     " > " + std::to_string(start_.blocks + 2ull));
  EXPECT_EQ(TakeReports(), expected);
  MemFreeMem_(big);
  MemFreeMem_(second);
  MemFreeMem_(third);
}

// In a child: allocate up to `extraBytes` past the point where the byte total
// reaches the default limit exactly; exit 7 when the allocation came back.
void FillToByteLimit(uint32_t verbosity, uint32_t extraBytes) {
  ErrInitialize(ERR_MODE_CALLBACK, "child", reinterpret_cast<uintptr_t>(&ReportToStderr), 0, 0, 0);
  BaseSetVerbosity(verbosity);
  uint32_t bytes = 0;
  MemQueryStatus(&bytes, nullptr);
  void *block = MemAllocMem_(10000000 - bytes - 25 + extraBytes, 1, "limit");
  (void)std::fprintf(stderr, "came back %s\n", block != nullptr ? "with a block" : "empty");
  std::exit(block != nullptr ? 7 : 8);
}

// In a child: fill the block count to the default limit, then `extraBlocks`.
void FillToBlockLimit(uint32_t verbosity, uint32_t extraBlocks) {
  ErrInitialize(ERR_MODE_CALLBACK, "child", reinterpret_cast<uintptr_t>(&ReportToStderr), 0, 0, 0);
  BaseSetVerbosity(verbosity);
  uint32_t blocks = 0;
  MemQueryStatus(nullptr, &blocks);
  for (uint32_t i = blocks; i < 10000 + extraBlocks; ++i) {
    if (MemAllocMem_(0, 2, "limit") == nullptr) std::exit(8);
  }
  (void)std::fprintf(stderr, "all blocks came back\n");
  std::exit(7);
}

TEST_F(MemoryTest, ByteLimitEndsTheProcessOneBytePastIt) {
  EXPECT_EXIT(FillToByteLimit(ERR_SEV_ERROR, 0), testing::ExitedWithCode(7), "with a block");
  EXPECT_EXIT(FillToByteLimit(ERR_SEV_ERROR, 1), testing::ExitedWithCode(1),
              "Exceeded MaxAmountMemoryAllowed 10000001 > 10000000");
  EXPECT_EXIT(FillToByteLimit(ERR_SEV_WARNING, 1), testing::ExitedWithCode(1), Lacks("Exceeded"));
}

TEST_F(MemoryTest, BlockLimitEndsTheProcessOneBlockPastIt) {
  EXPECT_EXIT(FillToBlockLimit(ERR_SEV_ERROR, 0), testing::ExitedWithCode(7),
              "all blocks came back");
  EXPECT_EXIT(FillToBlockLimit(ERR_SEV_ERROR, 1), testing::ExitedWithCode(1),
              "Exceeded MaxNumBlocksAllowed 10001 > 10000");
  EXPECT_EXIT(FillToBlockLimit(0, 1), testing::ExitedWithCode(1), Lacks("Exceeded"));
}

TEST_F(MemoryTest, MutexFailuresAreReportedUngatedAndTheWorkGoesOn) {
  BaseSetVerbosity(0);
  SemCloseMutex(&qorb::err::MemoryMutex());
  void *block = MemAllocMem_(16, 1, "nolock");
  ASSERT_NE(block, nullptr);
  MemFreeMem_(block);
  const std::vector<std::string> reports = TakeReports();
  EXPECT_GE(reports.size(), 2u);  // taking it, for the allocation and the free
  for (const std::string &report : reports) {
    EXPECT_NE(report.find("Non-zero return code."), std::string::npos) << report;
  }
  EXPECT_EQ(QueryStatus().blocks, start_.blocks);
  // A new ErrInitialize brings a working mutex back.
  ErrInitialize(ERR_MODE_CALLBACK, "memtest", reinterpret_cast<uintptr_t>(&CollectReport), 0, 0, 0);
  MemFreeMem_(MemAllocMem_(1, 1, "again"));
  EXPECT_TRUE(TakeReports().empty());
}

TEST_F(MemoryTest, ConcurrentUseKeepsTheCountersExact) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 3000;
  std::vector<std::vector<void *>> live(kThreads);
  std::vector<uint64_t> liveBytes(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &live, &liveBytes] {
      std::mt19937 random(1234u + static_cast<unsigned>(t));
      std::FILE *sink = std::tmpfile();
      std::vector<void *> &mine = live[t];
      for (int round = 0; round < kRounds; ++round) {
        const unsigned pick = random() % 100;
        if (pick < 55 || mine.empty()) {
          const uint32_t request = random() % 300;
          auto *block = static_cast<unsigned char *>(MemAllocMem_(request, t, "stress"));
          if (request > 0) block[request - 1] = 0x42;  // the caller's last byte is its own
          mine.push_back(block);
        } else if (pick < 95) {
          const std::size_t victim = random() % mine.size();
          MemFreeMem_(mine[victim]);
          mine[victim] = mine.back();
          mine.pop_back();
        } else if (pick < 98) {
          MemCheckMemory();
        } else {
          MemDumpMemory(sink);
        }
      }
      for (void *block : mine) liveBytes[t] += MemQueryBlockSize(block);
      (void)std::fclose(sink);
    });
  }
  for (std::thread &thread : threads) thread.join();

  uint64_t bytes = start_.bytes;
  uint64_t blocks = start_.blocks;
  for (int t = 0; t < kThreads; ++t) {
    bytes += liveBytes[t];
    blocks += live[t].size();
  }
  const Status now = QueryStatus();
  EXPECT_EQ(now.bytes, bytes);
  EXPECT_EQ(now.blocks, blocks);
  MemCheckMemory();
  EXPECT_TRUE(TakeReports().empty());
  for (auto &mine : live) {
    for (void *block : mine) MemFreeMem_(block);
  }
  const Status end = QueryStatus();
  EXPECT_EQ(end.bytes, start_.bytes);
  EXPECT_EQ(end.blocks, start_.blocks);
}

}  // namespace
