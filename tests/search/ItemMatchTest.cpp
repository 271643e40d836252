#include <gtest/gtest.h>

#include "search/ItemMatch.h"
#include "platform/Platform.h"
#include "search/SjisJis.h"
#include "tests/search/SearchTestSupport.h"

namespace {

TEST(LiteralMatchTest, InputMustBeginTheNameIgnoringAsciiCase) {
  EXPECT_TRUE(StartsWithIgnoreCase("Abc", "ab"));
  EXPECT_TRUE(StartsWithIgnoreCase("abc", "ABC"));
  EXPECT_FALSE(StartsWithIgnoreCase("xab", "ab"));  // occurs, but not at the first byte
  EXPECT_FALSE(StartsWithIgnoreCase("ab", "abc"));
  EXPECT_TRUE(StartsWithIgnoreCase("a1-b", "A1-B"));
  EXPECT_FALSE(StartsWithIgnoreCase("[b", "{b"));   // only letters fold
}

TEST(LiteralMatchTest, EmptyInputFindsEveryNonEmptyName) {
  EXPECT_TRUE(StartsWithIgnoreCase("x", ""));
  EXPECT_FALSE(StartsWithIgnoreCase("", ""));
  EXPECT_FALSE(StartsWithIgnoreCase("", "a"));
}

TEST(LiteralMatchTest, DoubleByteCharactersAreComparedWhole) {
  std::string a = Sjis(L"ア.txt");  // 83 41: its trail byte is the letter A
  EXPECT_TRUE(StartsWithIgnoreCase(a, Sjis(L"ア")));
  EXPECT_FALSE(StartsWithIgnoreCase(a, "\x83\x61"));  // ピ (83 61) is not ア, whatever case 0x41 has
  EXPECT_FALSE(StartsWithIgnoreCase(a, "\x83"));      // half of a typed character never matches
  EXPECT_FALSE(StartsWithIgnoreCase(Sjis(L"ａｂ"), "ab"));
  EXPECT_TRUE(StartsWithIgnoreCase(Sjis(L"ｶｲｼｬ.txt"), Sjis(L"ｶｲ")));
  EXPECT_FALSE(StartsWithIgnoreCase("A", "\x82\x60"));  // Ａ against a name that ends early
}

TEST(RegexMatchTest, MatchMustBeginAtTheFirstCharacter) {
  SearchPattern prefix = CompiledPattern(L"(ab)");
  std::string matched = "untouched";
  EXPECT_TRUE(MatchRegex("Abc", prefix, &matched));
  EXPECT_EQ(matched, "Ab");
  matched = "untouched";
  EXPECT_FALSE(MatchRegex("xab", prefix, &matched));
  EXPECT_EQ(matched, "untouched");

  SearchPattern partial = CompiledPattern(L".*(ab)");
  EXPECT_TRUE(MatchRegex("xab", partial, &matched));
  EXPECT_EQ(matched, "ab");
  EXPECT_TRUE(MatchRegex("abXab", partial, &matched));
  EXPECT_EQ(matched, "ab");
  EXPECT_TRUE(MatchRegex("abXab", partial, nullptr));
}

TEST(RegexMatchTest, HalfWidthNamesMatchFullWidthPatterns) {
  SearchPattern pattern = CompiledPattern(L"(テスト)");
  std::string matched;
  EXPECT_TRUE(MatchRegex(Sjis(L"ﾃｽﾄ.txt"), pattern, &matched));
  EXPECT_EQ(matched, Sjis(L"テスト"));
  SearchPattern voiced = CompiledPattern(L"(ヴィーナス|デジカメ)");
  EXPECT_TRUE(MatchRegex(Sjis(L"ｳﾞｨｰﾅｽ"), voiced, &matched));
  EXPECT_TRUE(MatchRegex(Sjis(L"ﾃﾞｼﾞｶﾒ写真"), voiced, &matched));
  EXPECT_EQ(Utf8(matched), "デジカメ");
}

// Plain names skip the round trip through JIS and the code page; they must come out as
// the round trip gives them, every seven-bit byte included (the backslash and the tilde
// are where some Shift_JIS tables differ), and the escape byte must still take the trip.
TEST(RegexMatchTest, PlainNamesComeOutAsTheRoundTripGivesThem) {
  std::string everyByte;
  for (int c = 1; c < 0x80; ++c) everyByte.push_back(static_cast<char>(c));
  for (const std::string& name : {everyByte, std::string("data_00001.txt"), std::string("a\\b~c"),
                                  std::string("\x1B$Bx"), Sjis(L"ﾃｽﾄ_report.txt")}) {
    EXPECT_EQ(EngineText(name), platform::AnsiToWide(JisToSjis(SjisToJis(name)))) << name;
  }
  EXPECT_EQ(EngineText(Sjis(L"ﾃｽﾄ")), L"テスト");
}

TEST(RegexMatchTest, WithoutACompiledPatternNothingMatches) {
  SearchPattern none;
  EXPECT_FALSE(MatchRegex("abc", none, nullptr));
  EXPECT_FALSE(MatchItemName("abc", true, "abc", none, nullptr));
  EXPECT_TRUE(MatchItemName("abc", false, "ab", none, nullptr));
}

TEST(RegexMatchTest, APatternThatThrowsFailsOnceAndThenMatchesNothing) {
  SearchPattern pattern = CompiledPattern(L"((a*)*b)");
  std::string name(40, 'a');
  EXPECT_FALSE(MatchRegex(name, pattern, nullptr));
  EXPECT_TRUE(pattern.Failed());
  EXPECT_EQ(pattern.searches, 1u);
  EXPECT_FALSE(MatchRegex("ab", pattern, nullptr));  // would match, but the pattern is spent
  EXPECT_EQ(pattern.searches, 1u);
}

}  // namespace
