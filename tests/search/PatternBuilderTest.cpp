#include <gtest/gtest.h>

#include "search/ItemMatch.h"
#include "search/MigemoLoadThread.h"
#include "search/PatternBuilder.h"
#include "tests/search/SearchTestSupport.h"

namespace {

constexpr ViewHandle kView = 0x4242;

InputState Input(const std::string& text) {
  InputState state;
  state.inputText = text;
  state.targetView = kView;
  return state;
}

std::wstring Source(const PatternBuilder& builder) { return builder.pattern().regex().str(); }

class PatternTableTest : public ::testing::Test {
 protected:
  ScriptedDictionary dictionary;
  RecordingNotifier notifier;
  PatternBuilder builder{dictionary, notifier};
  SearchOptions options;
};

TEST_F(PatternTableTest, ShortInputsNeverReachMigemo) {
  builder.BuildPattern(Input("K"), options);
  builder.BuildPattern(Input("Ka"), options);
  EXPECT_TRUE(dictionary.queries.empty());
  EXPECT_TRUE(builder.pattern().Empty());
  dictionary.answer.reset();  // even without a dictionary nothing is shown
  builder.BuildPattern(Input("Ka"), options);
  EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(PatternTableTest, TypedTextIsWrappedAndPartialModePutsAnyPrefixInFront) {
  builder.BuildPattern(Input("Abc"), options);
  EXPECT_EQ(Source(builder), L"(M)");
  options.isUsePartialMatch = true;
  builder.BuildPattern(Input("Abc"), options);
  EXPECT_EQ(Source(builder), L".*(M)");
  EXPECT_EQ(dictionary.queries, (std::vector<std::string>{"Abc", "Abc"}));
}

TEST_F(PatternTableTest, LeadingCaretAsksForAPrefixMatchInPartialMode) {
  builder.BuildPattern(Input("^abc"), options);
  EXPECT_EQ(dictionary.queries.back(), "^abc");
  EXPECT_EQ(Source(builder), L"(M)");
  options.isUsePartialMatch = true;
  builder.BuildPattern(Input("^abc"), options);
  EXPECT_EQ(dictionary.queries.back(), "abc");
  EXPECT_EQ(Source(builder), L"(M)");
}

TEST_F(PatternTableTest, DialogTextIsEnclosedTwice) {
  InputState state = Input("Kai");
  state.isMatching = false;
  state.lastInputTick = 5000;
  builder.SetRegexInput("a+b", state, options);
  EXPECT_EQ(state.inputText, "Regex(a+b)");
  EXPECT_EQ(state.lastInputTick, 0u);
  EXPECT_TRUE(state.isMatching);
  EXPECT_EQ(Source(builder), L"((a+b))");
  options.isUsePartialMatch = true;
  builder.SetRegexInput("a+b", state, options);
  EXPECT_EQ(Source(builder), L".*((a+b))");
  EXPECT_TRUE(dictionary.queries.empty());
}

TEST_F(PatternTableTest, NothingHappensWhileTheInputHasFailed) {
  InputState state = Input("Abc");
  state.isMatching = false;
  builder.BuildPattern(state, options);
  EXPECT_TRUE(dictionary.queries.empty());
}

TEST_F(PatternTableTest, KanafyLengthZeroOrNegativeExpandsEveryInput) {
  options.kanafyLength = 0;
  builder.BuildPattern(Input("K"), options);
  options.kanafyLength = -1;
  builder.BuildPattern(Input("Ka"), options);
  builder.BuildPattern(Input(""), options);
  EXPECT_EQ(dictionary.queries, (std::vector<std::string>{"K", "Ka", ""}));
}

TEST_F(PatternTableTest, TheDearPatternsOfShortInputsOutliveManyCheapOnes) {
  options.kanafyLength = 1;
  dictionary.answer = "(" + std::string(2000, 'k') + ")";  // as long as a one-letter answer
  builder.BuildPattern(Input("k"), options);
  const SearchPattern first = builder.pattern();  // holds its matcher: no other can take its place
  ASSERT_NE(first.matcher(), nullptr);
  for (int i = 0; i < 100; ++i) {
    dictionary.answer = "w" + std::to_string(i);
    builder.BuildPattern(Input("word" + std::to_string(i)), options);
  }
  dictionary.answer = "(" + std::string(2000, 'k') + ")";
  builder.BuildPattern(Input("k"), options);
  EXPECT_EQ(builder.pattern().matcher(), first.matcher()) << "kept compiled, not compiled again";
}

TEST_F(PatternTableTest, NoAnswerFromMigemoKeepsThePattern) {
  builder.BuildPattern(Input("Abc"), options);
  dictionary.answer = std::string();
  builder.BuildPattern(Input("Abcd"), options);
  EXPECT_EQ(Source(builder), L"(M)");
  EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(PatternTableTest, CompileErrorIsReported) {
  InputState state = Input("");
  builder.SetRegexInput("x", state, options);
  builder.SetRegexInput("a(b", state, options);
  ASSERT_EQ(notifier.messages.size(), 1u);
  const ShownMessage& box = notifier.messages[0];
  const std::string head =
      "Please report this(you can copy this msg box with ctrl+C).\n src=Regex(a(b)\n mstr=((a(b))\n bad_expression=";
  EXPECT_EQ(box.text.substr(0, head.size()), head);
  EXPECT_GT(box.text.size(), head.size());  // Boost's own description follows
  EXPECT_EQ(box.title, "regex error : Kanasift");
  EXPECT_EQ(box.style, 0x40030u);
  EXPECT_EQ(box.owner, kView);
  EXPECT_EQ(state.inputText, "Regex(a(b)");

  options.isUsePartialMatch = true;
  builder.SetRegexInput("a(b", state, options);
  ASSERT_EQ(notifier.messages.size(), 2u);
  EXPECT_NE(notifier.messages[1].text.find("\n mstr=.*((a(b))\n"), std::string::npos);
}

TEST_F(PatternTableTest, ANewInputNeverMatchesWithAnOldInputsPattern) {
  InputState state = Input("Kaisya");
  builder.BuildPattern(state, options);
  ASSERT_EQ(Source(builder), L"(M)");
  // Within one input the last pattern stays when the next character gets none.
  state.inputText = "Kaisyaa";
  dictionary.answer = std::string();
  builder.BuildPattern(state, options);
  EXPECT_EQ(Source(builder), L"(M)");

  // A new input whose expansion does not compile, one whose dictionary is gone, one
  // whose dictionary has nothing to say: none of them gets the old pattern.
  const char* answers[] = {"a(b", nullptr, ""};
  for (const char* answer : answers) {
    dictionary.answer = std::string("M");
    state.inputText = "Kaisya";
    ++state.inputSerial;
    builder.BuildPattern(state, options);
    ASSERT_EQ(Source(builder), L"(M)");
    ++state.inputSerial;
    state.inputText = "Abc";
    dictionary.answer = answer ? std::optional<std::string>(answer) : std::nullopt;
    builder.BuildPattern(state, options);
    EXPECT_TRUE(builder.pattern().Empty()) << (answer ? answer : "no dictionary");
  }
  EXPECT_EQ(notifier.messages.size(), 2u);  // the compilation report and the Migemo box

  // A dialog search that does not compile: no pattern either.
  builder.SetRegexInput("x", state, options);
  ASSERT_EQ(Source(builder), L"((x))");
  builder.SetRegexInput("a(b", state, options);
  EXPECT_TRUE(builder.pattern().Empty());

  // "^" alone in partial mode asks for nothing: the empty expression, every name.
  builder.SetRegexInput("x", state, options);
  ++state.inputSerial;
  state.inputText = "^";
  options.kanafyLength = 1;
  options.isUsePartialMatch = true;
  dictionary.answer = std::string();
  builder.BuildPattern(state, options);
  EXPECT_EQ(Source(builder), L"()");
  EXPECT_TRUE(MatchRegex("abc.txt", builder.pattern(), nullptr));
}

TEST_F(PatternTableTest, MigemoFailureShowsOneBoxAtATime) {
  dictionary.answer.reset();
  int nested = 0;
  notifier.whileShown = [&] {
    // Another expansion while the box is open shows nothing more.
    if (nested++ == 0) builder.BuildPattern(Input("Abcd"), options);
  };
  builder.BuildPattern(Input("Abc"), options);
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0].text, "Failed to initialize migemo");
  EXPECT_EQ(notifier.messages[0].title, "Kanasift");
  EXPECT_EQ(notifier.messages[0].style, 0u);
  EXPECT_EQ(notifier.messages[0].owner, kView);
  EXPECT_EQ(dictionary.queries.size(), 2u);
  // Once it is closed, the next failure shows a box again.
  builder.BuildPattern(Input("Abc"), options);
  EXPECT_EQ(notifier.messages.size(), 2u);
  EXPECT_TRUE(builder.pattern().Empty());
}

// With the real cp932 dictionary.
class MigemoPatternTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { dictionary = new MigemoLoadThread(TestDictPath()); }
  static void TearDownTestSuite() {
    delete dictionary;
    dictionary = nullptr;
  }
  static MigemoLoadThread* dictionary;
  RecordingNotifier notifier;
  SearchOptions options;
};
MigemoLoadThread* MigemoPatternTest::dictionary = nullptr;

