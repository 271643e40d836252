#include <gtest/gtest.h>

#include "search/CandidateSearch.h"
#include "tests/search/SearchTestSupport.h"
#include "tests/support/FakeViews.h"

namespace {

using Strings = std::vector<std::string>;

// Visible in this order: Desktop, Docs, Reports, Notes, Music, Pictures (Hidden is
// inside the collapsed Music).
const Strings kTree = {"+Desktop", "  +Docs", "    Reports", "    Notes", "  Music", "    Hidden", "Pictures"};

class TreeStepTest : public ::testing::Test {
 protected:
  TreeStepTest() { state.targetView = views.AddTree(&tree, "MyTree"); }

  StepOutcome Step(int step, bool selectAll = false) {
    rect = ItemRect{};
    return search.SearchAndSelect(state, options, pattern, step, rect, selectAll, &matched, false);
  }
  Strings Order(int step) {
    tree.textReads.clear();
    Step(step);
    return tree.textReads;
  }
  void Caret(const char* name) { tree.caret = tree.Find(name); }

  FakeTreeModel tree{kTree};
  FakeViewProvider views;
  RecordingNotifier notifier;
  CandidateSearch search{views, notifier, "SysTreeView32\0MyTree\0"};
  SearchOptions options;
  SearchPattern pattern;
  InputState state;
  ItemRect rect;
  std::string matched;
};

TEST_F(TreeStepTest, StepZeroTestsTheFirstRootLastAndSkipsCollapsedBranches) {
  state.inputText = "q";
  Caret("Notes");
  EXPECT_EQ(Order(0), (Strings{"Docs", "Reports", "Notes", "Music", "Pictures", "Desktop"}));
  EXPECT_EQ(tree.caret, tree.Find("Notes"));  // nothing found: nothing changes
  EXPECT_EQ(tree.selects, 0);
}

TEST_F(TreeStepTest, StepsWalkFromTheCaretAndWrap) {
  state.inputText = "q";
  Caret("Notes");
  EXPECT_EQ(Order(+1), (Strings{"Music", "Pictures", "Desktop", "Docs", "Reports", "Notes"}));
  EXPECT_EQ(Order(-1), (Strings{"Reports", "Docs", "Desktop", "Pictures", "Music", "Notes"}));
  tree.caret = -1;  // no caret: from the first root item
  EXPECT_EQ(Order(-1), (Strings{"Pictures", "Music", "Notes", "Reports", "Docs", "Desktop"}));
}

TEST_F(TreeStepTest, AStartItemThatIsNotVisibleStillEndsTheWalk) {
  state.inputText = "q";
  Caret("Hidden");
  EXPECT_EQ(Order(+1), (Strings{"Desktop", "Docs", "Reports", "Notes", "Music", "Pictures"}));
  EXPECT_EQ(Order(-1), (Strings{"Pictures", "Music", "Notes", "Reports", "Docs", "Desktop"}));
}

TEST_F(TreeStepTest, CandidateBecomesTheCaretAndReportsItsLabel) {
  state.inputText = "no";
  EXPECT_EQ(Step(0), StepOutcome::Found);
  EXPECT_EQ(tree.caret, tree.Find("Notes"));
  EXPECT_EQ(rect, tree.RectOf(tree.Find("Notes")));
  EXPECT_TRUE(state.lastSearchFound);
  state.inputText = "Abc";
  pattern = CompiledPattern(L"(d|p)");
  EXPECT_EQ(Step(+1), StepOutcome::Found);
  EXPECT_EQ(tree.caret, tree.Find("Pictures"));
  EXPECT_EQ(matched, "P");
  EXPECT_EQ(Step(+1), StepOutcome::Found);
  EXPECT_EQ(tree.caret, tree.Find("Desktop"));
  EXPECT_EQ(Step(-1), StepOutcome::Found);
  EXPECT_EQ(tree.caret, tree.Find("Pictures"));
}

TEST_F(TreeStepTest, SelectAllLeavesTheLastCandidateInWalkOrderSelected) {
  state.inputText = "Abc";
  pattern = CompiledPattern(L"(do|no|mu)");
  EXPECT_EQ(search.SearchAndSelect(state, options, pattern, 0, rect, true, nullptr, false), StepOutcome::Found);
  EXPECT_EQ(tree.caret, tree.Find("Music"));
  EXPECT_EQ(tree.selects, 1);
  EXPECT_EQ(rect, tree.RectOf(tree.Find("Music")));
  EXPECT_EQ(notifier.beeps, 0);
}

TEST_F(TreeStepTest, FailedRegexStepBeepsAndLeavesTheCaret) {
  Caret("Notes");
  state.inputText = "Abc";
  pattern = CompiledPattern(L"(zz)");
  EXPECT_EQ(Step(+1), StepOutcome::NotFound);
  EXPECT_EQ(notifier.beeps, 1);
  EXPECT_FALSE(state.isMatching);
  EXPECT_EQ(tree.caret, tree.Find("Notes"));
}

TEST_F(TreeStepTest, EmptyTreeFindsNothing) {
  FakeTreeModel empty;
  state.targetView = views.AddTree(&empty);
  state.inputText = "Abc";
  pattern = CompiledPattern(L"(a)");
  EXPECT_EQ(Step(0), StepOutcome::NotFound);
  EXPECT_EQ(notifier.beeps, 1);
  EXPECT_TRUE(empty.textReads.empty());
}

TEST_F(TreeStepTest, RecordNotReadyChangesNothing) {
  tree.recordFails = true;
  state.inputText = "Abc";
  pattern = CompiledPattern(L"(zz)");
  EXPECT_EQ(Step(0), StepOutcome::NotReady);
  EXPECT_EQ(notifier.beeps, 0);
  EXPECT_TRUE(state.isMatching);
  EXPECT_EQ(views.unlockCount, 1);
}

TEST_F(TreeStepTest, ViewLostAnywhereEndsTheStepWithoutAnotherMessage) {
  auto run = [&](FakeTreeModel& model, int loseAfter) {
    model.caret = model.Find("Notes");
    model.loseAfterMessages = loseAfter;
    state = InputState{};
    state.targetView = views.AddTree(&model);
    state.inputText = "Abc";
    pattern = CompiledPattern(L"(d|p)");
    return search.SearchAndSelect(state, options, pattern, +1, rect, true, nullptr, false);
  };
  FakeTreeModel whole{kTree};
  ASSERT_EQ(run(whole, -1), StepOutcome::Found);
  for (int k = 0; k < whole.messages; ++k) {
    FakeTreeModel model{kTree};
    EXPECT_EQ(run(model, k), StepOutcome::Lost) << k;
    EXPECT_EQ(model.callsAfterLost, 0) << k;
    EXPECT_TRUE(state.isMatching);
  }
  EXPECT_EQ(views.unlockCount, views.lockCount);
}

}  // namespace
