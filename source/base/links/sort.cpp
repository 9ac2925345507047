// sort.cpp - ordering a list with a caller's comparator: inserting one item
// in order, and sorting the whole list by comb sort, over a temporary array
// of the items when the host allocator gives one and in place otherwise.
//
// Relies on: the linking helpers of link.h, MemAllocMem_ for the new item
// and malloc/free for the sort's untracked temporary array. Both ways make
// the same comparisons and exchanges, so the order never depends on memory.
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "links/link.h"
#include "links/sort.h"

namespace qorb::lst {
namespace {

// The comb sort's gap sequence: shrink by 3/4, never below 1, and 9 or 10
// become 11.
uint32_t ShrinkGap(uint32_t gap) {
  const auto next = static_cast<uint32_t>(uint64_t{gap} * 3 / 4);
  if (next == 0) return 1;
  if (next == 9 || next == 10) return 11;
  return next;
}

// Whether the pair (earlier, later) must be exchanged. Two items that
// compare 0 both ways are equal and stay where they are, so that a comparator
// answering 0 for equal data still lets the sort come to rest.
bool OutOfOrder(LstComparator comparator, void *earlier, void *later) {
  return comparator(earlier, later) == 0 && comparator(later, earlier) != 0;
}

// The list as the comb sort's sequence, without moving a link while the
// passes run: an exchange swaps the contents of two positions, the data and,
// in `list`, the item that data belongs to. A pass so walks the chain in the
// order its blocks were laid down instead of chasing items moved about.
LstItem *OwnerOf(const LstItem *position) {
  return reinterpret_cast<LstItem *>(position->list);
}
void SetOwner(LstItem *position, LstItem *owner) {
  position->list = reinterpret_cast<LstList *>(owner);
}

// Exchanges the contents of two positions: the data and its owner tag.
void ExchangeContents(LstItem *a, LstItem *b) {
  std::swap(a->data, b->data);
  std::swap(a->list, b->list);
}

// One pass over the pairs `gap` apart; true when it exchanged any.
bool CombPass(LstList *list, uint32_t gap, LstComparator comparator) {
  LstItem *a = list->first;
  LstItem *b = a;
  for (uint32_t i = 0; i < gap && b != nullptr; ++i) b = b->next;
  bool swapped = false;
  for (uint32_t k = list->count - gap; k > 0 && b != nullptr; --k) {
    if (OutOfOrder(comparator, a->data, b->data)) {
      ExchangeContents(a, b);
      swapped = true;
    }
    a = a->next;
    b = b->next;
  }
  return swapped;
}

// Merges two chains (linked through `next`, ended by NULL) into one; the
// left item goes first unless the right one must precede it, so equal items
// keep their order.
LstItem *MergeChains(LstItem *left, LstItem *right, LstComparator comparator) {
  LstItem head{};
  LstItem *tail = &head;
  while (left != nullptr && right != nullptr) {
    LstItem *&taken = OutOfOrder(comparator, left->data, right->data) ? right : left;
    tail->next = taken;
    tail = taken;
    taken = taken->next;
  }
  tail->next = left != nullptr ? left : right;
  return head.next;
}

// Sorts the chain of positions by their data with a bottom-up merge sort:
// n log n comparisons whatever the comparator answers, and no memory beyond
// a few dozen chain heads. Relinks `next`, `prev`, `first` and `last`.
void MergeSortChain(LstList *list, LstComparator comparator) {
  constexpr int kLevels = 64;
  LstItem *runs[kLevels] = {};  // runs[k] holds 2^k sorted items, or nothing
  for (LstItem *item = list->first; item != nullptr;) {
    LstItem *run = item;
    item = item->next;
    run->next = nullptr;
    int level = 0;
    for (; level < kLevels - 1 && runs[level] != nullptr; ++level) {
      run = MergeChains(runs[level], run, comparator);
      runs[level] = nullptr;
    }
    runs[level] = run;
  }
  LstItem *sorted = nullptr;
  for (LstItem *run : runs) {
    if (run != nullptr) sorted = sorted != nullptr ? MergeChains(run, sorted, comparator) : run;
  }
  LstItem *previous = nullptr;
  for (LstItem *item = sorted; item != nullptr; item = item->next) {
    item->prev = previous;
    previous = item;
  }
  list->first = sorted;
  list->last = previous;
}

// Gap-1 passes are bubble-sort passes; with a consistent comparator the comb
// sort needs only a few of them. A comparator that contradicts itself could
// keep them going for n passes of n comparisons, so after this many the
// order is finished by a merge sort, which ends in n log n whatever it says.
uint32_t GapOnePassLimit(uint32_t count) {
  uint32_t bits = 0;
  while (count >> bits != 0) ++bits;
  return 2 * bits + 8;
}

// Runs comb-sort passes (`pass(gap)` answers whether it exchanged a pair)
// until the order rests: true; false when the gap-one passes ran out and a
// merge sort has to finish the order.
template <typename Pass>
bool CombSort(uint32_t count, Pass pass) {
  const uint32_t limit = GapOnePassLimit(count);
  uint32_t gap = count;
  uint32_t gapOnePasses = 0;
  bool swapped = false;
  do {
    gap = ShrinkGap(gap);
    swapped = pass(gap);
    if (gap == 1 && ++gapOnePasses == limit && swapped) return false;
  } while (swapped || gap > 1);
  return true;
}

// Moves every item to the position its data reached, so that items keep
// their data and callers' item pointers stay valid. Uses only the items' own
// fields: `prev` carries the new order, `list` the owner tags.
void MoveItemsToTheirData(LstList *list) {
  // The new order, as each owner's successor in `prev`.
  LstItem *head = OwnerOf(list->first);
  LstItem *previous = nullptr;
  for (LstItem *position = list->first; position != nullptr; position = position->next) {
    LstItem *owner = OwnerOf(position);
    if (previous != nullptr) previous->prev = owner;
    previous = owner;
  }
  if (previous != nullptr) previous->prev = nullptr;
  // Give every item its own data back, one cycle of the permutation at a
  // time; each exchange settles one item for good.
  for (LstItem *position = list->first; position != nullptr; position = position->next) {
    while (OwnerOf(position) != position) ExchangeContents(position, OwnerOf(position));
  }
  // Relink along the recorded order.
  previous = nullptr;
  for (LstItem *item = head; item != nullptr;) {
    LstItem *successor = item->prev;
    item->prev = previous;
    item->next = successor;
    item->list = list;
    previous = item;
    item = successor;
  }
  list->first = head;
  list->last = previous;
}

// One item of the temporary array: its data beside it, so that a pass reads
// the array alone and not the items scattered among other blocks.
struct SortEntry {
  void *data;
  LstItem *item;
};

bool CombPassOverArray(SortEntry *entries, uint32_t count, uint32_t gap, LstComparator comparator) {
  bool swapped = false;
  for (uint32_t i = 0; i + gap < count; ++i) {
    if (OutOfOrder(comparator, entries[i].data, entries[i + gap].data)) {
      std::swap(entries[i], entries[i + gap]);
      swapped = true;
    }
  }
  return swapped;
}

// Links the items in the order of the array.
void RelinkInOrder(LstList *list, const SortEntry *entries, uint32_t count) {
  LstItem *previous = nullptr;
  for (uint32_t i = 0; i < count; ++i) {
    LstItem *item = entries[i].item;
    item->prev = previous;
    if (previous != nullptr) previous->next = item;
    previous = item;
  }
  if (previous != nullptr) previous->next = nullptr;
  list->first = count != 0 ? entries[0].item : nullptr;
  list->last = previous;
}

// Whether an array of `count` entries can be sized at all (only a 32-bit
// host can fail this).
bool ArrayFits(uint32_t count) {
  if constexpr (sizeof(std::size_t) > sizeof(uint32_t)) return true;
  return count <= SIZE_MAX / sizeof(SortEntry);
}

// Fills the array from the chain; false when the chain does not hold
// exactly `count` items, which the in-place walk copes with.
bool FillEntries(const LstList *list, SortEntry *entries, uint32_t count) {
  uint32_t filled = 0;
  for (LstItem *item = list->first; item != nullptr; item = item->next) {
    if (filled == count) return false;
    entries[filled++] = SortEntry{item->data, item};
  }
  return filled == count;
}

}  // namespace

bool SortThroughArray(LstList *list, LstComparator comparator) {
  const uint32_t count = list->count;
  if (!ArrayFits(count)) return false;
  auto *entries = static_cast<SortEntry *>(std::malloc(count * sizeof(SortEntry)));
  if (entries == nullptr) return false;
  if (!FillEntries(list, entries, count)) {
    std::free(entries);
    return false;
  }
  const bool rested = CombSort(
      count, [&](uint32_t gap) { return CombPassOverArray(entries, count, gap, comparator); });
  RelinkInOrder(list, entries, count);
  std::free(entries);
  // The items still carry their own data, so the merge sort orders them
  // directly, as it orders the positions of the in-place walk.
  if (!rested) MergeSortChain(list, comparator);
  return true;
}

void SortInPlace(LstList *list, LstComparator comparator) {
  for (LstItem *item = list->first; item != nullptr; item = item->next) SetOwner(item, item);
  const bool rested =
      CombSort(list->count, [&](uint32_t gap) { return CombPass(list, gap, comparator); });
  if (!rested) MergeSortChain(list, comparator);
  MoveItemsToTheirData(list);
}

}  // namespace qorb::lst

extern "C" {

QORB_API LstItem *LstInsertSorted(LstList *list, void *data, LstComparator comparator) {
  if (list == nullptr || comparator == nullptr) return nullptr;
  auto *item =
      static_cast<LstItem *>(MemAllocMem_(sizeof(LstItem), __LINE__, qorb::lst::kSourcePath));
  if (item == nullptr) return nullptr;
  item->data = data;
  LstItem *place = list->first;
  while (place != nullptr && comparator(data, place->data) == 0) place = place->next;
  if (place != nullptr) {
    qorb::lst::LinkBefore(list, item, place);
  } else {
    qorb::lst::LinkAtEnd(list, item);
  }
  qorb::lst::Renumber(list);
  return item;
}

QORB_API uint32_t LstSort(LstList *list, LstComparator comparator) {
  if (list == nullptr || comparator == nullptr) return 0;
  if (list->count < 2 || list->first == nullptr) return 1;
  if (!qorb::lst::SortThroughArray(list, comparator)) qorb::lst::SortInPlace(list, comparator);
  qorb::lst::Renumber(list);
  return 1;
}

}  // extern "C"
