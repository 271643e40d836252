#include "settings/Shortcuts.h"

#include "settings/IniFile.h"

const char* const kShortcutKeyNames[SHORTCUT_COUNT] = {
    "ToggleEnableStateShortcut",
    "ToggleIsUsePartialMatchShortcut",
    "NextCandidateShortcut",
    "PrevCandidateShortcut",
    "SelectAllCandidatesShortcut",
    "SortBySelectStateShortcut",
    "ToggleCheckboxShortcut",
    "SelectCheckedItemsShortcut",
    "SortByCheckStateShortcut",
    "RegexSearchShortcut",
    "SortByNumInStrShortcut",
    "SetNisHeader",
    "BackSpaceShortcut",
};

namespace {

// "割り当てなし" (not assigned) in code page 932.
constexpr const char* kNotAssigned = "\x8a\x84\x82\xe8\x93\x96\x82\xc4\x82\xc8\x82\xb5";

}  // namespace

Shortcut ParseShortcut(std::string_view value) {
  if (value.empty()) return Shortcut{1, 0, kUnassignedKey};
  Shortcut shortcut{1, 0, static_cast<std::uint8_t>(value[0])};
  if (value.size() >= 2 && value[1] == '+') {
    shortcut.alt = 1;
  } else if (value.size() >= 2 && value[1] == '-') {
    shortcut.ctrl = 0;
    shortcut.alt = 1;
  }
  return shortcut;
}

void LoadShortcuts(IniFile& file, Shortcut shortcuts[SHORTCUT_COUNT]) {
  for (int i = 0; i < SHORTCUT_COUNT; ++i) {
    std::string value(1, kShortcutDefaults[i]);
    file.readString(kShortcutSection, kShortcutKeyNames[i], value);
    shortcuts[i] = ParseShortcut(value);
  }
}

std::string ShortcutListText(const Shortcut shortcuts[SHORTCUT_COUNT]) {
  std::string text;
  for (int i = 0; i < SHORTCUT_COUNT; ++i) {
    const Shortcut& shortcut = shortcuts[i];
    text += kShortcutKeyNames[i];
    text += " : ";
    if (shortcut.key == kUnassignedKey) {
      text += kNotAssigned;
    } else {
      if (shortcut.ctrl) text += "CTRL+";
      if (shortcut.alt) text += "ALT+";
      text += static_cast<char>(shortcut.key);
    }
    text += '\n';
  }
  return text;
}
