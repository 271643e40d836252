// Spotter's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spotter/SpotterOptions.h"

namespace {

struct Parsed {
  bool ok;
  SpotterOptions options;
  std::string error;
};

Parsed Parse(std::vector<std::wstring> args) {
  Parsed parsed;
  parsed.ok = ParseSpotterOptions(args, parsed.options, parsed.error);
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
  ASSERT_TRUE(query.ok) << query.error;
  EXPECT_EQ(query.options.mode, SpotterMode::Query);
  EXPECT_EQ(query.options.word, L"kaisya");
  EXPECT_TRUE(query.options.utf8);

  Parsed dash = Parse({L"-Query", L"-x"});  // a word may look like a switch
  ASSERT_TRUE(dash.ok) << dash.error;
  EXPECT_EQ(dash.options.word, L"-x");
}

TEST(SpotterOptions, FindTakesAWordAndAFolderInAnyOrderOfSwitches) {
  Parsed find = Parse({L"/utf8", L"D:\\data", L"/find", L"sya", L"/partial"});
  ASSERT_TRUE(find.ok) << find.error;
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

TEST(SpotterOptions, UsageNamesTheVersionAndTheExitCodes) {
  const std::string usage = SpotterUsage();
  EXPECT_NE(usage.find("Spotter " KANASIFT_VERSION), std::string::npos);
  EXPECT_NE(usage.find("2 Kanasift is not running"), std::string::npos);
  EXPECT_NE(usage.find("3 Kanasift could not open its dictionary"), std::string::npos);
  EXPECT_EQ(kExitNoKanasift, 2);
  EXPECT_EQ(kExitNoDictionary, 3);
}

}  // namespace
