// links_test.cpp - linked lists: a randomized run against a reference model
// checking every link after every operation, the NULL answers and edge
// cases, the comb sort against std::sort, and lists shared between threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "qorb32n.h"

namespace {

int LessOrEqual(void *a, void *b) {
  return *static_cast<int *>(a) <= *static_cast<int *>(b);
}
int Less(void *a, void *b) {
  return *static_cast<int *>(a) < *static_cast<int *>(b);
}

int g_comparisons = 0;
int CountingLess(void *a, void *b) {
  ++g_comparisons;
  return Less(a, b);
}

struct Status {
  uint32_t bytes = 0;
  uint32_t blocks = 0;
  bool operator==(const Status &) const = default;
};

Status QueryStatus() {
  Status status;
  MemQueryStatus(&status.bytes, &status.blocks);
  return status;
}

// Every link, count and position of `list` against the expected sequence.
void ExpectListIs(const LstList *list, const std::vector<LstItem *> &expected) {
  ASSERT_EQ(list->count, expected.size());
  if (expected.empty()) {
    EXPECT_EQ(list->first, nullptr);
    EXPECT_EQ(list->last, nullptr);
    return;
  }
  EXPECT_EQ(list->first, expected.front());
  EXPECT_EQ(list->last, expected.back());
  for (std::size_t k = 0; k < expected.size(); ++k) {
    const LstItem *item = expected[k];
    ASSERT_EQ(item->prev, k == 0 ? nullptr : expected[k - 1]) << "item " << k;
    ASSERT_EQ(item->next, k + 1 == expected.size() ? nullptr : expected[k + 1]) << "item " << k;
    ASSERT_EQ(item->inList, 1u);
    ASSERT_EQ(item->list, list);
    ASSERT_EQ(item->index, list->indexed != 0 ? k : 0u) << "item " << k;
  }
}

void ExpectFreeStanding(const LstItem *item) {
  EXPECT_EQ(item->inList, 0u);
  EXPECT_EQ(item->prev, nullptr);
  EXPECT_EQ(item->next, nullptr);
  EXPECT_EQ(item->index, 0u);
}

class LinksTest : public testing::Test {
 protected:
  void SetUp() override {
    ErrInitialize(ERR_MODE_CONSOLE, "lsttest", 0, 0, 0, 0);
    start_ = QueryStatus();
  }
  void TearDown() override { EXPECT_EQ(QueryStatus(), start_) << "blocks leaked"; }
  Status start_;
};

// One randomized run of every linking operation, mirrored on a vector.
void RunAgainstModel(uint32_t flags, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<int> values(64);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int>(i % 9);
  auto someData = [&] { return &values[random() % values.size()]; };

  LstList *list = LstNewList(flags);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->indexed, flags & LST_INDEXED);
  std::vector<LstItem *> model;
  std::vector<LstItem *> loose;  // items made here that are not linked
  auto pickLinked = [&]() -> LstItem * {
    return model.empty() ? nullptr : model[random() % model.size()];
  };
  auto positionOf = [&](const LstItem *item) {
    return std::find(model.begin(), model.end(), item) - model.begin();
  };

