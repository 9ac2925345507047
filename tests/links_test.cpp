// links_test.cpp - linked lists: a randomized run against a reference model
// checking every link after every operation, the comb sort against std::sort
// and against a model of its exchanges, NULL answers and shared lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "links/sort.h"
#include "qorb32n.h"

namespace {

int LessOrEqual(void *a, void *b) {
  return *static_cast<int *>(a) <= *static_cast<int *>(b);
}
int Less(void *a, void *b) {
  return *static_cast<int *>(a) < *static_cast<int *>(b);
}

// An item as the model expects it: the item itself and the data it carries.
using Entry = std::pair<LstItem *, void *>;

// Every link, count, position and datum of `list` against the model.
void ExpectListIs(const LstList *list, const std::vector<Entry> &model) {
  ASSERT_EQ(list->count, model.size());
  ASSERT_EQ(list->first, model.empty() ? nullptr : model.front().first);
  ASSERT_EQ(list->last, model.empty() ? nullptr : model.back().first);
  for (std::size_t k = 0; k < model.size(); ++k) {
    const LstItem *item = model[k].first;
    ASSERT_EQ(item->prev, k == 0 ? nullptr : model[k - 1].first) << "item " << k;
    ASSERT_EQ(item->next, k + 1 == model.size() ? nullptr : model[k + 1].first) << "item " << k;
    ASSERT_TRUE(item->inList == 1 && item->list == list && item->data == model[k].second) << k;
    ASSERT_EQ(item->index, list->indexed != 0 ? k : 0u) << "item " << k;
  }
}

bool IsFreeStanding(const LstItem *item) {
  return item->inList == 0 && item->prev == nullptr && item->next == nullptr && item->index == 0;
}

std::vector<Entry> EntriesOf(const LstList *list) {
  std::vector<Entry> entries;
  for (LstItem *item = list->first; item != nullptr; item = item->next) {
    entries.emplace_back(item, item->data);
  }
  return entries;
}

// The comb sort on the model: the gap shrinks by 3/4 (9 and 10 become 11);
// a pair is exchanged when the comparator does not let it stand and the two
// are not equal (0 both ways).
void CombSortModel(std::vector<Entry> &entries, LstComparator comparator) {
  std::size_t gap = entries.size();
  bool swapped = true;
  while (gap > 1 || swapped) {
    gap = std::max<std::size_t>(gap * 3 / 4, 1);
    if (gap == 9 || gap == 10) gap = 11;
    swapped = false;
    for (std::size_t i = 0; i + gap < entries.size(); ++i) {
      void *a = entries[i].second, *b = entries[i + gap].second;
      if (comparator(a, b) == 0 && comparator(b, a) != 0) {
        std::swap(entries[i], entries[i + gap]);
        swapped = true;
      }
    }
  }
}

// Leaks show as bytes still counted by the allocator after a test.
class LinksTest : public testing::Test {
 protected:
  void SetUp() override {
    ErrInitialize(ERR_MODE_CONSOLE, "lsttest", 0, 0, 0, 0);
    start_ = MemQueryMemoryAllocated();
  }
  void TearDown() override { EXPECT_EQ(MemQueryMemoryAllocated(), start_) << "blocks leaked"; }
  uint32_t start_ = 0;
};

// One randomized run of every linking operation, mirrored on the model.
void RunAgainstModel(uint32_t flags, unsigned seed) {
  std::mt19937 random(seed);
  int values[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  auto someData = [&] { return &values[random() % 9]; };
  const uint32_t bytesBefore = MemQueryMemoryAllocated();
  LstList *list = LstNewList(flags);
  std::vector<Entry> model;
  std::vector<LstItem *> loose;  // made here, not linked
  auto placeOf = [&](const LstItem *item) { return std::ranges::find(model, item, &Entry::first); };
  for (int step = 0; step < 2500 && !testing::Test::HasFatalFailure(); ++step) {
    const unsigned operation = random() % 7;
    SCOPED_TRACE(testing::Message() << "step " << step << " operation " << operation);
    LstItem *linked = model.empty() ? nullptr : model[random() % model.size()].first;
    LstItem *item = nullptr;
    switch (operation) {
      case 0: {  // at the head or the end: a loose item again, or a new one
        const uint32_t where = random() % 2 == 0 ? 0u : LST_AT_END;
        item = loose.empty() ? LstInsert(list, someData(), where) : loose.back();
        if (!loose.empty()) {
          loose.pop_back();
          ASSERT_EQ(LstInsertItem(list, item, where), 1u);
        }
        EXPECT_EQ(LstInsertItem(list, item, where), 0u);  // now linked
        model.emplace(where == 0 ? model.begin() : model.end(), item, item->data);
        break;
      }
      case 1:    // LstInsertAfter a member, or at the head with NULL
      case 2: {  // LstInsertBefore a member, or at the end with NULL
        item = LstNew(someData());
        if (random() % 4 == 0) linked = nullptr;
        const bool after = operation == 1;
        ASSERT_EQ((after ? LstInsertAfter : LstInsertBefore)(list, item, linked), 1u);
        const auto place = linked != nullptr ? placeOf(linked) + (after ? 1 : 0)
                                             : (after ? model.begin() : model.end());
        model.emplace(place, item, item->data);
        EXPECT_EQ(LstInsertBefore(list, item, nullptr), 0u);  // now linked
        break;
      }
      case 3:
      case 4:  // LstRemoveItem keeps the item, loose; LstDelete or LstFree ends it
        if (linked == nullptr) break;
        model.erase(placeOf(linked));
        if (operation == 3) {
          ASSERT_EQ(LstRemoveItem(linked), 1u);
          EXPECT_TRUE(IsFreeStanding(linked) && linked->list == list);
          EXPECT_TRUE(LstRemoveItem(linked) == 0 && LstDelete(linked) == 0);  // not linked
          loose.push_back(linked);
        } else {
          ASSERT_EQ(random() % 2 == 0 ? LstDelete(linked) : LstFree(linked), 1u);
        }
        break;
      case 5:
      case 6: {  // LstInsertSorted before the first item the datum may precede
        int *data = someData();
        const LstComparator comparator = random() % 2 == 0 ? Less : LessOrEqual;
        const auto place = std::ranges::find_if(
            model, [&](const Entry &entry) { return comparator(data, entry.second) != 0; });
        model.emplace(place, LstInsertSorted(list, data, comparator), data);
        break;
      }
    }
    ExpectListIs(list, model);
    int *data = someData();  // LstGetItem finds the first item with the data
    const auto found = std::ranges::find(model, data, &Entry::second);
    EXPECT_EQ(LstGetItem(list, data), found == model.end() ? nullptr : found->first);
  }
  // A neighbour from another list is no place here, nor may its item join.
  LstList *other = LstNewList(0);
  LstItem *stranger = LstInsert(other, someData(), 0);
  loose.push_back(LstNew(someData()));
  for (LstItem *item : loose) {
    EXPECT_TRUE(LstInsertAfter(list, item, stranger) == 0 &&
                LstInsertBefore(list, item, stranger) == 0);
    EXPECT_EQ(LstFree(item), 1u);
  }
  EXPECT_EQ(LstInsertItem(list, stranger, 0), 0u);
  EXPECT_EQ(LstDeleteAll(list), 1u);  // the items go; the data stay the caller's
  ExpectListIs(list, {});
  EXPECT_EQ(MemQueryMemoryAllocated(), bytesBefore + 2 * sizeof(LstList) + sizeof(LstItem) + 75);
  EXPECT_TRUE(LstFreeList_(list) == 1 && LstFreeList_(other) == 1);
}

TEST_F(LinksTest, RandomOperationsKeepEveryLinkRightIndexedAndNot) {
  RunAgainstModel(0, 17);
  RunAgainstModel(LST_INDEXED, 18);
  RunAgainstModel(LST_INDEXED | 0x40, 19);  // only bit 0 of the flags counts
}

TEST_F(LinksTest, SortOrdersLikeStdSortThroughTheCombSortsExchanges) {
  std::mt19937 random(99);
  std::vector<int> data(5000);
  for (uint32_t size : {2u, 3u, 12u, 13u, 14u, 64u, 100u, 1000u, 5000u}) {
    for (unsigned range : {1u, 3u, 1000000u}) {  // all equal, many duplicates, few
      for (int &value : data) value = static_cast<int>(random() % range);
      std::vector<int> expected(data.begin(), data.begin() + size);
      std::sort(expected.begin(), expected.end());
      for (LstComparator comparator : {Less, LessOrEqual}) {
        SCOPED_TRACE(testing::Message() << size << " items in range " << range);
        LstList *list = LstNewList(LST_INDEXED);
        for (uint32_t i = 0; i < size; ++i) LstInsert(list, &data[i], LST_AT_END);
        std::vector<Entry> model = EntriesOf(list);
        CombSortModel(model, comparator);
        ASSERT_EQ(LstSort(list, comparator), 1u);
        ExpectListIs(list, model);
        std::vector<int> sorted;
        for (const Entry &entry : model) sorted.push_back(*static_cast<int *>(entry.second));
        EXPECT_EQ(sorted, expected);
        LstFreeList_(list);
      }
    }
  }
}

// LstSort orders over a temporary array and falls back to walking the chain
// when the host has no memory for one: both ways must give every item the
// same place, whatever the comparator answers.
TEST_F(LinksTest, ArrayAndInPlaceSortsGiveTheSameOrderItemByItem) {
  static std::mt19937 coin;
  const LstComparator random = [](void *, void *) { return static_cast<int>(coin() % 2); };
  std::mt19937 values(7);
  std::vector<int> data(3000);
  for (LstComparator comparator : {Less, LessOrEqual, random}) {
    for (uint32_t size : {2u, 13u, 500u, 3000u}) {
      for (unsigned range : {1u, 4u, 1000000u}) {  // ties everywhere, many, hardly any
        SCOPED_TRACE(testing::Message() << size << " items in range " << range);
        for (int &value : data) value = static_cast<int>(values() % range);
        std::vector<std::vector<std::size_t>> orders;
        for (const bool throughArray : {true, false}) {
          LstList *list = LstNewList(LST_INDEXED);
          std::vector<LstItem *> items;
          for (uint32_t i = 0; i < size; ++i)
            items.push_back(LstInsert(list, &data[i], LST_AT_END));
          coin.seed(size + range);  // the same answers for both ways
          if (throughArray) {
            ASSERT_TRUE(qorb::lst::SortThroughArray(list, comparator));
          } else {
            qorb::lst::SortInPlace(list, comparator);
          }
          std::vector<std::size_t> order;
          for (LstItem *item = list->first; item != nullptr; item = item->next) {
            // Each datum is a distinct element, so it names the item's place.
            const auto at = static_cast<std::size_t>(static_cast<int *>(item->data) - data.data());
            ASSERT_LT(at, items.size());
            ASSERT_EQ(items[at], item) << "an item lost its data";
            order.push_back(at);
          }
          ASSERT_EQ(order.size(), size);
          orders.push_back(order);
          LstFreeList_(list);
        }
        EXPECT_EQ(orders[0], orders[1]);
      }
    }
  }
}

// A comparator that contradicts itself ends the sort within the work of a
// normal one (a few hundred comparisons per item), not after n passes of n,
// and every item still carries its own data.
TEST_F(LinksTest, InconsistentComparatorEndsInNLogNComparisons) {
  constexpr uint32_t kItems = 50000;
  static std::mt19937 coin(17);
  static uint64_t calls = 0;
  std::vector<int> data(kItems);
  MemSetLimits(0xFFFFFFFFu, 2 * kItems, 1);
  LstList *list = LstNewList(0);
  for (int &value : data) LstInsert(list, &value, LST_AT_END);
  std::vector<Entry> before = EntriesOf(list);
  ASSERT_EQ(LstSort(list,
                    [](void *, void *) {
                      ++calls;
                      return static_cast<int>(coin() % 2);
                    }),
            1u);
  EXPECT_LT(calls, 300ull * kItems);
  std::vector<Entry> after = EntriesOf(list);
  ExpectListIs(list, after);
  std::ranges::sort(before);
  std::ranges::sort(after);
  EXPECT_EQ(after, before) << "each item keeps its own data";
  LstFreeList_(list);
  MemSetLimits(10000000, 10000, 1);
}

TEST_F(LinksTest, NullArgumentsAnswerAtOnceAndDeleteAllBothFreesData) {
  int value = 1;
  LstList *list = LstNewList(0);
  LstItem *item = LstNew(&value);
  const uint32_t ones[] = {LstFreeList_(nullptr), LstFree(nullptr),      LstRemoveItem(nullptr),
                           LstDelete(nullptr),    LstDeleteAll(nullptr), LstDeleteAllBoth(nullptr)};
  const uint32_t zeros[] = {LstInsertItem(nullptr, item, 0),
                            LstInsertItem(list, nullptr, 0),
                            LstInsertAfter(nullptr, item, nullptr),
                            LstInsertAfter(list, nullptr, nullptr),
                            LstInsertBefore(nullptr, item, nullptr),
                            LstInsertBefore(list, nullptr, nullptr),
                            LstSort(nullptr, Less),
                            LstSort(list, nullptr),
                            LstLock(nullptr),
                            LstUnlock(nullptr)};
  const void *nulls[] = {LstInsert(nullptr, &value, 0), LstInsertSorted(nullptr, &value, Less),
                         LstInsertSorted(list, &value, nullptr), LstGetItem(nullptr, &value)};
  for (std::size_t i = 0; i < std::size(ones); ++i) EXPECT_EQ(ones[i], 1u) << "ones " << i;
  for (std::size_t i = 0; i < std::size(zeros); ++i) EXPECT_EQ(zeros[i], 0u) << "zeros " << i;
  for (std::size_t i = 0; i < std::size(nulls); ++i) EXPECT_EQ(nulls[i], nullptr) << "nulls " << i;
  ExpectListIs(list, {});
  EXPECT_TRUE(IsFreeStanding(item));
  // LstDeleteAllBoth frees each item's data with the items.
  LstInsertItem(list, item, 0);
  item->data = MemAllocString_("data", 1, "links");
  LstInsert(list, nullptr, 0);
  EXPECT_EQ(LstDeleteAllBoth(list), 1u);
  ExpectListIs(list, {});
  EXPECT_EQ(MemQueryMemoryAllocated(), start_ + sizeof(LstList) + 25);
  LstFreeList_(list);
}

TEST_F(LinksTest, ListsSharedBetweenThreadsUnderTheirLock) {
  LstList *list = LstNewList(LST_INDEXED);
  std::vector<int> values(4 * 500);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([list, mine = &values[t * 500]] {
      for (int i = 0; i < 500; ++i) {
        mine[i] = i;
        ASSERT_TRUE(LstLock(list) == 1 && LstLock(list) == 1);  // the owner may take it again
        LstInsert(list, &mine[i], i % 2 == 0 ? LST_AT_END : 0);
        if (i % 5 == 0) LstDelete(list->first);
        if (i % 50 == 0) LstSort(list, Less);
        EXPECT_TRUE(LstUnlock(list) == 1 && LstUnlock(list) == 1);
      }
    });
  }
  for (std::thread &thread : threads) thread.join();
  const std::vector<Entry> entries = EntriesOf(list);
  EXPECT_EQ(entries.size(), 4u * 400u);
  ExpectListIs(list, entries);
  EXPECT_EQ(LstUnlock(list), 0u);  // not held by this thread
  ASSERT_EQ(LstLock(list), 1u);    // the owner may free the list while holding its lock
  EXPECT_EQ(LstFreeList_(list), 1u);
}

}  // namespace
