// items.cpp - items: creating and freeing them, the insertions at the head,
// the end and next to a neighbour, and taking them out again.
//
// Relies on: the linking helpers of link.h, MemAllocMem_/MemFreeMem_.
#include "links/link.h"

namespace qorb::lst {
namespace {

LstItem *NewItem(void *data) {
  auto *item = static_cast<LstItem *>(MemAllocMem_(sizeof(LstItem), __LINE__, kSourcePath));
  if (item != nullptr) item->data = data;
  return item;
}

// An end insertion through LstInsertItem gives the item the next position
// directly; every other insertion renumbers the whole list.
void InsertByFlags(LstList *list, LstItem *item, uint32_t flags) {
  if ((flags & LST_AT_END) != 0) {
    const uint32_t position = list->count;
    LinkAtEnd(list, item);
    if (list->indexed != 0) item->index = position;
  } else {
    LinkAtHead(list, item);
    Renumber(list);
  }
}

}  // namespace
}  // namespace qorb::lst

extern "C" {

QORB_API LstItem *LstNew(void *data) {
  return qorb::lst::NewItem(data);
}

QORB_API uint32_t LstFree(LstItem *item) {
  if (item == nullptr) return 1;
  // Freeing a linked item would leave its list pointing at freed memory, so
  // such an item is taken out first.
  if (item->inList != 0 && item->list != nullptr) qorb::lst::Unlink(item);
  MemFreeMem_(item);
  return 1;
}

QORB_API LstItem *LstInsert(LstList *list, void *data, uint32_t flags) {
  if (list == nullptr) return nullptr;
  LstItem *item = qorb::lst::NewItem(data);
  if (item != nullptr) qorb::lst::InsertByFlags(list, item, flags);
  return item;
}

QORB_API uint32_t LstInsertItem(LstList *list, LstItem *item, uint32_t flags) {
  if (list == nullptr || item == nullptr || item->inList != 0) return 0;
  qorb::lst::InsertByFlags(list, item, flags);
  return 1;
}

QORB_API uint32_t LstInsertAfter(LstList *list, LstItem *item, LstItem *after) {
  if (list == nullptr || item == nullptr || item->inList != 0) return 0;
  if (after == nullptr) {
    qorb::lst::LinkAtHead(list, item);
  } else {
    if (!qorb::lst::IsLinkedInto(after, list)) return 0;  // not a place in this list
    qorb::lst::LinkAfter(list, item, after);
  }
  qorb::lst::Renumber(list);
  return 1;
}

QORB_API uint32_t LstInsertBefore(LstList *list, LstItem *item, LstItem *before) {
  if (list == nullptr || item == nullptr || item->inList != 0) return 0;
  if (before == nullptr) {
    qorb::lst::LinkAtEnd(list, item);
  } else {
    if (!qorb::lst::IsLinkedInto(before, list)) return 0;  // not a place in this list
    qorb::lst::LinkBefore(list, item, before);
  }
  qorb::lst::Renumber(list);
  return 1;
}

QORB_API uint32_t LstRemoveItem(LstItem *item) {
  if (item == nullptr) return 1;
  if (item->inList == 0 || item->list == nullptr) return 0;
  qorb::lst::Unlink(item);
  return 1;
}

QORB_API uint32_t LstDelete(LstItem *item) {
  if (item == nullptr) return 1;
  if (item->inList == 0 || item->list == nullptr) return 0;
  qorb::lst::Unlink(item);
  MemFreeMem_(item);
  return 1;
}

}  // extern "C"
