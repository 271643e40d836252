// The order of the three list-view sorts that the hook carries out itself.
//
//   SelectState   selected items first
//   CheckState    checked items first
//   NumberInName  ascending by the number in the name after the NIS header; items
//                 without such a number last
//
// Every sort is stable: items with equal keys keep their relative order. When the view
// is already in that order, the same shortcut sorts the other way round (unselected or
// unchecked first, descending numbers; items without a number stay last), so pressing it
// again toggles the direction.
#pragma once

#include <cstdint>

#include "tapline/KeyDecision.h"

namespace tapline {

struct SortKey {
  std::uint64_t value;  // 1/0 for selected or checked, else the number
  bool present;         // false: the name holds no number after the header
};

// Below zero when item `a` goes before item `b`, above zero when after, zero when the
// keys do not decide.
int CompareSortKeys(SortKind kind, bool reversed, const SortKey& a, const SortKey& b);

// Fills `order` (order[k] = the current index of the item that goes to position k) using
// `scratch` (count entries). Returns false when neither direction changes the order.
bool ComputeSortOrder(SortKind kind, const SortKey* keys, std::uint32_t count, std::uint32_t* order,
                      std::uint32_t* scratch, bool& reversed);

// The first run of digits (ASCII or full-width) after the first occurrence of `header`
// in `name` (ASCII and full-width Latin letters compared without regard to case); an
// empty header finds the first number of the name. Values beyond 64 bits saturate.
// Both texts are NUL-terminated UTF-16.
bool FindNumberAfterHeader(const std::uint16_t* name, const std::uint16_t* header, std::uint64_t& value);

}  // namespace tapline
