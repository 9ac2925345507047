// sort.cpp - ordering a list with a caller's comparator: inserting one item
// in order, and sorting the whole list in place by comb sort.
//
// Relies on: the linking helpers of link.h, MemAllocMem_ for the new item.
#include <cstdint>
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

// One pass over the pairs `gap` apart; true when it exchanged any. Two items
// that compare 0 both ways are equal and stay where they are, so that a
// comparator answering 0 for equal data still lets the sort come to rest.
bool CombPass(LstList *list, uint32_t gap, LstComparator comparator) {
  LstItem *a = list->first;
  LstItem *b = a;
  for (uint32_t i = 0; i < gap && b != nullptr; ++i) b = b->next;
  bool swapped = false;
  for (uint32_t k = list->count - gap; k > 0 && b != nullptr; --k) {
    if (comparator(a->data, b->data) == 0 && comparator(b->data, a->data) != 0) {
      SwapPositions(list, a, b);
      std::swap(a, b);  // go on from the places, not the moved items
      swapped = true;
    }
    a = a->next;
    b = b->next;
  }
  return swapped;
}

void CombSort(LstList *list, LstComparator comparator) {
  const uint32_t count = list->count;
  uint32_t gap = count;
  // Passes at gap 1 are bubble-sort passes: a consistent order needs at most
  // `count` of them; the bound makes the sort end whatever the comparator.
  uint32_t gapOnePasses = 0;
  bool swapped = false;
  do {
    gap = ShrinkGap(gap);
    swapped = CombPass(list, gap, comparator);
    if (gap == 1) ++gapOnePasses;
  } while ((swapped || gap > 1) && gapOnePasses < count);
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
  qorb::lst::CombSort(list, comparator);
  qorb::lst::Renumber(list);
  return 1;
}

}  // extern "C"
