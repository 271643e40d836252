// The typed-input state machine and the key commands, against a recording host, a
// scripted search and fake views.
#include "input/InputEngine.h"

#include <gtest/gtest.h>

#include "tests/input/EngineFakes.h"
#include "tests/support/FakeViews.h"

namespace {

std::array<Shortcut, SHORTCUT_COUNT> DefaultShortcuts() {
  std::array<Shortcut, SHORTCUT_COUNT> s{};
  const char* keys = "G!NPST!!!!!!H";
  for (int i = 0; i < SHORTCUT_COUNT; ++i) s[i] = {1, 0, static_cast<std::uint8_t>(keys[i])};
  return s;
}

constexpr std::uintptr_t kVkN = 'N', kVkP = 'P', kVkS = 'S', kVkH = 'H', kVkG = 'G';

class InputEngineTest : public ::testing::Test {
 protected:
  InputEngineTest()
      : list_({"alpha.txt", "beta.txt", "gamma.txt"}),
        tree_({"+Desktop", "  Docs", "  Music"}),
        shortcuts_(DefaultShortcuts()),
        treeClasses_("SysTreeView32\0\0", 15) {
    listView_ = views_.AddList(&list_);
    checkView_ = views_.AddList(&checkList_);
    treeView_ = views_.AddTree(&tree_);
    checkList_ = FakeListModel({"one", "two", "three"});
    checkList_.extendedStyle = kLvsExCheckBoxes;
    for (int i = 0; i < 3; ++i) checkList_.SetChecked(i, false);
    engine_ = std::make_unique<InputEngine>(host_, search_, views_, settings_, shortcuts_, treeClasses_);
  }

  // Types `text` into `view`, one character every `gap` milliseconds from host_.now.
  void Type(ViewHandle view, const std::string& text, std::uint32_t gap = 100) {
    for (char c : text) {
      host_.now += gap;
      engine_->OnInputChar(view, static_cast<std::uint8_t>(c), host_.now);
    }
  }

