// Plain data shared by Kanasift and its hook library Tapline.dll: the shortcut record,
// the registered message names and the named objects. No Windows types here.
#pragma once

#include <cstdint>

// One key command: Ctrl and/or Alt plus a virtual-key code; key '!' means unassigned.
struct Shortcut {
  std::uint8_t ctrl;
  std::uint8_t alt;
  std::uint8_t key;
};
static_assert(sizeof(Shortcut) == 3, "Shortcut is a 3-byte record");

constexpr int SHORTCUT_COUNT = 13;
constexpr int INPUT_BATCH_MAX = 256;
constexpr std::uint8_t kUnassignedKey = '!';

// Whether a key with these modifiers is the record's shortcut: the one rule of the hook,
// which takes the key, and of Kanasift, which carries the command out. The key byte is
// a virtual-key code, 0x80 and above included (half-width katakana in the settings file
// name OEM keys); '!' marks a record without a shortcut and never matches; Ctrl and Alt
// must be held exactly as the record says.
constexpr bool ShortcutMatches(const Shortcut& shortcut, std::uintptr_t virtualKey, bool ctrl, bool alt) {
  return shortcut.key != kUnassignedKey && virtualKey == shortcut.key && (shortcut.ctrl != 0) == ctrl &&
         (shortcut.alt != 0) == alt;
}

// Indices of the shortcut records, in the order of the [key] section.
enum ShortcutIndex : int {
  kToggleEnableState = 0,
  kToggleIsUsePartialMatch = 1,
  kNextCandidate = 2,
  kPrevCandidate = 3,
  kSelectAllCandidates = 4,
  kSortBySelectState = 5,
  kToggleCheckbox = 6,
  kSelectCheckedItems = 7,
  kSortByCheckState = 8,
  kRegexSearch = 9,
  kSortByNumInStr = 10,
  kSetNisHeader = 11,
  kBackSpace = 12,
};

// Registered window messages and named kernel objects agreed between the processes.
#define KANASIFT_MSG_SEARCH_WITH_REGEX "Kanasift::UM_SEARCH_WITH_REGEX"
#define KANASIFT_MSG_SET_NIS_HEADER "Kanasift::UM_SET_NIS_HEADER"
#define KANASIFT_MSG_KEYDOWN "Kanasift::UM_KEYDOWN"
#define KANASIFT_MSG_KEYDOWN_CTRL "Kanasift::UM_KEYDOWN_CTRL"
#define KANASIFT_MSG_KEYDOWN_ALT "Kanasift::UM_KEYDOWN_ALT"
#define KANASIFT_MSG_KEYDOWN_CTRL_ALT "Kanasift::UM_KEYDOWN_CTRL_ALT"
// Posted by Kanasift to a view whose thread the library watches: read the whole view
// (wParam the request number, lParam Kanasift's process id; tapline/ViewReadFormat.h).
#define KANASIFT_MSG_READ_VIEW "Kanasift::UM_READ_VIEW"
#define KANASIFT_INPUT_EVENT "Kanasift::InputEvent"
#define KANASIFT_MUTEX "Kanasift::Mutex"
#define KANASIFT_WINDOW_CLASS "Kanasift"

// Keys that Kanasift injects with SendInput carry this value in dwExtraInfo, so the hook
// library lets them through to the view. Each is also announced just before with
// Tapline::expectInjectedKey, since under Wine the hook does not see dwExtraInfo.
constexpr std::uintptr_t kInjectedKeyMarker = 0x4B534654;  // "KSFT"