  for (int step = 0; step < 2500; ++step) {
    const unsigned operation = random() % 13;
    SCOPED_TRACE(testing::Message() << "step " << step << " operation " << operation);
    switch (operation) {
      case 0:
      case 1: {  // LstInsert at the head or the end
        const uint32_t where = operation == 0 ? 0u : LST_AT_END;
        LstItem *item = LstInsert(list, someData(), where);
        ASSERT_NE(item, nullptr);
        if (where != 0) {
          model.push_back(item);
        } else {
          model.insert(model.begin(), item);
        }
        break;
      }
      case 2: {  // LstInsertItem of a loose item, or refused for a linked one
        if (!loose.empty()) {
          LstItem *item = loose.back();
          loose.pop_back();
          const bool atEnd = random() % 2 == 0;
          ASSERT_EQ(LstInsertItem(list, item, atEnd ? LST_AT_END : 0), 1u);
          model.insert(atEnd ? model.end() : model.begin(), item);
        } else if (LstItem *linked = pickLinked()) {
          EXPECT_EQ(LstInsertItem(list, linked, LST_AT_END), 0u);
        }
        break;
      }
      case 3:
      case 4: {  // LstInsertAfter a member, or at the head with NULL
        LstItem *item = LstNew(someData());
        ExpectFreeStanding(item);
        LstItem *after = random() % 4 == 0 ? nullptr : pickLinked();
        ASSERT_EQ(LstInsertAfter(list, item, after), 1u);
        model.insert(after == nullptr ? model.begin() : model.begin() + positionOf(after) + 1,
                     item);
        EXPECT_EQ(LstInsertAfter(list, item, after), 0u);  // now linked
        break;
      }
      case 5:
      case 6: {  // LstInsertBefore a member, or at the end with NULL
        LstItem *item = LstNew(someData());
        LstItem *before = random() % 4 == 0 ? nullptr : pickLinked();
        ASSERT_EQ(LstInsertBefore(list, item, before), 1u);
        model.insert(before == nullptr ? model.end() : model.begin() + positionOf(before), item);
        break;
      }
      case 7:
      case 8: {  // LstRemoveItem: the item stays allocated and loose
        if (LstItem *item = pickLinked()) {
          ASSERT_EQ(LstRemoveItem(item), 1u);
          model.erase(model.begin() + positionOf(item));
          ExpectFreeStanding(item);
          EXPECT_EQ(item->list, list);  // left in place after removal
          EXPECT_EQ(LstRemoveItem(item), 0u);
          loose.push_back(item);
        }
        break;
      }
      case 9: {  // LstDelete of a member; a loose item is refused and kept
        if (!loose.empty()) {
          EXPECT_EQ(LstDelete(loose.back()), 0u);
        }
        if (LstItem *item = pickLinked()) {
          model.erase(model.begin() + positionOf(item));
          ASSERT_EQ(LstDelete(item), 1u);
        }
        break;
      }
      case 10: {  // LstInsertSorted where the model's walk puts it
        int *data = someData();
        const LstComparator comparator = random() % 2 == 0 ? Less : LessOrEqual;
        auto place = std::find_if(model.begin(), model.end(), [&](LstItem *existing) {
          return comparator(data, existing->data) != 0;
        });
        const auto offset = place - model.begin();
        LstItem *item = LstInsertSorted(list, data, comparator);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->data, data);
        model.insert(model.begin() + offset, item);
        break;
      }
      case 11: {  // LstSort: the same items, now in order, each with its data
        if (random() % 4 != 0) break;
        std::map<LstItem *, void *> dataOf;
        for (LstItem *item : model) dataOf[item] = item->data;
        ASSERT_EQ(LstSort(list, random() % 2 == 0 ? Less : LessOrEqual), 1u);
        std::vector<LstItem *> sorted;
        for (LstItem *item = list->first; item != nullptr; item = item->next) {
          sorted.push_back(item);
        }
        ASSERT_EQ(sorted.size(), model.size());
        for (std::size_t k = 0; k < sorted.size(); ++k) {
          ASSERT_EQ(dataOf.count(sorted[k]), 1u);
          EXPECT_EQ(sorted[k]->data, dataOf[sorted[k]]);
          if (k > 0) {
            EXPECT_LE(*static_cast<int *>(sorted[k - 1]->data),
                      *static_cast<int *>(sorted[k]->data));
          }
        }
        EXPECT_EQ(std::set<LstItem *>(sorted.begin(), sorted.end()).size(), sorted.size());
        model = sorted;
        break;
      }
      case 12: {  // LstGetItem finds the first item with that data from the head
        int *data = someData();
        auto found = std::find_if(model.begin(), model.end(),
                                  [&](LstItem *item) { return item->data == data; });
        EXPECT_EQ(LstGetItem(list, data), found == model.end() ? nullptr : *found);
        break;
      }
    }
    ExpectListIs(list, model);
    if (testing::Test::HasFatalFailure()) break;
  }

  for (LstItem *item : loose) EXPECT_EQ(LstFree(item), 1u);
  EXPECT_EQ(LstFreeList_(list), 1u);
}

TEST_F(LinksTest, RandomOperationsKeepEveryLinkRightIndexedAndNot) {
  RunAgainstModel(0, 17);
  RunAgainstModel(LST_INDEXED, 18);
  RunAgainstModel(LST_INDEXED | 0x40, 19);  // only bit 0 of the flags counts
}

