// Spotter's name filter: Kanasift's pattern building and matching applied to the names of
// a folder, with a scripted dictionary and with the real cp932 dictionary.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search/MigemoLoadThread.h"
#include "settings/TaskTrayAppIniFile.h"
#include "spotter/NameFilter.h"
#include "tests/search/SearchTestSupport.h"
#include "tests/settings/TempDir.h"

namespace {

const std::vector<std::string>& FolderNames() {
  static const std::vector<std::string> names = {
      Sjis(L"会社.txt"), Sjis(L"ｶｲｼｬ.txt"), "readme.md", Sjis(L"社内報.doc"), Sjis(L"ＲＥＡＤＭＥ２.txt"),
      "Reports"};
  return names;
}

std::vector<std::string> Matching(NameFilter& filter) {
  std::vector<std::string> found;
  for (const std::string& name : FolderNames()) {
    if (filter.Matches(name)) found.push_back(Utf8(name));
  }
  return found;
}

using Names = std::vector<std::string>;

class ScriptedFilterTest : public ::testing::Test {
 protected:
  ScriptedDictionary dictionary;
  NameFilter filter{dictionary};
  SearchOptions options;
};

TEST_F(ScriptedFilterTest, ShortInputsMatchLiterallyWithoutAQuery) {
  dictionary.answer.reset();  // no dictionary at all: short inputs still work
  filter.SetInput("RE", options);
  EXPECT_EQ(filter.state(), FilterState::Literal);
  EXPECT_EQ(Matching(filter), (Names{"readme.md", "Reports"}));
  filter.SetInput("", options);
  EXPECT_EQ(filter.state(), FilterState::Everything);
  EXPECT_EQ(Matching(filter).size(), FolderNames().size());
  EXPECT_TRUE(dictionary.queries.empty());
}

TEST_F(ScriptedFilterTest, LongerInputsAskOnceAndMatchTheWrappedAnswerFromTheStart) {
  dictionary.answer = "rep|ead";
  filter.SetInput("rep", options);
  EXPECT_EQ(dictionary.queries, (std::vector<std::string>{"rep"}));
  EXPECT_EQ(filter.state(), FilterState::Expanded);
  // "(rep|ead)" from the first character, letters without regard to case.
  EXPECT_EQ(Matching(filter), (Names{"Reports"}));

  options.isUsePartialMatch = true;
  filter.SetInput("rep", options);
  EXPECT_EQ(Matching(filter), (Names{"readme.md", "Reports"}));
}

TEST_F(ScriptedFilterTest, ACaretAsksForAPrefixMatchInPartialMode) {
  dictionary.answer = "ead";
  options.isUsePartialMatch = true;
  filter.SetInput("^ead", options);
  EXPECT_EQ(dictionary.queries.back(), "ead");  // the caret is not part of the query
  EXPECT_TRUE(Matching(filter).empty());        // and no ".*" is put in front
}

TEST_F(ScriptedFilterTest, FullWidthLettersFoldCaseAndHalfWidthKanaFold) {
  dictionary.answer = Sjis(L"ｒｅａｄｍｅ|カイシャ");
  filter.SetInput("readme", options);
  EXPECT_EQ(Matching(filter), (Names{"ｶｲｼｬ.txt", "ＲＥＡＤＭＥ２.txt"}));
}

TEST_F(ScriptedFilterTest, NoDictionaryMatchesNothing) {
  dictionary.answer = "rep";
  filter.SetInput("rep", options);
  ASSERT_FALSE(Matching(filter).empty());
  dictionary.answer.reset();
  filter.SetInput("rep", options);  // the earlier pattern is not used
  EXPECT_EQ(filter.state(), FilterState::DictionaryFailed);
  EXPECT_TRUE(Matching(filter).empty());
}

TEST_F(ScriptedFilterTest, AnAnswerThatDoesNotCompileMatchesNothing) {
  dictionary.answer = "rep";
  filter.SetInput("rep", options);
  dictionary.answer = "re(p";
  filter.SetInput("rep", options);
  EXPECT_EQ(filter.state(), FilterState::PatternError);
  EXPECT_NE(filter.errorText().find("mstr=(re(p)"), std::string::npos) << filter.errorText();
  EXPECT_TRUE(Matching(filter).empty());
}

TEST_F(ScriptedFilterTest, AnEmptyAnswerMatchesNothing) {
  dictionary.answer = "";
  filter.SetInput("rep", options);
  EXPECT_EQ(filter.state(), FilterState::NoExpansion);
  EXPECT_TRUE(Matching(filter).empty());
}

TEST_F(ScriptedFilterTest, KanafyLengthDecidesWhereExpansionStarts) {
  dictionary.answer = "r";
  options.kanafyLength = 1;
  filter.SetInput("r", options);
  EXPECT_EQ(filter.state(), FilterState::Expanded);
  EXPECT_EQ(dictionary.queries.size(), 1u);
  options.kanafyLength = 10;
  filter.SetInput("readme", options);
  EXPECT_EQ(filter.state(), FilterState::Literal);
  EXPECT_EQ(Matching(filter), (Names{"readme.md"}));
  // A negative length is compared as a large unsigned one: everything stays literal.
  options.kanafyLength = -1;
  filter.SetInput("readme", options);
  EXPECT_EQ(filter.state(), FilterState::Literal);
  EXPECT_EQ(dictionary.queries.size(), 1u);
}

TEST(SpotterSettings, KanasiftIniDecidesLengthAndPartialMatching) {
  TempDir dir;
  const std::string path = dir.file("Kanasift.ini");
  TaskTrayAppIniFile missing(path.c_str());
  SearchOptions defaults = SearchOptionsFrom(missing);
  EXPECT_EQ(defaults.kanafyLength, 3);
  EXPECT_FALSE(defaults.isUsePartialMatch);

  WriteBytes(path, "[main]\r\nKanafyLength=5\r\nIsUsePartialMatch=1\r\n");
  TaskTrayAppIniFile file(path.c_str());
  SearchOptions options = SearchOptionsFrom(file);
  EXPECT_EQ(options.kanafyLength, 5);
  EXPECT_TRUE(options.isUsePartialMatch);
}

// The real dictionary: Kanasift answers exactly what this dictionary answers.
class DictionaryFilterTest : public ::testing::Test {
 protected:
  MigemoLoadThread dictionary{TestDictPath()};
  NameFilter filter{dictionary};
  SearchOptions options;
};

TEST_F(DictionaryFilterTest, KaisyaFindsKanjiAndHalfWidthKatakana) {
  filter.SetInput("kaisya", options);
  ASSERT_EQ(filter.state(), FilterState::Expanded);
  EXPECT_EQ(Matching(filter), (Names{"会社.txt", "ｶｲｼｬ.txt"}));
}

TEST_F(DictionaryFilterTest, PartialMatchingFindsAWordInsideTheName) {
  filter.SetInput("sya", options);
  EXPECT_EQ(Matching(filter), (Names{"社内報.doc"}));  // 社 begins the name
  options.isUsePartialMatch = true;
  filter.SetInput("sya", options);
  EXPECT_EQ(Matching(filter), (Names{"会社.txt", "ｶｲｼｬ.txt", "社内報.doc"}));
}

}  // namespace
