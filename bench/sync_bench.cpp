// sync_bench.cpp - the Sem family against the pthread calls a programmer
// would use instead: an uncontended request/release pair on an unnamed
// mutex against lock/unlock of a recursive pthread mutex, and an event wait
// on a posted event. glibc takes its mutexes without locked instructions
// while a process has a single thread, and so does the library; each pair is
// therefore measured alone (Arg 0) and with one idle thread running (Arg 1).
// The ratio to hold: Sem pair / pthread pair at most 1.5 in both settings.
#include <benchmark/benchmark.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "qorb32n.h"

namespace {

// A thread that sleeps until dropped, so the process is multi-threaded.
class IdleThread {
 public:
  IdleThread()
      : thread_([this] {
          while (!stop_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }) {}
  ~IdleThread() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

std::unique_ptr<IdleThread> IdleThreadIf(const benchmark::State &state) {
  return state.range(0) != 0 ? std::make_unique<IdleThread>() : nullptr;
}

void BM_SemRequestReleaseMutex(benchmark::State &state) {
  auto idle = IdleThreadIf(state);
  SemMutexHandle m = 0;
  SemCreateMutex(&m, nullptr, 0, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(SemRequestMutex(&m, SEM_INDEFINITE_WAIT));
    benchmark::DoNotOptimize(SemReleaseMutex(&m));
  }
  SemCloseMutex(&m);
}

void BM_PthreadRecursiveLockUnlock(benchmark::State &state) {
  auto idle = IdleThreadIf(state);
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_t mutex;
  pthread_mutex_init(&mutex, &attributes);
  for (auto _ : state) {
    benchmark::DoNotOptimize(pthread_mutex_lock(&mutex));
    benchmark::DoNotOptimize(pthread_mutex_unlock(&mutex));
  }
  pthread_mutex_destroy(&mutex);
  pthread_mutexattr_destroy(&attributes);
}

// Single-threaded first: once a thread has started, glibc never counts the
// process as single-threaded again.
BENCHMARK(BM_PthreadRecursiveLockUnlock)->Arg(0);
BENCHMARK(BM_SemRequestReleaseMutex)->Arg(0);
BENCHMARK(BM_PthreadRecursiveLockUnlock)->Arg(1);
BENCHMARK(BM_SemRequestReleaseMutex)->Arg(1);

void BM_SemNestedRequestRelease(benchmark::State &state) {
  SemMutexHandle m = 0;
  SemCreateMutex(&m, nullptr, 0, 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(SemRequestMutex(&m, SEM_INDEFINITE_WAIT));
    benchmark::DoNotOptimize(SemReleaseMutex(&m));
  }
  SemReleaseMutex(&m);
  SemCloseMutex(&m);
}
BENCHMARK(BM_SemNestedRequestRelease);

void BM_SemWaitPostedEvent(benchmark::State &state) {
  SemEventHandle e = 0;
  SemCreateEvent(&e, nullptr, 0, 1);
  for (auto _ : state) benchmark::DoNotOptimize(SemWaitEvent(&e, 0));
  SemCloseEvent(&e);
}
BENCHMARK(BM_SemWaitPostedEvent);

void BM_SemNamedRequestRelease(benchmark::State &state) {
  SemMutexHandle m = 0;
  SemCreateMutex(&m, "qorb32n-bench-mutex", 0, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(SemRequestMutex(&m, SEM_INDEFINITE_WAIT));
    benchmark::DoNotOptimize(SemReleaseMutex(&m));
  }
  SemCloseMutex(&m);
}
BENCHMARK(BM_SemNamedRequestRelease);

}  // namespace