  RecordingHost host_;
  ScriptedSearch search_;
  FakeViewProvider views_;
  FakeListModel list_;
  FakeListModel checkList_;
  FakeTreeModel tree_;
  AppSettings settings_;
  std::array<Shortcut, SHORTCUT_COUNT> shortcuts_;
  std::string treeClasses_;
  ViewHandle listView_ = 0, checkView_ = 0, treeView_ = 0;
  std::unique_ptr<InputEngine> engine_;
};

TEST_F(InputEngineTest, FirstLetterOfEachSegmentIsCapitalised) {
  Type(listView_, "abc");
  EXPECT_EQ(engine_->state().inputText, "Abc");
  engine_->ExpireInput();
  Type(listView_, "a1b");
  EXPECT_EQ(engine_->state().inputText, "A1B");
  engine_->ExpireInput();
  Type(listView_, "ab cd");
  EXPECT_EQ(engine_->state().inputText, "Ab Cd");
}

TEST_F(InputEngineTest, CapitalisationLooksAtWholeDoubleByteCharacters) {
  // あ (82 A0): its trail byte A0 alone is no letter and its lead byte 82 is no letter
  // either, so the letter after it starts a new segment.
  Type(listView_, "\x82\xA0" "b");
  EXPECT_EQ(engine_->state().inputText, "\x82\xA0" "B");
  engine_->ExpireInput();
  // A half-width katakana counts as a letter: the letter after it stays lower case.
  Type(listView_, "\xB1" "b");
  EXPECT_EQ(engine_->state().inputText, "\xB1" "b");
  engine_->ExpireInput();
  // The hook hands a double-byte character over byte by byte: a trail byte that looks
  // like a lower-case letter stays as it is (84 70 is the Cyrillic а, 84 50 a different one).
  Type(listView_, "\x84" "p" "k");
  EXPECT_EQ(engine_->state().inputText, "\x84" "p" "K");
}

TEST_F(InputEngineTest, EachAcceptedCharacterBuildsSearchesAndShowsTheTip) {
  Type(listView_, "ka");
  ASSERT_EQ(search_.builds.size(), 2u);
  ASSERT_EQ(search_.searches.size(), 2u);
  EXPECT_EQ(search_.searches[1].inputText, "Ka");
  EXPECT_EQ(search_.searches[1].step, 0);
  EXPECT_FALSE(search_.searches[1].selectAll);
  EXPECT_FALSE(search_.searches[1].includeCurrent);
  ASSERT_EQ(host_.tooltips.size(), 2u);
  EXPECT_EQ(host_.tooltips[1], "matched:kai");
  EXPECT_EQ(host_.tooltipRects[1], search_.foundRect);
}

TEST_F(InputEngineTest, IntervalBoundaryExtendsAndOneMoreMillisecondStartsAnew) {
  settings_.permissibleInputInterval = 1000;
  host_.now = 5000;
  engine_->OnInputChar(listView_, 'a', 5000);
  const std::uint32_t first = engine_->state().inputSerial;
  engine_->OnInputChar(listView_, 'b', 6000);  // exactly the interval: same input
  EXPECT_EQ(engine_->state().inputText, "Ab");
  EXPECT_EQ(engine_->state().inputSerial, first);
  engine_->OnInputChar(listView_, 'c', 7001);  // one more: a new input
  EXPECT_EQ(engine_->state().inputText, "C");
  EXPECT_EQ(engine_->state().inputSerial, first + 1) << "its pattern is not the last input's";
  EXPECT_EQ(host_.dictionaryLoads, 2) << "each new input makes sure the dictionary loads";
}

TEST_F(InputEngineTest, TickDifferencesWrapAroundThirtyTwoBits) {
  engine_->OnInputChar(listView_, 'a', 0xFFFFFF00u);
  engine_->OnInputChar(listView_, 'b', 0x00000010u);  // 0x110 ms later, across the wrap
  EXPECT_EQ(engine_->state().inputText, "Ab");
  // A tick far "behind" (negative difference) extends the input too.
  engine_->OnInputChar(listView_, 'c', 0x00000005u);
  EXPECT_EQ(engine_->state().inputText, "Abc");
}

TEST_F(InputEngineTest, SpaceInListViewWithoutCheckBoxes) {
  Type(listView_, " ");
  EXPECT_EQ(host_.injectedKeys, std::vector<std::uint8_t>{kVkSpace});
  EXPECT_EQ(engine_->state().inputText, "");
  EXPECT_TRUE(search_.searches.empty()) << "no search or tooltip follows an injected key";
  EXPECT_TRUE(host_.tooltips.empty());
  Type(listView_, "a ");
  EXPECT_EQ(engine_->state().inputText, "A ");
  EXPECT_EQ(host_.injectedKeys.size(), 1u);
}

TEST_F(InputEngineTest, SpaceInListViewWithCheckBoxes) {
  checkList_.Select(1);
  Type(checkView_, " ");
  EXPECT_TRUE(checkList_.IsChecked(1)) << "a space on an empty input toggles the selected checks";
  EXPECT_EQ(engine_->state().inputText, "");

  Type(checkView_, "a ");  // not empty, IsCheckBySpace off: typed text
  EXPECT_EQ(engine_->state().inputText, "A ");
  EXPECT_TRUE(checkList_.IsChecked(1));

  settings_.isCheckBySpace = true;
  Type(checkView_, " ");  // IsCheckBySpace on: never typed text
  EXPECT_EQ(engine_->state().inputText, "A ");
  EXPECT_FALSE(checkList_.IsChecked(1));
  EXPECT_TRUE(host_.injectedKeys.empty());
}

TEST_F(InputEngineTest, TreeViewKeysOnEmptyInputAreInjected) {
  Type(treeView_, "+");
  Type(treeView_, "-");
  Type(treeView_, "*");
  EXPECT_EQ(host_.injectedKeys, (std::vector<std::uint8_t>{kVkAdd, kVkSubtract, kVkMultiply}));
  EXPECT_EQ(engine_->state().inputText, "");
  Type(treeView_, "a+ ");
  EXPECT_EQ(engine_->state().inputText, "A+ ") << "after a letter they are typed text";
  engine_->ExpireInput();
  Type(treeView_, " ");
  EXPECT_EQ(engine_->state().inputText, " ") << "in a tree view a space is always text";
}

TEST_F(InputEngineTest, OperatorsAreTextInListViews) {
  Type(listView_, "+-*");
  EXPECT_EQ(engine_->state().inputText, "+-*");
  EXPECT_TRUE(host_.injectedKeys.empty());
}

TEST_F(InputEngineTest, NewInputAfterRunOutCountsAsEmptyForSpecialKeys) {
  Type(treeView_, "a");
  host_.now += 5000;  // run out: the old text is discarded, so + acts on an empty input
  engine_->OnInputChar(treeView_, '+', host_.now);
  EXPECT_EQ(host_.injectedKeys, std::vector<std::uint8_t>{kVkAdd});
  EXPECT_EQ(engine_->state().inputText, "");
}

TEST_F(InputEngineTest, CharactersAreDroppedWhileNotMatchingButStillSearched) {
  Type(listView_, "ka");
  engine_->state().isMatching = false;  // a failed expanded search
  Type(listView_, "i");
  EXPECT_EQ(engine_->state().inputText, "Ka");
  EXPECT_EQ(search_.searches.size(), 3u) << "the step runs (and beeps) even for a dropped character";
  EXPECT_EQ(host_.tooltips.size(), 3u);
}

TEST_F(InputEngineTest, ChangingViewRearmsMatchingAndUpdatesTray) {
  Type(listView_, "k");
  int trays = host_.trayUpdates;
  engine_->state().isMatching = false;
  Type(listView_, "a");
  EXPECT_FALSE(engine_->state().isMatching);
  EXPECT_EQ(host_.trayUpdates, trays);
  Type(checkView_, "b");
  EXPECT_TRUE(engine_->state().isMatching);
  EXPECT_EQ(host_.trayUpdates, trays + 1);
  EXPECT_EQ(engine_->state().previousTargetView, checkView_);
}

TEST_F(InputEngineTest, PlainKeysEndOrKeepTheInput) {
  Type(listView_, "ka");
  host_.calls.clear();
  engine_->OnKeyDown(KeyModifiers::None, 0x25 /* left arrow */, listView_);
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"tray", "timer"}));
  engine_->OnInputChar(listView_, 'i', host_.now + 10);
  EXPECT_EQ(engine_->state().inputText, "Kai") << "other plain keys keep the input";

  for (std::uintptr_t vk : {kVkBack, kVkReturn, kVkEscape}) {
    host_.calls.clear();
    engine_->OnKeyDown(KeyModifiers::None, vk, listView_);
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"tray", "hide", "timer"}));
    host_.now += 10;
    engine_->OnInputChar(listView_, 'x', host_.now);
    EXPECT_EQ(engine_->state().inputText, "X") << "the input ended on key " << vk;
  }
}

