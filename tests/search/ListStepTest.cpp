#include <gtest/gtest.h>

#include "search/CandidateSearch.h"
#include "tests/search/SearchTestSupport.h"
#include "tests/support/FakeViews.h"

namespace {

std::vector<std::string> Names(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back("item" + std::to_string(i));
  return names;
}

std::vector<int> Range(std::initializer_list<int> values) { return values; }

class ListStepTest : public ::testing::Test {
 protected:
  void Use(FakeListModel& model) { state.targetView = views.AddList(&model); }

  StepOutcome Step(int step, bool selectAll = false, bool includeCurrent = false) {
    rect = ItemRect{};
    return search.SearchAndSelect(state, options, pattern, step, rect, selectAll, &matched, includeCurrent);
  }
  // The order in which a step that finds nothing reads the names.
  std::vector<int> Order(FakeListModel& model, int step, bool includeCurrent = false) {
    model.textReads.clear();
    Step(step, false, includeCurrent);
    return model.textReads;
  }

  FakeViewProvider views;
  RecordingNotifier notifier;
  CandidateSearch search{views, notifier, "SysTreeView32\0"};
  SearchOptions options;
  SearchPattern pattern;
  InputState state;
  ItemRect rect;
  std::string matched = "untouched";
};

TEST_F(ListStepTest, StepsWalkAroundFromTheSelectedItem) {
  FakeListModel list(Names(10));
  Use(list);
  state.inputText = "q";  // literal, matches nothing
  list.Select(5);
  EXPECT_EQ(Order(list, +1), Range({6, 7, 8, 9, 0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(list.SelectedIndices(), Range({5}));  // nothing found: item 5 is selected again
  EXPECT_EQ(list.FocusedIndex(), 5);
  EXPECT_EQ(Order(list, -1), Range({4, 3, 2, 1, 0, 9, 8, 7, 6, 5}));
  EXPECT_EQ(Order(list, -1, true), Range({5, 4, 3, 2, 1, 0, 9, 8, 7, 6}));
  EXPECT_EQ(Order(list, +1, true), Range({5, 6, 7, 8, 9, 0, 1, 2, 3, 4}));
  EXPECT_EQ(Order(list, 0), Range({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(notifier.beeps, 0);
  EXPECT_TRUE(state.isMatching);
  EXPECT_FALSE(state.lastSearchFound);
  EXPECT_EQ(matched, "untouched");
  EXPECT_EQ(rect, ItemRect{});
}

TEST_F(ListStepTest, WithoutSelectionStepsStartAtAnEnd) {
  FakeListModel list(Names(10));
  Use(list);
  state.inputText = "q";
  EXPECT_EQ(Order(list, -1), Range({9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
  EXPECT_EQ(Order(list, +1), Range({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_TRUE(list.SelectedIndices().empty());
  EXPECT_EQ(list.setStateMessages, 0);  // nothing to deselect, nothing to restore
}

TEST_F(ListStepTest, EverySelectedItemIsDeselectedAndOnlyTheFirstComesBack) {
  FakeListModel list(Names(10));
  Use(list);
  state.inputText = "q";
  list.Select(2);
  list.Select(7);
  EXPECT_EQ(Order(list, +1).front(), 3);
  EXPECT_EQ(list.SelectedIndices(), Range({2}));
  EXPECT_EQ(list.setStateMessages, 2);  // one message deselects all, one restores item 2
  list.Select(7);
  EXPECT_EQ(Order(list, -1).front(), 1);
  list.Select(7);
  EXPECT_EQ(Order(list, 0).front(), 0);
  EXPECT_EQ(list.SelectedIndices(), Range({2}));
}

TEST_F(ListStepTest, LiteralInputSelectsFocusesAndReportsTheFirstCandidate) {
  FakeListModel list({"Abc", "xab", "ab"});
  Use(list);
  state.inputText = "ab";
  options.isUsePartialMatch = true;  // plays no part in literal matching
  EXPECT_EQ(Step(0), StepOutcome::Found);
  EXPECT_EQ(list.SelectedIndices(), Range({0}));
  EXPECT_EQ(list.FocusedIndex(), 0);
  EXPECT_EQ(list.lastEnsuredVisible, 0);
  EXPECT_EQ(rect, list.RectOf(0));
  EXPECT_EQ(matched, "untouched");
  EXPECT_TRUE(state.lastSearchFound);
  EXPECT_EQ(Step(+1), StepOutcome::Found);  // xab is never a literal candidate
  EXPECT_EQ(list.SelectedIndices(), Range({2}));
  EXPECT_EQ(list.FocusedIndex(), 2);
  EXPECT_EQ(views.lockCount, 2);
  EXPECT_EQ(views.unlockCount, 2);
  EXPECT_EQ(views.lockedView, 0u);
}

TEST_F(ListStepTest, RegexCandidatesMustMatchFromTheFirstCharacter) {
  FakeListModel list({"Abc", "xab", "ab"});
  Use(list);
  state.inputText = "ab";
  options.kanafyLength = 2;
  pattern = CompiledPattern(L"(ab)");
  EXPECT_EQ(Step(0), StepOutcome::Found);
  EXPECT_EQ(matched, "Ab");
  EXPECT_EQ(Step(+1), StepOutcome::Found);
  EXPECT_EQ(list.SelectedIndices(), Range({2}));
  pattern = CompiledPattern(L".*(ab)");
  EXPECT_EQ(Step(+1), StepOutcome::Found);  // wraps to Abc
  EXPECT_EQ(Step(+1), StepOutcome::Found);
  EXPECT_EQ(list.SelectedIndices(), Range({1}));  // partial mode: xab
  EXPECT_EQ(matched, "ab");
}

TEST_F(ListStepTest, PartialModeReportsTheLastOccurrenceAndHalfWidthNamesMatch) {
  FakeListModel list({"readme", "abXab", Sjis(L"ﾃｽﾄ.txt")});
  Use(list);
  state.inputText = "Tesuto";
  pattern = CompiledPattern(L".*(ab)");
  EXPECT_EQ(Step(0), StepOutcome::Found);
  EXPECT_EQ(list.SelectedIndices(), Range({1}));
  EXPECT_EQ(matched, "ab");
  pattern = CompiledPattern(L"(テスト)");
  EXPECT_EQ(Step(0), StepOutcome::Found);
  EXPECT_EQ(list.SelectedIndices(), Range({2}));
  EXPECT_EQ(matched, Sjis(L"テスト"));  // full width, as the folded name reads
}

TEST_F(ListStepTest, FailedRegexStepBeepsRestoresAndStopsTheInput) {
  FakeListModel list(Names(5));
  Use(list);
  list.Select(3);
  list.Focus(3);
  state.inputText = "Abc";
  pattern = CompiledPattern(L"(zz)");
  EXPECT_EQ(Step(0), StepOutcome::NotFound);
  EXPECT_EQ(notifier.beeps, 1);
  EXPECT_FALSE(state.isMatching);
  EXPECT_FALSE(state.lastSearchFound);
  EXPECT_EQ(list.SelectedIndices(), Range({3}));
  EXPECT_EQ(list.FocusedIndex(), 3);
  EXPECT_EQ(matched, "untouched");

  int messages = list.messages;
  EXPECT_EQ(Step(+1), StepOutcome::NotMatching);  // the next step only beeps
  EXPECT_EQ(notifier.beeps, 2);
  EXPECT_EQ(list.messages, messages);
  EXPECT_EQ(views.lockCount, 1);
}

TEST_F(ListStepTest, FailedLiteralStepNeitherBeepsNorStopsTheInput) {
  FakeListModel list(Names(5));
  Use(list);
  state.inputText = "q";
  state.lastSearchFound = true;
  EXPECT_EQ(Step(0), StepOutcome::NotFound);
  EXPECT_EQ(notifier.beeps, 0);
  EXPECT_TRUE(state.isMatching);
  EXPECT_FALSE(state.lastSearchFound);
}

TEST_F(ListStepTest, SelectAllSelectsEveryCandidateAndFocusesTheLast) {
  FakeListModel list({"ab1", "x", "ab2", "y", "AB3", "z"});
  Use(list);
  list.Select(3);
  list.Focus(3);
  state.inputText = "ab";
  EXPECT_EQ(search.SearchAndSelect(state, options, pattern, 0, rect, true, nullptr, false), StepOutcome::Found);
  EXPECT_EQ(list.SelectedIndices(), Range({0, 2, 4}));
  EXPECT_EQ(list.FocusedIndex(), 4);
  EXPECT_EQ(rect, list.RectOf(4));
  EXPECT_EQ(list.ensureVisibleCalls, 1);
  EXPECT_EQ(list.lastEnsuredVisible, 4);
  EXPECT_EQ(list.setStateMessages, 1 + 3);  // deselect all, then one per candidate

  // Nothing matches: no beep even in regex mode, and the earlier item comes back.
  state.inputText = "Abc";
  pattern = CompiledPattern(L"(zz)");
  list.Select(0, false);
  list.Select(2, false);
  EXPECT_EQ(search.SearchAndSelect(state, options, pattern, 0, rect, true, nullptr, false), StepOutcome::NotFound);
  EXPECT_EQ(notifier.beeps, 0);
  EXPECT_TRUE(state.isMatching);
  EXPECT_EQ(list.SelectedIndices(), Range({4}));
}

TEST_F(ListStepTest, KeptNamesThatAreOutOfDateNeverDecideTheStep) {
  FakeListModel list({"x0", "ab-new", "x2", "x3", "ab4", "x5"});
  Use(list);
  state.inputText = "ab";
  // Kept before item 1 was renamed to a candidate and item 2 was renamed away from one:
  // the walk finds item 2 by its kept name, the view does not confirm it, and the walk
  // begins again with the view's own names.
  list.keptNames = {"x0", "x1", "ab-old", "x3", "ab4", "x5"};
  EXPECT_EQ(Step(0), StepOutcome::Found);
  EXPECT_EQ(list.SelectedIndices(), Range({1}));
  EXPECT_EQ(list.keptRejected, 1);
  EXPECT_EQ(list.textReads, Range({0, 1}));

  // Select-all that meets an unconfirmed candidate takes back what it selected and walks again.
  list.keptNames = {"ab0", "x1", "ab2", "x3", "ab4", "x5"};
  list.items[0].name = "ab0";
  list.textReads.clear();
  EXPECT_EQ(search.SearchAndSelect(state, options, pattern, 0, rect, true, nullptr, false), StepOutcome::Found);
  EXPECT_EQ(list.SelectedIndices(), Range({0, 1, 4}));
  EXPECT_EQ(list.FocusedIndex(), 4);
  EXPECT_EQ(list.keptRejected, 2);

  // Kept names that agree cost no read at all.
  list.keptNames = {"ab0", "ab-new", "x2", "x3", "ab4", "x5"};
  list.textReads.clear();
  EXPECT_EQ(Step(0), StepOutcome::Found);
  EXPECT_EQ(list.SelectedIndices(), Range({0}));
  EXPECT_TRUE(list.textReads.empty());
}

TEST_F(ListStepTest, EmptyViewFailsOnlyInRegexMode) {
  FakeListModel list;
  Use(list);
  state.inputText = "q";
  EXPECT_EQ(Step(0), StepOutcome::NotFound);
  EXPECT_EQ(notifier.beeps, 0);
  state.inputText = "Abc";
  pattern = CompiledPattern(L"(a)");
  EXPECT_EQ(Step(0), StepOutcome::NotFound);
  EXPECT_EQ(notifier.beeps, 1);
  EXPECT_FALSE(state.isMatching);
  EXPECT_EQ(views.unlockCount, views.lockCount);
}

TEST_F(ListStepTest, RecordNotReadyChangesNothing) {
  FakeListModel list(Names(5));
  Use(list);
  list.Select(3);
  list.recordFails = true;
  state.inputText = "Abc";
  state.lastSearchFound = true;
  pattern = CompiledPattern(L"(zz)");
  EXPECT_EQ(Step(0), StepOutcome::NotReady);
  EXPECT_EQ(list.SelectedIndices(), Range({3}));
  EXPECT_EQ(list.setStateMessages, 0);
  EXPECT_EQ(notifier.beeps, 0);
  EXPECT_TRUE(state.isMatching);
  EXPECT_TRUE(state.lastSearchFound);
  EXPECT_EQ(views.lockCount, 1);
  EXPECT_EQ(views.unlockCount, 1);
}

TEST_F(ListStepTest, ViewLostAnywhereEndsTheStepWithoutAnotherMessage) {
  // Count the messages of a whole step, then lose the view after each of them in turn.
  auto run = [&](int loseAfter, FakeListModel& list) {
    list.Select(2);
    list.loseAfterMessages = loseAfter;
    state = InputState{};
    state.targetView = views.AddList(&list);
    state.inputText = "it";
    return search.SearchAndSelect(state, options, pattern, 0, rect, true, nullptr, false);
  };
  FakeListModel whole(Names(6));
  ASSERT_EQ(run(-1, whole), StepOutcome::Found);
  ASSERT_GT(whole.messages, 10);
  for (int k = 0; k < whole.messages; ++k) {
    FakeListModel list(Names(6));
    EXPECT_EQ(run(k, list), StepOutcome::Lost) << k;
    EXPECT_EQ(list.callsAfterLost, 0) << k;
    EXPECT_TRUE(state.isMatching);
    EXPECT_FALSE(state.lastSearchFound);
  }
  EXPECT_EQ(notifier.beeps, 0);
  EXPECT_EQ(views.unlockCount, views.lockCount);
}

TEST_F(ListStepTest, ASelectionAtTheEndCostsNoMessagePerItem) {
  // Across processes every message is a round trip: apart from one read per name, a
  // step sends the same few messages whether the view holds ten items or ten thousand.
  auto overhead = [&](int count) {
    FakeListModel list(Names(count));
    Use(list);
    list.Select(count - 1);
    state.inputText = "q";
    Step(+1);
    EXPECT_EQ(list.SelectedIndices(), Range({count - 1}));
    return list.messages - static_cast<int>(list.textReads.size());
  };
  const int few = overhead(10);
  EXPECT_LE(few, 8);
  EXPECT_EQ(overhead(10000), few);
}

TEST_F(ListStepTest, APatternThatThrowsIsTriedOnceForAWholeView) {
  std::vector<std::string> names;
  for (int i = 0; i < 10000; ++i) names.push_back(std::string(40, 'a') + std::to_string(i));
  FakeListModel list(names);
  Use(list);
  state.inputText = "Abc";
  pattern = CompiledPattern(L"((a*)*b)");
  EXPECT_EQ(Step(0), StepOutcome::NotFound);
  EXPECT_EQ(pattern.searches, 1u);
  EXPECT_TRUE(pattern.Failed());
  EXPECT_EQ(list.textReads.size(), 10000u);
  EXPECT_EQ(notifier.beeps, 1);
}

TEST_F(ListStepTest, NegativeKanafyLengthMatchesLiterally) {
  FakeListModel list({Sjis(L"ａｂ.txt"), "ab.txt"});
  Use(list);
  state.inputText = "ab";
  pattern = CompiledPattern(L"(ab|ａｂ)");
  options.kanafyLength = -1;
  EXPECT_EQ(Step(0), StepOutcome::Found);
  EXPECT_EQ(list.SelectedIndices(), Range({1}));
  options.kanafyLength = 0;
  EXPECT_EQ(Step(0), StepOutcome::Found);
  EXPECT_EQ(list.SelectedIndices(), Range({0}));
}

}  // namespace
