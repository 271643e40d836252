#include "ui/TooltipLayout.h"

#include <algorithm>
#include <limits>

namespace {

// Rectangles come from another process: keep the arithmetic in range whatever they hold.
std::int32_t ClampToInt32(std::int64_t value) {
  constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::clamp(value, lo, hi));
}

}  // namespace

std::string TooltipText(std::string_view inputText, const char* matchedText) {
  std::string text(inputText);
  if (matchedText != nullptr && *matchedText != '\0') {
    text += " : ";
    text += matchedText;
  }
  return text;
}

TipPoint TooltipPosition(const ItemRect& itemRect) {
  const std::int64_t height = std::int64_t{itemRect.bottom} - itemRect.top;
  TipPoint point;
  point.x = ClampToInt32(itemRect.left + height);
  point.y = ClampToInt32(itemRect.bottom + height / 2);
  return point;
}
