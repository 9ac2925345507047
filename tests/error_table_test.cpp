// error_table_test.cpp - the error table of mode 2 (slot cycle, full table,
// links, the message box), the table operations, the check front ends and
// the panic line, and reports from several threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "error/error_private.h"
#include "error_internal.h"
#include "qorb32n.h"
#include "support/capture.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace {

using qorb::test::CaptureStderr;
using qorb::test::CaptureStdout;
using qorb::test::EnteredTempDir;
using qorb::test::FakeClock;
using qorb::test::ReadFile;

constexpr std::time_t kNoon = 997879726;  // 2001-08-15 12:48:46 UTC

std::vector<std::string> g_boxes;
void RecordingHook(const char *text) {
  g_boxes.emplace_back(text);
}

std::vector<std::string> g_messages;
void RecordingCallback(std::uint32_t /*severity*/, const char *message) {
  g_messages.emplace_back(message);
}

template <typename Function>
std::uintptr_t Word(Function *function) {
  return reinterpret_cast<std::uintptr_t>(function);
}

void InitTable() {
  ASSERT_EQ(ErrInitialize(ERR_MODE_TABLE, nullptr, 0xAB, Word(&RecordingHook), 0, 0), 1u);
}

// One table report (a Warning, so it is recorded); its result.
std::uint32_t Record(std::uint32_t link = 0, const char *text = "w") {
  std::uint32_t index = link;
  ErrPutError(nullptr, 0.0, ERR_SEV_WARNING, 200, "C:\\src\\rec.c", 10, &index, "%s", text);
  return index;
}

void ExpectOverflowEntry(const ErrEntry *entry) {
  EXPECT_EQ(entry->severity, 0x8000u);
  EXPECT_EQ(entry->number, 8u);
  EXPECT_STREQ(entry->text, "Out of error space");
  EXPECT_EQ(entry->line, 0u);
  EXPECT_STREQ(entry->file, "error");
}

TEST(ErrorTable, RecordsEntriesAndLooksThemUp) {
  InitTable();
  EXPECT_EQ(ErrGetHAB(), 0xABu);
  const std::string text(300, 'x');
  std::uint32_t index = 0;
  ErrPutError(nullptr, 0, 0x0020, 150, "C:\\src\\base\\file.c", 33, &index, "%s", text.c_str());
  ASSERT_EQ(index, 2u);
  const ErrEntry *entry = ErrGetError(2);
  EXPECT_EQ(entry->severity, 0x0020u);
  EXPECT_EQ(entry->number, 150u);
  EXPECT_EQ(std::string(entry->text), std::string(255, 'x'));
  EXPECT_EQ(entry->line, 33u);
  EXPECT_STREQ(entry->file, "file.c");
  EXPECT_EQ(entry->link, 0u);

  for (std::uint32_t slot : {0u, 1u, 3u, 51u, 0xFFFFFFFFu}) ExpectOverflowEntry(ErrGetError(slot));
  EXPECT_EQ(ErrClearError(2), 0u);
  ExpectOverflowEntry(ErrGetError(2));
  EXPECT_EQ(ErrClearError(2), 0u) << "clearing twice";
  EXPECT_EQ(ErrClearError(1), 0u);
  ExpectOverflowEntry(ErrGetError(1));
  EXPECT_EQ(ErrClearError(0), 0u);
  EXPECT_EQ(ErrClearError(51), 0u);
  EXPECT_EQ(Record(), 3u) << "the writer moves on; a freed slot waits for the search";
}

TEST(ErrorTable, FullTableStaysFullAfterClears) {
  InitTable();
  for (std::uint32_t expected = 2; expected <= 50; ++expected) ASSERT_EQ(Record(), expected);
  EXPECT_EQ(Record(), 1u);
  EXPECT_EQ(ErrClearError(7), 0u);
  EXPECT_EQ(ErrClearError(30), 0u);
  EXPECT_EQ(Record(), 1u);
  EXPECT_EQ(Record(), 1u);
  ExpectOverflowEntry(ErrGetError(7));
}

