// links_bench.cpp - sorting a list of 100000 items against std::list::sort,
// on a list built in one go and on one whose items were allocated scattered
// among other blocks and linked at either end at random (so that neither
// side walks its memory in order); and the O(1) insertions and removals
// against std::list.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <list>
#include <memory>
#include <random>
#include <vector>

#include "bench_support.h"
#include "qorb32n.h"

namespace {

constexpr int kItems = 100000;

std::vector<int> RandomValues() {
  std::mt19937 random(42);
  std::vector<int> values(kItems);
  for (int &value : values) value = static_cast<int>(random());
  return values;
}

int LessOrEqual(void *a, void *b) {
  return *static_cast<int *>(a) <= *static_cast<int *>(b);
}

// Filler blocks of 16 to 271 bytes allocated between the items, freed with
// the list; the same sequence for both sides.
class Scatter {
 public:
  explicit Scatter(bool scattered) : scattered_(scattered) {}
  ~Scatter() {
    for (void *block : blocks_) std::free(block);
  }
  Scatter(const Scatter &) = delete;
  Scatter &operator=(const Scatter &) = delete;
  // Allocates a filler when scattering; answers whether to link at the head.
  bool Next() {
    if (!scattered_) return false;
    blocks_.push_back(std::malloc(16 + random_() % 256));
    return random_() % 2 == 0;
  }

 private:
  bool scattered_;
  std::mt19937 random_{7};
  std::vector<void *> blocks_;
};

void StdListSort(benchmark::State &state) {
  std::vector<int> values = RandomValues();
  for (auto _ : state) {
    state.PauseTiming();
    std::list<int *> list;
    {
      Scatter scatter(state.range(0) != 0);
      for (int &value : values) {
        if (scatter.Next()) {
          list.push_front(&value);
        } else {
          list.push_back(&value);
        }
      }
      state.ResumeTiming();
      list.sort([](const int *a, const int *b) { return *a < *b; });
      benchmark::DoNotOptimize(list.front());
      state.PauseTiming();
    }
    list.clear();
    state.ResumeTiming();
  }
}

void LstSortList(benchmark::State &state) {
  qorb::bench::InitializeLibrary();
  std::vector<int> values = RandomValues();
  for (auto _ : state) {
    state.PauseTiming();
    LstList *list = LstNewList(0);
    {
      Scatter scatter(state.range(0) != 0);
      for (int &value : values) LstInsert(list, &value, scatter.Next() ? 0 : LST_AT_END);
      state.ResumeTiming();
      LstSort(list, LessOrEqual);
      benchmark::DoNotOptimize(list->first);
      state.PauseTiming();
    }
    LstFreeList_(list);
    state.ResumeTiming();
  }
}

void StdListPushPop(benchmark::State &state) {
  std::list<void *> list;
  for (auto _ : state) {
    list.push_back(&list);
    list.pop_front();
  }
}

void LstInsertDelete(benchmark::State &state) {
  qorb::bench::InitializeLibrary();
  LstList *list = LstNewList(0);
  for (auto _ : state) {
    LstInsert(list, list, LST_AT_END);
    LstDelete(list->first);
  }
  LstFreeList_(list);
}

}  // namespace

BENCHMARK(StdListSort)
    ->Name("links/sort_built_in_one_go/peer")
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(LstSortList)
    ->Name("links/sort_built_in_one_go/qorb")
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(StdListSort)->Name("links/sort_scattered/peer")->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(LstSortList)->Name("links/sort_scattered/qorb")->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(StdListPushPop)->Name("links/insert_delete/peer");
BENCHMARK(LstInsertDelete)->Name("links/insert_delete/qorb");
