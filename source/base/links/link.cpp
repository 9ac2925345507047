// link.cpp - the four ways an item enters a list, the way it leaves, and the
// position numbers of indexed lists.
//
// Relies on: nothing beyond the list records and MemFreeMem_.
#include "links/link.h"

namespace qorb::lst {
namespace {

void MarkLinked(LstList *list, LstItem *item) {
  item->inList = 1;
  item->list = list;
  ++list->count;
}

}  // namespace

void LinkAtHead(LstList *list, LstItem *item) {
  item->prev = nullptr;
  item->next = list->first;
  if (list->first != nullptr) {
    list->first->prev = item;
  } else {
    list->last = item;
  }
  list->first = item;
  MarkLinked(list, item);
}

void LinkAtEnd(LstList *list, LstItem *item) {
  item->next = nullptr;
  item->prev = list->last;
  if (list->last != nullptr) {
    list->last->next = item;
  } else {
    list->first = item;
  }
  list->last = item;
  MarkLinked(list, item);
}

void LinkAfter(LstList *list, LstItem *item, LstItem *after) {
  item->prev = after;
  item->next = after->next;
  if (after->next != nullptr) {
    after->next->prev = item;
  } else {
    list->last = item;
  }
  after->next = item;
  MarkLinked(list, item);
}

void LinkBefore(LstList *list, LstItem *item, LstItem *before) {
  item->next = before;
  item->prev = before->prev;
  if (before->prev != nullptr) {
    before->prev->next = item;
  } else {
    list->first = item;
  }
  before->prev = item;
  MarkLinked(list, item);
}

void Unlink(LstItem *item) {
  LstList *list = item->list;
  if (item->prev != nullptr) {
    item->prev->next = item->next;
  } else {
    list->first = item->next;
  }
  if (item->next != nullptr) {
    item->next->prev = item->prev;
  } else {
    list->last = item->prev;
  }
  --list->count;
  item->inList = 0;
  item->prev = nullptr;
  item->next = nullptr;
  item->index = 0;
  Renumber(list);
}

void Renumber(LstList *list) {
  if (list->indexed == 0) return;
  uint32_t index = 0;
  for (LstItem *item = list->first; item != nullptr; item = item->next) item->index = index++;
}

void FreeAllItems(LstList *list, bool freeData) {
  LstItem *item = list->first;
  while (item != nullptr) {
    LstItem *next = item->next;
    if (freeData && item->data != nullptr) MemFreeMem_(item->data);
    MemFreeMem_(item);
    item = next;
  }
  list->first = nullptr;
  list->last = nullptr;
  list->count = 0;
}

}  // namespace qorb::lst
