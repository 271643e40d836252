// The three sorts of a list view, carried out inside the view's own process and thread
// (the hook runs there). The order is computed first (SortOrder.h); the list view's own
// sort then only replays it through a comparator that looks up each item's rank, so the
// result is exactly that order whatever algorithm the list view sorts with.
//
// The comparator must know which item it is given. LVM_SORTITEMS hands over the items'
// lParam values, which identify them when they all differ (Explorer keeps an item ID list
// pointer there). A list whose lParam values are all 0 uses none of them: they are set to
// 1..n for the sort and put back to 0. Any other list is sorted with LVM_SORTITEMSEX and
// the view's own item IDs on Windows; under Wine, whose LVM_SORTITEMSEX hands over
// positions in a copy of the items, such a list is not sorted (a beep). Every result is
// checked against the computed order; a wrong one is answered with a beep.
#pragma once

#include <windows.h>

#include <cstdint>

#include "tapline/KeyDecision.h"

namespace tapline {

// Beeps, changing nothing, when the view cannot be sorted this way: a virtual list, a
// sort by check state without check boxes, or no memory for the keys.
void SortListView(HWND view, SortKind kind, const std::uint16_t* nisHeader);

}  // namespace tapline
