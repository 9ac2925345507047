// platform_test.cpp - the POSIX platform layer's threads, priorities, clock
// hook and file opening.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>

#include "platform/platform.h"

namespace plat = qorb::plat;

namespace {

int HostNice() {
  errno = 0;
  return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
}

struct ThreadProbe {
  std::mutex lock;
  std::condition_variable done;
  bool finished = false;
  char text[128] = {};
  int priority = 99;
  int nice = 99;
};

void ProbeThread(void *argument) {
  auto *probe = static_cast<ThreadProbe *>(argument);
  // stdio with a large formatting job: overruns a 16 KiB stack under glibc.
  char scratch[64];
  (void)std::snprintf(scratch, sizeof scratch, "%s %.3f %08x", "worker", 2.5, 0xBEEFu);
  std::FILE *stream = std::tmpfile();
  if (stream != nullptr) {
    (void)std::fprintf(stream, "%s|%Lg", scratch, 1.0L / 3);
    std::rewind(stream);
    if (std::fgets(scratch, sizeof scratch, stream) == nullptr) scratch[0] = '\0';
    (void)std::fclose(stream);
  }
  std::lock_guard<std::mutex> guard(probe->lock);
  (void)std::snprintf(probe->text, sizeof probe->text, "%s", scratch);
  probe->priority = plat::GetCurrentThreadPriority();
  probe->nice = HostNice();
  probe->finished = true;
  probe->done.notify_all();
}

std::time_t FixedClock() {
  return 1234567890;
}

}  // namespace

TEST(PlatformThread, RunsWithArgumentStdioAndOwnPriority) {
  // A new thread starts at normal priority whatever its creator runs at,
  // where this user may raise it back from the level the host passes on.
  ASSERT_EQ(plat::SetCurrentThreadPriority(plat::kPriorityLowest), 0u);
  ThreadProbe probe;
  const std::uint32_t first = plat::BeginThread(ProbeThread, 16384, &probe);
  ASSERT_NE(first, 0u);
  ASSERT_NE(first, 0xFFFFFFFFu);
  {
    std::unique_lock<std::mutex> guard(probe.lock);
    ASSERT_TRUE(
        probe.done.wait_for(guard, std::chrono::seconds(30), [&] { return probe.finished; }));
  }
  EXPECT_STREQ(probe.text, "worker 2.500 0000beef|0.333333");
  EXPECT_EQ(probe.priority, geteuid() == 0 ? plat::kPriorityNormal : plat::kPriorityLowest);
  EXPECT_EQ(probe.nice, probe.priority == plat::kPriorityNormal ? 0 : 10);
  EXPECT_EQ(plat::GetCurrentThreadPriority(), plat::kPriorityLowest);

  ThreadProbe second;
  const std::uint32_t other = plat::BeginThread(ProbeThread, 0, &second);
  EXPECT_NE(other, first);
  std::unique_lock<std::mutex> guard(second.lock);
  ASSERT_TRUE(
      second.done.wait_for(guard, std::chrono::seconds(30), [&] { return second.finished; }));
  EXPECT_EQ(plat::BeginThread(nullptr, 0, nullptr), 0xFFFFFFFFu);
  plat::SetCurrentThreadPriority(plat::kPriorityNormal);
}

TEST(PlatformThread, PriorityLevelsReadBackAndReachTheHost) {
  EXPECT_EQ(plat::GetCurrentThreadPriority(), plat::kPriorityNormal);
  const struct {
    int level;
    int nice;
  } lowering[] = {
      {plat::kPriorityBelowNormal, 5}, {plat::kPriorityLowest, 10}, {plat::kPriorityIdle, 19}};
  for (const auto &step : lowering) {
    EXPECT_EQ(plat::SetCurrentThreadPriority(step.level), 0u) << step.level;
    EXPECT_EQ(plat::GetCurrentThreadPriority(), step.level);
    EXPECT_EQ(HostNice(), step.nice);
  }
  EXPECT_EQ(plat::SetCurrentThreadPriority(3), 87u);
  EXPECT_EQ(plat::SetCurrentThreadPriority(-3), 87u);
  EXPECT_EQ(plat::GetLastError(), 87u);
  EXPECT_EQ(plat::GetCurrentThreadPriority(), plat::kPriorityIdle);

  // Raising needs the privilege to lower a nice value (CI runs as root).
  const std::uint32_t raised = plat::SetCurrentThreadPriority(plat::kPriorityTimeCritical);
  if (raised != 0) {
    EXPECT_EQ(raised, 5u);
    EXPECT_EQ(plat::GetCurrentThreadPriority(), plat::kPriorityIdle);
    GTEST_SKIP() << "this user may not raise a thread's priority";
  }
  EXPECT_EQ(plat::GetCurrentThreadPriority(), plat::kPriorityTimeCritical);
  EXPECT_EQ(HostNice(), -20);
  EXPECT_EQ(plat::SetCurrentThreadPriority(plat::kPriorityAboveNormal), 0u);
  EXPECT_EQ(HostNice(), -5);
  EXPECT_EQ(plat::SetCurrentThreadPriority(plat::kPriorityHighest), 0u);
  EXPECT_EQ(HostNice(), -10);
  EXPECT_EQ(plat::GetCurrentThreadPriority(), plat::kPriorityHighest);
}

