// error_test.cpp - error reporting: the error table, the sink record, the
// console line and daily log, the front ends, the panic line, the bounds of
// every text and reports from many threads. Each case runs in its own process.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "error/error_private.h"
#include "error_internal.h"
#include "platform/clock.h"
#include "support/capture.h"
#include "support/host.h"
#include "support/temp_directory.h"

namespace {

using qorb::test::CaptureStderr;
using qorb::test::CaptureStdout;

constexpr std::time_t kNoon = 997879726;        // 2001-08-15 12:48:46 UTC
constexpr std::time_t kLastSecond = 997919999;  // 2001-08-15 23:59:59 UTC
constexpr const char *kFile = "C:\\src\\file.c";
const std::string kPress = "\nPress OK to continue or CANCEL to abort";

std::atomic<std::time_t> g_now{0};
std::vector<std::string> g_seen;         // what the sink, message-box hook or callback got
std::vector<std::uintptr_t> g_sinkArgs;  // zero, a, b, c, length
std::uint32_t g_sinkResult = 0;

class ErrorTest : public ::testing::Test {
 protected:
  // Stamps and day changes are tested by setting the clock, never by waiting.
  static void SetClock(std::time_t now) {
    g_now = now;
    qorb::plat::SetClockSourceForTesting([] { return g_now.load(); });
  }
  // Each case runs in a fresh working directory for the files it writes,
  // with the clock at noon.
  void SetUp() override {
    SetClock(kNoon);
    dir_ = qorb::test::MakeTempDirectory("qorb.").string();
    ASSERT_FALSE(dir_.empty());
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  // Read as text: the log's lines end as the host's text files do.
  static std::string ReadFile(const std::string &name) {
    std::ifstream in(name);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  static std::uint32_t Sink(std::uintptr_t zero, std::uintptr_t a, std::uintptr_t b,
                            std::uintptr_t c, ErrSinkRecord *record, std::uint32_t length) {
    g_sinkArgs = {zero, a, b, c, length};
    g_seen.emplace_back(reinterpret_cast<const char *>(record), sizeof *record);
    return g_sinkResult;
  }
  static void Keep(const char *text) { g_seen.emplace_back(text); }
  static void Callback(std::uint32_t /*severity*/, const char *message) { Keep(message); }
  template <typename F>
  static std::uintptr_t Word(F *function) {
    return reinterpret_cast<std::uintptr_t>(function);
  }
  template <typename T>
  static std::string Raw(T value) {
    return {reinterpret_cast<const char *>(&value), sizeof value};
  }

  // One report with the given message text; what it printed.
  static std::string Put(std::uint32_t severity, std::uint32_t number, const char *file,
                         std::uint32_t line, const std::string &message,
                         std::uint32_t *index = nullptr, const char *task = nullptr) {
    return CaptureStdout([&] {
      ErrPutError(task, 0.0, severity, number, file, line, index, "%s", message.c_str());
    });
  }

  static void InitTable() {
    ASSERT_EQ(ErrInitialize(ERR_MODE_TABLE, nullptr, 0xAB, Word(&Keep), 0, 0), 1u);
  }
  // Records a Warning linked to earlier; the slot it got.
  static std::uint32_t Record(std::uint32_t earlier = 0) {
    ErrPutError(nullptr, 0.0, ERR_SEV_WARNING, 200, "C:\\src\\rec.c", 10, &earlier, "w");
    return earlier;
  }
  // An entry as "severity number file:line link text".
  static std::string Show(std::uint32_t slot) {
    const ErrEntry *entry = ErrGetError(slot);
    std::ostringstream out;
    out << entry->severity << ' ' << entry->number << ' ' << entry->file << ':' << entry->line
        << ' ' << entry->link << ' ' << entry->text;
    return out.str();
  }

 private:
  std::string dir_;
};

TEST_F(ErrorTest, BeforeInitializeAndUnknownMode) {
  std::uint32_t box = 0;
  EXPECT_EQ(CaptureStderr([&] { ErrPutError(nullptr, 0, 0x8000, 4, "f", 1, &box, "x"); }), "");
  EXPECT_EQ(box, 1u);
  EXPECT_EQ(Record(), 1u);
  EXPECT_NE(ErrClearError(2), 0u);
  EXPECT_NE(ErrLinkError(5, 1), 0u);
  EXPECT_NE(ErrChangeError(2, 1), 0u);
  EXPECT_EQ(qorb::err::MemoryMutex(), 0u);

  std::uint32_t result = 9;
  EXPECT_EQ(CaptureStdout([&] { result = ErrInitialize(7, "t", 0, 0, 0, 0); }),
            "Unrecognized error type\n");
  EXPECT_EQ(result, 0u);
  EXPECT_NE(qorb::err::MemoryMutex(), 0u) << "made even for an unknown mode";
  EXPECT_EQ(Put(0x8000, 1, "f", 1, "x", &result), "");
  EXPECT_EQ(result, 0u);
}

TEST_F(ErrorTest, TableSlotCycleAndFullTable) {
  InitTable();
  EXPECT_EQ(ErrGetHAB(), 0xABu);
  std::uint32_t index = 0;
  Put(0x0020, 150, "C:\\src\\base\\file.c", 33, std::string(300, 'x'), &index);
  ASSERT_EQ(index, 2u);
  EXPECT_EQ(Show(2), "32 150 file.c:33 0 " + std::string(255, 'x'));
  EXPECT_EQ(Show(1), "32768 8 error:0 0 Out of error space");
  for (std::uint32_t slot : {0u, 3u, 51u, ~0u}) EXPECT_EQ(ErrGetError(slot), ErrGetError(1));
  for (std::uint32_t slot : {2u, 0u, 1u, 51u}) EXPECT_EQ(ErrClearError(slot), 0u);
  EXPECT_EQ(ErrGetError(2), ErrGetError(1));

  // The writer moves on from a freed slot; the search wraps around to it.
  for (std::uint32_t expected = 3; expected <= 50; ++expected) ASSERT_EQ(Record(), expected);
  EXPECT_EQ(Record(), 2u);
  EXPECT_EQ(Record(), 1u) << "full";
  EXPECT_EQ(ErrClearError(7), 0u);
  EXPECT_EQ(Record(), 1u) << "a full table stays full";
}

TEST_F(ErrorTest, TableLinksChangesAndLockTimeout) {
  InitTable();
  ASSERT_EQ(Record(), 2u);
  ASSERT_EQ(Record(2), 3u);
  EXPECT_EQ(ErrGetError(3)->link, 2u);
  ASSERT_EQ(ErrClearError(3), 0u);
  // The slot being filled (4), the overflow slot, a free slot: no link.
  for (std::uint32_t bad : {4u, 1u, 3u, 51u}) EXPECT_EQ(ErrGetError(Record(bad))->link, 0u) << bad;

  EXPECT_EQ(ErrLinkError(2, 5), 0u);
  EXPECT_EQ(ErrGetError(5)->link, 2u);
  // Refused: an earlier slot that is free, out of range or 0, an entry that is free.
  for (std::uint32_t earlier : {3u, 51u, 0u}) EXPECT_EQ(ErrLinkError(earlier, 5), 0u);
  EXPECT_EQ(ErrLinkError(2, 3), 0u);
  EXPECT_EQ(ErrGetError(5)->link, 2u);
  EXPECT_EQ(ErrLinkError(12345, 1), 0u);
  EXPECT_EQ(ErrGetError(1)->link, 12345u) << "the overflow entry takes any earlier slot but 1";
  EXPECT_EQ(ErrLinkError(1, 1), 0u);
  EXPECT_EQ(ErrGetError(1)->link, 12345u);

  EXPECT_EQ(ErrChangeError(2, 0x4001), 0u);
  EXPECT_EQ(ErrGetError(2)->severity, 0x4001u);
  EXPECT_EQ(ErrChangeError(1, 0x1000), 0u);
  EXPECT_EQ(ErrGetError(1)->severity, ERR_SEV_ERROR) << "the overflow entry keeps its severity";

  // Another holder of the table mutex makes changes give up after the wait.
  ASSERT_EQ(SemRequestMutex(&qorb::err::TableMutex(), 0), 0u);
  std::thread([] {
    EXPECT_EQ(Record(), 1u) << "nothing recorded after the wait";
    EXPECT_EQ(ErrClearError(2), SEM_RC_TIMEOUT);
  }).join();
  ASSERT_EQ(SemReleaseMutex(&qorb::err::TableMutex()), 0u);
  EXPECT_EQ(ErrGetError(2)->number, 200u) << "slot 2 still in use";
}

TEST_F(ErrorTest, TableClassNumberErrorsGoToTheMessageBox) {
  InitTable();
  ASSERT_EQ(Record(), 2u);
  std::uint32_t index = 9;
  ErrPutError(nullptr, 0, 0x8000, 4, "C:\\src\\base\\links", 57, &index, "gone %d", 1);
  EXPECT_EQ(index, 0u);
  Put(0x8000, 42, "x", 1, "m");
  EXPECT_EQ(ErrRcError("C:\\src\\rc.c", 14, 5), 5u);
  EXPECT_EQ(g_seen, (std::vector<std::string>{
                        "links:57 Null Error\ngone 1" + kPress, "x:1 Unknown Error\nm" + kPress,
                        "rc.c:14 RC Error\n5 : Non-zero return code." + kPress}));
  EXPECT_EQ(Record(), 3u) << "no box took a slot or cleared the pending report";
  Put(0x8001, 4, "x", 1, "e", &index);
  EXPECT_EQ(index, 4u) << "an Error with an area bit is recorded";
  // Without a hook the box text goes to standard error.
  ASSERT_EQ(ErrInitialize(ERR_MODE_TABLE, nullptr, 0, 0, 0, 0), 1u);
  EXPECT_EQ(CaptureStderr([&] { Put(0x8000, 6, "f", 3, "rc", &index); }),
            "f:3 RC Error\nrc" + kPress + "\n");
  EXPECT_EQ(index, 0u);
}

TEST_F(ErrorTest, FrontEndsAndPanic) {
  ASSERT_EQ(ErrInitialize(ERR_MODE_CONSOLE, nullptr, 0, 0, 0, 0), 1u);
  int value = 0;
  EXPECT_EQ(CaptureStdout([&] {
              EXPECT_EQ(ErrDosError("a", 1, 0), 0u);
              EXPECT_EQ(ErrRcError("a", 1, 0), 0u);
              EXPECT_EQ(ErrBoolError("a", 1, 7), 7u);
              EXPECT_EQ(ErrNullError("a", 1, &value), &value);
              EXPECT_EQ(ErrDosError("C:\\src\\dos.c", 11, 2), 2u);
              EXPECT_EQ(ErrNullError("C:\\src\\null.c", 12, nullptr), nullptr);
              ErrAssertError("C:\\src\\assert.c", 13, "count > 0");
              ErrAssertError("C:\\src\\assert.c", 13, nullptr);
              EXPECT_EQ(ErrRcError("C:\\src\\rc.c", 14, 0xFFFFFFFFu), 0xFFFFFFFFu);
              EXPECT_EQ(ErrBoolError("C:\\src\\bool.c", 15, 0), 0u);
            }),
            "124846(   dos.c:0011)E0003 2 : No error text available\n"
            "124846(  null.c:0012)E0004 A NULL pointer was detected.\n"
            "124846(assert.c:0013)E0005 Failed: count > 0\n"
            "124846(assert.c:0013)E0005 Failed: \n"
            "124846(    rc.c:0014)E0006 4294967295 : Non-zero return code.\n"
            "124846(  bool.c:0015)E0006 FALSE return code.\n");

  SemMutexHandle &panic = qorb::err::PanicMutex();
  ASSERT_EQ(SemRequestMutex(&panic, 0), 0u);
  EXPECT_EQ(CaptureStdout([] { ErrPanicError("disk on fire", "C:\\src\\base\\x.c", 12); }),
            "Panic: disk on fire\n");
  std::uint32_t taken = 99;
  std::thread([&] { taken = SemRequestMutex(&panic, 0); }).join();
  EXPECT_EQ(taken, 0u) << "the panic mutex is given back";

  InitTable();
  EXPECT_EQ(CaptureStdout([] { ErrPanicError("again", nullptr, 0); }), "");
  EXPECT_EQ(ReadFile("panic.log"),
            "20010815.124846  - C:\\src\\base\\x.c:12 - disk on fire\n"
            "20010815.124846  - Unknown:0 - again\n");
}

TEST_F(ErrorTest, SinkRecordBytesAndFailureBlock) {
  ASSERT_EQ(ErrInitialize(ERR_MODE_SINK, "default", 11, 22, 33, Word(&Sink)), 1u);
  std::uint32_t index = 7;
  ErrPutError(std::string(300, 't').c_str(), 0.0, 0x4000, 101, "C:\\src\\a_file_name_too_long.cpp",
              4242, &index, "%s", std::string(300, 'm').c_str());
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(g_sinkArgs, (std::vector<std::uintptr_t>{0, 11, 22, 33, 298}));
  ErrPutError(nullptr, 12.5, 0x0004, 3, "D:\\x\\short.c", 1, nullptr, "hi %d", 5);
  // Long fields are cut to their width without a NUL, short ones padded.
  EXPECT_EQ(g_seen, (std::vector<std::string>{
                        Raw(static_cast<double>(kNoon)) + Raw(0x4000u) + Raw(101u) + Raw(4242u) +
                            "a_file_name_t" + std::string(256, 'm') + std::string(9, 't'),
                        Raw(12.5) + Raw(4u) + Raw(3u) + Raw(1u) + "short.c" + std::string(6, '\0') +
                            "hi 5" + std::string(252, '\0') + "default" + std::string(2, '\0')}));

  g_sinkResult = 42;
  EXPECT_EQ(Put(0x8000, 9, "C:\\a\\memory", 429, "size 10", &index),
            "HubSendResource failed with error 42\nThe following error was not sent:\n"
            "  Task: default\n  File: memory\n  Line: 429\n  Time: 0.000000\n"
            "  Sev : 32768\n  Err : 9\n  Msg : size 10\n\n");
  EXPECT_EQ(index, 42u);
  // Without a sink function every record counts as refused.
  ASSERT_EQ(ErrInitialize(ERR_MODE_SINK, nullptr, 0, 0, 0, 0), 1u);
  EXPECT_EQ(Put(1, 1, "f", 1, "x", &index).substr(0, 37), "HubSendResource failed with error 87\n");
  EXPECT_EQ(index, 87u);
}

TEST_F(ErrorTest, ConsoleSeverityLettersAndNumberedMessages) {
  ASSERT_EQ(ErrInitialize(ERR_MODE_CONSOLE, nullptr, 0, 0, 0, 0), 1u);
  // Only the backslash separates; the name is cut to 8, wide numbers stay whole.
  EXPECT_EQ(Put(0x2000, 12345, "a/b/c.cpp", 123456, "m"), "124846(a/b/c.cp:123456)I12345 m\n");
  // An area takes 'a' plus its lowest bit; no bit at all is '?'.
  std::string letters;
  for (std::uint32_t severity :
       {0x8000, 0x4000, 0x2000, 0x1000, 0x1, 0x4, 0x800, 0x8001, 0xC000, 0x10000, 0x0}) {
    letters += Put(severity, 1, kFile, 7, "x").substr(21);
  }
  EXPECT_EQ(letters,
            "E0001 x\nW0001 x\nI0001 x\nD0001 x\na0001 x\nc0001 x\nl0001 x\na0001 x\n"
            "o0001 x\nq0001 x\n?0001 x\n");
  std::string texts;
  for (std::uint32_t number = 100; number <= 107; ++number) {
    texts += Put(0x4000, number, kFile, 7, "x").substr(21);
  }
  EXPECT_EQ(texts,
            "W0100 Open failed on file: x\nW0101 Read failed on file: x\n"
            "W0102 Write failed on file: x\nW0103 Malloc failed\n"
            "W0104 Thread start failed for thread: x\nW0105 Font load failed for font: x\n"
            "W0106 Internal error\nW0107 Bad format in file: x\n");
  EXPECT_EQ(ErrGetMessage(99), nullptr);
  // The message is the format's one argument, never a format itself.
  EXPECT_EQ(Put(0x4000, 108, kFile, 7, "%s %s"), "124846(  file.c:0007)W0108 %s %s\n");
  EXPECT_EQ(Put(0x4000, 100, kFile, 7, "%s%n"),
            "124846(  file.c:0007)W0100 Open failed on file: %s%n\n");
}

TEST_F(ErrorTest, LogDailyFileAndDayChange) {
  SetClock(kLastSecond);
  ASSERT_EQ(ErrInitialize(ERR_MODE_BOTH, "demo", 0, 0, 0, 0), 1u);
  const std::string out = Put(0x4000, 101, kFile, 7, "x.ini");
  EXPECT_EQ(out, "235959(  file.c:0007)W0101 Read failed on file: x.ini\n");
  EXPECT_EQ(ReadFile("demo.20010815.log"), out);

  SetClock(kLastSecond + 2);
  ASSERT_EQ(ErrInitialize(ERR_MODE_LOG, nullptr, 0, 0, 0, 0), 1u);
  std::uint32_t index = 0;
  EXPECT_EQ(Put(0x8000, 2, "a\\b", 4, "after", &index, "other"), "");
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(Put(0x0001, 2, "a\\b", 5, "again"), "");
  EXPECT_EQ(ReadFile("other.20010816.log"), "000001(       b:0004)E0002 after\n");
  EXPECT_EQ(ReadFile("demo.20010816.log"), "000001(       b:0005)a0002 again\n");
  EXPECT_EQ(ReadFile("demo.20010815.log"), out) << "the old day's file is left alone";
}

TEST_F(ErrorTest, LogConcurrentLinesAreNeitherLostNorTorn) {
  if (qorb::test::RunningUnderWine()) {
    GTEST_SKIP() << "Wine does not make appends through separate handles atomic";
  }
  ASSERT_EQ(ErrInitialize(ERR_MODE_LOG, "many", 0, 0, 0, 0), 1u);
  // Every line is the same, so the file must be exactly that line 3200 times.
  const std::string padding(400, 'p');
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&padding] {
      for (int i = 0; i < 400; ++i) {
        ErrPutError(nullptr, 0, 0x2000, 1, "f", 1, nullptr, "%s", padding.c_str());
      }
    });
  }
  for (auto &thread : threads) thread.join();
  std::string expected;
  for (int i = 0; i < 8 * 400; ++i) expected += "124846(       f:0001)I0001 " + padding + "\n";
  EXPECT_EQ(ReadFile("many.20010815.log"), expected);
}

