// The matcher for Migemo's expressions: which expressions it understands, and that it
// picks the same candidates and matched text as the general engine over real answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "search/MigemoLoadThread.h"
#include "search/ItemMatch.h"
#include "search/MigemoMatcher.h"
#include "search/PatternBuilder.h"
#include "tests/search/SearchTestSupport.h"
#include "tests/search/TypingCorpus.h"

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


// Each word typed as it grows (k, ka, kai, kaisya), in lower case and with the capital
// that a word after a non-letter gets.
std::vector<std::string> TypedInputs() {
  std::vector<std::string> inputs;
  auto add = [&](const std::string& text) {
    if (std::find(inputs.begin(), inputs.end(), text) == inputs.end()) inputs.push_back(text);
  };
  for (const char* word : kTypingCorpus) {
    const std::string text(word);
    for (std::size_t length : {std::size_t{1}, std::size_t{2}, std::size_t{3}, text.size()}) {
      std::string typed = text.substr(0, length);
      add(typed);
      typed[0] = static_cast<char>(typed[0] - 'a' + 'A');
      add(typed);
    }
  }
  return inputs;
}

// Pieces of the alternatives of an answer: its words, as far as brackets allow.
std::vector<std::wstring> AnswerPieces(const std::wstring& answer) {
  std::vector<std::wstring> pieces(1);
  for (std::size_t i = 0; i < answer.size(); ++i) {
    const wchar_t c = answer[i];
    if (c == L'|') {
      pieces.emplace_back();
    } else if (c == L'\\' && i + 1 < answer.size()) {
      pieces.back() += answer[++i];
    } else if (std::wstring(L"()[]").find(c) == std::wstring::npos) {
      pieces.back() += c;
    }
  }
  return pieces;
}

// Names of ordinary files with pieces of the answer in them (whole, cut short, in other
// cases and widths), so that near misses, backtracking and late matches all occur.
std::string RandomName(const std::vector<std::wstring>& pieces, std::mt19937& random) {
  static const wchar_t* const kParts[] = {L"資料", L"議事録", L"report", L"_", L"-", L" ", L"2024", L"(1)", L".txt",
                                          L".pdf", L"ｶｲｼｬ", L"ﾎｹﾝ", L"ＫＡＩ", L"ka", L"KA", L"Sy", L"ん", L"っ",
                                          L"会", L"社", L"\n", L"\r", L"ー", L"・", L"〜"};
  std::wstring name;
  const int parts = 1 + static_cast<int>(random() % 5);
  for (int k = 0; k < parts; ++k) {
    if (random() % 2 && !pieces.empty()) {
      std::wstring piece = pieces[random() % pieces.size()];
      if (random() % 4 == 0 && piece.size() > 1) piece.resize(1 + random() % (piece.size() - 1));
      for (wchar_t& c : piece) {
        if (random() % 3 == 0 && c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 0x20);
      }
      name += piece;
    } else {
      name += kParts[random() % (sizeof(kParts) / sizeof(kParts[0]))];
    }
  }
  return platform::WideToAnsi(name).substr(0, 259);
}

#ifdef NDEBUG
constexpr int kNamesPerPattern = 400;
#else
constexpr int kNamesPerPattern = 60;  // the unoptimised sanitizer builds
#endif

// Every name, for every typed input in both modes: the matcher in the search path gives
// the candidates and the matched text that the engine alone gives for the same pattern.
// Equal answers name by name make the same candidates in the same order in every walk.
TEST(MigemoMatcher, TheSearchPathAgreesWithTheEngineOverATypingCorpus) {
  MigemoLoadThread dictionary{TestDictPath()};
  RecordingNotifier notifier;
  PatternBuilder builder(dictionary, notifier);
  std::mt19937 random(19);
  int patterns = 0, withMatcher = 0, names = 0, candidates = 0;
  for (const std::string& typed : TypedInputs()) {
    for (bool partial : {false, true}) {
      SearchOptions options;
      options.kanafyLength = 1;
      options.isUsePartialMatch = partial;
      InputState state;
      state.inputText = typed;
      builder.BuildPattern(state, options);
      if (patterns % 2) {  // half of them as kept from before, for a new input
        const MigemoMatcher* made = builder.pattern().matcher();
        ++state.inputSerial;
        builder.BuildPattern(state, options);
        ASSERT_EQ(builder.pattern().matcher(), made) << typed;
      }
      SearchPattern& fast = builder.pattern();
      ASSERT_TRUE(fast.Usable()) << typed;
      ++patterns;
      if (fast.matcher()) ++withMatcher;
      SearchPattern engine = CompiledPattern(fast.regex().str().c_str());
      const std::vector<std::wstring> pieces = AnswerPieces(fast.regex().str());
      for (int i = 0; i < kNamesPerPattern; ++i) {
        const std::string name = RandomName(pieces, random);
        std::string fastText = "-", engineText = "-";
        const bool fastSays = MatchRegex(name, fast, &fastText);
        const bool engineSays = MatchRegex(name, engine, &engineText);
        ASSERT_EQ(fastSays, engineSays) << typed << " partial=" << partial << " name " << Utf8(name);
        ASSERT_EQ(fastText, engineText) << typed << " partial=" << partial << " name " << Utf8(name);
        ++names;
        candidates += fastSays;
      }
      ASSERT_FALSE(engine.Failed()) << typed;
    }
  }
  std::printf("%d patterns (%d with the matcher), %d names, %d candidates\n", patterns, withMatcher, names, candidates);
  EXPECT_GE(withMatcher, patterns * 9 / 10);  // the matcher, not the engine, answered
  EXPECT_GT(candidates, names / 10);
  EXPECT_LT(candidates, names * 9 / 10);
}

}  // namespace
