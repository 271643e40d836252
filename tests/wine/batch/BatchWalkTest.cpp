// The search steps against viewhost in another process, once with the per-item reader and
// once with the batch reader: typed input, next, previous, select-all, no match, a step
// that includes the current item after a failed one, literal inputs and tree steps must
// leave exactly the same selection, focus, caret, scrolling, rectangle and matched text.
// The batch reader must really read in one piece where the library is loaded, and read
// item by item at once, without posting a request, where it is not.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tapline/Tapline.h"
#include "tests/wine/batch/BatchTestSupport.h"
#include "tests/wine/common/StartMacros.h"
#include "view/ViewOps.h"

namespace {

const StepInput kKaisya{"kaisya", "会社|かいしゃ|カイシャ|kaisya"};
const StepInput kTesuto{"tesuto", "テスト"};
const StepInput kNagai{"nagai", "長い"};
const StepInput kLongname{"longname", "longname"};
const StepInput kNothing{"zzqx", "zzqx"};
const StepInput kDoraibu{"doraibu", "ドライブ"};
const StepInput kDesuku{"desuku", "デスク"};

std::vector<Step> ListSteps() {
  return {
      {"typed kaisya", kKaisya, 0},
      {"next", kKaisya, +1},
      {"next again", kKaisya, +1},
      {"previous", kKaisya, -1},
      {"select all", kKaisya, 0, true},
      {"typed tesuto", kTesuto, 0},
      {"no match", kNothing, 0},
      {"after the failure", {"zzqxy", "zzqxy"}, 0, false, false, true},
      {"backspace: from the current item", kTesuto, -1, false, true},
      {"next tesuto", kTesuto, +1},
      {"next wraps", kTesuto, +1},
      {"literal re", {"re", ""}, 0},
      {"literal ab", {"ab", ""}, 0},
      {"literal without a match", {"zz", ""}, 0},
      {"nagai forward", kNagai, +1},
      {"longname backward", kLongname, -1},
  };
}

std::vector<Step> LargeListSteps() {
  return {
      {"typed kaisya", kKaisya, 0},
      {"next", kKaisya, +1},
      {"next again", kKaisya, +1},
      {"previous", kKaisya, -1},
      {"select all", kKaisya, 0, true},
      {"typed again over many selected", kKaisya, 0},
      {"next over one selected", kKaisya, +1},
      {"previous from there", kKaisya, -1},
      {"literal re", {"re", ""}, 0},
      {"no match", kNothing, 0},
      {"backspace: from the current item", {"re", ""}, -1, false, true},
  };
}

std::vector<Step> TreeSteps() {
  return {
      {"typed kaisya", kKaisya, 0},
      {"next", kKaisya, +1},
      {"next again", kKaisya, +1},
      {"previous", kKaisya, -1},
      {"select all", kKaisya, 0, true},
      {"only in a collapsed branch", kDoraibu, 0},
      {"the root item is tested last", kDesuku, 0},
      {"literal next", {"re", ""}, +1},
      {"previous kaisya", kKaisya, -1},
  };
}

int WalkedSteps(const std::vector<Observation>& observed) {
  int walked = 0;
  for (const auto& o : observed) walked += o.outcome != static_cast<int>(StepOutcome::NotMatching);
  return walked;
}

void ExpectSame(const std::vector<Observation>& perItem, const std::vector<Observation>& batch) {
  ASSERT_EQ(perItem.size(), batch.size());
  for (std::size_t i = 0; i < perItem.size(); ++i) {
    EXPECT_TRUE(perItem[i] == batch[i]) << "per item: " << Describe(perItem[i]) << "\nbatch:    " << Describe(batch[i]);
  }
}

class BatchWalkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(owner_.Install()) << "the hook could not be set"; }

  void StartHost(ViewhostProcess& host, std::vector<std::string> args, bool loadLibrary) {
    ASSERT_TRUE(host.Start(args)) << host.Error();
    if (loadLibrary) {
      ASSERT_TRUE(LoadHookLibraryInto(host)) << "the hook library did not come into viewhost";
    }
  }

  static std::vector<std::string> NamesAndTree() {
    return {"--list", TestDataPath("viewhost-names.txt"), "--tree", TestDataPath("viewhost-tree.txt")};
  }

  HookOwner owner_;
};

