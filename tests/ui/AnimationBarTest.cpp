#include "ui/AnimationBar.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr ColorRef kBar = 0x0000FF00;
constexpr ColorRef kExpired = 0x00FF00FF;

BarSettings Settings(std::int32_t interval, std::int32_t barHeight = 1) {
  BarSettings s;
  s.permissibleInputInterval = interval;
  s.barHeight = barHeight;
  s.barColor = kBar;
  s.expiredColor = kExpired;
  return s;
}

constexpr std::int32_t kWidth = 75;
constexpr std::int32_t kHeight = 19;

}  // namespace

TEST(BarElapsed, WrapsAroundAsSigned) {
  EXPECT_EQ(ElapsedSince(6000, 5000), 1000);
  EXPECT_EQ(ElapsedSince(5, 0xFFFFFFF0u), 21);          // tick count wrapped
  EXPECT_EQ(ElapsedSince(100, 200), -100);              // last input ahead of now
  EXPECT_EQ(ElapsedSince(0, 0x80000000u), std::numeric_limits<std::int32_t>::min());
}

TEST(BarExpiry, EqualIntervalIsNotExpired) {
  EXPECT_FALSE(IsInputExpired(1000, 1000));
  EXPECT_TRUE(IsInputExpired(1001, 1000));
  EXPECT_FALSE(IsInputExpired(-5, 1000));
}

TEST(BarExpiry, NonPositiveIntervalIsAlwaysExpired) {
  for (std::int32_t interval : {0, -1, -1000}) {
    for (std::int32_t elapsed : {-100, 0, 1, 5000}) {
      EXPECT_TRUE(IsInputExpired(elapsed, interval)) << interval << " " << elapsed;
      EXPECT_EQ(BarFraction(elapsed, interval), 1.0);
    }
  }
}

TEST(BarFraction, LimitedAboveOnly) {
  EXPECT_DOUBLE_EQ(BarFraction(250, 1000), 0.25);
  EXPECT_DOUBLE_EQ(BarFraction(5000, 1000), 1.0);
  EXPECT_DOUBLE_EQ(BarFraction(-500, 1000), -0.5);
}

TEST(BarRectangle, BandAlongTheBottom) {
  // Height 1: three rows from the bottom of the window rectangle.
  BarRect rect = BarRectangle(kWidth, kHeight, 1, 0.25);
  EXPECT_EQ(rect, (BarRect{0, 16, 18, 19}));  // 75 × 0.25 = 18.75, truncated
  EXPECT_EQ(rect.bottom - rect.top, 3);
  EXPECT_EQ(BarRectangle(kWidth, kHeight, 4, 1.0), (BarRect{0, 13, 75, 19}));
}

TEST(BarRectangle, NegativeFractionIsEmpty) {
  BarRect rect = BarRectangle(kWidth, kHeight, 1, -0.5);
  EXPECT_EQ(rect.right, -37);  // truncated toward zero
  EXPECT_TRUE(rect.IsEmpty());
}

TEST(BarRectangle, ExtremeValuesStayInRange) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(BarRectangle(kWidth, kHeight, kMax, 1.0).top, kHeight - 2 - kMax);
  EXPECT_EQ(BarRectangle(kWidth, kHeight, kMin, 1.0).top, kMax);
  EXPECT_TRUE(BarRectangle(kWidth, kHeight, kMin, 1.0).IsEmpty());
  // elapsed INT32_MIN over an interval of 1 ms.
  EXPECT_EQ(BarRectangle(kMax, kHeight, 1, BarFraction(kMin, 1)).right, kMin);
}