TEST_F(InputEngineTest, NextAndPreviousStepAndShiftReverses) {
  Type(listView_, "kai");
  engine_->OnKeyDown(KeyModifiers::Ctrl, kVkN, listView_);
  engine_->OnKeyDown(KeyModifiers::Ctrl, kVkP, listView_);
  host_.shiftDown = true;
  engine_->OnKeyDown(KeyModifiers::Ctrl, kVkN, listView_);
  engine_->OnKeyDown(KeyModifiers::Ctrl, kVkP, listView_);
  ASSERT_EQ(search_.searches.size(), 7u);
  EXPECT_EQ(search_.searches[3].step, +1);
  EXPECT_EQ(search_.searches[4].step, -1);
  EXPECT_EQ(search_.searches[5].step, -1);
  EXPECT_EQ(search_.searches[6].step, +1);
  EXPECT_TRUE(search_.searches[6].wantsMatched);
}

TEST_F(InputEngineTest, CandidateStepExpiresTheInput) {
  Type(listView_, "kai");
  engine_->OnKeyDown(KeyModifiers::Ctrl, kVkN, listView_);
  host_.now += 10;
  engine_->OnInputChar(listView_, 's', host_.now);
  EXPECT_EQ(engine_->state().inputText, "S") << "a new input, capitalised";
}