TEST_F(BatchWalkTest, ListAndTreeStepsEndTheSameWithEitherReader) {
  ViewhostProcess perItemHost;
  ASSERT_STARTED(StartHost(perItemHost, NamesAndTree(), true));
  RemoteViewProvider perItemViews;
  auto perItemList = RunSteps(perItemViews, perItemHost, false, ListSteps());
  auto perItemTree = RunSteps(perItemViews, perItemHost, true, TreeSteps());
  perItemHost.Stop();

  ViewhostProcess batchHost;
  ASSERT_STARTED(StartHost(batchHost, NamesAndTree(), true));
  auto reads = std::make_unique<CountingViewReads>();
  CountingViewReads& service = *reads;
  BatchViewProvider batchViews(std::move(reads));
  auto batchList = RunSteps(batchViews, batchHost, false, ListSteps());
  auto batchTree = RunSteps(batchViews, batchHost, true, TreeSteps());

  ExpectSame(perItemList, batchList);
  ExpectSame(perItemTree, batchTree);

  // Both readers could be wrong alike: a few of the expected results.
  ASSERT_EQ(batchList.size(), 16u);
  EXPECT_EQ(batchList[0].selected, std::vector<int>({0}));
  EXPECT_EQ(batchList[0].matched, Utf8ToAnsi("会社"));
  EXPECT_EQ(batchList[3].selected, std::vector<int>({1}));
  EXPECT_EQ(batchList[4].selected, std::vector<int>({0, 1, 2, 3, 4}));
  EXPECT_EQ(batchList[4].focused, 4);
  EXPECT_EQ(batchList[5].selected, std::vector<int>({5})) << "ﾃｽﾄﾌｧｲﾙ folds to full width";
  EXPECT_EQ(batchList[6].selected, std::vector<int>({5})) << "a failed step gives the earlier item back";
  EXPECT_FALSE(batchList[6].isMatching);
  EXPECT_EQ(batchList[7].outcome, static_cast<int>(StepOutcome::NotMatching));
  EXPECT_EQ(batchList[8].selected, std::vector<int>({5})) << "includeCurrent tests the current item first";
  EXPECT_EQ(batchList[10].selected, std::vector<int>({5})) << "next wraps round";
  EXPECT_EQ(batchList[13].outcome, static_cast<int>(StepOutcome::NotFound));
  EXPECT_TRUE(batchList[13].isMatching) << "a literal failure keeps the input going";
  EXPECT_EQ(batchList[15].selected, std::vector<int>({7}));
  ASSERT_EQ(batchTree.size(), 9u);
  EXPECT_EQ(batchTree[0].caretText, Utf8ToAnsi("会社"));
  EXPECT_EQ(batchTree[4].caretText, Utf8ToAnsi("カイシャ")) << "select-all leaves the last candidate in walk order";
  EXPECT_EQ(batchTree[5].outcome, static_cast<int>(StepOutcome::NotFound)) << "a collapsed branch is never searched";
  EXPECT_EQ(batchTree[6].caretPosition, 0);
  EXPECT_EQ(batchTree[7].caretText, "readme");

  // Every step that reached the view read it in one piece: one request, one answer,
  // not a single name read across the process boundary.
  const BatchCounters& c = batchViews.Counters();
  const unsigned walked = static_cast<unsigned>(WalkedSteps(batchList) + WalkedSteps(batchTree));
  EXPECT_EQ(c.snapshots, walked);
  EXPECT_EQ(c.requests, walked);
  EXPECT_EQ(c.answers, walked);
  EXPECT_EQ(c.notServed, 0u);
  EXPECT_EQ(c.fallbacks, 0u);
  EXPECT_EQ(c.perItemNames, 0u);
  EXPECT_EQ(service.refused, 0);
  EXPECT_GT(c.lastAnswerBytes, sizeof(viewread::RequestHeader));
}

TEST_F(BatchWalkTest, ALargeListEndsTheSameWithEitherReader) {
  const std::vector<std::string> args = {"--count", "800", "--seed", "7"};
  ViewhostProcess perItemHost;
  ASSERT_STARTED(StartHost(perItemHost, args, false));
  RemoteViewProvider perItemViews;
  auto perItem = RunSteps(perItemViews, perItemHost, false, LargeListSteps());
  perItemHost.Stop();

  ViewhostProcess batchHost;
  ASSERT_STARTED(StartHost(batchHost, args, true));
  BatchViewProvider batchViews(std::make_unique<CountingViewReads>());
  auto batch = RunSteps(batchViews, batchHost, false, LargeListSteps());
  ExpectSame(perItem, batch);

  ASSERT_EQ(batch.size(), 11u);
  EXPECT_GT(batch[4].selected.size(), 20u) << "select-all found many candidates";
  EXPECT_EQ(batch[5].selected.size(), 1u) << "every earlier candidate was deselected";
  EXPECT_EQ(batchViews.Counters().answers, static_cast<unsigned>(WalkedSteps(batch)));
  EXPECT_EQ(batchViews.Counters().perItemNames, 0u);
}