TEST_F(LinksTest, NullArgumentsAnswerAtOnce) {
  int value = 1;
  EXPECT_EQ(LstFreeList_(nullptr), 1u);
  EXPECT_EQ(LstFree(nullptr), 1u);
  EXPECT_EQ(LstInsert(nullptr, &value, 0), nullptr);
  LstList *list = LstNewList(0);
  LstItem *item = LstNew(&value);
  EXPECT_EQ(LstInsertItem(nullptr, item, 0), 0u);
  EXPECT_EQ(LstInsertItem(list, nullptr, 0), 0u);
  EXPECT_EQ(LstInsertAfter(nullptr, item, nullptr), 0u);
  EXPECT_EQ(LstInsertAfter(list, nullptr, nullptr), 0u);
  EXPECT_EQ(LstInsertBefore(nullptr, item, nullptr), 0u);
  EXPECT_EQ(LstInsertBefore(list, nullptr, nullptr), 0u);
  EXPECT_EQ(LstRemoveItem(nullptr), 1u);
  EXPECT_EQ(LstDelete(nullptr), 1u);
  EXPECT_EQ(LstInsertSorted(nullptr, &value, Less), nullptr);
  EXPECT_EQ(LstInsertSorted(list, &value, nullptr), nullptr);
  EXPECT_EQ(LstSort(nullptr, Less), 0u);
  EXPECT_EQ(LstSort(list, nullptr), 0u);
  EXPECT_EQ(LstGetItem(nullptr, &value), nullptr);
  EXPECT_EQ(LstDeleteAll(nullptr), 1u);
  EXPECT_EQ(LstDeleteAllBoth(nullptr), 1u);
  EXPECT_EQ(LstLock(nullptr), 0u);
  EXPECT_EQ(LstUnlock(nullptr), 0u);
  ExpectListIs(list, {});
  ExpectFreeStanding(item);
  LstFree(item);
  LstFreeList_(list);
}

TEST_F(LinksTest, EdgesOfLinkingAndFreeing) {
  int values[4] = {1, 2, 3, 4};
  LstList *list = LstNewList(LST_INDEXED);
  LstItem *only = LstNew(&values[0]);
  ASSERT_EQ(LstInsertAfter(list, only, nullptr), 1u);
  ExpectListIs(list, {only});

  LstItem *second = LstInsert(list, &values[1], LST_AT_END);
  LstItem *third = LstInsert(list, &values[2], LST_AT_END);
  LstItem *appended = LstNew(&values[3]);
  ASSERT_EQ(LstInsertBefore(list, appended, nullptr), 1u);
  EXPECT_EQ(appended->prev, third);
  ExpectListIs(list, {only, second, third, appended});

  // A neighbour from another list is no place in this one.
  LstList *other = LstNewList(0);
  LstItem *stranger = LstInsert(other, &values[0], 0);
  LstItem *loose = LstNew(&values[0]);
  EXPECT_EQ(LstInsertAfter(list, loose, stranger), 0u);
  EXPECT_EQ(LstInsertBefore(list, loose, stranger), 0u);
  EXPECT_EQ(LstInsertItem(list, stranger, 0), 0u);  // linked elsewhere
  ExpectListIs(other, {stranger});

  // Deleting a loose item frees nothing; freeing it does.
  const Status before = QueryStatus();
  EXPECT_EQ(LstDelete(loose), 0u);
  EXPECT_EQ(QueryStatus(), before);
  EXPECT_EQ(LstFree(loose), 1u);
  EXPECT_EQ(QueryStatus().blocks, before.blocks - 1);

  // Freeing a linked item takes it out of its list first.
  EXPECT_EQ(LstFree(second), 1u);
  ExpectListIs(list, {only, third, appended});

  // Emptying frees the item blocks and the data stay the caller's.
  EXPECT_EQ(LstDeleteAll(list), 1u);
  ExpectListIs(list, {});
  EXPECT_EQ(QueryStatus().blocks, before.blocks - 5);
  LstItem *again = LstInsert(list, &values[2], 0);
  ExpectListIs(list, {again});
  LstFreeList_(other);
  LstFreeList_(list);
}

