// link.h - what the list family's source files share: linking an item at a
// place in a list, unlinking it and keeping positions of indexed lists.
//
// Relies on: qorb32n.h for LstList and LstItem. Only links/*.cpp include it.
#pragma once

#include "qorb32n.h"

namespace qorb::lst {

// The source path every list allocation carries.
inline constexpr const char *kSourcePath = "base\\links";

// Each links a free-standing item and counts it; positions are the caller's
// business (see Renumber).
void LinkAtHead(LstList *list, LstItem *item);
void LinkAtEnd(LstList *list, LstItem *item);
void LinkAfter(LstList *list, LstItem *item, LstItem *after);
void LinkBefore(LstList *list, LstItem *item, LstItem *before);

// Unlinks a linked item from its list and clears its place; renumbers an
// indexed list.
void Unlink(LstItem *item);

// Gives every item of an indexed list its position from 0; nothing for an
// unindexed list.
void Renumber(LstList *list);

// Whether `neighbour` may serve as the place of an insertion into `list`.
inline bool IsLinkedInto(const LstItem *neighbour, const LstList *list) {
  return neighbour->inList != 0 && neighbour->list == list;
}

// Frees every item of the list (and, when asked, each item's data block) and
// leaves the list empty.
void FreeAllItems(LstList *list, bool freeData);

}  // namespace qorb::lst
