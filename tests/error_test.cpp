// error_test.cpp - ErrInitialize and ErrPutError: the settings, the sink
// record and its failure block, the console line and the daily log file,
// the callback, and the bounds of every fixed-size text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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

using qorb::test::CaptureStdout;
using qorb::test::EnteredTempDir;
using qorb::test::FakeClock;
using qorb::test::ReadFile;

// 2001-08-15 12:48:46 UTC.
constexpr std::time_t kNoon = 997879726;
// 2001-08-15 23:59:59 UTC, one second before the date changes.
constexpr std::time_t kLastSecond = 997919999;

// --- what the sink of mode 1 received -------------------------------------
struct SinkCall {
  std::uintptr_t zero, a, b, c;
  unsigned char bytes[sizeof(ErrSinkRecord)];
  std::uint32_t length;
};
std::vector<SinkCall> g_sinkCalls;
std::uint32_t g_sinkResult = 0;

std::uint32_t RecordingSink(std::uintptr_t zero, std::uintptr_t a, std::uintptr_t b,
                            std::uintptr_t c, ErrSinkRecord *record, std::uint32_t length) {
  SinkCall call{zero, a, b, c, {}, length};
  std::memcpy(call.bytes, record, sizeof call.bytes);
  g_sinkCalls.push_back(call);
  return g_sinkResult;
}