TEST_F(LinksTest, DeleteAllBothFreesTheDataBlocks) {
  LstList *list = LstNewList(0);
  for (int i = 0; i < 5; ++i) LstInsert(list, MemAllocMem_(10, __LINE__, __FILE__), LST_AT_END);
  LstInsert(list, nullptr, LST_AT_END);
  EXPECT_EQ(QueryStatus().blocks, start_.blocks + 12);
  EXPECT_EQ(LstDeleteAllBoth(list), 1u);
  ExpectListIs(list, {});
  EXPECT_EQ(QueryStatus().blocks, start_.blocks + 1);
  LstItem *item = LstInsert(list, MemAllocString_("again", __LINE__, __FILE__), 0);
  ExpectListIs(list, {item});
  LstDeleteAllBoth(list);
  LstFreeList_(list);
}

TEST_F(LinksTest, InsertSortedPlacesEqualsByTheComparator) {
  int values[] = {1, 2, 2, 3};
  int newTwo = 2;
  LstList *list = LstNewList(LST_INDEXED);
  for (int &value : values) LstInsert(list, &value, LST_AT_END);
  LstItem *afterEquals = LstInsertSorted(list, &newTwo, Less);
  EXPECT_EQ(afterEquals->prev->data, &values[2]);
  EXPECT_EQ(afterEquals->next->data, &values[3]);
  EXPECT_EQ(afterEquals->index, 3u);
  LstItem *beforeEquals = LstInsertSorted(list, &newTwo, LessOrEqual);
  EXPECT_EQ(beforeEquals->prev->data, &values[0]);
  EXPECT_EQ(beforeEquals->next->data, &values[1]);
  int big = 9;
  int small = 0;
  EXPECT_EQ(LstInsertSorted(list, &big, Less), list->last);
  EXPECT_EQ(LstInsertSorted(list, &small, Less), list->first);
  EXPECT_EQ(list->count, 8u);
  LstFreeList_(list);
}

// Sorts `data` through a list and compares with std::sort.
void ExpectSortsLikeStdSort(std::vector<int> data, LstComparator comparator, uint32_t flags) {
  LstList *list = LstNewList(flags);
  std::map<LstItem *, int *> dataOf;
  for (int &value : data) dataOf[LstInsert(list, &value, LST_AT_END)] = &value;
  ASSERT_EQ(LstSort(list, comparator), 1u);
  std::vector<int> sorted;
  std::vector<LstItem *> order;
  for (LstItem *item = list->first; item != nullptr; item = item->next) {
    EXPECT_EQ(item->data, dataOf[item]);  // items keep their data
    sorted.push_back(*static_cast<int *>(item->data));
    order.push_back(item);
  }
  std::vector<int> expected = data;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(sorted, expected);
  ExpectListIs(list, order);
  LstFreeList_(list);
}

TEST_F(LinksTest, SortMatchesStdSortWithEitherComparator) {
  std::mt19937 random(99);
  for (uint32_t size : {2u, 3u, 11u, 12u, 13u, 14u, 63u, 64u, 100u, 1000u, 5000u}) {
    for (int range : {3, 1000000}) {  // many duplicates, then few
      std::vector<int> data(size);
      for (int &value : data) value = static_cast<int>(random() % range);
      SCOPED_TRACE(testing::Message() << size << " items in range " << range);
      ExpectSortsLikeStdSort(data, LessOrEqual, LST_INDEXED);
      ExpectSortsLikeStdSort(data, Less, 0);
    }
  }
  ExpectSortsLikeStdSort(std::vector<int>(500, 7), Less, LST_INDEXED);  // all equal
  std::vector<int> descending(777);
  for (std::size_t i = 0; i < descending.size(); ++i) {
    descending[i] = static_cast<int>(descending.size() - i);
  }
  ExpectSortsLikeStdSort(descending, Less, 0);
}

// The documented comb sort on a vector: gap shrinking by 3/4 with 9 and 10
// becoming 11, exchanges of pairs the comparator does not let stand, equal
// pairs (0 both ways) left alone.
std::vector<LstItem *> CombSortModel(std::vector<LstItem *> items, LstComparator comparator) {
  const std::size_t n = items.size();
  std::size_t gap = n;
  bool swapped = true;
  while (gap > 1 || swapped) {
    gap = gap * 3 / 4;
    if (gap == 0) gap = 1;
    if (gap == 9 || gap == 10) gap = 11;
    swapped = false;
    for (std::size_t i = 0; i + gap < n; ++i) {
      void *a = items[i]->data;
      void *b = items[i + gap]->data;
      if (comparator(a, b) == 0 && comparator(b, a) != 0) {
        std::swap(items[i], items[i + gap]);
        swapped = true;
      }
    }
  }
  return items;
}

