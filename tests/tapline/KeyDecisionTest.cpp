#include "tapline/KeyDecision.h"

#include <gtest/gtest.h>

namespace tapline {
namespace {

// The defaults of the [key] section: "G!NPST!!!!!!H", all with Ctrl.
class KeyDecisionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* keys = "G!NPST!!!!!!H";
    for (int i = 0; i < SHORTCUT_COUNT; ++i) shortcuts[i] = Shortcut{1, 0, static_cast<std::uint8_t>(keys[i])};
  }
  KeyDecision Decide(std::uint8_t vk, bool ctrl, bool alt, ViewKind view = ViewKind::List,
                     HookMode mode = HookMode::Full) {
    return DecideKey(KeyPress{vk, ctrl, alt}, view, mode, shortcuts);
  }
  Shortcut shortcuts[SHORTCUT_COUNT];
};

TEST_F(KeyDecisionTest, PlainKeysAreCharactersExceptTheThreeThatEndAnInput) {
  EXPECT_EQ(Decide('K', false, false).action, KeyAction::Character);
  EXPECT_EQ(Decide(0x20, false, false).action, KeyAction::Character);
  EXPECT_EQ(Decide('K', false, false, ViewKind::Tree).action, KeyAction::Character);
  for (std::uint8_t vk : {kVkBack, kVkReturn, kVkEscape}) {
    KeyDecision decision = Decide(vk, false, false);
    EXPECT_EQ(decision.action, KeyAction::Notify) << int(vk);
    EXPECT_EQ(decision.message, kKeyDownPlain);
  }
}

TEST_F(KeyDecisionTest, ModifierAndInputMethodKeysAlwaysPass) {
  for (std::uint8_t vk : {0x10, 0x11, 0x12, 0xA0, 0xA5, 0x5B, 0x14, 0xE5, 0x19, 0xF3}) {
    EXPECT_EQ(Decide(vk, false, false).action, KeyAction::Pass) << int(vk);
    EXPECT_EQ(Decide(vk, true, false).action, KeyAction::Pass) << int(vk);
  }
}

TEST_F(KeyDecisionTest, AssignedShortcutsArePostedWithTheirModifiers) {
  KeyDecision next = Decide('N', true, false);
  EXPECT_EQ(next.action, KeyAction::Command);
  EXPECT_EQ(next.message, kKeyDownCtrl);
  EXPECT_EQ(Decide('H', true, false).action, KeyAction::Command);
  EXPECT_EQ(Decide('G', true, false, ViewKind::Tree).action, KeyAction::Command);

  shortcuts[kRegexSearch] = Shortcut{0, 1, 'R'};      // "R-": Alt+R
  shortcuts[kSetNisHeader] = Shortcut{1, 1, 'J'};     // "J+": Ctrl+Alt+J
  EXPECT_EQ(Decide('R', false, true).message, kKeyDownAlt);
  EXPECT_EQ(Decide('R', false, true).action, KeyAction::Command);
  EXPECT_EQ(Decide('J', true, true).message, kKeyDownCtrlAlt);
  EXPECT_EQ(Decide('R', true, false).action, KeyAction::Pass) << "Ctrl+R is not Alt+R";
  EXPECT_EQ(Decide('J', true, false).action, KeyAction::Pass) << "Ctrl+J is not Ctrl+Alt+J";
}

TEST_F(KeyDecisionTest, OtherCombinationsReachTheView) {
  EXPECT_EQ(Decide('C', true, false).action, KeyAction::Pass);  // copy
  EXPECT_EQ(Decide('A', true, false).action, KeyAction::Pass);  // select all
  EXPECT_EQ(Decide('N', false, true).action, KeyAction::Pass);  // Alt+N is not assigned
  EXPECT_EQ(Decide('N', true, true).action, KeyAction::Pass);   // nor Ctrl+Alt+N (AltGr)
}

TEST_F(KeyDecisionTest, UnassignedRecordsNeverMatchPageUp) {
  // '!' is 0x21, VK_PRIOR: unassigned records carry Ctrl, yet Ctrl+PageUp stays the view's.
  EXPECT_EQ(Decide(0x21, true, false).action, KeyAction::Pass);
  EXPECT_EQ(Decide(0x21, false, false).action, KeyAction::Character);  // and PageUp itself goes on to translation
}

