// What the hook does with one key-down in a view it watches. Pure rules, so that they
// can be tested without a hook:
//
//   mode Pass        every key passes untouched (use off, not a watched window)
//   mode ToggleOnly  the window is a target but the library is not enabled: only the
//                    enable-toggle shortcut is taken (so that the user can turn the
//                    library back on from the view), every other key passes
//   mode Full        characters are queued, Backspace/Enter/Escape are reported and
//                    still reach the view, assigned Ctrl/Alt shortcuts are taken
#pragma once

#include <cstdint>

#include "tapline/SharedLayout.h"
#include "tapline/TaplineTypes.h"

namespace tapline {

// Virtual keys the rules name.
constexpr std::uint8_t kVkBack = 0x08;
constexpr std::uint8_t kVkReturn = 0x0D;
constexpr std::uint8_t kVkEscape = 0x1B;

enum class HookMode { Pass, ToggleOnly, Full };
// Shell: a window served through the shell view that holds it; its keys go as in a list
// view, but the sorts cannot reorder a shell view.
enum class ViewKind { List, Tree, Shell };
enum class SortKind { SelectState, CheckState, NumberInName };

enum class KeyAction {
  Pass,             // the view gets the key, Kanasift hears nothing
  Notify,           // post the key message and let the view have the key too
  Command,          // post the key message and keep the key from the view
  Sort,             // sort the list view here, keep the key from the view
  SortUnavailable,  // a sort shortcut in a tree view: beep, keep the key from the view
  Character,        // a printable character is queued and kept from the view
};

struct KeyDecision {
  KeyAction action = KeyAction::Pass;
  KeyMessage message = kKeyDownPlain;
  SortKind sort = SortKind::SelectState;
};

struct KeyPress {
  std::uint8_t virtualKey;
  bool ctrl;
  bool alt;
};

// The mode for a focused view: force-enable wins over the enable state and the target
// conditions (the view class must be in a class list in every case).
HookMode ModeFor(bool isUse, bool isEnable, bool isForceEnable, bool isTargetWindow);

// Keys that never produce anything themselves: Shift, Ctrl, Alt, the Windows keys, the
// lock keys and the input-method keys.
bool IsModifierOrImeKey(std::uint8_t virtualKey);

// Records with key `!` are unassigned and never match; a record needs Ctrl or Alt; Shift
// is not part of a shortcut (Kanasift reads it itself). When one combination is given
// to a command of Kanasift and to a sort, the command wins.
KeyDecision DecideKey(const KeyPress& key, ViewKind view, HookMode mode, const Shortcut* shortcuts);

}  // namespace tapline
