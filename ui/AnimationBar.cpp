#include "ui/AnimationBar.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

std::int32_t ClampToInt32(double value) {
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  if (std::isnan(value)) return 0;
  return static_cast<std::int32_t>(std::clamp(value, lo, hi));
}

std::int32_t ClampToInt32(std::int64_t value) {
  constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::clamp(value, lo, hi));
}

}  // namespace

BarSettings BarSettings::From(const AppSettings& settings) {
  BarSettings bar;
  bar.permissibleInputInterval = settings.permissibleInputInterval;
  bar.barHeight = settings.tooltipAnimationBarHeight;
  bar.barColor = settings.tooltipAnimationBarColor;
  bar.expiredColor = settings.tooltipExpiredColor;
  return bar;
}

std::int32_t ElapsedSince(std::uint32_t now, std::uint32_t lastInputTick) {
  // Unsigned subtraction wraps; the two's-complement reading gives the signed distance.
  const std::uint32_t difference = now - lastInputTick;
  return static_cast<std::int32_t>(difference);
}

bool IsInputExpired(std::int32_t elapsed, std::int32_t interval) {
  if (interval <= 0) return true;
  return interval < elapsed;
}

double BarFraction(std::int32_t elapsed, std::int32_t interval) {
  if (interval <= 0) return 1.0;
  return std::min(1.0, static_cast<double>(elapsed) / static_cast<double>(interval));
}

BarRect BarRectangle(std::int32_t width, std::int32_t height, std::int32_t barHeight,
                     double fraction) {
  BarRect rect;
  rect.left = 0;
  rect.top = ClampToInt32(std::int64_t{height} - barHeight - 2);
  rect.right = ClampToInt32(std::trunc(static_cast<double>(width) * fraction));
  rect.bottom = height;
  return rect;
}

BarFrame AnimationBar::NextFrame(bool reset, std::uint32_t now, std::uint32_t lastInputTick,
                                 const BarSettings& settings, std::int32_t width,
                                 std::int32_t height) {
  if (reset) barExpired_ = false;
  const std::int32_t elapsed = ElapsedSince(now, lastInputTick);
  BarFrame frame;
  if (IsInputExpired(elapsed, settings.permissibleInputInterval)) {
    if (barExpired_) {
      frame.stopTimer = true;
      return frame;
    }
    barExpired_ = true;
  }
  frame.draw = true;
  frame.rect = BarRectangle(width, height, settings.barHeight,
                            BarFraction(elapsed, settings.permissibleInputInterval));
  frame.color = barExpired_ ? settings.expiredColor : settings.barColor;
  return frame;
}
