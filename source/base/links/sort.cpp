// sort.cpp - ordering a list with a caller's comparator: inserting one item
// in order, and sorting the whole list in place by comb sort.
//
// Relies on: the linking helpers of link.h, MemAllocMem_ for the new item,
// malloc for the sort's scratch array (optional: without it the sort works on
// the links directly).
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "links/link.h"

namespace qorb::lst {
namespace {

// Exchanges the places of two items of one list, `a` standing before `b`;
// the items move, their data stays with them.
void SwapPositions(LstList *list, LstItem *a, LstItem *b) {
  LstItem *beforeA = a->prev;
  LstItem *afterB = b->next;
  if (a->next == b) {
    b->prev = beforeA;
    b->next = a;
    a->prev = b;
    a->next = afterB;
  } else {
    LstItem *afterA = a->next;
    LstItem *beforeB = b->prev;
    b->prev = beforeA;
    b->next = afterA;
    afterA->prev = b;
    a->prev = beforeB;
    a->next = afterB;
    beforeB->next = a;
  }
  if (beforeA != nullptr) {
    beforeA->next = b;
  } else {
    list->first = b;
  }
  if (afterB != nullptr) {
    afterB->prev = a;
  } else {
    list->last = a;
  }
}

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

// The list itself as the comb sort's sequence: positions are items, and an
// exchange moves the two items and carries on from their old places.
class ListSequence {
 public:
  using Position = LstItem *;
  explicit ListSequence(LstList *list) : list_(list) {}
  Position First() const { return list_->first; }
  static Position Next(Position at) { return at->next; }
  static bool Valid(Position at) { return at != nullptr; }
  static void *Data(Position at) { return at->data; }
  void Exchange(Position &a, Position &b) {
    SwapPositions(list_, a, b);
    std::swap(a, b);
  }

 private:
  LstList *list_;
};

// A scratch copy of the list's order: the same positions, items and
// comparisons as on the list, but walked through a flat array, so a pass
// does not chase pointers across memory. The chain is relinked once at the
// end.
struct Entry {
  LstItem *item;
  void *data;
};

class ArraySequence {
 public:
  using Position = Entry *;
  explicit ArraySequence(Entry *entries) : entries_(entries) {}
  Position First() const { return entries_; }
  static Position Next(Position at) { return at + 1; }
  static bool Valid(Position /*at*/) { return true; }
  static void *Data(Position at) { return at->data; }
  static void Exchange(Position a, Position b) { std::swap(*a, *b); }

 private:
  Entry *entries_;
};

// One pass over the pairs `gap` apart; true when it exchanged any.
template <class Sequence>
bool CombPass(Sequence &sequence, uint32_t count, uint32_t gap, LstComparator comparator) {
  typename Sequence::Position a = sequence.First();
  typename Sequence::Position b = a;
  for (uint32_t i = 0; i < gap && Sequence::Valid(b); ++i) b = Sequence::Next(b);
  bool swapped = false;
  for (uint32_t k = count - gap; k > 0 && Sequence::Valid(b); --k) {
    if (OutOfOrder(comparator, Sequence::Data(a), Sequence::Data(b))) {
      sequence.Exchange(a, b);
      swapped = true;
    }
    a = Sequence::Next(a);
    b = Sequence::Next(b);
  }
  return swapped;
}

template <class Sequence>
void CombSort(Sequence &sequence, uint32_t count, LstComparator comparator) {
  uint32_t gap = count;
  // Passes at gap 1 are bubble-sort passes: a consistent order needs at most
  // `count` of them; the bound makes the sort end whatever the comparator.
  uint32_t gapOnePasses = 0;
  bool swapped = false;
  do {
    gap = ShrinkGap(gap);
    swapped = CombPass(sequence, count, gap, comparator);
    if (gap == 1) ++gapOnePasses;
  } while ((swapped || gap > 1) && gapOnePasses < count);
}

// Below this many items the scratch array costs more than it saves.
constexpr uint32_t kArrayFromCount = 64;

void RelinkInOrder(LstList *list, const Entry *entries, uint32_t count) {
  for (uint32_t k = 0; k < count; ++k) {
    LstItem *item = entries[k].item;
    item->prev = k > 0 ? entries[k - 1].item : nullptr;
    item->next = k + 1 < count ? entries[k + 1].item : nullptr;
  }
  list->first = entries[0].item;
  list->last = entries[count - 1].item;
}

// Sorts through a scratch array; false, with nothing changed, when there is
// no memory for it or the links disagree with the count.
bool SortThroughArray(LstList *list, LstComparator comparator) {
  const uint32_t count = list->count;
  // Scratch space for one call, never handed out: taken from the C library
  // so that a list near the tracked limits can still be sorted.
  auto *entries = static_cast<Entry *>(std::malloc(sizeof(Entry) * count));
  if (entries == nullptr) return false;
  uint32_t filled = 0;
  LstItem *item = list->first;
  for (; item != nullptr && filled < count; item = item->next) {
    entries[filled++] = Entry{item, item->data};
  }
  const bool agrees = filled == count && item == nullptr;
  if (agrees) {
    ArraySequence sequence(entries);
    CombSort(sequence, count, comparator);
    RelinkInOrder(list, entries, count);
  }
  std::free(entries);
  return agrees;
}

// Either way the same comparisons give the same order; the array only spares
// the passes their walk across scattered items.
void SortList(LstList *list, LstComparator comparator) {
  if (list->count >= kArrayFromCount && SortThroughArray(list, comparator)) return;
  ListSequence sequence(list);
  CombSort(sequence, list->count, comparator);
}

}  // namespace
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
  if (list->count < 2) return 1;
  qorb::lst::SortList(list, comparator);
  qorb::lst::Renumber(list);
  return 1;
}

}  // extern "C"
