// Handing a job to an idle worker against a bare event post-and-wake: both
// measured as a round trip (the woken side answers on a second event).
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "qorb32n.h"

namespace {

// A manual-reset flag with a condition variable: the peer a programmer
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

void BM_BareEventRoundTrip(benchmark::State &state) {
  Flag ping;
  Flag pong;
  bool stop = false;
  std::thread peer([&] {
    for (;;) {
      ping.WaitAndReset();
      if (stop) return;
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
BENCHMARK(BM_BareEventRoundTrip)->UseRealTime();

SemEventHandle g_done = 0;

void AnswerJob(uintptr_t) {
  SemPostEvent(&g_done);
}

void BM_PoolJobRoundTrip(benchmark::State &state) {
  ErrInitialize(ERR_MODE_CALLBACK, "bench", 0, 0, 0, 0);
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
BENCHMARK(BM_PoolJobRoundTrip)->UseRealTime();

}  // namespace
