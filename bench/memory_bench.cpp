// memory_bench.cpp - a tracked allocation and free against what a programmer
// would write instead: malloc, clearing the block, free.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "qorb32n.h"

namespace {

void InitializeOnce() {
  static const bool initialized = [] {
    return ErrInitialize(ERR_MODE_CONSOLE, "bench", 0, 0, 0, 0) == 1;
  }();
  benchmark::DoNotOptimize(initialized);
}

void BM_MallocMemsetFree(benchmark::State &state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    void *block = std::malloc(size);
    std::memset(block, 0, size);
    benchmark::DoNotOptimize(block);
    std::free(block);
  }
}

void BM_MemAllocFree(benchmark::State &state) {
  InitializeOnce();
  const auto size = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    void *block = MemAllocMem_(size, __LINE__, __FILE__);
    benchmark::DoNotOptimize(block);
    MemFreeMem_(block);
  }
}

// Many live blocks: unlinking stays O(1) wherever the block stands.
void BM_MemAllocFreeAmongLive(benchmark::State &state) {
  InitializeOnce();
  void *live[1000];
  for (void *&block : live) block = MemAllocMem_(32, __LINE__, __FILE__);
  std::size_t next = 0;
  for (auto _ : state) {
    MemFreeMem_(live[next]);
    live[next] = MemAllocMem_(64, __LINE__, __FILE__);
    next = (next + 397) % 1000;
  }
  for (void *block : live) MemFreeMem_(block);
}

}  // namespace

BENCHMARK(BM_MallocMemsetFree)->Arg(64)->Arg(4096)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK(BM_MemAllocFree)->Arg(64)->Arg(4096)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK(BM_MemAllocFreeAmongLive);