TEST_F(InputEngineTest, SelectAllWinsOverNextForTheSameKey) {
  shortcuts_[kNextCandidate] = {1, 0, 'S'};  // the same Ctrl+S as select-all
  Type(listView_, "kai");
  engine_->OnKeyDown(KeyModifiers::Ctrl, kVkS, listView_);
  ASSERT_EQ(search_.searches.size(), 4u);
  EXPECT_TRUE(search_.searches[3].selectAll);
  EXPECT_EQ(search_.searches[3].step, 0);
  EXPECT_FALSE(search_.searches[3].wantsMatched);
  EXPECT_EQ(host_.tooltips.back(), "matched:null");
}

TEST_F(InputEngineTest, UnmatchedModifierKeysChangeNothing) {
  Type(listView_, "kai");
  host_.calls.clear();
  engine_->OnKeyDown(KeyModifiers::Ctrl, 'Q', listView_);
  engine_->OnKeyDown(KeyModifiers::Alt, kVkN, listView_);      // Ctrl+N is bound, Alt+N is not
  engine_->OnKeyDown(KeyModifiers::CtrlAlt, kVkN, listView_);
  EXPECT_TRUE(host_.calls.empty());
  host_.now += 10;
  engine_->OnInputChar(listView_, 's', host_.now);
  EXPECT_EQ(engine_->state().inputText, "Kais") << "the input is still alive";
}

TEST_F(InputEngineTest, AltAndCtrlAltRecordsMatchTheirMessages) {
  shortcuts_[kNextCandidate] = {0, 1, 'N'};
  shortcuts_[kPrevCandidate] = {1, 1, 'P'};
  Type(listView_, "kai");
  engine_->OnKeyDown(KeyModifiers::Ctrl, kVkN, listView_);
  EXPECT_EQ(search_.searches.size(), 3u);
  engine_->OnKeyDown(KeyModifiers::Alt, kVkN, listView_);
  engine_->OnKeyDown(KeyModifiers::CtrlAlt, kVkP, listView_);
  ASSERT_EQ(search_.searches.size(), 5u);
  EXPECT_EQ(search_.searches[4].step, -1);
}

TEST_F(InputEngineTest, KeyBytesOfEightyOrMoreMatchAsTheHookTakesThem) {
  // [key] NextCandidateShortcut=ｻ (half-width katakana, byte BB): the hook takes Ctrl with
  // the key of code BB (VK_OEM_PLUS) and posts it; the command must run.
  shortcuts_[kNextCandidate] = {1, 0, 0xBB};
  engine_->OnKeyDown(KeyModifiers::Ctrl, 0xBB, listView_);
  ASSERT_EQ(search_.searches.size(), 1u);
  EXPECT_EQ(search_.searches[0].step, +1);
  // A wider value that only ends in that byte is no key of the record.
  engine_->OnKeyDown(KeyModifiers::Ctrl, 0x1BB, listView_);
  engine_->OnKeyDown(KeyModifiers::Ctrl, static_cast<std::uintptr_t>(-0x45), listView_);  // BB sign-extended
  EXPECT_EQ(search_.searches.size(), 1u);
}

TEST_F(InputEngineTest, UnassignedRecordsNeverMatch) {
  // '!' (0x21) marks a command without a shortcut; as a key code it is VK_PRIOR, so
  // Ctrl+Page Up must not run the first unassigned command (partial matching).
  Type(listView_, "kai");
  host_.calls.clear();
  engine_->OnKeyDown(KeyModifiers::Ctrl, 0x21, listView_);
  EXPECT_EQ(host_.partialToggles, 0);
  EXPECT_TRUE(host_.calls.empty());
  host_.now += 10;
  engine_->OnInputChar(listView_, 's', host_.now);
  EXPECT_EQ(engine_->state().inputText, "Kais");
}