std::uint32_t ReadU32(const unsigned char *bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

double ReadDouble(const unsigned char *bytes) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | bytes[i];
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string Field(const unsigned char *bytes, std::size_t size) {
  return std::string(reinterpret_cast<const char *>(bytes), size);
}

std::string Padded(const std::string &text, std::size_t size) {
  return text + std::string(size - text.size(), '\0');
}

// --- what the callback of mode 4 received ---------------------------------
struct CallbackCall {
  std::uint32_t severity;
  std::string message;
};
std::vector<CallbackCall> g_callbackCalls;

void RecordingCallback(std::uint32_t severity, const char *message) {
  g_callbackCalls.push_back({severity, message});
}

template <typename Function>
std::uintptr_t Word(Function *function) {
  return reinterpret_cast<std::uintptr_t>(function);
}

// Reports once with the given severity and number from C:\src\base\file.c.
std::string ConsoleLine(std::uint32_t severity, std::uint32_t number, const char *message) {
  return CaptureStdout([&] {
    ErrPutError(nullptr, 0.0, severity, number, "C:\\src\\base\\file.c", 7, nullptr, "%s", message);
  });
}

TEST(ErrorReport, BeforeInitializeNothingIsReported) {
  std::uint32_t index = 9;
  const std::string out = CaptureStdout(
      [&] { ErrPutError("task", 0.0, ERR_SEV_WARNING, 1, "file", 1, &index, "lost"); });
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(out, "");
  // An Error that would call for the message box shows nothing either.
  index = 0;
  const std::string err = qorb::test::CaptureStderr([&] {
    ErrPutError(nullptr, 0.0, ERR_SEV_ERROR, 4, "file", 1, &index, "lost");
    EXPECT_EQ(ErrNullError("file", 2, nullptr), nullptr);
  });
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(err, "");
  EXPECT_EQ(ErrGetHAB(), 0u);
  EXPECT_EQ(qorb::err::MemoryMutex(), 0u);
  EXPECT_EQ(qorb::err::Verbosity(), 0u);
}

TEST(ErrorReport, UnknownModeIsStoredAndSilencesReports) {
  std::uint32_t result = 99;
  const std::string out = CaptureStdout([&] { result = ErrInitialize(7, "t", 0, 0, 0, 0); });
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(out, "Unrecognized error type\n");
  // The memory mutex exists even so; the panic mutex does not.
  EXPECT_NE(qorb::err::MemoryMutex(), 0u);
  EXPECT_EQ(qorb::err::PanicMutex(), 0u);

  std::uint32_t index = 5;
  const std::string reported = CaptureStdout(
      [&] { ErrPutError(nullptr, 0.0, ERR_SEV_ERROR, 1, "f", 1, &index, "nothing"); });
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(reported, "");
}

TEST(ErrorReport, SettingsOfOtherModesSurviveAModeChange) {
  ASSERT_EQ(ErrInitialize(ERR_MODE_TABLE, "first", 0x1234, 0, 0, 0), 1u);
  const SemMutexHandle table = qorb::err::TableMutex();
  const SemMutexHandle panic = qorb::err::PanicMutex();
  EXPECT_NE(table, 0u);
  EXPECT_NE(panic, 0u);
  ASSERT_EQ(ErrInitialize(ERR_MODE_SINK, nullptr, 1, 2, 3, Word(&RecordingSink)), 1u);
  EXPECT_EQ(ErrGetHAB(), 0x1234u);
  // A second mode-2 call keeps the table mutex; the panic mutex is made once.
  ASSERT_EQ(ErrInitialize(ERR_MODE_TABLE, nullptr, 0x99, 0, 0, 0), 1u);
  EXPECT_EQ(qorb::err::TableMutex(), table);
  EXPECT_EQ(qorb::err::PanicMutex(), panic);
  EXPECT_EQ(ErrGetHAB(), 0x99u);

  // Back in mode 1 the default task is still the one set before.
  ASSERT_EQ(ErrInitialize(ERR_MODE_SINK, nullptr, 0, 0, 0, Word(&RecordingSink)), 1u);
  ErrPutError(nullptr, 1.0, 0, 0, nullptr, 0, nullptr, nullptr);
  ASSERT_EQ(g_sinkCalls.size(), 1u);
  EXPECT_EQ(Field(g_sinkCalls[0].bytes + 289, 9), Padded("first", 9));

  // Every call makes a usable memory mutex.
  SemMutexHandle &memory = qorb::err::MemoryMutex();
  EXPECT_EQ(SemRequestMutex(&memory, 0), 0u);
  EXPECT_EQ(SemReleaseMutex(&memory), 0u);

  BaseSetVerbosity(0x8000 | 0x0004);
  EXPECT_EQ(qorb::err::Verbosity(), 0x8004u);
}

TEST(ErrorSink, RecordBytesArePackedCutAndPadded) {
  FakeClock clock(kNoon);
  ASSERT_EQ(ErrInitialize(ERR_MODE_SINK, "default", 11, 22, 33, Word(&RecordingSink)), 1u);
  const std::string longMessage(300, 'm');
  const std::string longTask(300, 't');
  std::uint32_t index = 7;
  ErrPutError(longTask.c_str(), 0.0, 0x4000, 101, "C:\\src\\a_file_name_too_long.cpp", 4242, &index,
              "%s", longMessage.c_str());
  ErrPutError(nullptr, 12.5, 0x0004, 3, "D:\\x\\short.c", 1, nullptr, "hi %d", 5);
  ErrPutError("task56789", std::nan(""), 0x8000, 0, nullptr, 0, nullptr, nullptr);
  ErrPutError(nullptr, -3.0, 0x8000, 0, "fits_13_chars", 0, nullptr, "%s", "");
  EXPECT_EQ(index, 0u);
  ASSERT_EQ(g_sinkCalls.size(), 4u);

  const SinkCall &cut = g_sinkCalls[0];
  EXPECT_EQ(cut.zero, 0u);
  EXPECT_EQ(cut.a, 11u);
  EXPECT_EQ(cut.b, 22u);
  EXPECT_EQ(cut.c, 33u);
  EXPECT_EQ(cut.length, 298u);
  EXPECT_EQ(ReadDouble(cut.bytes), static_cast<double>(kNoon));
  EXPECT_EQ(ReadU32(cut.bytes + 8), 0x4000u);
  EXPECT_EQ(ReadU32(cut.bytes + 12), 101u);
  EXPECT_EQ(ReadU32(cut.bytes + 16), 4242u);
  EXPECT_EQ(Field(cut.bytes + 20, 13), "a_file_name_t");
  EXPECT_EQ(Field(cut.bytes + 33, 256), std::string(256, 'm'));
  EXPECT_EQ(Field(cut.bytes + 289, 9), std::string(9, 't'));

  const SinkCall &padded = g_sinkCalls[1];
  EXPECT_EQ(ReadDouble(padded.bytes), 12.5);
  EXPECT_EQ(Field(padded.bytes + 20, 13), Padded("short.c", 13));
  EXPECT_EQ(Field(padded.bytes + 33, 256), Padded("hi 5", 256));
  EXPECT_EQ(Field(padded.bytes + 289, 9), Padded("default", 9));

  const SinkCall &unknown = g_sinkCalls[2];
  EXPECT_EQ(ReadDouble(unknown.bytes), static_cast<double>(kNoon)) << "NaN takes the clock";
  EXPECT_EQ(Field(unknown.bytes + 20, 13), Padded("Unknown", 13));
  EXPECT_EQ(Field(unknown.bytes + 33, 256), std::string(256, '\0'));
  EXPECT_EQ(Field(unknown.bytes + 289, 9), "task56789");

  EXPECT_EQ(ReadDouble(g_sinkCalls[3].bytes), static_cast<double>(kNoon));
  EXPECT_EQ(Field(g_sinkCalls[3].bytes + 20, 13), "fits_13_chars");
}

TEST(ErrorSink, RefusedRecordPrintsTheFailureBlock) {
  ASSERT_EQ(ErrInitialize(ERR_MODE_SINK, "mytask", 0, 0, 0, Word(&RecordingSink)), 1u);
  g_sinkResult = 42;
  std::uint32_t index = 0;
  const std::string out = CaptureStdout([&] {
    ErrPutError(nullptr, 0.0, 0x8000, 9, "C:\\a\\b\\memory", 429, &index, "size %d", 10);
  });
  EXPECT_EQ(index, 42u);
  EXPECT_EQ(out,
            "HubSendResource failed with error 42\n"
            "The following error was not sent:\n"
            "  Task: mytask\n"
            "  File: memory\n"
            "  Line: 429\n"
            "  Time: 0.000000\n"
            "  Sev : 32768\n"
            "  Err : 9\n"
            "  Msg : size 10\n\n");

  // A delivered record prints nothing.
  g_sinkResult = 0;
  index = 5;
  EXPECT_EQ(CaptureStdout([&] { ErrPutError(nullptr, 2.0, 1, 1, "f", 1, &index, "x"); }), "");
  EXPECT_EQ(index, 0u);

  // Without a sink function every record counts as refused.
  ASSERT_EQ(ErrInitialize(ERR_MODE_SINK, nullptr, 0, 0, 0, 0), 1u);
  const std::string refused =
      CaptureStdout([&] { ErrPutError(nullptr, 0.0, 1, 1, "f", 1, &index, "x"); });
  EXPECT_EQ(index, 87u);
  EXPECT_EQ(refused.substr(0, 37), "HubSendResource failed with error 87\n");
}

TEST(ErrorConsole, LineCarriesStampFileLineLetterAndNumber) {
  FakeClock clock(kNoon);
  ASSERT_EQ(ErrInitialize(ERR_MODE_CONSOLE, "t", 0, 0, 0, 0), 1u);
  std::uint32_t index = 0;
  const std::string out = CaptureStdout([&] {
    ErrPutError(nullptr, 5.0, 0x8000, 9, "C:\\src\\base\\memory", 429, &index,
                "Exceeded MaxAmountMemoryAllowed %lu > %lu", 10000025UL, 10000000UL);
  });
  EXPECT_EQ(out,
            "124846(  memory:0429)E0009 Exceeded MaxAmountMemoryAllowed 10000025 > 10000000\n");
  EXPECT_EQ(index, 1u);

  // Only the backslash separates; the file part is cut to 8 characters.
  EXPECT_EQ(CaptureStdout([] {
              ErrPutError(nullptr, 0, 0x2000, 12345, "src/base/thing.cpp", 123456, nullptr, "m");
            }),
            "124846(src/base:123456)I12345 m\n");
  EXPECT_EQ(CaptureStdout([] { ErrPutError(nullptr, 0, 0x1000, 0, nullptr, 0, nullptr, nullptr); }),
            "124846( Unknown:0000)D0000 \n");
  EXPECT_EQ(CaptureStdout([] { ErrPutError(nullptr, 0, 0x1000, 0, "dir\\", 1, nullptr, "e"); }),
            "124846(        :0001)D0000 e\n");
}

TEST(ErrorConsole, SeverityLetters) {
  FakeClock clock(kNoon);
  ASSERT_EQ(ErrInitialize(ERR_MODE_CONSOLE, nullptr, 0, 0, 0, 0), 1u);
  const struct {
    std::uint32_t severity;
    char letter;
  } cases[] = {{0x8000, 'E'}, {0x4000, 'W'},  {0x2000, 'I'}, {0x1000, 'D'}, {0x0001, 'a'},
               {0x0002, 'b'}, {0x0004, 'c'},  {0x0800, 'l'}, {0x8001, 'a'}, {0xC000, 'o'},
               {0x0300, 'i'}, {0x10000, 'q'}, {0, '?'}};
  for (const auto &c : cases) {
    const std::string expected = std::string("124846(  file.c:0007)") + c.letter + "0001 x\n";
    EXPECT_EQ(ConsoleLine(c.severity, 1, "x"), expected) << "severity " << c.severity;
  }
}

TEST(ErrorConsole, NumbersWithMessageFormats) {
  FakeClock clock(kNoon);
  ASSERT_EQ(ErrInitialize(ERR_MODE_CONSOLE, nullptr, 0, 0, 0, 0), 1u);
  const char *expected[] = {
      "Open failed on file: x.ini",
      "Read failed on file: x.ini",
      "Write failed on file: x.ini",
      "Malloc failed",
      "Thread start failed for thread: x.ini",
      "Font load failed for font: x.ini",
      "Internal error",
      "Bad format in file: x.ini",
  };
  for (std::uint32_t number = 100; number <= 107; ++number) {
    const std::string line = ConsoleLine(0x4000, number, "x.ini");
    EXPECT_EQ(line, "124846(  file.c:0007)W0" + std::to_string(number) + " " +
                        expected[number - 100] + "\n");
    ASSERT_NE(ErrGetMessage(number), nullptr);
  }
  EXPECT_EQ(ErrGetMessage(99), nullptr);
  EXPECT_EQ(ErrGetMessage(108), nullptr);
  EXPECT_EQ(ErrGetMessage(0), nullptr);
  // A message format never reads a second argument the caller did not give.
  EXPECT_EQ(ConsoleLine(0x4000, 108, "%s %s"), "124846(  file.c:0007)W0108 %s %s\n");
  EXPECT_EQ(ConsoleLine(0x4000, 100, "%s%n"),
            "124846(  file.c:0007)W0100 Open failed on file: %s%n\n");
}

TEST(ErrorConsole, ModesFiveAndSixWriteTheDailyLog) {
  EnteredTempDir dir;
  FakeClock clock(kLastSecond);
  ASSERT_EQ(ErrInitialize(ERR_MODE_BOTH, "demo", 0, 0, 0, 0), 1u);
  const std::string out = CaptureStdout(
      [] { ErrPutError(nullptr, 0.0, 0x4000, 101, "C:\\src\\base\\file.c", 3, nullptr, "x.ini"); });
  EXPECT_EQ(out, "235959(  file.c:0003)W0101 Read failed on file: x.ini\n");
  EXPECT_EQ(ReadFile(dir.File("demo.20010815.log")), out);

  // Past midnight the next report goes to the next day's file.
  clock.Set(kLastSecond + 2);
  ASSERT_EQ(ErrInitialize(ERR_MODE_LOG, nullptr, 0, 0, 0, 0), 1u);
  std::uint32_t index = 0;
  EXPECT_EQ(CaptureStdout([&] {
              ErrPutError("other", 0.0, 0x8000, 2, "a\\b", 4, &index, "after");
              ErrPutError(nullptr, 0.0, 0x0001, 2, "a\\b", 5, nullptr, "again");
            }),
            "");
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(ReadFile(dir.File("other.20010816.log")), "000001(       b:0004)E0002 after\n");
  EXPECT_EQ(ReadFile(dir.File("demo.20010816.log")), "000001(       b:0005)a0002 again\n");
  EXPECT_EQ(ReadFile(dir.File("demo.20010815.log")), out) << "the old day's file is left alone";

  // A log file that cannot be opened is skipped; standard output still gets
  // the line in mode 5.
  ASSERT_EQ(ErrInitialize(ERR_MODE_BOTH, "no\\such\\dir/task", 0, 0, 0, 0), 1u);
  EXPECT_EQ(CaptureStdout([&] { ErrPutError(nullptr, 0, 1, 1, "f", 1, &index, "m"); }),
            "000001(       f:0001)a0001 m\n");
  EXPECT_EQ(index, 1u);
}

TEST(ErrorConsole, ConcurrentLogLinesAreNeitherLostNorTorn) {
  EnteredTempDir dir;
  FakeClock clock(kNoon);
  ASSERT_EQ(ErrInitialize(ERR_MODE_LOG, "many", 0, 0, 0, 0), 1u);
  constexpr int kThreads = 8;
  constexpr int kLines = 400;
  const std::string padding(300, 'p');
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &padding] {
      for (int i = 0; i < kLines; ++i) {
        ErrPutError(nullptr, 0, 0x2000, 1, "f", 1, nullptr, "t%d-l%03d %s", t, i, padding.c_str());
      }
    });
  }
  for (auto &thread : threads) thread.join();

  const std::string log = ReadFile(dir.File("many.20010815.log"));
  std::vector<int> seen(kThreads * kLines, 0);
  std::size_t start = 0;
  int lines = 0;
  while (start < log.size()) {
    const std::size_t end = log.find('\n', start);
    ASSERT_NE(end, std::string::npos) << "unterminated last line";
    const std::string line = log.substr(start, end - start);
    int t = -1;
    int i = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "124846(       f:0001)I0001 t%d-l%d", &t, &i), 2) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads && i >= 0 && i < kLines) << line;
    EXPECT_EQ(line.substr(line.size() - padding.size()), padding) << "torn line: " << line;
    ++seen[t * kLines + i];
    ++lines;
    start = end + 1;
  }
  EXPECT_EQ(lines, kThreads * kLines);
  for (int count : seen) EXPECT_EQ(count, 1);
}

