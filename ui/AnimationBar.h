// The bar along the input tooltip's bottom edge. It grows with the time passed since the
// input was last extended, reaches the full width when the permissible input interval
// has run out, is then drawn once more in the expired colour, and stops.
#pragma once

#include <cstdint>

#include "settings/AppSettings.h"

struct BarSettings {
  std::int32_t permissibleInputInterval = 1000;  // the bar's full duration, ms
  std::int32_t barHeight = 1;                    // pixels (the filled band is 2 higher)
  ColorRef barColor = 0x00FF0000;
  ColorRef expiredColor = 0x000000FF;

  static BarSettings From(const AppSettings& settings);
};

// A rectangle in the tooltip's client coordinates; right and bottom are exclusive.
struct BarRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool operator==(const BarRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// Milliseconds from `lastInputTick` to `now` across the 32-bit wrap-around, as a signed
// number: negative when `lastInputTick` lies ahead of `now`.
std::int32_t ElapsedSince(std::uint32_t now, std::uint32_t lastInputTick);

// The input has run out once more than `interval` ms have passed (exactly `interval` has
// not). An interval of 0 or below leaves no time at all: the input counts as expired.
bool IsInputExpired(std::int32_t elapsed, std::int32_t interval);

// How much of the interval has passed: at most 1.0, below 0 when `elapsed` is negative.
// A non-positive interval counts as fully passed (1.0).
double BarFraction(std::int32_t elapsed, std::int32_t interval);

// The filled band for a window of `width` × `height`: left 0, top
// height − barHeight − 2, right width × fraction (truncated), bottom height.
BarRect BarRectangle(std::int32_t width, std::int32_t height, std::int32_t barHeight,
                     double fraction);

// One tick's worth of work for the painter.
struct BarFrame {
  bool draw = false;       // paint `rect` in `color`
  bool stopTimer = false;  // the expired frame is already on screen: stop the animation
  BarRect rect;
  ColorRef color = 0;
};

// The bar's state between ticks: whether the expired frame has been drawn.
class AnimationBar {
 public:
  // The frame for the current tick. `reset` starts a new show (the expired frame may be
  // drawn again); `width` and `height` are the tooltip window's size.
  BarFrame NextFrame(bool reset, std::uint32_t now, std::uint32_t lastInputTick,
                     const BarSettings& settings, std::int32_t width, std::int32_t height);

  bool barExpired() const { return barExpired_; }

 private:
  bool barExpired_ = false;
};
