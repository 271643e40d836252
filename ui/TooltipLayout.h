// What the input tooltip shows and where it stands: its text and the point for its
// top-left corner beside the matched item.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "view/ViewAccess.h"

struct TipPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const TipPoint& o) const { return x == o.x && y == o.y; }
};

// "input : matched", or the input alone when `matchedText` is null or empty.
std::string TooltipText(std::string_view inputText, const char* matchedText);

// The tip's top-left corner in the view's client coordinates: one item height to the
// right of the label's left edge and half an item height below its bottom (the half
// rounded toward zero).
TipPoint TooltipPosition(const ItemRect& itemRect);
