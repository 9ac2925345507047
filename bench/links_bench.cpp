// links_bench.cpp - sorting a list of 100000 items against std::list::sort,
// and the O(1) insertions and removals against std::list.
#include <benchmark/benchmark.h>

#include <list>
#include <random>
#include <vector>

#include "qorb32n.h"

namespace {

constexpr int kItems = 100000;

void InitializeOnce() {
  static const bool initialized = [] {
    ErrInitialize(ERR_MODE_CONSOLE, "bench", 0, 0, 0, 0);
    MemSetLimits(0xFFFFFFFFu, 0xFFFFFFFFu, 0);  // 100000 items are above the default
    return true;
  }();
  benchmark::DoNotOptimize(initialized);
}

std::vector<int> RandomValues() {
  std::mt19937 random(42);
  std::vector<int> values(kItems);
  for (int &value : values) value = static_cast<int>(random());
  return values;
}

int LessOrEqual(void *a, void *b) {
  return *static_cast<int *>(a) <= *static_cast<int *>(b);
}

void BM_StdListSort(benchmark::State &state) {
  std::vector<int> values = RandomValues();
  for (auto _ : state) {
    state.PauseTiming();
    std::list<int *> list;
    for (int &value : values) list.push_back(&value);
    state.ResumeTiming();
    list.sort([](const int *a, const int *b) { return *a < *b; });
    benchmark::DoNotOptimize(list.front());
  }
}

void BM_LstSort(benchmark::State &state) {
  InitializeOnce();
  std::vector<int> values = RandomValues();
  for (auto _ : state) {
    state.PauseTiming();
    LstList *list = LstNewList(0);
    for (int &value : values) LstInsert(list, &value, LST_AT_END);
    state.ResumeTiming();
    LstSort(list, LessOrEqual);
    benchmark::DoNotOptimize(list->first);
    state.PauseTiming();
    LstFreeList_(list);
    state.ResumeTiming();
  }
}

void BM_StdListPushPop(benchmark::State &state) {
  std::list<void *> list;
  for (auto _ : state) {
    list.push_back(&list);
    list.pop_front();
  }
}

void BM_LstInsertDelete(benchmark::State &state) {
  InitializeOnce();
  LstList *list = LstNewList(0);
  for (auto _ : state) {
    LstInsert(list, list, LST_AT_END);
    LstDelete(list->first);
  }
  LstFreeList_(list);
}

}  // namespace

BENCHMARK(BM_StdListSort)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LstSort)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdListPushPop);
BENCHMARK(BM_LstInsertDelete);
