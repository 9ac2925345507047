// thread_bench.cpp - handing a job to an idle pool worker and waiting for its
// answer, against starting a std::thread for the job and joining it.
#include <benchmark/benchmark.h>

#include <thread>

#include "bench_support.h"
#include "qorb32n.h"

namespace {

SemEventHandle g_done = 0;

void AnswerJob(uintptr_t) {
  SemPostEvent(&g_done);
}

void PoolJobRoundTrip(benchmark::State &state) {
  qorb::bench::InitializeLibrary();
  ThdInitialize(2);
  SemCreateEvent(&g_done, nullptr, 0, 0);
  uint32_t postCount = 0;
  for (auto _ : state) {
    ThdStartThreadFull(AnswerJob, 0, 0, 0, 0);
    SemWaitEvent(&g_done, SEM_INDEFINITE_WAIT);
    SemResetEvent(&g_done, &postCount);
  }
  SemCloseEvent(&g_done);
}

void ThreadCreateJoin(benchmark::State &state) {
  int answered = 0;
  for (auto _ : state) {
    std::thread job([&answered] { ++answered; });
    job.join();
  }
  benchmark::DoNotOptimize(answered);
}

}  // namespace

BENCHMARK(ThreadCreateJoin)->Name("thread/job_dispatch/peer")->UseRealTime();
BENCHMARK(PoolJobRoundTrip)->Name("thread/job_dispatch/qorb")->UseRealTime();