TEST_F(ErrorTest, OverlongTextsAreCutNeverOverrun) {
  const std::string huge(2000, 'M');
  const std::string longTask(300, 'T');
  ASSERT_EQ(ErrInitialize(ERR_MODE_CALLBACK, nullptr, Word(&Callback), 0, 0, 0), 1u);
  Put(1, 1, "f", 1, huge);
  ErrPutError(nullptr, 0, 1, 1, "f", 1, nullptr, "%0900d", 7);
  EXPECT_EQ(g_seen, (std::vector<std::string>{std::string(511, 'M'), std::string(511, '0')}));

  // The host cannot open a log named after this task: it is skipped, the line still printed.
  ASSERT_EQ(ErrInitialize(ERR_MODE_BOTH, longTask.c_str(), 0, 0, 0, 0), 1u);
  EXPECT_EQ(Put(0x8000, 1, ("C:\\" + std::string(600, 'F')).c_str(), 1, huge),
            "124846(FFFFFFFF:0001)E0001 " + std::string(511 - 27, 'M') + "\n");
  EXPECT_EQ(Put(0x8000, 100, "f", 1, huge),
            "124846(       f:0001)E0100 Open failed on file: " + std::string(106, 'M') + "\n");
  InitTable();
  Put(0x8000, 1, "x", 1, huge);
  EXPECT_EQ(g_seen.back(), "x:1 Win Error\n" + std::string(511 - 14, 'M')) << "message box text";
}

