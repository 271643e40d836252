#include <gtest/gtest.h>

#include "search/RecentExpansions.h"
#include "tests/search/SearchTestSupport.h"

namespace {

TEST(RecentExpansions, KeepsRecentAnswersWithinTheirBoundsButNeverAFailure) {
  ScriptedDictionary dictionary;
  RecentExpansions kept(dictionary, 2, 10);
  dictionary.answer = "K1";
  EXPECT_EQ(kept.Query("k", nullptr), "K1");
  dictionary.answer = "K2";
  EXPECT_EQ(kept.Query("k", nullptr), "K1");     // kept: the dictionary is not asked
  EXPECT_EQ(kept.Query("k", "()"), "K2");        // other escapes, another answer
  EXPECT_EQ(dictionary.queries.size(), 2u);

  dictionary.answer.reset();  // a failure goes through and is not kept
  EXPECT_FALSE(kept.Query("x", nullptr).has_value());
  EXPECT_FALSE(kept.Query("x", nullptr).has_value());
  EXPECT_EQ(dictionary.queries.size(), 4u);

  dictionary.answer = "A";
  kept.Query("a", nullptr);  // a third entry: the least recently used ("k") goes
  EXPECT_EQ(kept.Query("k", "()"), "K2");
  EXPECT_EQ(dictionary.queries.size(), 5u);
  dictionary.answer = "01234567";  // over the bytes left: older entries make room
  kept.Query("b", nullptr);
  EXPECT_LE(kept.keptBytes(), 10u);
  dictionary.answer = "new";
  EXPECT_EQ(kept.Query("b", nullptr), "01234567");
  EXPECT_EQ(kept.Query("a", nullptr), "new");
  EXPECT_EQ(kept.Query("k", nullptr), "new");
  dictionary.answer = std::string(11, 'x');  // larger than every bound: never kept
  kept.Query("c", nullptr);
  kept.Query("c", nullptr);
  EXPECT_EQ(dictionary.queries.back(), "c");
  EXPECT_EQ(dictionary.queries.size(), 10u);
}

}  // namespace
