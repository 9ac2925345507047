// memory_bench.cpp - a tracked allocation and free against what a programmer
// would write instead: malloc, clearing the block, free; on one and four
// threads, from 16 bytes to 64 KiB.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "bench_support.h"
#include "qorb32n.h"

namespace {

void MallocMemsetFree(benchmark::State &state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    void *block = std::malloc(size);
    std::memset(block, 0, size);
    benchmark::DoNotOptimize(block);
    std::free(block);
  }
}

void MemAllocFree(benchmark::State &state) {
  qorb::bench::InitializeLibrary();
  const auto size = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    void *block = MemAllocMem_(size, __LINE__, __FILE__);
    benchmark::DoNotOptimize(block);
    MemFreeMem_(block);
  }
}

// Many live blocks: unlinking stays O(1) wherever the block stands.
void MemAllocFreeAmongLive(benchmark::State &state) {
  qorb::bench::InitializeLibrary();
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

void Sizes(benchmark::internal::Benchmark *b) {
  for (int size : {16, 64, 1024, 4096, 65536}) b->Arg(size);
  b->Threads(1)->Threads(4)->UseRealTime();
}

}  // namespace

BENCHMARK(MallocMemsetFree)->Name("memory/alloc_free/peer")->Apply(Sizes);
BENCHMARK(MemAllocFree)->Name("memory/alloc_free/qorb")->Apply(Sizes);
BENCHMARK(MemAllocFreeAmongLive)->Name("memory/alloc_free_among_1000_live/qorb");