TEST(ErrorTable, SearchWrapsAroundToFreedSlots) {
  InitTable();
  for (std::uint32_t expected = 2; expected <= 49; ++expected) ASSERT_EQ(Record(), expected);
  ASSERT_EQ(ErrClearError(3), 0u);
  ASSERT_EQ(ErrClearError(40), 0u);
  EXPECT_EQ(Record(), 50u);
  EXPECT_EQ(Record(), 3u) << "from 50 the search goes on at 2";
  EXPECT_EQ(Record(), 40u);
  EXPECT_EQ(Record(), 1u) << "nothing free: the table is full";
}

TEST(ErrorTable, LinksFollowOnlySlotsInUse) {
  InitTable();
  std::uint32_t chain = 0;
  for (std::uint32_t step = 0; step < 3; ++step) {
    const std::uint32_t previous = chain;
    ErrPutError(nullptr, 0, 0x4000, 201, "f", step, &chain, "step %u", step);
    EXPECT_EQ(chain, 2 + step);
    EXPECT_EQ(ErrGetError(chain)->link, previous);
  }
  ASSERT_EQ(ErrClearError(3), 0u);
  // The slot being filled (5), 0, the overflow slot, out of range and a free
  // slot all give link 0.
  for (std::uint32_t bad : {5u, 0u, 1u, 51u, 3u, 0xFFFFFFFFu}) {
    const std::uint32_t slot = Record(bad);
    EXPECT_EQ(ErrGetError(slot)->link, 0u) << "link from " << bad;
  }
  ErrPutError(nullptr, 0, 0x4000, 201, "f", 1, nullptr, "no index");
  EXPECT_EQ(ErrGetError(11)->link, 0u);
  ExpectOverflowEntry(ErrGetError(12));
}

TEST(ErrorTable, LinkAndChangeRules) {
  InitTable();
  ASSERT_EQ(Record(), 2u);
  ASSERT_EQ(Record(), 3u);
  ASSERT_EQ(Record(), 4u);
  ASSERT_EQ(ErrClearError(3), 0u);

  EXPECT_EQ(ErrLinkError(2, 4), 0u);
  EXPECT_EQ(ErrGetError(4)->link, 2u);
  EXPECT_EQ(ErrLinkError(3, 4), 0u) << "earlier slot free";
  EXPECT_EQ(ErrGetError(4)->link, 2u);
  EXPECT_EQ(ErrLinkError(2, 3), 0u) << "entry slot free";
  EXPECT_EQ(ErrLinkError(51, 4), 0u);
  EXPECT_EQ(ErrLinkError(0, 4), 0u);
  EXPECT_EQ(ErrGetError(4)->link, 2u);

  EXPECT_EQ(ErrLinkError(5, 1), 0u);
  EXPECT_EQ(ErrGetError(1)->link, 5u) << "the overflow entry takes any earlier but 1";
  EXPECT_EQ(ErrLinkError(1, 1), 0u);
  EXPECT_EQ(ErrGetError(1)->link, 5u);
  EXPECT_EQ(ErrLinkError(12345, 1), 0u);
  EXPECT_EQ(ErrGetError(1)->link, 12345u);

  EXPECT_EQ(ErrChangeError(2, 0x4000 | 0x0001), 0u);
  EXPECT_EQ(ErrGetError(2)->severity, 0x4001u);
  EXPECT_EQ(ErrChangeError(3, 0x1000), 0u) << "free slot";
  EXPECT_EQ(ErrChangeError(1, 0x1000), 0u);
  EXPECT_EQ(ErrGetError(1)->severity, 0x8000u) << "the overflow entry keeps its severity";
}