TEST_F(MigemoPatternTest, KaisyaFindsKanjiHiraganaKatakanaAndFullWidthSpellings) {
  PatternBuilder builder(*dictionary, notifier);
  builder.BuildPattern(Input("Kaisya"), options);
  ASSERT_TRUE(notifier.messages.empty()) << (notifier.messages.empty() ? "" : notifier.messages[0].text);
  ASSERT_TRUE(builder.pattern().Usable());
  std::string matched;
  for (const wchar_t* name : {L"会社.txt", L"かいしゃ", L"カイシャ資料", L"ｶｲｼｬ.doc", L"ＫＡＩＳＹＡ", L"kaisya2"}) {
    EXPECT_TRUE(MatchRegex(Sjis(name), builder.pattern(), &matched)) << Utf8(Sjis(name));
  }
  EXPECT_TRUE(MatchRegex(Sjis(L"会社.txt"), builder.pattern(), &matched));
  EXPECT_EQ(matched, Sjis(L"会社"));
  EXPECT_FALSE(MatchRegex(Sjis(L"本社.txt"), builder.pattern(), nullptr));
  EXPECT_FALSE(MatchRegex(Sjis(L"新会社.txt"), builder.pattern(), nullptr));
  options.isUsePartialMatch = true;
  builder.BuildPattern(Input("Kaisya"), options);
  EXPECT_TRUE(MatchRegex(Sjis(L"新会社.txt"), builder.pattern(), &matched));
  EXPECT_EQ(matched, Sjis(L"会社"));
}