TEST_F(LinksTest, SortExchangesExactlyAsTheCombSortDoes) {
  // Items with equal data end in an order only the exchange sequence fixes.
  std::mt19937 random(7);
  for (uint32_t size : {5u, 12u, 40u, 63u, 64u, 65u, 2000u}) {
    std::vector<int> values(size);
    for (int &value : values) value = static_cast<int>(random() % 4);
    for (LstComparator comparator : {Less, LessOrEqual}) {
      LstList *list = LstNewList(LST_INDEXED);
      std::vector<LstItem *> items;
      for (int &value : values) items.push_back(LstInsert(list, &value, LST_AT_END));
      LstSort(list, comparator);
      std::vector<LstItem *> order;
      for (LstItem *item = list->first; item != nullptr; item = item->next) order.push_back(item);
      EXPECT_EQ(order, CombSortModel(items, comparator)) << size << " items";
      ExpectListIs(list, order);
      LstFreeList_(list);
    }
  }
}

TEST_F(LinksTest, SortOfShortListsAndUnreasonableComparators) {
  int two[2] = {5, 1};
  LstList *list = LstNewList(LST_INDEXED);
  g_comparisons = 0;
  EXPECT_EQ(LstSort(list, CountingLess), 1u);
  LstItem *high = LstInsert(list, &two[0], LST_AT_END);
  EXPECT_EQ(LstSort(list, CountingLess), 1u);
  EXPECT_EQ(g_comparisons, 0);
  LstItem *low = LstInsert(list, &two[1], LST_AT_END);
  EXPECT_EQ(LstSort(list, CountingLess), 1u);
  ExpectListIs(list, {low, high});
  LstFreeList_(list);

  // A comparator that never lets anything stand first, or answers at random,
  // still lets the sort end with every item present, short lists or long.
  static std::mt19937 coin(5);
  for (uint32_t size : {40u, 300u}) {
    list = LstNewList(0);
    for (uint32_t i = 0; i < size; ++i) LstInsert(list, &two[i % 2], LST_AT_END);
    EXPECT_EQ(LstSort(list, [](void *, void *) { return 0; }), 1u);
    EXPECT_EQ(LstSort(list, [](void *, void *) { return static_cast<int>(coin() % 2); }), 1u);
    std::vector<LstItem *> order;
    for (LstItem *item = list->first; item != nullptr; item = item->next) order.push_back(item);
    EXPECT_EQ(order.size(), size);
    ExpectListIs(list, order);
    LstFreeList_(list);
  }
}

TEST_F(LinksTest, ListsSharedBetweenThreadsUnderTheirLock) {
  LstList *list = LstNewList(LST_INDEXED);
  constexpr int kThreads = 4;
  constexpr int kItems = 500;
  std::vector<int> values(kThreads * kItems);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, list, &values] {
      for (int i = 0; i < kItems; ++i) {
        int *data = &values[t * kItems + i];
        *data = i;
        ASSERT_EQ(LstLock(list), 1u);
        ASSERT_EQ(LstLock(list), 1u);  // the owner may take it again
        LstInsert(list, data, i % 2 == 0 ? LST_AT_END : 0);
        if (i % 5 == 0) LstDelete(list->first);
        if (i % 50 == 0) LstSort(list, Less);
        EXPECT_EQ(LstUnlock(list), 1u);
        EXPECT_EQ(LstUnlock(list), 1u);
      }
    });
  }
  for (std::thread &thread : threads) thread.join();
  std::vector<LstItem *> order;
  for (LstItem *item = list->first; item != nullptr; item = item->next) order.push_back(item);
  EXPECT_EQ(order.size(), static_cast<std::size_t>(kThreads * (kItems - kItems / 5)));
  ExpectListIs(list, order);
  EXPECT_EQ(LstUnlock(list), 0u);  // not held by this thread

  // The owner may free the list while holding its lock.
  ASSERT_EQ(LstLock(list), 1u);
  EXPECT_EQ(LstFreeList_(list), 1u);
}

}  // namespace
