// sync_bench.cpp - the Sem family against what a programmer would use
// instead: an uncontended request/release pair on an unnamed mutex against
// lock/unlock of a recursive pthread mutex, and an event ping-pong between
// two threads against a flag under a std::condition_variable. glibc takes
// its mutexes without locked instructions while a process has a single
// thread, and so does the library; the mutex pair is therefore measured
// alone ("single_thread", which scripts/bench.sh runs in a process of its
// own before anything starts a thread) and with one idle thread running.
#include <benchmark/benchmark.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
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
BENCHMARK(BM_PthreadRecursiveLockUnlock)->Name("sync/mutex_pair_single_thread/peer")->Arg(0);
BENCHMARK(BM_SemRequestReleaseMutex)->Name("sync/mutex_pair_single_thread/qorb")->Arg(0);
BENCHMARK(BM_PthreadRecursiveLockUnlock)->Name("sync/mutex_pair/peer")->Arg(1);
BENCHMARK(BM_SemRequestReleaseMutex)->Name("sync/mutex_pair/qorb")->Arg(1);

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
BENCHMARK(BM_SemNestedRequestRelease)->Name("sync/nested_mutex_pair/qorb");

void BM_SemWaitPostedEvent(benchmark::State &state) {
  SemEventHandle e = 0;
  SemCreateEvent(&e, nullptr, 0, 1);
  for (auto _ : state) benchmark::DoNotOptimize(SemWaitEvent(&e, 0));
  SemCloseEvent(&e);
}
BENCHMARK(BM_SemWaitPostedEvent)->Name("sync/wait_posted_event/qorb");

void BM_SemNamedRequestRelease(benchmark::State &state) {
  SemMutexHandle m = 0;
  SemCreateMutex(&m, "qorb32n-bench-mutex", 0, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(SemRequestMutex(&m, SEM_INDEFINITE_WAIT));
    benchmark::DoNotOptimize(SemReleaseMutex(&m));
  }
  SemCloseMutex(&m);
}
BENCHMARK(BM_SemNamedRequestRelease)->Name("sync/named_mutex_pair/qorb");

// A manual-reset flag with a condition variable: the event a programmer
// would write by hand.
class Flag {
 public:
  void Post() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      posted_ = true;
    }
    wake_.notify_one();
  }
  void WaitAndReset() {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [this] { return posted_; });
    posted_ = false;
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool posted_ = false;
};

// The library's events in the same role.
class SemFlag {
 public:
  SemFlag() { SemCreateEvent(&event_, nullptr, 0, 0); }
  ~SemFlag() { SemCloseEvent(&event_); }
  SemFlag(const SemFlag &) = delete;
  SemFlag &operator=(const SemFlag &) = delete;
  void Post() { SemPostEvent(&event_); }
  void WaitAndReset() {
    uint32_t postCount = 0;
    SemWaitEvent(&event_, SEM_INDEFINITE_WAIT);
    SemResetEvent(&event_, &postCount);
  }

 private:
  SemEventHandle event_ = 0;
};

// One round trip: post ping, the peer thread wakes and posts pong back.
template <typename Event>
void PingPong(benchmark::State &state) {
  Event ping;
  Event pong;
  std::atomic<bool> stop{false};
  std::thread peer([&] {
    for (;;) {
      ping.WaitAndReset();
      if (stop.load()) return;
      pong.Post();
    }
  });
  for (auto _ : state) {
    ping.Post();
    pong.WaitAndReset();
  }
  stop = true;
  ping.Post();
  peer.join();
}
BENCHMARK(PingPong<Flag>)->Name("sync/event_ping_pong/peer")->UseRealTime();
BENCHMARK(PingPong<SemFlag>)->Name("sync/event_ping_pong/qorb")->UseRealTime();

}  // namespace
