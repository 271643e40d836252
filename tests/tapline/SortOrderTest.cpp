#include "tapline/SortOrder.h"

#include <gtest/gtest.h>

#include <vector>

namespace tapline {
namespace {

struct Result {
  bool changed;
  bool reversed;
  std::vector<std::uint32_t> order;
};

Result Sort(SortKind kind, const std::vector<SortKey>& keys) {
  Result result{false, false, std::vector<std::uint32_t>(keys.size())};
  std::vector<std::uint32_t> scratch(keys.size());
  result.changed = ComputeSortOrder(kind, keys.data(), static_cast<std::uint32_t>(keys.size()), result.order.data(),
                                    scratch.data(), result.reversed);
  return result;
}

std::vector<SortKey> Flags(std::initializer_list<int> flags) {
  std::vector<SortKey> keys;
  for (int flag : flags) keys.push_back(SortKey{static_cast<std::uint64_t>(flag), true});
  return keys;
}

// Applies an order to the keys, as the view's items move.
std::vector<SortKey> Apply(const std::vector<SortKey>& keys, const std::vector<std::uint32_t>& order) {
  std::vector<SortKey> moved;
  for (std::uint32_t index : order) moved.push_back(keys[index]);
  return moved;
}

TEST(SortOrderTest, SelectedItemsComeFirstInTheirOwnOrder) {
  Result result = Sort(SortKind::SelectState, Flags({0, 1, 0, 1, 1}));
  ASSERT_TRUE(result.changed);
  EXPECT_FALSE(result.reversed);
  EXPECT_EQ(result.order, (std::vector<std::uint32_t>{1, 3, 4, 0, 2}));
}

TEST(SortOrderTest, SortingAgainTogglesTheDirection) {
  std::vector<SortKey> keys = Flags({0, 1, 0, 1, 1});
  Result first = Sort(SortKind::CheckState, keys);
  keys = Apply(keys, first.order);
  Result second = Sort(SortKind::CheckState, keys);
  ASSERT_TRUE(second.changed);
  EXPECT_TRUE(second.reversed);
  EXPECT_EQ(second.order, (std::vector<std::uint32_t>{3, 4, 0, 1, 2})) << "unchecked first, each group stable";
  keys = Apply(keys, second.order);
  Result third = Sort(SortKind::CheckState, keys);
  ASSERT_TRUE(third.changed);
  EXPECT_FALSE(third.reversed);
}

TEST(SortOrderTest, NothingToDoWhenAllKeysAreEqual) {
  EXPECT_FALSE(Sort(SortKind::SelectState, Flags({1, 1, 1})).changed);
  EXPECT_FALSE(Sort(SortKind::SelectState, Flags({0})).changed);
  EXPECT_FALSE(Sort(SortKind::NumberInName, {{0, false}, {0, false}}).changed);
}

TEST(SortOrderTest, NumbersAscendStablyWithNamesWithoutANumberLast) {
  std::vector<SortKey> keys = {{10, true}, {2, true}, {0, false}, {2, true}, {1, true}, {0, false}};
  Result result = Sort(SortKind::NumberInName, keys);
  ASSERT_TRUE(result.changed);
  EXPECT_FALSE(result.reversed);
  EXPECT_EQ(result.order, (std::vector<std::uint32_t>{4, 1, 3, 0, 2, 5}));
  keys = Apply(keys, result.order);
  Result again = Sort(SortKind::NumberInName, keys);
  ASSERT_TRUE(again.changed);
  EXPECT_TRUE(again.reversed);
  // Descending: 10, 2, 2 (still in their order), 1, then the two without a number.
  EXPECT_EQ(again.order, (std::vector<std::uint32_t>{3, 1, 2, 0, 4, 5}));
}

std::vector<std::uint16_t> U(const char16_t* text) {
  std::vector<std::uint16_t> units;
  for (; *text; ++text) units.push_back(static_cast<std::uint16_t>(*text));
  units.push_back(0);
  return units;
}

bool Number(const char16_t* name, const char16_t* header, std::uint64_t& value) {
  return FindNumberAfterHeader(U(name).data(), U(header).data(), value);
}

TEST(SortOrderTest, TheNumberAfterTheHeaderIsFound) {
  std::uint64_t value = 0;
  EXPECT_TRUE(Number(u"第12話.mp4", u"第", value));
  EXPECT_EQ(value, 12u);
  EXPECT_TRUE(Number(u"Vol.3 part 2", u"vol.", value)) << "Latin letters without regard to case";
  EXPECT_EQ(value, 3u);
  EXPECT_TRUE(Number(u"ＶＯＬ５", u"ｖｏｌ", value)) << "full-width letters too";
  EXPECT_EQ(value, 5u);
  EXPECT_TRUE(Number(u"2019 report No. 042.txt", u"No.", value)) << "digits before the header do not count";
  EXPECT_EQ(value, 42u);
  EXPECT_TRUE(Number(u"ファイル１０.txt", u"", value)) << "empty header: the first number, full-width digits";
  EXPECT_EQ(value, 10u);
  EXPECT_TRUE(Number(u"a1b22", u"", value));
  EXPECT_EQ(value, 1u);
}

TEST(SortOrderTest, NamesWithoutTheHeaderOrANumberHaveNone) {
  std::uint64_t value = 7;
  EXPECT_FALSE(Number(u"report.txt", u"No.", value));
  EXPECT_FALSE(Number(u"12 No.x", u"No.", value)) << "the number is before the header";
  EXPECT_FALSE(Number(u"", u"", value));
  EXPECT_FALSE(Number(u"No", u"No.", value));
  EXPECT_EQ(value, 7u);
}

TEST(SortOrderTest, HugeNumbersSaturate) {
  std::uint64_t value = 0;
  EXPECT_TRUE(Number(u"x99999999999999999999999999", u"", value));
  EXPECT_EQ(value, ~std::uint64_t{0});
  EXPECT_TRUE(Number(u"x18446744073709551615", u"", value));
  EXPECT_EQ(value, ~std::uint64_t{0});
  EXPECT_TRUE(Number(u"x18446744073709551614", u"", value));
  EXPECT_EQ(value, ~std::uint64_t{0} - 1);
}

}  // namespace
}  // namespace tapline
