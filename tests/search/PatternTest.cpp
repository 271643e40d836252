#include <gtest/gtest.h>

#include "search/Pattern.h"

namespace {

bool Matches(const wchar_t* pattern, const wchar_t* text, bool icase = true) {
  boost::regex_constants::syntax_option_type flags = boost::regex_constants::perl;
  if (icase) flags |= boost::regex_constants::icase;
  return boost::regex_match(std::wstring(text), Pattern(pattern, flags));
}

TEST(RegexTraitsTest, FullWidthLettersFoldWithoutRegardToCase) {
  EXPECT_TRUE(Matches(L"(ＡＢ)", L"ａｂ"));
  EXPECT_TRUE(Matches(L"(ａｂ)", L"ＡＢ"));
  EXPECT_TRUE(Matches(L"(Ｋａｉｓｙａ)", L"ＫＡＩＳＹＡ"));
  EXPECT_TRUE(Matches(L"[Ａ-Ｚ]+", L"ｑｒｓ"));
  EXPECT_FALSE(Matches(L"(ＡＢ)", L"ａｂ", false));
}

TEST(RegexTraitsTest, GreekAndCyrillicFold) {
  EXPECT_TRUE(Matches(L"ΑΒΓ", L"αβγ"));
  EXPECT_TRUE(Matches(L"дом", L"ДОМ"));
  EXPECT_TRUE(Matches(L"[а-я]+", L"ПРИВЕТ"));
}

TEST(RegexTraitsTest, AsciiFoldsAndKanaStaysAsItIs) {
  EXPECT_TRUE(Matches(L"kaisya", L"KAISYA"));
  EXPECT_FALSE(Matches(L"かいしゃ", L"カイシャ"));
  EXPECT_TRUE(Matches(L"(会社|かいしゃ)\\.txt", L"かいしゃ.TXT"));
}

TEST(SearchPatternTest, AFailedPatternMatchesNothingUntilReplaced) {
  SearchPattern pattern;
  EXPECT_FALSE(pattern.Usable());
  pattern.Replace(Pattern(L"(a)"));
  EXPECT_TRUE(pattern.Usable());
  pattern.MarkFailed();
  EXPECT_FALSE(pattern.Usable());
  EXPECT_FALSE(pattern.Empty());
  pattern.Replace(Pattern(L"(b)"));
  EXPECT_TRUE(pattern.Usable());
  EXPECT_EQ(pattern.regex().str(), L"(b)");
}

}  // namespace
