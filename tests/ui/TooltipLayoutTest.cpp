#include "ui/TooltipLayout.h"

#include <gtest/gtest.h>

#include <limits>

TEST(TooltipText, JoinsInputAndMatchedText) {
  EXPECT_EQ(TooltipText("abc", "xyz"), "abc : xyz");
  // Shift_JIS bytes pass through untouched: "Kaisya : 会社".
  EXPECT_EQ(TooltipText("Kaisya", "\x89\xEF\x8E\xD0"), "Kaisya : \x89\xEF\x8E\xD0");
}

TEST(TooltipText, NullOrEmptyMatchShowsInputAlone) {
  EXPECT_EQ(TooltipText("abc", nullptr), "abc");
  EXPECT_EQ(TooltipText("abc", ""), "abc");
  EXPECT_EQ(TooltipText("", nullptr), "");
  EXPECT_EQ(TooltipText("", "x"), " : x");
}

TEST(TooltipPosition, OneItemHeightRightHalfBelow) {
  EXPECT_EQ(TooltipPosition({10, 20, 110, 36}), (TipPoint{26, 44}));
  // Odd height: the half is rounded toward zero.
  EXPECT_EQ(TooltipPosition({10, 20, 110, 37}), (TipPoint{27, 45}));
  // Nothing found: all zero puts the corner on the client origin.
  EXPECT_EQ(TooltipPosition({}), (TipPoint{0, 0}));
}

TEST(TooltipPosition, UpsideDownRectangleRoundsTowardZero) {
  // Height -11: x moves left by 11, y by -5 (not -6).
  EXPECT_EQ(TooltipPosition({50, 40, 60, 29}), (TipPoint{39, 24}));
  EXPECT_EQ(TooltipPosition({-30, -10, 0, 0}), (TipPoint{-20, 5}));
}

TEST(TooltipPosition, ExtremeRectanglesStayInRange) {
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(TooltipPosition({kMax, kMin, 0, kMax}), (TipPoint{kMax, kMax}));
  EXPECT_EQ(TooltipPosition({kMin, kMax, 0, kMin}), (TipPoint{kMin, kMin}));
}