TEST(ErrorTable, ErrorsWithClassNumbersGoToTheMessageBox) {
  InitTable();
  std::uint32_t index = 9;
  ErrPutError(nullptr, 0, 0x8000, 4, "C:\\src\\base\\links", 57, &index, "gone %d", 1);
  EXPECT_EQ(index, 0u);
  ErrPutError(nullptr, 0, 0x8000, 42, "x", 1, nullptr, "m");
  ErrPutError(nullptr, 0, 0x8000, 9, "x", 2, nullptr, "m");
  ASSERT_EQ(g_boxes.size(), 3u);
  EXPECT_EQ(g_boxes[0], "links:57 Null Error\ngone 1\nPress OK to continue or CANCEL to abort");
  EXPECT_EQ(g_boxes[1], "x:1 Unknown Error\nm\nPress OK to continue or CANCEL to abort");
  EXPECT_EQ(g_boxes[2], "x:2 Memory Corrupt\nm\nPress OK to continue or CANCEL to abort");
  ExpectOverflowEntry(ErrGetError(2));

  // Other severities, and numbers 0 and 100 up, are recorded instead.
  index = 0;
  ErrPutError(nullptr, 0, 0x4000, 4, "x", 1, &index, "w");
  EXPECT_EQ(index, 2u);
  ErrPutError(nullptr, 0, 0x8000, 0, "x", 1, &index, "e");
  EXPECT_EQ(index, 3u);
  ErrPutError(nullptr, 0, 0x8000, 100, "x", 1, &index, "e");
  EXPECT_EQ(index, 4u);
  ErrPutError(nullptr, 0, 0x8001, 4, "x", 1, &index, "e");
  EXPECT_EQ(index, 5u);
  EXPECT_EQ(g_boxes.size(), 3u);

  // A long message is cut to fit the box text.
  const std::string huge(2000, 'z');
  ErrPutError(nullptr, 0, 0x8000, 1, "x", 1, nullptr, "%s", huge.c_str());
  ASSERT_EQ(g_boxes.size(), 4u);
  EXPECT_EQ(g_boxes[3].size(), 511u);
  EXPECT_EQ(g_boxes[3].substr(0, 15), "x:1 Win Error\nz");
}

TEST(ErrorTable, MessageBoxWithoutHookGoesToStandardError) {
  ASSERT_EQ(ErrInitialize(ERR_MODE_TABLE, nullptr, 0, 0, 0, 0), 1u);
  std::uint32_t index = 9;
  const std::string err =
      CaptureStderr([&] { ErrPutError(nullptr, 0, 0x8000, 6, "f", 3, &index, "rc"); });
  EXPECT_EQ(err, "f:3 RC Error\nrc\nPress OK to continue or CANCEL to abort\n");
  EXPECT_EQ(index, 0u);
}

TEST(ErrorTable, OperationsFailWithoutTheTableMutex) {
  EXPECT_NE(ErrClearError(2), 0u);
  EXPECT_NE(ErrLinkError(2, 3), 0u);
  EXPECT_NE(ErrChangeError(2, 1), 0u);
  ExpectOverflowEntry(ErrGetError(2));
  // Mode 3 does not create the table mutex either.
  ASSERT_EQ(ErrInitialize(ERR_MODE_CONSOLE, nullptr, 0, 0, 0, 0), 1u);
  EXPECT_NE(ErrLinkError(5, 1), 0u);
  EXPECT_EQ(ErrGetError(1)->link, 0u);
}

TEST(ErrorTable, HeldTableMutexTimesOut) {
  InitTable();
  ASSERT_EQ(Record(), 2u);
  std::atomic<bool> held{false};
  std::atomic<bool> done{false};
  std::thread holder([&] {
    SemRequestMutex(&qorb::err::TableMutex(), SEM_INDEFINITE_WAIT);
    held = true;
    while (!done) std::this_thread::yield();
    SemReleaseMutex(&qorb::err::TableMutex());
  });
  while (!held) std::this_thread::yield();
  EXPECT_EQ(Record(2), 1u) << "nothing recorded after the wait";
  EXPECT_EQ(ErrClearError(2), SEM_RC_TIMEOUT);
  done = true;
  holder.join();
  EXPECT_EQ(ErrGetError(2)->number, 200u) << "slot 2 still in use";
  EXPECT_EQ(Record(), 3u);
}

