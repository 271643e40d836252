#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "search/ExpansionWarmer.h"
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

TEST(RecentExpansions, TheLongAnswersOfShortInputsOutliveManyShortOnes) {
  ScriptedDictionary dictionary;
  RecentExpansions kept(dictionary, 4);
  dictionary.answer = std::string(RecentExpansions::kDearAnswerBytes, 'k');
  kept.Query("k", nullptr);
  for (int i = 0; i < 20; ++i) {
    dictionary.answer = "w" + std::to_string(i);
    kept.Query("word" + std::to_string(i), nullptr);
  }
  const std::size_t asked = dictionary.queries.size();
  EXPECT_EQ(kept.Query("k", nullptr), std::string(RecentExpansions::kDearAnswerBytes, 'k'));
  EXPECT_EQ(kept.Query("word19", nullptr), "w19");
  EXPECT_EQ(dictionary.queries.size(), asked) << "both kept";
  kept.Query("word0", nullptr);  // long gone: asked again
  EXPECT_EQ(dictionary.queries.size(), asked + 1);
}

// A dictionary that takes a moment per query and may be asked from several threads.
class SlowDictionary : public Dictionary {
 public:
  std::optional<std::string> Query(const std::string& query, const char*) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::lock_guard<std::mutex> hold(lock_);
    ++asked_;
    return "(" + query + "|" + query + query + ")";
  }
  std::size_t Asked() {
    std::lock_guard<std::mutex> hold(lock_);
    return asked_;
  }

 private:
  std::mutex lock_;
  std::size_t asked_ = 0;
};

TEST(RecentExpansions, OneLetterAnswersAreFetchedInTheBackgroundWhileKeysAreAsked) {
  SlowDictionary dictionary;
  RecentExpansions kept(dictionary);
  const std::vector<std::string> letters = ExpansionWarmer::OneLetterInputs();
  ASSERT_EQ(letters.size(), 26u);
  {
    ExpansionWarmer warmer(kept, letters);
    ASSERT_TRUE(warmer.Start());
    // While keys keep coming, only their own queries reach the dictionary.
    for (const char* typed : {"k", "ka", "kai", "s", "z"}) {
      warmer.NoteKey();
      EXPECT_EQ(kept.Query(typed, nullptr), "(" + std::string(typed) + "|" + typed + typed + ")");
      for (int i = 0; i < 8; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        warmer.NoteKey();
      }
    }
    EXPECT_EQ(dictionary.Asked(), 5u) << "the warmer waits for a pause in the keys";
    while (warmer.IsRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const std::size_t asked = dictionary.Asked();
  for (const auto& letter : letters) EXPECT_EQ(kept.Query(letter, nullptr), "(" + letter + "|" + letter + letter + ")");
  EXPECT_EQ(dictionary.Asked(), asked) << "every letter's answer is kept";

  // Going away stops the run after the query under way.
  SlowDictionary other;
  RecentExpansions otherKept(other);
  {
    ExpansionWarmer warmer(otherKept, letters);
    ASSERT_TRUE(warmer.Start());
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const std::size_t stoppedAt = other.Asked();
  EXPECT_LT(stoppedAt, letters.size());
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(other.Asked(), stoppedAt) << "nothing asked after the warmer went";
}

}  // namespace