TEST_F(BatchWalkTest, KeptNamesServeTheNextStepAndAStaleOneIsNeverSelected) {
  // The names of an input that matched nothing are kept; the next step walks the list
  // from its end by them, far ahead of the view's thread reading it from the start.
  // Then the candidate is renamed in the view, and a step that begins at it must go on
  // to the next candidate by the view's own names, as the per-item reader does.
  const std::vector<std::string> args = {"--count", "3000", "--seed", "7"};
  const std::vector<Step> before = {{"no match", kNothing, 0}, {"previous kaisya", kKaisya, -1}};
  const std::vector<Step> after = {{"from the renamed one", kKaisya, -1, false, true}};
  ViewhostProcess perItemHost;
  ASSERT_STARTED(StartHost(perItemHost, args, false));
  ViewhostProcess batchHost;
  ASSERT_STARTED(StartHost(batchHost, args, true));
  RemoteViewProvider perItemViews;
  BatchViewProvider batchViews(std::make_unique<CountingViewReads>());
  batchViews.SetKeepListNames(true, 60000);  // a slow machine's steps are still one word's

  auto perItem = RunSteps(perItemViews, perItemHost, false, before);
  auto batch = RunSteps(batchViews, batchHost, false, before);
  ExpectSame(perItem, batch);
  ASSERT_EQ(batch[1].selected.size(), 1u);
  EXPECT_GT(batch[1].selected[0], 300) << "a candidate far from the start";
  EXPECT_EQ(batchViews.Counters().namesKept, 1u);
  EXPECT_EQ(batchViews.Counters().keptNames, 1u);

  const WPARAM renamed = static_cast<WPARAM>(batch[1].selected[0]);
  ASSERT_EQ(SendMessageW(perItemHost.Main(), WM_APP + 5, renamed, 0), 1);
  ASSERT_EQ(SendMessageW(batchHost.Main(), WM_APP + 5, renamed, 0), 1);
  perItem = RunSteps(perItemViews, perItemHost, false, after);
  batch = RunSteps(batchViews, batchHost, false, after);
  ExpectSame(perItem, batch);
  ASSERT_EQ(batch[0].selected.size(), 1u);
  EXPECT_NE(batch[0].selected[0], static_cast<int>(renamed));
  EXPECT_EQ(batchViews.Counters().keptStale, 1u);
  EXPECT_EQ(batchViews.Counters().perItemNames, 0u);
}

TEST_F(BatchWalkTest, AProcessWithoutTheLibraryIsReadItemByItemWithoutARequest) {
  ViewhostProcess perItemHost;
  ASSERT_STARTED(StartHost(perItemHost, NamesAndTree(), false));
  RemoteViewProvider perItemViews;
  auto perItemList = RunSteps(perItemViews, perItemHost, false, ListSteps());
  auto perItemTree = RunSteps(perItemViews, perItemHost, true, TreeSteps());
  perItemHost.Stop();

  // No key ever reaches this viewhost, so the keyboard hook never loads the library there.
  ViewhostProcess host;
  ASSERT_STARTED(StartHost(host, NamesAndTree(), false));
  EXPECT_FALSE(Tapline::prepareViewRead(host.List()));
  auto reads = std::make_unique<CountingViewReads>();
  CountingViewReads& service = *reads;
  BatchViewProvider views(std::move(reads));
  auto list = RunSteps(views, host, false, ListSteps());
  auto tree = RunSteps(views, host, true, TreeSteps());
  ExpectSame(perItemList, list);
  ExpectSame(perItemTree, tree);

  const BatchCounters& c = views.Counters();
  const unsigned walked = static_cast<unsigned>(WalkedSteps(list) + WalkedSteps(tree));
  EXPECT_EQ(c.requests, 0u) << "nothing may be posted to a process that cannot answer";
  EXPECT_EQ(c.notServed, walked);
  EXPECT_EQ(service.refused, static_cast<int>(walked));
  EXPECT_GT(c.perItemNames, 0u);
}

TEST_F(BatchWalkTest, AViewOfTheOtherBitnessIsReadItemByItem) {
  const std::string missing = OtherBitnessViewhostMissing();
  if (!missing.empty()) GTEST_SKIP() << missing;
  const std::string other = OtherBitnessViewhostPath();
  ViewhostProcess host;
  ASSERT_TRUE(host.Start({"--list", TestDataPath("viewhost-names.txt")}, other)) << host.Error();
  // Keys reach it, but a library of this bitness never runs there.
  EXPECT_FALSE(LoadHookLibraryInto(host));
  BatchViewProvider views(std::make_unique<CountingViewReads>());
  auto observed = RunSteps(views, host, false, {{"typed kaisya", kKaisya, 0}, {"next", kKaisya, +1}});
  ASSERT_EQ(observed.size(), 2u);
  EXPECT_EQ(observed[0].selected, std::vector<int>({0}));
  EXPECT_EQ(observed[1].selected, std::vector<int>({1}));
  EXPECT_EQ(views.Counters().requests, 0u);
  EXPECT_EQ(views.Counters().notServed, 2u);
}