// Threads fill the table while the main thread holds the memory mutex and
// reports too, as the allocator does: the lock order is memory, then table.
TEST_F(ErrorTest, ThreadsFillDistinctSlotsUnderTheMemoryMutex) {
  InitTable();
  ASSERT_EQ(SemRequestMutex(&qorb::err::MemoryMutex(), SEM_INDEFINITE_WAIT), 0u);
  constexpr std::uint32_t kThreads = 4;
  constexpr std::uint32_t kReports = 20;  // 80 reports for 49 slots
  std::vector<std::uint32_t> slots(kThreads * kReports);
  std::vector<std::thread> threads;
  for (std::uint32_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &slots] {
      for (std::uint32_t n = t * kReports; n < (t + 1) * kReports; ++n) {
        ErrPutError(nullptr, 0, 0x2000, n, "f", 1, &slots[n], "%u", n);
        ErrRcError("f", 2, 1);
      }
    });
  }
  for (int i = 0; i < 10; ++i) ErrNullError("memory", 3, nullptr);
  for (auto &thread : threads) thread.join();
  EXPECT_EQ(SemReleaseMutex(&qorb::err::MemoryMutex()), 0u);
  EXPECT_EQ(g_seen.size(), kThreads * kReports + 10) << "every message box was shown";
  std::set<std::uint32_t> distinct;
  for (std::uint32_t n = 0; n < kThreads * kReports; ++n) {
    if (slots[n] == 1) continue;
    EXPECT_TRUE(distinct.insert(slots[n]).second) << "slot " << slots[n] << " handed out twice";
    EXPECT_EQ(Show(slots[n]), "8192 " + std::to_string(n) + " f:1 0 " + std::to_string(n));
  }
  EXPECT_EQ(distinct.size(), 49u);
}

}  // namespace