TEST_F(MigemoPatternTest, OperatorsInTheInputAreEscapedExceptQuestionMarkAndBar) {
  auto answer = dictionary->Query("A.b+c", nullptr);
  ASSERT_TRUE(answer);
  EXPECT_NE(answer->find("A\\.b\\+c"), std::string::npos) << *answer;
  answer = dictionary->Query("A\\b", nullptr);
  EXPECT_NE(answer->find("A\\\\b"), std::string::npos) << *answer;
  answer = dictionary->Query("^abc", nullptr);
  EXPECT_NE(answer->find("\\^"), std::string::npos) << *answer;
  answer = dictionary->Query("A?b", nullptr);
  EXPECT_NE(answer->find("A?b"), std::string::npos) << *answer;

  // Unescaped, "?" and "|" act as operators: "A?b" matches "b", "A|" matches anything.
  PatternBuilder builder(*dictionary, notifier);
  builder.BuildPattern(Input("A?b"), options);
  EXPECT_TRUE(MatchRegex("b.txt", builder.pattern(), nullptr));
  builder.BuildPattern(Input("Ab|"), options);
  EXPECT_TRUE(MatchRegex("zzz", builder.pattern(), nullptr));
  builder.BuildPattern(Input("A.b"), options);
  EXPECT_TRUE(MatchRegex("a.b", builder.pattern(), nullptr));
  EXPECT_FALSE(MatchRegex("axb", builder.pattern(), nullptr));
}

TEST_F(MigemoPatternTest, CaretTypedWithoutPartialModeIsLiteral) {
  PatternBuilder builder(*dictionary, notifier);
  builder.BuildPattern(Input("^abc"), options);
  EXPECT_TRUE(MatchRegex("^abc.txt", builder.pattern(), nullptr));
  EXPECT_FALSE(MatchRegex("abc.txt", builder.pattern(), nullptr));
  options.isUsePartialMatch = true;
  builder.BuildPattern(Input("^abc"), options);
  EXPECT_TRUE(MatchRegex("abc.txt", builder.pattern(), nullptr));
  EXPECT_FALSE(MatchRegex("xabc.txt", builder.pattern(), nullptr));
}

TEST_F(MigemoPatternTest, EmptyQueryMatchesEveryNameAsAnEmptyInputDoes) {
  PatternBuilder builder(*dictionary, notifier);
  options.kanafyLength = 0;
  builder.BuildPattern(Input("Abc"), options);
  builder.BuildPattern(Input(""), options);  // BackSpace emptied the input
  EXPECT_EQ(builder.pattern().regex().str(), L"()");
  EXPECT_TRUE(MatchRegex("xyz.txt", builder.pattern(), nullptr));
  EXPECT_TRUE(notifier.messages.empty());
}

}  // namespace
