// The quick first-character test in front of the regular-expression engine: which
// expressions it understands, and that with it the filter accepts exactly the names
// (and reports exactly the spans) that the engine alone would, for real Migemo answers.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "search/MigemoLoadThread.h"
#include "spotter/FirstChars.h"
#include "spotter/NameFilter.h"
#include "tests/search/SearchTestSupport.h"

namespace {

TEST(FirstChars, KnowsMigemosLanguageAndNothingElse) {
  FirstChars words(L"(abc|d(e|f)|[かカ]x|\\.z)");
  ASSERT_TRUE(words.known());
  for (wchar_t c : std::wstring(L"aAdDかカ.")) EXPECT_TRUE(words.Contains(c)) << static_cast<int>(c);
  for (wchar_t c : std::wstring(L"bexz\\[(")) EXPECT_FALSE(words.Contains(c)) << static_cast<int>(c);
  EXPECT_TRUE(FirstChars(L"ＡＢ").Contains(L'ａ'));  // letters fold as the engine folds them

  const wchar_t* unknown[] = {L"(a?b)", L"(a|)", L"()", L"(?:a)", L"[a-z]", L"[^a]", L"\\dx", L".a",
                              L"^a",    L"a*",   L"(ab",  L"[ab",  L"a{2}", L""};
  for (const wchar_t* text : unknown) {
    FirstChars set(text);
    EXPECT_FALSE(set.known()) << platform::WideToAnsi(text);
    EXPECT_TRUE(set.Contains(L'q'));
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

TEST(FirstChars, TheFilterAgreesWithTheEngineAloneOnRealAnswers) {
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
