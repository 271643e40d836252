// The shell's platform-free rules: second-start switches, the tray picture, the menu state.
#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "app/TrayState.h"

namespace {

TEST(CommandLine, SecondStartTakesTheFirstToggleInTableOrder) {
  EXPECT_EQ(RemoteCommandFromCommandLine("/toggle_is_use"), kToggleUse);
  EXPECT_EQ(RemoteCommandFromCommandLine("/toggle_is_enable"), kToggleEnable);
  EXPECT_EQ(RemoteCommandFromCommandLine("/toggle_is_force_enable"), kToggleForceEnable);
  // Order of the table, not of the command line: use wins over enable.
  EXPECT_EQ(RemoteCommandFromCommandLine("/toggle_is_use /toggle_is_enable"), kToggleUse);
  EXPECT_EQ(RemoteCommandFromCommandLine("/toggle_is_enable /toggle_is_use"), kToggleUse);
  EXPECT_EQ(RemoteCommandFromCommandLine("/toggle_is_force_enable /toggle_is_enable"), kToggleEnable);
}

TEST(CommandLine, SwitchesAreCaseSensitiveSubstrings) {
  EXPECT_EQ(RemoteCommandFromCommandLine("/TOGGLE_IS_USE"), kNoCommand);
  EXPECT_EQ(RemoteCommandFromCommandLine("/Toggle_is_use"), kNoCommand);
  EXPECT_EQ(RemoteCommandFromCommandLine("/toggle_is_user"), kToggleUse);
  EXPECT_EQ(RemoteCommandFromCommandLine("x/toggle_is_enabled"), kToggleEnable);
  EXPECT_EQ(RemoteCommandFromCommandLine("/toggle_is_us"), kNoCommand);
  EXPECT_EQ(RemoteCommandFromCommandLine("/hide"), kNoCommand);
  EXPECT_EQ(RemoteCommandFromCommandLine(""), kNoCommand);
  EXPECT_EQ(RemoteCommandFromCommandLine(nullptr), kNoCommand);
}

TEST(CommandLine, HideSwitch) {
  EXPECT_TRUE(HasHideSwitch("/hide"));
  EXPECT_TRUE(HasHideSwitch("--x /hideaway"));
  EXPECT_TRUE(HasHideSwitch("\"C:\\dir with space\" /hide"));
  EXPECT_FALSE(HasHideSwitch("/HIDE"));
  EXPECT_FALSE(HasHideSwitch("/hid"));
  EXPECT_FALSE(HasHideSwitch(nullptr));
}

TEST(CommandLine, MatchesOnlyAtCharacterBoundaries) {
  // 0x81 0x5C is one double-byte character whose trail byte looks like a backslash: a
  // search for "\\" must not find it inside the character.
  const char text[] = "\x81\x5C" "abc";
  EXPECT_EQ(FindSwitch(text, "\\"), nullptr);
  EXPECT_EQ(FindSwitch(text, "abc"), text + 2);
  // A switch after Japanese text is still found.
  const char japanese[] = "\x89\xEF\x8E\xD0 /toggle_is_enable";  // 会社
  EXPECT_EQ(RemoteCommandFromCommandLine(japanese), kToggleEnable);
  // A lead byte at the very end does not run past the terminator.
  const char dangling[] = "/hid\x81";
  EXPECT_FALSE(HasHideSwitch(dangling));
}

TrayStateInputs State(bool use, bool enable, bool force, bool partial) {
  TrayStateInputs s;
  s.isUse = use;
  s.isEnable = enable;
  s.isForceEnable = force;
  s.isUsePartialMatch = partial;
  return s;
}

TEST(TrayIconChoice, EveryStateHasItsPicture) {
  EXPECT_EQ(ChooseTrayIconId(State(true, true, false, false)), 200);
  EXPECT_EQ(ChooseTrayIconId(State(true, false, false, false)), 201);
  EXPECT_EQ(ChooseTrayIconId(State(false, true, false, false)), 202);
  EXPECT_EQ(ChooseTrayIconId(State(true, true, true, false)), 203);
}

TEST(TrayIconChoice, NotInUseWinsOverEverythingAndForceWinsOverEnable) {
  for (bool enable : {false, true}) {
    for (bool force : {false, true}) {
      EXPECT_EQ(ChooseTrayIconId(State(false, enable, force, false)), 202);
      EXPECT_EQ(ChooseTrayIconId(State(false, enable, force, true)), 302);
    }
  }
  EXPECT_EQ(ChooseTrayIconId(State(true, false, true, false)), 203);
}

TEST(TrayIconChoice, PartialMatchingSwitchesToThe300SetKeepingTheState) {
  for (bool use : {false, true}) {
    for (bool enable : {false, true}) {
      for (bool force : {false, true}) {
        EXPECT_EQ(ChooseTrayIconId(State(use, enable, force, true)),
                  ChooseTrayIconId(State(use, enable, force, false)) + 100);
      }
    }
  }
}

TEST(TrayMenu, ChecksFollowTheSettingsInIdOrder) {
  TrayStateInputs s;
  s.isUse = false;
  s.isForceEnable = true;
  s.isKeepAliveDict = true;
  s.isUsePartialMatch = false;
  s.isUseTooltip = true;
  s.isAnimateTooltip = false;
  s.isCheckBySpace = true;
  auto items = TrayMenuItemStates(s);
  const bool expected[] = {false, true, true, false, true, false, true};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(items[i].id, 1000 + i);
    EXPECT_EQ(items[i].checked, expected[i]) << items[i].id;
    EXPECT_TRUE(items[i].enabled) << items[i].id;
  }
}

TEST(TrayMenu, AnimationItemIsGreyedButKeepsItsCheckWhileTheTooltipIsOff) {
  TrayStateInputs s;
  s.isUseTooltip = false;
  s.isAnimateTooltip = true;
  auto items = TrayMenuItemStates(s);
  EXPECT_EQ(items[5].id, 1005);
  EXPECT_FALSE(items[5].enabled);
  EXPECT_TRUE(items[5].checked);
  for (int i = 0; i < 7; ++i) {
    if (i != 5) {
      EXPECT_TRUE(items[i].enabled);
    }
  }
  EXPECT_FALSE(items[4].checked);
}

TEST(TrayMenu, OffMonitorXIsClampedIntoTheWorkArea) {
  EXPECT_EQ(ClampMenuX(-50, 0, 1024), 0);
  EXPECT_EQ(ClampMenuX(5000, 0, 1024), 1023);
  EXPECT_EQ(ClampMenuX(500, 0, 1024), 500);
  EXPECT_EQ(ClampMenuX(-2000, -1920, 0), -1920);
  EXPECT_EQ(ClampMenuX(10, 5, 5), 5);  // an empty work area
}

}  // namespace
