#include "tapline/KeyDecision.h"

namespace tapline {

namespace {

bool Matches(const Shortcut& shortcut, const KeyPress& key) {
  return ShortcutMatches(shortcut, key.virtualKey, key.ctrl, key.alt);
}

bool IsSortRecord(int index, SortKind& kind) {
  switch (index) {
    case kSortBySelectState: kind = SortKind::SelectState; return true;
    case kSortByCheckState: kind = SortKind::CheckState; return true;
    case kSortByNumInStr: kind = SortKind::NumberInName; return true;
    default: return false;
  }
}

KeyMessage MessageFor(const KeyPress& key) {
  if (key.ctrl && key.alt) return kKeyDownCtrlAlt;
  if (key.ctrl) return kKeyDownCtrl;
  if (key.alt) return kKeyDownAlt;
  return kKeyDownPlain;
}

}  // namespace

HookMode ModeFor(bool isUse, bool isEnable, bool isForceEnable, bool isTargetWindow) {
  if (!isUse) return HookMode::Pass;
  if (isForceEnable) return HookMode::Full;
  if (!isTargetWindow) return HookMode::Pass;
  return isEnable ? HookMode::Full : HookMode::ToggleOnly;
}

bool IsModifierOrImeKey(std::uint8_t vk) {
  switch (vk) {
    case 0x10: case 0x11: case 0x12:              // Shift, Ctrl, Alt
    case 0xA0: case 0xA1: case 0xA2: case 0xA3: case 0xA4: case 0xA5:  // left and right forms
    case 0x5B: case 0x5C:                         // Windows keys
    case 0x14: case 0x90: case 0x91:              // Caps, Num and Scroll Lock
    case 0x15: case 0x16: case 0x17: case 0x18: case 0x19: case 0x1A:  // Kana, IME on/off, Junja, Final, Kanji
    case 0x1C: case 0x1D: case 0x1E: case 0x1F:   // Convert, NonConvert, Accept, ModeChange
    case 0xE5:                                    // a key the input method is processing
    case 0xF0: case 0xF1: case 0xF2: case 0xF3: case 0xF4: case 0xF5: case 0xF6:  // OEM keys of Japanese keyboards
      return true;
    default:
      return false;
  }
}

KeyDecision DecideKey(const KeyPress& key, ViewKind view, HookMode mode, const Shortcut* shortcuts) {
  KeyDecision decision;
  if (mode == HookMode::Pass || IsModifierOrImeKey(key.virtualKey)) return decision;

  if (key.ctrl || key.alt) {
    if (!shortcuts) return decision;
    if (mode == HookMode::ToggleOnly) {
      if (Matches(shortcuts[kToggleEnableState], key)) {
        decision.action = KeyAction::Command;
        decision.message = MessageFor(key);
      }
      return decision;
    }
    SortKind sortKind = SortKind::SelectState;
    bool sortMatched = false;
    for (int i = 0; i < SHORTCUT_COUNT; ++i) {
      if (!Matches(shortcuts[i], key)) continue;
      SortKind kind;
      if (IsSortRecord(i, kind)) {
        if (!sortMatched) sortKind = kind;
        sortMatched = true;
        continue;
      }
      decision.action = KeyAction::Command;
      decision.message = MessageFor(key);
      return decision;
    }
    if (sortMatched) {
      decision.action = view == ViewKind::List ? KeyAction::Sort : KeyAction::SortUnavailable;
      decision.sort = sortKind;
    }
    return decision;
  }

  if (mode == HookMode::ToggleOnly) return decision;
  if (key.virtualKey == kVkBack || key.virtualKey == kVkReturn || key.virtualKey == kVkEscape) {
    decision.action = KeyAction::Notify;
    decision.message = kKeyDownPlain;
    return decision;
  }
  decision.action = KeyAction::Character;
  return decision;
}

}  // namespace tapline