TEST_F(BatchWalkTest, AReadIsPreparedOnlyWhileThisProcessOwnsTheHook) {
  ViewhostProcess host;
  ASSERT_STARTED(StartHost(host, NamesAndTree(), true));
  EXPECT_TRUE(Tapline::prepareViewRead(host.Tree())) << "the tree's thread is the list's";
  EXPECT_FALSE(Tapline::prepareViewRead(nullptr));
  HWND own = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  EXPECT_FALSE(Tapline::prepareViewRead(own)) << "a window of this process is read directly";
  DestroyWindow(own);

  Tapline::unsetHook();
  EXPECT_FALSE(Tapline::prepareViewRead(host.List())) << "no hook, no reads";
  BatchViewProvider views(std::make_unique<CountingViewReads>());
  auto observed = RunSteps(views, host, false, {{"typed kaisya", kKaisya, 0}});
  ASSERT_EQ(observed.size(), 1u);
  EXPECT_EQ(observed[0].selected, std::vector<int>({0}));
  EXPECT_EQ(views.Counters().requests, 0u);

  ASSERT_TRUE(owner_.Install());
  EXPECT_TRUE(Tapline::prepareViewRead(host.List())) << "the library is still loaded there";
}

// `count` names of 250 bytes and more, written to a temporary file for viewhost.
std::string LongNamesFile(int count) {
  std::string text;
  char number[16];
  for (int i = 0; i < count; ++i) {
    std::snprintf(number, sizeof(number), "_%05d.txt\n", i);
    text += (i + 1 == count ? std::string("zz") : std::string("aa")) + std::string(248, 'x') + number;
  }
  return WriteNamesFile(text, L"batch-long", 0);
}

// An answer that does not fit the first mapping is asked for again with the size it
// needs; the walk goes on with the new answer, and the next read is sized right away.
TEST_F(BatchWalkTest, AnAnswerLargerThanTheFirstMappingIsAskedForAgain) {
  const int kCount = 5000;  // about 1.3 MB of records, beyond the first 1 MiB
  const std::string names = LongNamesFile(kCount);
  ViewhostProcess host;
  ASSERT_STARTED(StartHost(host, {"--list", names}, true));
  DeleteFileA(Utf8ToAnsi(names).c_str());  // viewhost has read it
  BatchViewProvider views(std::make_unique<CountingViewReads>());
  views.SetKeepListNames(false);  // both steps read every name
  const StepInput last{"zzx", "zzx"};
  auto observed = RunSteps(views, host, false, {{"the last item", last, 0}, {"again", last, 0}});
  ASSERT_EQ(observed.size(), 2u);
  EXPECT_EQ(observed[0].selected, std::vector<int>({kCount - 1}));
  EXPECT_EQ(observed[1].selected, std::vector<int>({kCount - 1}));
  const BatchCounters& c = views.Counters();
  EXPECT_EQ(c.requests, 3u) << "one retry with a larger mapping, then the right size at once";
  EXPECT_EQ(c.answers, 2u);
  EXPECT_EQ(c.fallbacks, 0u);
  EXPECT_EQ(c.perItemNames, 0u);
  EXPECT_GT(c.lastAnswerBytes, 1u << 20);
}

// The check-box commands read the states from the same answer.
TEST_F(BatchWalkTest, CheckBoxCommandsWorkOnTheBatchReader) {
  ViewhostProcess host;
  ASSERT_STARTED(StartHost(host, {"--list", TestDataPath("viewhost-eight.txt"), "--checked", "2,5", "--select", "1,2"},
                           true));
  BatchViewProvider views(std::make_unique<CountingViewReads>());
  struct Beeps : UserNotifier {
    void Beep() override { ++count; }
    void ShowMessage(ViewHandle, const std::string&, const std::string&, unsigned) override {}
    int count = 0;
  } beeps;

  if (auto list = views.OpenList(ToViewHandle(host.List()))) ToggleSelectedChecks(*list);  // 1 unchecked: check 1, 2
  if (auto list = views.OpenList(ToViewHandle(host.List()))) SelectCheckedItems(*list, beeps);
  EXPECT_EQ(beeps.count, 0);
  auto check = OpenRemoteList(host.List());
  std::vector<int> checked, selected;
  int focused = -1;
  for (int i = 0; i < check->ItemCount(); ++i) {
    if ((check->ItemState(i, kLvisStateImageMask) >> 12) == 2) checked.push_back(i);
    if (check->ItemState(i, kLvisSelected)) selected.push_back(i);
    if (check->ItemState(i, kLvisFocused)) focused = i;
  }
  EXPECT_EQ(checked, std::vector<int>({1, 2, 5}));
  EXPECT_EQ(selected, std::vector<int>({1, 2, 5}));
  EXPECT_EQ(focused, 5);
  EXPECT_EQ(views.Counters().answers, 2u);
}

}  // namespace