TEST(ErrorChecks, FrontEndsReportNumberAndMessage) {
  FakeClock clock(kNoon);
  ASSERT_EQ(ErrInitialize(ERR_MODE_CONSOLE, nullptr, 0, 0, 0, 0), 1u);
  int value = 0;
  std::uint32_t rc = 99;
  void *pointer = &value;
  const std::string passes = CaptureStdout([&] {
    EXPECT_EQ(ErrDosError("a\\b.c", 1, 0), 0u);
    EXPECT_EQ(ErrRcError("a\\b.c", 1, 0), 0u);
    EXPECT_EQ(ErrBoolError("a\\b.c", 1, 7), 7u);
    EXPECT_EQ(ErrNullError("a\\b.c", 1, pointer), pointer);
  });
  EXPECT_EQ(passes, "");

  const std::string out = CaptureStdout([&] {
    rc = ErrDosError("C:\\src\\dos.c", 11, 2);
    EXPECT_EQ(rc, 2u);
    pointer = ErrNullError("C:\\src\\null.c", 12, nullptr);
    ErrAssertError("C:\\src\\assert.c", 13, "count > 0");
    rc = ErrRcError("C:\\src\\rc.c", 14, 5);
    EXPECT_EQ(rc, 5u);
    rc = ErrBoolError("C:\\src\\bool.c", 15, 0);
  });
  EXPECT_EQ(pointer, nullptr);
  EXPECT_EQ(rc, 0u);
  EXPECT_EQ(out,
            "124846(   dos.c:0011)E0003 2 : No error text available\n"
            "124846(  null.c:0012)E0004 A NULL pointer was detected.\n"
            "124846(assert.c:0013)E0005 Failed: count > 0\n"
            "124846(    rc.c:0014)E0006 5 : Non-zero return code.\n"
            "124846(  bool.c:0015)E0006 FALSE return code.\n");

  // Large codes print whole, as unsigned values.
  ASSERT_EQ(ErrInitialize(ERR_MODE_CALLBACK, nullptr, Word(&RecordingCallback), 0, 0, 0), 1u);
  EXPECT_EQ(ErrRcError("f", 1, 0xFFFFFFFFu), 0xFFFFFFFFu);
  ErrAssertError("f", 1, nullptr);
  ASSERT_EQ(g_messages.size(), 2u);
  EXPECT_EQ(g_messages[0], "4294967295 : Non-zero return code.");
  EXPECT_EQ(g_messages[1], "Failed: ");
}

TEST(ErrorChecks, FrontEndsLeaveTheTableAlone) {
  InitTable();
  ASSERT_EQ(Record(), 2u);
  EXPECT_EQ(ErrRcError("C:\\src\\rc.c", 14, 5), 5u);
  EXPECT_EQ(ErrBoolError("rc.c", 15, 0), 0u);
  ASSERT_EQ(g_boxes.size(), 2u);
  EXPECT_EQ(g_boxes[0],
            "rc.c:14 RC Error\n5 : Non-zero return code.\n"
            "Press OK to continue or CANCEL to abort");
  EXPECT_EQ(ErrGetError(2)->number, 200u) << "the pending report stays";
  EXPECT_EQ(Record(), 3u);
}