TEST(AnimationBar, GrowsThenExactlyOneExpiredFrameThenStops) {
  AnimationBar bar;
  const BarSettings s = Settings(1000);
  const std::uint32_t last = 5000;

  BarFrame frame = bar.NextFrame(true, 5300, last, s, kWidth, kHeight);
  EXPECT_TRUE(frame.draw);
  EXPECT_FALSE(frame.stopTimer);
  EXPECT_EQ(frame.rect, (BarRect{0, 16, 22, 19}));  // 75 × 0.3 = 22.5
  EXPECT_EQ(frame.color, kBar);

  // Exactly the interval: full width, still the running colour.
  frame = bar.NextFrame(false, 6000, last, s, kWidth, kHeight);
  EXPECT_TRUE(frame.draw);
  EXPECT_EQ(frame.rect.right, kWidth);
  EXPECT_EQ(frame.color, kBar);
  EXPECT_FALSE(bar.barExpired());

  // One millisecond later: full width in the expired colour, timer still running.
  frame = bar.NextFrame(false, 6001, last, s, kWidth, kHeight);
  EXPECT_TRUE(frame.draw);
  EXPECT_FALSE(frame.stopTimer);
  EXPECT_EQ(frame.rect.right, kWidth);
  EXPECT_EQ(frame.color, kExpired);
  EXPECT_TRUE(bar.barExpired());

  // Every later tick only stops the timer.
  for (std::uint32_t now : {6001u, 6100u, 9000u}) {
    frame = bar.NextFrame(false, now, last, s, kWidth, kHeight);
    EXPECT_FALSE(frame.draw);
    EXPECT_TRUE(frame.stopTimer);
  }
}

TEST(AnimationBar, ResetAllowsAnotherExpiredFrame) {
  AnimationBar bar;
  const BarSettings s = Settings(1000);
  EXPECT_EQ(bar.NextFrame(true, 9000, 0, s, kWidth, kHeight).color, kExpired);
  EXPECT_TRUE(bar.NextFrame(false, 9100, 0, s, kWidth, kHeight).stopTimer);
  // A new show with an input that already ran out (lastInputTick 0 after a dialog
  // search): the expired bar is shown at once, once.
  BarFrame frame = bar.NextFrame(true, 9200, 0, s, kWidth, kHeight);
  EXPECT_TRUE(frame.draw);
  EXPECT_EQ(frame.color, kExpired);
  EXPECT_EQ(frame.rect.right, kWidth);
  // A fresh input after a reset runs in the normal colour again.
  frame = bar.NextFrame(true, 9300, 9250, s, kWidth, kHeight);
  EXPECT_EQ(frame.color, kBar);
  EXPECT_FALSE(bar.barExpired());
}

TEST(AnimationBar, NegativeElapsedDrawsNothingVisibleAndKeepsRunning) {
  AnimationBar bar;
  const BarSettings s = Settings(1000);
  for (int tick = 0; tick < 5; ++tick) {
    BarFrame frame = bar.NextFrame(tick == 0, 1000 + tick * 100, 5000, s, kWidth, kHeight);
    EXPECT_TRUE(frame.draw);
    EXPECT_FALSE(frame.stopTimer);
    EXPECT_TRUE(frame.rect.IsEmpty());
    EXPECT_EQ(frame.color, kBar);
  }
}

TEST(AnimationBar, NonPositiveIntervalShowsFullExpiredBarOnce) {
  for (std::int32_t interval : {0, -1, -1000}) {
    AnimationBar bar;
    const BarSettings s = Settings(interval);
    // Even with no time passed at all (elapsed 0, which would be 0 / 0).
    BarFrame frame = bar.NextFrame(true, 7000, 7000, s, kWidth, kHeight);
    EXPECT_TRUE(frame.draw) << interval;
    EXPECT_EQ(frame.rect, (BarRect{0, 16, kWidth, kHeight})) << interval;
    EXPECT_EQ(frame.color, kExpired) << interval;
    frame = bar.NextFrame(false, 7100, 7000, s, kWidth, kHeight);
    EXPECT_FALSE(frame.draw) << interval;
    EXPECT_TRUE(frame.stopTimer) << interval;
  }
}

TEST(AnimationBar, SettingsComeFromTheAppSettings) {
  AppSettings app;
  app.permissibleInputInterval = 750;
  app.tooltipAnimationBarHeight = 3;
  app.tooltipAnimationBarColor = kBar;
  app.tooltipExpiredColor = kExpired;
  const BarSettings s = BarSettings::From(app);
  EXPECT_EQ(s.permissibleInputInterval, 750);
  EXPECT_EQ(s.barHeight, 3);
  EXPECT_EQ(s.barColor, kBar);
  EXPECT_EQ(s.expiredColor, kExpired);
  // The defaults: blue running, red expired.
  const BarSettings d = BarSettings::From(AppSettings{});
  EXPECT_EQ(d.barColor, 0x00FF0000u);
  EXPECT_EQ(d.expiredColor, 0x000000FFu);
}
