// Spotter's name filter: Kanasift's pattern building and matching applied to names and
// paths, with a scripted dictionary and with the real cp932 dictionary.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "search/MigemoLoadThread.h"
#include "settings/TaskTrayAppIniFile.h"
#include "spotter/NameFilter.h"
#include "tests/search/SearchTestSupport.h"
#include "tests/settings/TempDir.h"

namespace {

using Names = std::vector<std::wstring>;

const Names& FolderNames() {
  static const Names names = {L"会社.txt", L"ｶｲｼｬ.txt", L"readme.md", L"社内報.doc", L"ＲＥＡＤＭＥ２.txt", L"Reports"};
  return names;
}

Names Matching(const NameFilter& filter) {
  Names found;
  for (const std::wstring& name : FolderNames()) {
    if (filter.MatchesName(name)) found.push_back(name);
  }
  return found;
}

class ScriptedFilterTest : public ::testing::Test {
 protected:
  ScriptedDictionary dictionary;
  SearchOptions options;
};

TEST_F(ScriptedFilterTest, ShortInputsMatchLiterallyWithoutAQuery) {
  dictionary.answer.reset();  // no dictionary at all: short inputs still work
  NameFilter re(L"RE", options, dictionary);
  EXPECT_EQ(re.state(), FilterState::Literal);
  EXPECT_EQ(Matching(re), (Names{L"readme.md", L"Reports"}));
  NameFilter empty(L"", options, dictionary);
  EXPECT_EQ(empty.state(), FilterState::Everything);
  EXPECT_EQ(Matching(empty).size(), FolderNames().size());
  EXPECT_TRUE(dictionary.queries.empty());
}

TEST_F(ScriptedFilterTest, LongerInputsAskOnceAndMatchTheWrappedAnswerFromTheStart) {
  dictionary.answer = "rep|ead";
  NameFilter prefix(L"rep", options, dictionary);
  EXPECT_EQ(dictionary.queries, (std::vector<std::string>{"rep"}));
  EXPECT_EQ(prefix.state(), FilterState::Expanded);
  // "(rep|ead)" from the first character, letters without regard to case.
  EXPECT_EQ(Matching(prefix), (Names{L"Reports"}));

  options.isUsePartialMatch = true;
  NameFilter partial(L"rep", options, dictionary);
  EXPECT_EQ(Matching(partial), (Names{L"readme.md", L"Reports"}));
  MatchSpan span;
  ASSERT_TRUE(partial.MatchesName(L"readme.md", &span));
  EXPECT_EQ(span.start, 1u);  // "ead", the part that the answer matched
  EXPECT_EQ(span.length, 3u);
}

TEST_F(ScriptedFilterTest, ACaretAsksForAPrefixMatchInPartialMode) {
  dictionary.answer = "ead";
  options.isUsePartialMatch = true;
  NameFilter filter(L"^ead", options, dictionary);
  EXPECT_EQ(dictionary.queries.back(), "ead");  // the caret is not part of the query
  EXPECT_TRUE(Matching(filter).empty());         // and the match must begin the name
}

TEST_F(ScriptedFilterTest, FullWidthLettersFoldCaseAndHalfWidthKanaFold) {
  dictionary.answer = Sjis(L"ｒｅａｄｍｅ|カイシャ");
  NameFilter filter(L"readme", options, dictionary);
  EXPECT_EQ(Matching(filter), (Names{L"ｶｲｼｬ.txt", L"ＲＥＡＤＭＥ２.txt"}));
  // The highlight covers the half-width name's own characters, voiced marks included.
  dictionary.answer = Sjis(L"ガイシャ");
  NameFilter voiced(L"gaisya", options, dictionary);
  MatchSpan span;
  ASSERT_TRUE(voiced.MatchesName(L"ｶﾞｲｼｬ.txt", &span));
  EXPECT_EQ(span.start, 0u);
  EXPECT_EQ(span.length, 5u);
}

TEST_F(ScriptedFilterTest, WithoutADictionaryLongInputsAreMatchedAsTyped) {
  dictionary.answer.reset();
  NameFilter prefix(L"rep", options, dictionary);
  EXPECT_EQ(prefix.state(), FilterState::Unexpanded);
  EXPECT_EQ(Matching(prefix), (Names{L"Reports"}));
  options.isUsePartialMatch = true;
  NameFilter partial(L"txt", options, dictionary);
  EXPECT_EQ(Matching(partial), (Names{L"会社.txt", L"ｶｲｼｬ.txt", L"ＲＥＡＤＭＥ２.txt"}));
  NameFilter caret(L"^txt", options, dictionary);
  EXPECT_TRUE(Matching(caret).empty());
}

TEST_F(ScriptedFilterTest, AnAnswerThatDoesNotCompileOrIsEmptyMatchesNothing) {
  dictionary.answer = "re(p";
  NameFilter broken(L"rep", options, dictionary);
  EXPECT_EQ(broken.state(), FilterState::PatternError);
  EXPECT_NE(broken.errorText().find("mstr=(re(p)"), std::string::npos) << broken.errorText();
  EXPECT_TRUE(Matching(broken).empty());

  dictionary.answer = "";
  NameFilter empty(L"rep", options, dictionary);
  EXPECT_EQ(empty.state(), FilterState::NoExpansion);
  EXPECT_TRUE(Matching(empty).empty());
}

TEST_F(ScriptedFilterTest, KanafyLengthDecidesWhereExpansionStarts) {
  dictionary.answer = "r";
  options.kanafyLength = 1;
  EXPECT_EQ(NameFilter(L"r", options, dictionary).state(), FilterState::Expanded);
  EXPECT_EQ(dictionary.queries.size(), 1u);
  options.kanafyLength = 10;
  NameFilter literal(L"readme", options, dictionary);
  EXPECT_EQ(literal.state(), FilterState::Literal);
  EXPECT_EQ(Matching(literal), (Names{L"readme.md"}));
  // The length counts bytes of the ANSI code page: two kanji are four.
  options.kanafyLength = 4;
  EXPECT_EQ(NameFilter(L"会社", options, dictionary).state(), FilterState::Expanded);
  // A negative length is compared as a large unsigned one: everything stays literal.
  options.kanafyLength = -1;
  EXPECT_EQ(NameFilter(L"readme", options, dictionary).state(), FilterState::Literal);
  EXPECT_EQ(dictionary.queries.size(), 2u);
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

// --- Paths ------------------------------------------------------------------------------

// root\会社\報告\2024.txt, root\会社\readme.md, root\報告.txt, root\Other\会社\x.txt
class PathFilterTest : public ::testing::Test {
 protected:
  PathFilterTest() {
    const std::uint32_t kaisya = Add(L"会社", kRootFolder, true);
    const std::uint32_t houkoku = Add(L"報告", kaisya, true);
    Add(L"2024.txt", houkoku, false);
    Add(L"readme.md", kaisya, false);
    Add(L"報告.txt", kRootFolder, false);
    const std::uint32_t other = Add(L"Other", kRootFolder, true);
    const std::uint32_t deeper = Add(L"会社", other, true);
    Add(L"x.txt", deeper, false);
    index.MarkListed();
  }

  // Adds an entry; for a folder, returns its folder id.
  std::uint32_t Add(const wchar_t* name, std::uint32_t folder, bool isFolder) {
    const std::uint32_t entry = index.WrittenEntryCount();
    index.AddEntry(name, folder, isFolder ? kEntryFolder : 0, 0, 0);
    return isFolder ? index.AddFolder(entry, folder) : kNoEntry;
  }

  std::vector<std::wstring> Paths(const wchar_t* input) {
    NameFilter filter(input, options, dictionary);
    EXPECT_TRUE(filter.pathMode());
    EntryMatcher matcher(filter, index, ShowOptions{});
    std::vector<std::wstring> found;
    for (std::uint32_t i = 0; i < index.EntryCount(); ++i) {
      if (matcher.Matches(i)) found.push_back(index.FullPath(i).substr(2));
    }
    return found;
  }

  EntryIndex index{L"R:"};
  ScriptedDictionary dictionary;
  SearchOptions options;
};

TEST_F(PathFilterTest, PartsMatchTheLastFoldersAndTheName) {
  dictionary.answer = Sjis(L"会社|報告");  // the same answer for every part
  EXPECT_EQ(Paths(L"kaisya\\hou"), (std::vector<std::wstring>{L"\\会社\\報告"}));
  EXPECT_EQ(dictionary.queries, (std::vector<std::string>{"kaisya", "hou"}));
  // A trailing separator: everything right inside a matching folder, at any depth.
  dictionary.answer = Sjis(L"会社");
  EXPECT_EQ(Paths(L"kaisya/"), (std::vector<std::wstring>{L"\\会社\\報告", L"\\会社\\readme.md", L"\\Other\\会社\\x.txt"}));
  // A leading separator ties the first part to the root.
  EXPECT_EQ(Paths(L"\\kaisya\\"), (std::vector<std::wstring>{L"\\会社\\報告", L"\\会社\\readme.md"}));
  EXPECT_EQ(Paths(L"/ot"), (std::vector<std::wstring>{L"\\Other"}));
  // An empty part in the middle stands for any one folder.
  EXPECT_EQ(Paths(L"kaisya\\\\20"), (std::vector<std::wstring>{L"\\会社\\報告\\2024.txt"}));
}

TEST_F(PathFilterTest, HiddenFoldersHideWhatIsInside) {
  NameFilter everything(L"", options, dictionary);
  EntryIndex hidden(L"R:");
  hidden.AddEntry(L".git", kRootFolder, kEntryFolder | kEntryHidden, 0, 0);
  hidden.AddEntry(L"config", hidden.AddFolder(0, kRootFolder), kEntryHidden, 0, 0);
  hidden.AddEntry(L"pagefile.sys", kRootFolder, kEntryHidden | kEntryProtected, 0, 0);
  hidden.AddEntry(L"a.txt", kRootFolder, 0, 0, 0);
  hidden.Publish();
  auto count = [&](ShowOptions show) {
    EntryMatcher matcher(everything, hidden, show);
    int n = 0;
    for (std::uint32_t i = 0; i < hidden.EntryCount(); ++i) n += matcher.Matches(i) ? 1 : 0;
    return n;
  };
  EXPECT_EQ(count({false, false}), 1);
  EXPECT_EQ(count({false, true}), 1);  // protected files only with hidden ones
  EXPECT_EQ(count({true, false}), 3);
  EXPECT_EQ(count({true, true}), 4);
}

// --- The real dictionary: Kanasift answers exactly what this dictionary answers. ---------

class DictionaryFilterTest : public ::testing::Test {
 protected:
  MigemoLoadThread dictionary{TestDictPath()};
  SearchOptions options;
};

TEST_F(DictionaryFilterTest, KaisyaFindsKanjiAndHalfWidthKatakana) {
  NameFilter filter(L"kaisya", options, dictionary);
  ASSERT_EQ(filter.state(), FilterState::Expanded);
  EXPECT_EQ(Matching(filter), (Names{L"会社.txt", L"ｶｲｼｬ.txt"}));
}

TEST_F(DictionaryFilterTest, PartialMatchingFindsAWordInsideTheName) {
  EXPECT_EQ(Matching(NameFilter(L"sya", options, dictionary)), (Names{L"社内報.doc"}));  // 社 begins it
  options.isUsePartialMatch = true;
  NameFilter partial(L"sya", options, dictionary);
  EXPECT_EQ(Matching(partial), (Names{L"会社.txt", L"ｶｲｼｬ.txt", L"社内報.doc"}));
  MatchSpan span;
  ASSERT_TRUE(partial.MatchesName(L"ｶｲｼｬ.txt", &span));
  EXPECT_EQ(span.start, 2u);
  EXPECT_EQ(span.length, 2u);  // ｼｬ
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

TEST(NameFilterMatcher, TheFilterAgreesWithTheEngineAloneOnRealAnswers) {
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