TEST_F(KeyDecisionTest, RecordsWithoutCtrlOrAltNeverBindAPlainKey) {
  shortcuts[kRegexSearch] = Shortcut{0, 0, 'R'};
  EXPECT_EQ(Decide('R', false, false).action, KeyAction::Character);
  EXPECT_EQ(Decide('R', true, false).action, KeyAction::Pass);
}

TEST_F(KeyDecisionTest, SortShortcutsAreCarriedOutInListViewsOnly) {
  KeyDecision select = Decide('T', true, false);
  EXPECT_EQ(select.action, KeyAction::Sort);
  EXPECT_EQ(select.sort, SortKind::SelectState);
  EXPECT_EQ(Decide('T', true, false, ViewKind::Tree).action, KeyAction::SortUnavailable);
  EXPECT_EQ(Decide('T', true, false, ViewKind::Shell).action, KeyAction::SortUnavailable)
      << "a shell view orders its items itself";
  EXPECT_EQ(Decide('N', true, false, ViewKind::Shell).action, KeyAction::Command);
  EXPECT_EQ(Decide('K', false, false, ViewKind::Shell).action, KeyAction::Character);

  shortcuts[kSortByCheckState] = Shortcut{1, 0, 'K'};
  shortcuts[kSortByNumInStr] = Shortcut{0, 1, 'J'};
  EXPECT_EQ(Decide('K', true, false).sort, SortKind::CheckState);
  EXPECT_EQ(Decide('J', false, true).sort, SortKind::NumberInName);
  EXPECT_EQ(Decide('J', false, true).action, KeyAction::Sort);
}

TEST_F(KeyDecisionTest, ACommandSharingASortCombinationWins) {
  shortcuts[kNextCandidate] = Shortcut{1, 0, 'T'};
  EXPECT_EQ(Decide('T', true, false).action, KeyAction::Command);
}

TEST_F(KeyDecisionTest, WhenNotEnabledOnlyTheEnableToggleIsTaken) {
  auto decide = [&](std::uint8_t vk, bool ctrl) { return Decide(vk, ctrl, false, ViewKind::List, HookMode::ToggleOnly); };
  EXPECT_EQ(decide('G', true).action, KeyAction::Command);
  EXPECT_EQ(decide('G', true).message, kKeyDownCtrl);
  EXPECT_EQ(decide('K', false).action, KeyAction::Pass);
  EXPECT_EQ(decide(kVkReturn, false).action, KeyAction::Pass);
  EXPECT_EQ(decide('N', true).action, KeyAction::Pass);
  EXPECT_EQ(decide('T', true).action, KeyAction::Pass);
}

TEST_F(KeyDecisionTest, PassModeLetsEverythingThrough) {
  for (std::uint8_t vk : {std::uint8_t('K'), kVkReturn, std::uint8_t('G'), std::uint8_t('T')}) {
    EXPECT_EQ(Decide(vk, false, false, ViewKind::List, HookMode::Pass).action, KeyAction::Pass);
    EXPECT_EQ(Decide(vk, true, false, ViewKind::List, HookMode::Pass).action, KeyAction::Pass);
  }
}

TEST(HookModeTest, ForceEnableWinsAndUseOffWinsOverAll) {
  //        use    enable force  target
  EXPECT_EQ(ModeFor(true, true, false, true), HookMode::Full);
  EXPECT_EQ(ModeFor(true, true, false, false), HookMode::Pass);
  EXPECT_EQ(ModeFor(true, false, false, true), HookMode::ToggleOnly);
  EXPECT_EQ(ModeFor(true, false, false, false), HookMode::Pass);
  EXPECT_EQ(ModeFor(true, false, true, false), HookMode::Full);
  EXPECT_EQ(ModeFor(true, true, true, false), HookMode::Full);
  EXPECT_EQ(ModeFor(false, true, true, true), HookMode::Pass);
  EXPECT_EQ(ModeFor(false, true, false, true), HookMode::Pass);
}

}  // namespace
}  // namespace tapline
