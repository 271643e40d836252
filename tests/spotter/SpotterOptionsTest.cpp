// Spotter's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spotter/SpotterOptions.h"

#define KANASIFT_WIDEN2(x) L##x
#define KANASIFT_WIDEN(x) KANASIFT_WIDEN2(x)
#define KANASIFT_VERSION_WIDE KANASIFT_WIDEN(KANASIFT_VERSION)

namespace {

struct Parsed {
  bool ok;
  SpotterOptions options;
  std::wstring error;
};

Parsed Parse(std::vector<std::wstring> args, const SpotterTexts& texts = EnglishTexts()) {
  Parsed parsed;
  parsed.ok = ParseSpotterOptions(args, parsed.options, parsed.error, texts);
  return parsed;
}

TEST(SpotterOptions, WindowWithOrWithoutAFolder) {
  Parsed none = Parse({});
  ASSERT_TRUE(none.ok);
  EXPECT_EQ(none.options.mode, SpotterMode::Window);
  EXPECT_TRUE(none.options.folder.empty());
  EXPECT_FALSE(none.options.partial);

  Parsed folder = Parse({L"/PARTIAL", L"C:\\Users\\me\\書類"});
  ASSERT_TRUE(folder.ok);
  EXPECT_EQ(folder.options.folder, L"C:\\Users\\me\\書類");
  EXPECT_TRUE(folder.options.partial);
}

TEST(SpotterOptions, QueryTakesTheNextArgumentAsItsWord) {
  Parsed query = Parse({L"/query", L"kaisya", L"-utf8"});
  ASSERT_TRUE(query.ok);
  EXPECT_EQ(query.options.mode, SpotterMode::Query);
  EXPECT_EQ(query.options.word, L"kaisya");
  EXPECT_TRUE(query.options.utf8);

  Parsed dash = Parse({L"-Query", L"-x"});  // a word may look like a switch
  ASSERT_TRUE(dash.ok);
  EXPECT_EQ(dash.options.word, L"-x");
}

TEST(SpotterOptions, FindTakesAWordAndAFolderInAnyOrderOfSwitches) {
  Parsed find = Parse({L"/utf8", L"D:\\data", L"/find", L"sya", L"/partial"});
  ASSERT_TRUE(find.ok);
  EXPECT_EQ(find.options.mode, SpotterMode::Find);
  EXPECT_EQ(find.options.word, L"sya");
  EXPECT_EQ(find.options.folder, L"D:\\data");
  EXPECT_TRUE(find.options.partial);
  EXPECT_TRUE(find.options.utf8);
}

TEST(SpotterOptions, HelpWinsOverEverythingElse) {
  EXPECT_EQ(Parse({L"/query", L"x", L"/?"}).options.mode, SpotterMode::Help);
  EXPECT_EQ(Parse({L"-h"}).options.mode, SpotterMode::Help);
}

TEST(SpotterOptions, MistakesAreRefusedWithAReason) {
  const std::vector<std::vector<std::wstring>> bad = {
      {L"/query"},                        // no word
      {L"/query", L""},                   // an empty word
      {L"/query", L"a", L"C:\\folder"},   // /query has no folder
      {L"/query", L"a", L"/partial"},     // nor partial matching
      {L"/query", L"a", L"/find", L"b"},  // two forms
      {L"/find", L"a", L"C:\\x", L"D:\\y"},
      {L"C:\\x", L"D:\\y"},
      {L"/utf8"},                         // the window has no output
      {L"/bogus"},
  };
  for (const auto& args : bad) {
    Parsed parsed = Parse(args);
    EXPECT_FALSE(parsed.ok) << "accepted: " << args.size() << " arguments";
    EXPECT_FALSE(parsed.error.empty());
  }
}

TEST(SpotterOptions, MistakesAndUsageAreToldInTheUserInterfaceLanguage) {
  EXPECT_EQ(Parse({L"/bogus"}).error, L"unknown switch /bogus");
  EXPECT_EQ(Parse({L"/bogus"}, JapaneseTexts()).error, L"不明なスイッチ /bogus");
  EXPECT_EQ(&TextsForLanguage(0x0411), &JapaneseTexts());  // ja-JP
  EXPECT_EQ(&TextsForLanguage(0x0409), &EnglishTexts());   // en-US
  EXPECT_EQ(&TextsForLanguage(0x0807), &EnglishTexts());   // de-CH: anything else

  const std::wstring english = SpotterUsage(EnglishTexts());
  EXPECT_NE(english.find(L"Spotter " KANASIFT_VERSION_WIDE), std::wstring::npos);
  EXPECT_NE(english.find(L"2 Kanasift is not running"), std::wstring::npos);
  EXPECT_NE(english.find(L"3 Kanasift could not open its dictionary"), std::wstring::npos);
  const std::wstring japanese = SpotterUsage(JapaneseTexts());
  EXPECT_NE(japanese.find(L"Spotter " KANASIFT_VERSION_WIDE), std::wstring::npos);
  EXPECT_NE(japanese.find(L"2 Kanasift が起動していない"), std::wstring::npos);
  EXPECT_EQ(kExitNoKanasift, 2);
  EXPECT_EQ(kExitNoDictionary, 3);
}

}  // namespace
