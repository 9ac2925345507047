// platform_test.cpp - the platform layer's threads, priorities and file
// opening (its clock hook is exercised by the time tests).
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>

#include "platform/common/path_text.h"
#include "platform/files.h"
#include "platform/thread.h"
#include "support/host.h"
#include "support/posix_only.h"
#include "support/temp_directory.h"

namespace plat = qorb::plat;

namespace {

// What the host says of the calling thread's priority: the nice value on
// Linux, the thread's own level on Windows.
int HostNice() {
#ifdef _WIN32
  return GetThreadPriority(GetCurrentThread());
#else
  return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
#endif
}

// The value HostNice gives for a level, which maps to `nice` on Linux.
int HostValueOf([[maybe_unused]] int level, [[maybe_unused]] int nice) {
#ifdef _WIN32
  return level;
#else
  return nice;
#endif
}

// Writes a 4817-digit number to an unbuffered stream, as stderr is: glibc
// formats it on the stack, which takes more than the 16 KiB a worker asks for.
std::string Formatted() {
  std::FILE *stream = std::tmpfile();
  if (stream == nullptr) return "no stream";
  (void)std::setvbuf(stream, nullptr, _IONBF, 0);
  (void)std::fprintf(stream, "%s|%Lg|%.0Lf", "worker", 1.0L / 3, std::ldexp(1.0L, 16000));
  std::rewind(stream);
  std::string text(8192, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), stream));
  (void)std::fclose(stream);
  return text;
}

struct ThreadProbe {
  std::promise<void> done;
  std::string text;
  int priority = 99, nice = 99;
} g_probe;  // what the thread saw; it outlives the thread

void ProbeThread(void *argument) {
  auto *probe = static_cast<ThreadProbe *>(argument);
  probe->text = Formatted();
  probe->priority = plat::GetCurrentThreadPriority();
  probe->nice = HostNice();
  probe->done.set_value();
}

}  // namespace

TEST(PlatformThread, RunsWithArgumentStdioAndStartsAtNormalPriority) {
  // A new thread starts at normal priority whatever its creator runs at,
  // where this user may raise it back from the level the host passes on.
  ASSERT_EQ(plat::SetCurrentThreadPriority(plat::kPriorityLowest), 0u);
  const std::uint32_t handle = plat::BeginThread(ProbeThread, 16384, &g_probe);
  ASSERT_TRUE(handle != 0 && handle != 0xFFFFFFFFu);
  ASSERT_EQ(g_probe.done.get_future().wait_for(std::chrono::seconds(30)),
            std::future_status::ready);
  EXPECT_EQ(g_probe.text.substr(0, 21), "worker|0.333333|30194");
  EXPECT_EQ(g_probe.text, Formatted());
  EXPECT_EQ(g_probe.priority, qorb::test::HostLetsThreadsRaisePriority() ? plat::kPriorityNormal
                                                                         : plat::kPriorityLowest);
  EXPECT_EQ(g_probe.nice,
            g_probe.priority == plat::kPriorityNormal ? 0 : HostValueOf(plat::kPriorityLowest, 10));
  EXPECT_EQ(plat::GetCurrentThreadPriority(), plat::kPriorityLowest);
  EXPECT_EQ(plat::BeginThread(nullptr, 0, nullptr), 0xFFFFFFFFu);
  plat::SetCurrentThreadPriority(plat::kPriorityNormal);
}

