// The matcher for Migemo's expressions: which expressions it understands, and that the
// filter with it accepts exactly the names (and reports exactly the spans) that the
// general engine alone would, for real Migemo answers.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "search/MigemoLoadThread.h"
#include "spotter/MigemoMatcher.h"
#include "spotter/NameFilter.h"
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

// Names built from the answer's own characters and their case variants, so that many
// of them match somewhere (half-width katakana aside: the filter folds them first).
std::vector<std::wstring> RandomNames(const std::wstring& answer, unsigned seed) {
  std::wstring pool = L"KkAaIiSsYyOoUuＫｋＡａ._-0 会社報告書かいしゃカイシャ";
  for (wchar_t c : answer) {
    const bool halfWidth = c >= 0xFF61 && c <= 0xFF9F;
    if (!halfWidth && std::wstring(L"()|[]\\").find(c) == std::wstring::npos) pool += c;
  }
  std::mt19937 random(seed);
  std::vector<std::wstring> names;
  for (int i = 0; i < 3000; ++i) {
    std::wstring name;
    const int length = 1 + static_cast<int>(random() % 12);
    for (int k = 0; k < length; ++k) name += pool[random() % pool.size()];
    names.push_back(name);
  }
  return names;
}

TEST(MigemoMatcher, TheFilterAgreesWithTheEngineAloneOnRealAnswers) {
  MigemoLoadThread dictionary{TestDictPath()};
  const char* words[] = {"kaisya", "Kaisya", "sya", "hou", "k", "a", "ou", "kai?"};
  unsigned seed = 1;
  for (const char* word : words) {
    std::optional<std::string> answer = dictionary.Query(word, nullptr);
    ASSERT_TRUE(answer.has_value());
    const std::wstring wide = platform::AnsiToWide(*answer);
    const Pattern engine(L"(" + wide + L")", boost::regex_constants::perl | boost::regex_constants::icase);
    for (bool partial : {false, true}) {
      SearchOptions options;
      options.kanafyLength = 1;
      options.isUsePartialMatch = partial;
      NameFilter filter(platform::AnsiToWide(word), options, dictionary);
      ASSERT_EQ(filter.state(), FilterState::Expanded) << word;
      int matched = 0;
      for (const std::wstring& name : RandomNames(wide, seed++)) {
        boost::wsmatch expected;
        const bool engineSays = boost::regex_search(
            name, expected, engine, partial ? boost::match_default : boost::match_default | boost::match_continuous);
        MatchSpan span;
        ASSERT_EQ(filter.MatchesName(name, &span), engineSays) << word << " partial=" << partial << " "
                                                               << platform::WideToAnsi(name);
        if (!engineSays) continue;
        ++matched;
        EXPECT_EQ(span.start, static_cast<std::uint32_t>(expected.position(1)));
        EXPECT_EQ(span.length, static_cast<std::uint32_t>(expected.length(1)));
      }
      EXPECT_GT(matched, partial ? 10 : 3) << word << " partial=" << partial;  // not all misses
    }
  }
}

}  // namespace
