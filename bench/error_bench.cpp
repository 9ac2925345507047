// error_bench.cpp - the cost of a report: a console report (mode 3) against
// one fprintf of the same line, and a table report (mode 2) against an
// uncontended mutex pair plus formatting the message. Standard output is
// pointed at /dev/null while a console benchmark runs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "bench_support.h"
#include "qorb32n.h"

namespace {

constexpr const char *kSource = "C:\\src\\base\\memory";
constexpr const char *kFormat = "Exceeded MaxAmountMemoryAllowed %lu > %lu";

// Sends standard output to /dev/null for the length of one benchmark run.
class QuietStdout {
 public:
  QuietStdout() : saved_(dup(STDOUT_FILENO)) {
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
  QuietStdout(const QuietStdout &) = delete;
  QuietStdout &operator=(const QuietStdout &) = delete;

 private:
  int saved_;
};

void BM_FprintfLine(benchmark::State &state) {
  const QuietStdout quiet;
  for (auto _ : state) {
    std::fprintf(stdout, "%s(%8.8s:%04u)%c%04u Exceeded MaxAmountMemoryAllowed %lu > %lu\n",
                 "124846", "memory", 429u, 'E', 9u, 10000025UL, 10000000UL);
  }
}
BENCHMARK(BM_FprintfLine)->Name("error/console_report/peer");

void BM_ConsoleReport(benchmark::State &state) {
  ErrInitialize(ERR_MODE_CONSOLE, "bench", 0, 0, 0, 0);
  const QuietStdout quiet;
  for (auto _ : state) {
    ErrPutError(nullptr, 0.0, ERR_SEV_ERROR, 9, kSource, 429, nullptr, kFormat, 10000025UL,
                10000000UL);
  }
  qorb::bench::InitializeLibrary();
}
BENCHMARK(BM_ConsoleReport)->Name("error/console_report/qorb");

void BM_MutexPairAndFormat(benchmark::State &state) {
  SemMutexHandle mutex = 0;
  SemCreateMutex(&mutex, nullptr, 0, 0);
  char message[512];
  for (auto _ : state) {
    std::snprintf(message, sizeof message, kFormat, 10000025UL, 10000000UL);
    benchmark::DoNotOptimize(message);
    SemRequestMutex(&mutex, 1000);
    SemReleaseMutex(&mutex);
  }
  SemCloseMutex(&mutex);
}
BENCHMARK(BM_MutexPairAndFormat)->Name("error/table_report/peer");

// Records one entry per iteration; every 48 reports the table is emptied
// outside the timing, so that it never fills.
void BM_TableReport(benchmark::State &state) {
  ErrInitialize(ERR_MODE_TABLE, "bench", 0, 0, 0, 0);
  constexpr int kBatch = 48;
  std::uint32_t slots[kBatch];
  int filled = 0;
  for (auto _ : state) {
    std::uint32_t index = 0;
    ErrPutError(nullptr, 0.0, ERR_SEV_WARNING, 9, kSource, 429, &index, kFormat, 10000025UL,
                10000000UL);
    slots[filled++] = index;
    if (filled == kBatch) {
      state.PauseTiming();
      for (std::uint32_t slot : slots) ErrClearError(slot);
      filled = 0;
      state.ResumeTiming();
    }
  }
  for (int i = 0; i < filled; ++i) ErrClearError(slots[i]);
  qorb::bench::InitializeLibrary();
}
BENCHMARK(BM_TableReport)->Name("error/table_report/qorb");

}  // namespace