TEST(PlatformThread, PriorityLevelsReadBackAndReachTheHost) {
  // Lowering is always allowed; raising only where the host grants it.
  const bool mayRaise = qorb::test::HostLetsThreadsRaisePriority();
  const int levels[][2] = {{plat::kPriorityBelowNormal, 5},  {plat::kPriorityLowest, 10},
                           {plat::kPriorityIdle, 19},        {plat::kPriorityTimeCritical, -20},
                           {plat::kPriorityAboveNormal, -5}, {plat::kPriorityHighest, -10}};
  for (const auto &[level, nice] : levels) {
    if (nice < 0 && !mayRaise) {
      EXPECT_EQ(plat::SetCurrentThreadPriority(level), 5u) << level;
      EXPECT_EQ(plat::GetCurrentThreadPriority(), plat::kPriorityIdle);
      continue;
    }
    EXPECT_EQ(plat::SetCurrentThreadPriority(level), 0u) << level;
    EXPECT_EQ(HostNice(), HostValueOf(level, nice));
    // An unknown level is refused as invalid and changes nothing.
    EXPECT_EQ(plat::SetCurrentThreadPriority(nice > 0 ? 3 : -3), 87u);
    EXPECT_EQ(plat::LastError(), 87u);
    EXPECT_EQ(plat::GetCurrentThreadPriority(), level);
  }
  if (!mayRaise)
    GTEST_SKIP() << "raises checked as refused: this host lets no thread raise its priority";
}

// Without privilege or nice allowance (dropped in the child process only), a
// lowered thread may not be raised again: access denied, the level stays.
TEST(PlatformThreadDeathTest, RefusedRaiseReportsAccessDenied) {
  QORB_POSIX_ONLY("Windows lets every thread raise its own priority again");
  if (!qorb::test::HostCanDropPriorityRights())
    GTEST_SKIP() << "this process keeps CAP_SYS_NICE and may not change its user";
  const auto refuseRaise = [] {
    if (!qorb::test::DropPriorityRights()) std::_Exit(10);
    if (plat::SetCurrentThreadPriority(plat::kPriorityLowest) != 0) std::_Exit(12);
    if (plat::SetCurrentThreadPriority(plat::kPriorityNormal) != 5) std::_Exit(13);
    if (plat::LastError() != 5 || HostNice() != 10) std::_Exit(14);
    if (plat::GetCurrentThreadPriority() != plat::kPriorityLowest) std::_Exit(15);
    std::_Exit(0);
  };
  EXPECT_EXIT(refuseRaise(), testing::ExitedWithCode(0), "");
}

TEST(PlatformFile, OpensBackslashAndDriveNamesAndRefusesOthers) {
  namespace fs = std::filesystem;
  const fs::path dir = qorb::test::MakeTempDirectory("qorb_platform_");
  fs::create_directories(dir / "sub");
#ifdef _WIN32
  // The host's own names carry their drive; the name without it is rooted on
  // the current drive, so that drive is made current for the test.
  std::string windowsName = dir.string() + "/sub/a.txt";
  const int noted = plat::CurrentDrive();
  ASSERT_TRUE(plat::ChangeCurrentDrive(plat::DriveNumberOfLetter(windowsName[0])));
#else
  std::string windowsName = "C:" + dir.string() + "/sub/a.txt";
#endif
  for (char &c : windowsName) c = c == '/' ? '\\' : c;
  const std::string withoutDrive = windowsName.substr(2);
  // Both names reach the one file that the host name gives.
  for (const std::string &name : {windowsName, withoutDrive}) {
    std::FILE *out = plat::OpenHostFile(name.c_str(), "ab");
    ASSERT_NE(out, nullptr) << name;
    (void)std::fputs("hello\n", out);
    (void)std::fclose(out);
  }
  EXPECT_EQ(fs::file_size(dir / "sub" / "a.txt"), 12u);
  // Refusals: a missing file, another drive, an empty or overlong name, none.
  EXPECT_EQ(plat::OpenHostFile((withoutDrive + ".missing").c_str(), "r"), nullptr);
  EXPECT_EQ(plat::LastError(), 2u);
  const std::string overlong(5000, 'x');
  for (const char *name : {"Q:\\nowhere.txt", "", overlong.c_str()})
    EXPECT_FALSE(plat::OpenHostFile(name, "w"));
  EXPECT_EQ(plat::OpenHostFile(nullptr, "r"), nullptr);
  EXPECT_EQ(plat::LastError(), 87u);
#ifdef _WIN32
  plat::ChangeCurrentDrive(noted);
#endif
  fs::remove_all(dir);
}
