// list.cpp - list headers: creating and freeing a list with its mutex,
// emptying it, finding an item by its data, and the caller's lock.
//
// Relies on: MemAllocMem_/MemFreeMem_ for the header and items, the Sem mutex
// calls for the per-list lock.
#include <cstddef>

#include "links/link.h"

// The documented 32-bit layout of the two records other families walk.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(LstList, first) == 0 && offsetof(LstList, last) == 4);
static_assert(offsetof(LstList, count) == 8 && offsetof(LstList, indexed) == 12);
static_assert(offsetof(LstList, mutex) == 16 && sizeof(LstList) == 20);
static_assert(offsetof(LstItem, inList) == 0 && offsetof(LstItem, data) == 4);
static_assert(offsetof(LstItem, list) == 8 && offsetof(LstItem, prev) == 12);
static_assert(offsetof(LstItem, next) == 16 && offsetof(LstItem, index) == 20);
static_assert(sizeof(LstItem) == 24);
#endif

extern "C" {

QORB_API LstList *LstNewList(uint32_t flags) {
  auto *list =
      static_cast<LstList *>(MemAllocMem_(sizeof(LstList), __LINE__, qorb::lst::kSourcePath));
  if (list == nullptr) return nullptr;
  list->indexed = (flags & LST_INDEXED) != 0 ? 1 : 0;
  // A list whose mutex could not be made still works; only LstLock and
  // LstUnlock then fail.
  SemCreateMutex(&list->mutex, nullptr, 0, 0);
  return list;
}

QORB_API uint32_t LstFreeList_(LstList *list) {
  if (list == nullptr) return 1;
  qorb::lst::FreeAllItems(list, false);
  // The owner may free the list while holding its lock; a failure here only
  // means the caller did not hold it.
  SemReleaseMutex(&list->mutex);
  SemCloseMutex(&list->mutex);
  MemFreeMem_(list);
  return 1;
}

QORB_API uint32_t LstDeleteAll(LstList *list) {
  if (list != nullptr) qorb::lst::FreeAllItems(list, false);
  return 1;
}

QORB_API uint32_t LstDeleteAllBoth(LstList *list) {
  if (list != nullptr) qorb::lst::FreeAllItems(list, true);
  return 1;
}

QORB_API LstItem *LstGetItem(LstList *list, void *data) {
  if (list == nullptr) return nullptr;
  for (LstItem *item = list->first; item != nullptr; item = item->next) {
    if (item->data == data) return item;
  }
  return nullptr;
}

QORB_API uint32_t LstLock(LstList *list) {
  if (list == nullptr) return 0;
  return SemRequestMutex(&list->mutex, SEM_INDEFINITE_WAIT) == 0 ? 1 : 0;
}

QORB_API uint32_t LstUnlock(LstList *list) {
  if (list == nullptr) return 0;
  return SemReleaseMutex(&list->mutex) == 0 ? 1 : 0;
}

}  // extern "C"