// Without privilege and with no nice allowance, a lowered thread may not be
// raised again: the refusal is access denied and the level stays. The
// privilege is dropped only in the death test's child process.
TEST(PlatformThreadDeathTest, RefusedRaiseReportsAccessDenied) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
  GTEST_FLAG_SET(death_test_style, "fast");
  const auto refuseRaise = [] {
    const rlimit noNice{0, 0};
    if (setrlimit(RLIMIT_NICE, &noNice) != 0) std::_Exit(10);
    if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) std::_Exit(11);
    if (plat::SetCurrentThreadPriority(plat::kPriorityLowest) != 0) std::_Exit(12);
    if (plat::SetCurrentThreadPriority(plat::kPriorityNormal) != 5) std::_Exit(13);
    if (plat::GetLastError() != 5) std::_Exit(14);
    if (plat::GetCurrentThreadPriority() != plat::kPriorityLowest) std::_Exit(15);
    if (HostNice() != 10) std::_Exit(16);
    std::_Exit(0);
  };
  EXPECT_EXIT(refuseRaise(), testing::ExitedWithCode(0), "");
}

TEST(PlatformClock, TestSourceReplacesAndRestoresTheClock) {
  const std::time_t before = std::time(nullptr);
  EXPECT_GE(plat::CurrentTime(), before);
  plat::SetClockSourceForTesting(FixedClock);
  EXPECT_EQ(plat::CurrentTime(), 1234567890);
  plat::SetClockSourceForTesting(nullptr);
  const std::time_t after = plat::CurrentTime();
  EXPECT_GE(after, before);
  EXPECT_LE(after, std::time(nullptr));
}

TEST(PlatformFile, OpensBackslashAndDrivePathNames) {
  namespace fs = std::filesystem;
  char pattern[] = "/tmp/qorb_platform_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path dir = pattern;
  fs::create_directory(dir / "sub");
  {
    std::FILE *out = std::fopen((dir / "sub" / "a.txt").c_str(), "w");
    ASSERT_NE(out, nullptr);
    (void)std::fputs("hello\n", out);
    (void)std::fclose(out);
  }
  std::string windowsName = "C:" + dir.string() + "/sub/a.txt";
  for (char &c : windowsName) c = c == '/' ? '\\' : c;
  const std::string withoutDrive = windowsName.substr(2);
  for (const std::string &name : {windowsName, withoutDrive}) {
    std::FILE *in = plat::OpenFile(name.c_str(), "r");
    ASSERT_NE(in, nullptr) << name;
    char line[16] = {};
    EXPECT_NE(std::fgets(line, sizeof line, in), nullptr);
    EXPECT_STREQ(line, "hello\n");
    (void)std::fclose(in);
  }
  // Writing through a backslash name lands in the directory named.
  std::string created = windowsName;
  created.replace(created.size() - 5, 5, "b.txt");
  std::FILE *out = plat::OpenFile(created.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  (void)std::fclose(out);
  EXPECT_TRUE(fs::exists(dir / "sub" / "b.txt"));

  EXPECT_EQ(plat::OpenFile((withoutDrive + ".missing").c_str(), "r"), nullptr);
  EXPECT_EQ(plat::GetLastError(), 2u);
  EXPECT_EQ(plat::OpenFile("Q:\\nowhere.txt", "r"), nullptr);
  EXPECT_EQ(plat::OpenFile(nullptr, "r"), nullptr);
  EXPECT_EQ(plat::GetLastError(), 87u);
  EXPECT_EQ(plat::OpenFile("", "r"), nullptr);
  const std::string overlong(5000, 'x');
  EXPECT_EQ(plat::OpenFile(overlong.c_str(), "w"), nullptr);
  fs::remove_all(dir);
}
