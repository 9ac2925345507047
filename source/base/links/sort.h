// sort.h - the two ways LstSort orders a list, open to the tests so that
// both can be run on the same list and their orders compared.
//
// Relies on: qorb32n.h for LstList and LstComparator. Only links/*.cpp and
// the list tests include it.
#pragma once

#include "qorb32n.h"

namespace qorb::lst {

// Sorts over a temporary array of the items taken from the host allocator
// (untracked, freed before return); false, touching nothing, when the array
// cannot be had. The list holds at least two items.
bool SortThroughArray(LstList *list, LstComparator comparator);

// Sorts by walking the chain itself, with no memory beyond the items: the
// same comparisons and exchanges as SortThroughArray, so the same order.
void SortInPlace(LstList *list, LstComparator comparator);

}  // namespace qorb::lst