TEST(ErrorCallback, GetsSeverityAndFormattedMessage) {
  ASSERT_EQ(ErrInitialize(ERR_MODE_CALLBACK, nullptr, Word(&RecordingCallback), 0, 0, 0), 1u);
  std::uint32_t index = 4;
  ErrPutError(nullptr, 0, 0x0010, 104, "f", 1, &index, "job %s #%u", "worker", 3u);
  ErrPutError(nullptr, 0, 0x8000, 1, "f", 1, nullptr, nullptr);
  EXPECT_EQ(index, 0u);
  ASSERT_EQ(g_callbackCalls.size(), 2u);
  EXPECT_EQ(g_callbackCalls[0].severity, 0x0010u);
  EXPECT_EQ(g_callbackCalls[0].message, "job worker #3") << "no message format in mode 4";
  EXPECT_EQ(g_callbackCalls[1].message, "");

  // A callback mode without a callback drops the report.
  ASSERT_EQ(ErrInitialize(ERR_MODE_CALLBACK, nullptr, 0, 0, 0, 0), 1u);
  index = 4;
  ErrPutError(nullptr, 0, 1, 1, "f", 1, &index, "lost");
  EXPECT_EQ(index, 0u);
}

TEST(ErrorBounds, OverlongTextsAreCutNeverOverrun) {
  EnteredTempDir dir;
  FakeClock clock(kNoon);
  const std::string hugeMessage(2000, 'M');
  const std::string longTask(300, 'T');
  const std::string longFile = "C:\\" + std::string(600, 'F');

  ASSERT_EQ(ErrInitialize(ERR_MODE_CALLBACK, nullptr, Word(&RecordingCallback), 0, 0, 0), 1u);
  ErrPutError(nullptr, 0, 1, 1, "f", 1, nullptr, "%s", hugeMessage.c_str());
  ErrPutError(nullptr, 0, 1, 1, "f", 1, nullptr, "%0900d", 7);
  ASSERT_EQ(g_callbackCalls.size(), 2u);
  EXPECT_EQ(g_callbackCalls[0].message, std::string(511, 'M'));
  EXPECT_EQ(g_callbackCalls[1].message, std::string(511, '0'));

  ASSERT_EQ(ErrInitialize(ERR_MODE_BOTH, longTask.c_str(), 0, 0, 0, 0), 1u);
  std::string out = CaptureStdout([&] {
    ErrPutError(nullptr, 0, 0x8000, 1, longFile.c_str(), 1, nullptr, "%s", hugeMessage.c_str());
    ErrPutError(longTask.c_str(), 0, 0x8000, 100, "f", 1, nullptr, "%s", hugeMessage.c_str());
  });
  const std::size_t firstEnd = out.find('\n');
  ASSERT_NE(firstEnd, std::string::npos);
  EXPECT_EQ(firstEnd, 511u);
  EXPECT_EQ(out.substr(0, 27), "124846(FFFFFFFF:0001)E0001 ");
  const std::string second = out.substr(firstEnd + 1);
  EXPECT_EQ(second, "124846(       f:0001)E0100 " +
                        ("Open failed on file: " + std::string(127 - 21, 'M')) + "\n");

  // A task name short enough for the host still names the file, cut to fit.
  const std::string task240(240, 'k');
  ErrPutError(task240.c_str(), 0, 0x8000, 1, "f", 1, nullptr, "fits");
  EXPECT_EQ(ReadFile(dir.File(task240 + ".20010815.log")), "124846(       f:0001)E0001 fits\n");

  ASSERT_EQ(ErrInitialize(ERR_MODE_SINK, longTask.c_str(), 0, 0, 0, Word(&RecordingSink)), 1u);
  ErrPutError(nullptr, 0, 1, 1, longFile.c_str(), 1, nullptr, "%0900d", 1);
  ASSERT_EQ(g_sinkCalls.size(), 1u);
  EXPECT_EQ(Field(g_sinkCalls[0].bytes + 20, 13), std::string(13, 'F'));
  EXPECT_EQ(Field(g_sinkCalls[0].bytes + 33, 256), std::string(256, '0'));
}

}  // namespace
