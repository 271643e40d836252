// The matcher for Migemo's expressions: which expressions it understands, and that it
// picks the same candidates and matched text as the general engine over real answers.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "search/MigemoLoadThread.h"
#include "search/MigemoMatcher.h"
#include "tests/search/SearchTestSupport.h"

namespace {

std::wstring MatchedAt(const MigemoMatcher& matcher, const std::wstring& text, std::size_t at) {
  std::size_t end = 0;
  return matcher.MatchAt(text.data(), text.size(), at, end) ? text.substr(at, end - at) : L"-";
}

TEST(MigemoMatcher, KnowsMigemosLanguageAndTriesAlternativesInOrder) {
  MigemoMatcher words(L"(abc|d(e|f)|[かカ]x|\\.z)");
  ASSERT_TRUE(words.known());
  for (wchar_t c : std::wstring(L"aAdDかカ.")) EXPECT_TRUE(words.MayBeginWith(c)) << static_cast<int>(c);
  for (wchar_t c : std::wstring(L"bexz\\[(")) EXPECT_FALSE(words.MayBeginWith(c)) << static_cast<int>(c);
  EXPECT_TRUE(MigemoMatcher(L"ＡＢ").MayBeginWith(L'ａ'));  // letters fold as the engine folds them
  EXPECT_EQ(MatchedAt(words, L"xxABCx", 2), L"ABC");
  EXPECT_EQ(MatchedAt(words, L"dF", 0), L"dF");
  EXPECT_EQ(MatchedAt(words, L"カx.z", 0), L"カx");
  EXPECT_EQ(MatchedAt(words, L".z", 0), L".z");
  EXPECT_EQ(MatchedAt(words, L"ab", 0), L"-");
  // The first alternative that leads to a match wins, after backtracking into a group.
  MigemoMatcher order(L"((a|ab)c|ab)");
  EXPECT_EQ(MatchedAt(order, L"abc", 0), L"abc");
  EXPECT_EQ(MatchedAt(order, L"abd", 0), L"ab");
  EXPECT_EQ(MatchedAt(MigemoMatcher(L"(a|ab)"), L"ab", 0), L"a");

  const wchar_t* unknown[] = {L"(a?b)", L"(a|)", L"()", L"(?:a)", L"[a-z]", L"[^a]", L"\\dx", L".a",
                              L"^a",    L"a*",   L"(ab",  L"[ab",  L"a{2}", L""};
  for (const wchar_t* text : unknown) {
    MigemoMatcher matcher(text);
    EXPECT_FALSE(matcher.known()) << platform::WideToAnsi(text);
    EXPECT_TRUE(matcher.MayBeginWith(L'q'));
  }
}

}  // namespace