TEST(ErrorPanic, AppendsPanicLogAndReleasesPanicMutex) {
  EnteredTempDir dir;
  FakeClock clock(kNoon);
  ASSERT_EQ(ErrInitialize(ERR_MODE_CONSOLE, nullptr, 0, 0, 0, 0), 1u);
  SemMutexHandle &panic = qorb::err::PanicMutex();
  ASSERT_EQ(SemRequestMutex(&panic, 0), 0u);
  const std::string out =
      CaptureStdout([] { ErrPanicError("disk on fire", "C:\\src\\base\\x.c", 12); });
  EXPECT_EQ(out, "Panic: disk on fire\n");
  // The panic mutex is free again for another thread.
  std::uint32_t taken = 99;
  std::thread other([&] {
    taken = SemRequestMutex(&panic, 0);
    if (taken == 0) SemReleaseMutex(&panic);
  });
  other.join();
  EXPECT_EQ(taken, 0u);

  InitTable();
  clock.Set(kNoon + 1);
  EXPECT_EQ(CaptureStdout([] { ErrPanicError("again", nullptr, 0); }), "");
  EXPECT_EQ(ReadFile(dir.File("panic.log")),
            "20010815.124846  - C:\\src\\base\\x.c:12 - disk on fire\n"
            "20010815.124847  - Unknown:0 - again\n");

  const std::string longText(3000, 'p');
  ErrPanicError(longText.c_str(), "f", 1);
  const std::string log = ReadFile(dir.File("panic.log"));
  EXPECT_EQ(log.substr(log.size() - 3001), longText + "\n") << "the panic text is not cut";
}

TEST(ErrorConcurrency, ThreadsFillDistinctSlots) {
  InitTable();
  constexpr int kThreads = 4;
  constexpr int kReports = 20;  // 80 reports for 49 slots
  std::vector<std::vector<std::uint32_t>> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &results] {
      for (int i = 0; i < kReports; ++i) {
        std::uint32_t index = 0;
        ErrPutError(nullptr, 0, 0x2000, static_cast<std::uint32_t>(1000 * t + i), "f", 1, &index,
                    "t%d", t);
        results[t].push_back(index);
      }
    });
  }
  for (auto &thread : threads) thread.join();

  std::multiset<std::uint32_t> slots;
  int overflow = 0;
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kReports; ++i) {
      const std::uint32_t slot = results[t][i];
      if (slot == 1) {
        ++overflow;
        continue;
      }
      slots.insert(slot);
      // The slot holds this very report.
      EXPECT_EQ(ErrGetError(slot)->number, static_cast<std::uint32_t>(1000 * t + i));
      EXPECT_EQ(ErrGetError(slot)->text, "t" + std::to_string(t));
    }
  }
  EXPECT_EQ(overflow, kThreads * kReports - 49);
  EXPECT_EQ(std::set<std::uint32_t>(slots.begin(), slots.end()).size(), slots.size())
      << "a slot was handed out twice";
  EXPECT_EQ(*slots.begin(), 2u);
  EXPECT_EQ(*slots.rbegin(), 50u);
}

TEST(ErrorConcurrency, ReportingWhileTheMemoryMutexIsHeld) {
  InitTable();
  SemMutexHandle &memory = qorb::err::MemoryMutex();
  ASSERT_EQ(SemRequestMutex(&memory, SEM_INDEFINITE_WAIT), 0u);
  std::vector<std::thread> threads;
  std::atomic<int> recorded{0};
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&recorded] {
      for (int i = 0; i < 10; ++i) {
        std::uint32_t index = 0;
        ErrPutError(nullptr, 0, 0x4000, 300, "f", 1, &index, "w");
        if (index >= 2) ++recorded;
        ErrRcError("f", 2, 1);
        ErrClearError(index);
      }
    });
  }
  // The holder reports too, as the allocator does.
  for (int i = 0; i < 10; ++i) {
    ErrNullError("memory", 3, nullptr);
    ErrClearError(Record());
  }
  for (auto &thread : threads) thread.join();
  EXPECT_EQ(SemReleaseMutex(&memory), 0u);
  EXPECT_EQ(recorded.load(), 30);
}

}  // namespace