TEST_F(InputEngineTest, BackSpaceShortcutOnOneCharacterStillSearches) {
  Type(listView_, "k");
  search_.found = false;
  engine_->state().lastSearchFound = false;
  host_.now += 50;
  engine_->OnKeyDown(KeyModifiers::Ctrl, kVkH, listView_);
  EXPECT_EQ(engine_->state().inputText, "");
  ASSERT_EQ(search_.builds.size(), 2u);
  EXPECT_EQ(search_.builds.back(), "");
  ASSERT_EQ(search_.searches.size(), 2u);
  EXPECT_EQ(search_.searches.back().step, -1);
  EXPECT_TRUE(search_.searches.back().includeCurrent) << "after a failed step the current item counts";
  EXPECT_EQ(host_.tooltips.size(), 2u);
  EXPECT_EQ(engine_->state().lastInputTick, host_.now) << "the input stays alive from now";

  // On an empty input the rebuild, search and tooltip still run.
  engine_->OnKeyDown(KeyModifiers::Ctrl, kVkH, listView_);
  EXPECT_EQ(search_.searches.size(), 3u);
  EXPECT_EQ(host_.tooltips.size(), 3u);
}

TEST_F(InputEngineTest, BackSpaceShortcutRearmsMatchingAndKeepsInput) {
  search_.found = true;
  Type(listView_, "kaix");
  engine_->state().isMatching = false;
  engine_->OnKeyDown(KeyModifiers::Ctrl, kVkH, listView_);
  EXPECT_TRUE(engine_->state().isMatching);
  EXPECT_EQ(engine_->state().inputText, "Kai");
  EXPECT_FALSE(search_.searches.back().includeCurrent);
  host_.now += 10;
  engine_->OnInputChar(listView_, 's', host_.now);
  EXPECT_EQ(engine_->state().inputText, "Kais");
}

TEST_F(InputEngineTest, BackSpaceRemovesWholeDoubleByteCharacter) {
  Type(listView_, "a\x89\xEF");  // A 会
  engine_->OnKeyDown(KeyModifiers::Ctrl, kVkH, listView_);
  EXPECT_EQ(engine_->state().inputText, "A");
}

TEST_F(InputEngineTest, CheckBoxShortcutsBeepInTreeViews) {
  shortcuts_[kToggleCheckbox] = {1, 0, 'K'};
  shortcuts_[kSelectCheckedItems] = {1, 0, 'L'};
  engine_->OnKeyDown(KeyModifiers::Ctrl, 'K', treeView_);
  engine_->OnKeyDown(KeyModifiers::Ctrl, 'L', treeView_);
  EXPECT_EQ(host_.beeps, 2);

  engine_->OnKeyDown(KeyModifiers::Ctrl, 'K', checkView_);
  EXPECT_EQ(checkList_.extendedStyle & kLvsExCheckBoxes, 0u) << "check boxes hidden";
  engine_->OnKeyDown(KeyModifiers::Ctrl, 'K', checkView_);
  checkList_.SetChecked(2, true);
  engine_->OnKeyDown(KeyModifiers::Ctrl, 'L', checkView_);
  EXPECT_EQ(checkList_.SelectedIndices(), std::vector<int>{2});
}

TEST_F(InputEngineTest, DialogAndModeShortcuts) {
  shortcuts_[kRegexSearch] = {1, 0, 'R'};
  shortcuts_[kSetNisHeader] = {0, 1, 'E'};
  shortcuts_[kToggleIsUsePartialMatch] = {1, 1, 'M'};
  engine_->OnKeyDown(KeyModifiers::Ctrl, 'R', listView_);
  engine_->OnKeyDown(KeyModifiers::Alt, 'E', listView_);
  engine_->OnKeyDown(KeyModifiers::CtrlAlt, 'M', listView_);
  engine_->OnKeyDown(KeyModifiers::Ctrl, kVkG, listView_);
  EXPECT_TRUE(host_.Called("regex dialog"));
  EXPECT_TRUE(host_.Called("nis dialog"));
  EXPECT_TRUE(host_.Called("toggle partial"));
  EXPECT_TRUE(host_.Called("toggle enable"));
  EXPECT_EQ(host_.timerRestarts, 4);
}

TEST_F(InputEngineTest, CommandsFromASecondInstance) {
  engine_->OnKeyDown(KeyModifiers::None, 1, 0);
  engine_->OnKeyDown(KeyModifiers::None, 2, 0);
  engine_->OnKeyDown(KeyModifiers::None, 3, 0);
  engine_->OnKeyDown(KeyModifiers::None, 4, 0);
  engine_->OnKeyDown(KeyModifiers::None, 5, 0);
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"toggle use", "toggle enable", "toggle force", "tray"}));
  EXPECT_EQ(engine_->state().targetView, 0u) << "commands do not touch the target view";
}

TEST_F(InputEngineTest, RegexSearchSearchesForwardAndShowsTip) {
  engine_->OnSearchWithRegex("a.c");
  ASSERT_EQ(search_.regexInputs, std::vector<std::string>{"a.c"});
  ASSERT_EQ(search_.searches.size(), 1u);
  EXPECT_EQ(search_.searches[0].step, +1);
  EXPECT_EQ(search_.searches[0].inputText, "Regex(a.c)");
  EXPECT_EQ(host_.tooltips.size(), 1u);
  // The dialog set the tick to 0: the next typed character starts a new input.
  Type(listView_, "k");
  EXPECT_EQ(engine_->state().inputText, "K");
}

TEST_F(InputEngineTest, PartialMatchToggleRebuildsTheCurrentInput) {
  Type(listView_, "kai");
  engine_->state().isMatching = false;
  engine_->OnPartialMatchToggled();
  EXPECT_TRUE(engine_->state().isMatching);
  EXPECT_EQ(search_.builds.back(), "Kai");
}

TEST_F(InputEngineTest, StartsExpired) {
  host_.now = 5000;
  engine_->OnInputChar(listView_, 'a', 5000);
  EXPECT_EQ(host_.dictionaryLoads, 1) << "the first character after start begins a new input";
}

TEST_F(InputEngineTest, AnyIntervalTheSettingsReaderAcceptsEndsTheInput) {
  // The reader saturates to the 32-bit range; the extremes are as valid as any value.
  for (std::int32_t interval : {INT32_MIN, -1, 0, INT32_MAX}) {
    settings_.permissibleInputInterval = interval;
    engine_->ExpireInput();
    EXPECT_EQ(engine_->state().lastInputTick, 0u - static_cast<std::uint32_t>(interval));
    Type(listView_, "ka", 1);
    EXPECT_EQ(engine_->state().inputText, interval == INT32_MAX ? "Ka" : "A") << interval;
  }
}

}  // namespace

TEST_F(InputEngineTest, AnEndedInputEndsWhateverTheSystemsUptime) {
  // Past 2^31 ms of uptime (24.9 days) and across the 32-bit wrap, a key that ends the
  // input still makes the next character start a new one.
  for (std::uint32_t now : {0x7FFFFF00u, 0x80000010u, 0xFFFFFF00u, 0x00000020u}) {
    host_.now = now;
    Type(listView_, "kai", 50);
    engine_->OnKeyDown(KeyModifiers::None, kVkEscape, listView_);
    Type(listView_, "ro", 50);
    EXPECT_EQ(engine_->state().inputText, "Ro") << std::hex << "at tick " << now;
    engine_->ExpireInput();
  }
}

TEST_F(InputEngineTest, ADialogSearchEndsTheInputWhateverTheSystemsUptime) {
  host_.now = 0x90000000u;
  Type(listView_, "a", 50);  // an input in progress
  engine_->OnSearchWithRegex("ka.");
  Type(listView_, "ro", 50);
  EXPECT_EQ(engine_->state().inputText, "Ro");
}
