// The key commands' shortcuts: section [key] of Kanasift.ini, one value per command.
// A value is the key's character, optionally followed by '+' (Ctrl+Alt) or '-' (Alt
// alone); a lone character means Ctrl. '!' marks a command without a shortcut.
#pragma once

#include <string>
#include <string_view>

#include "tapline/TaplineTypes.h"

class IniFile;

constexpr const char* kShortcutSection = "key";

// The settings key of each record, in record order (index 11 is "SetNisHeader").
extern const char* const kShortcutKeyNames[SHORTCUT_COUNT];
// The one-character default of each record, in record order.
constexpr const char* kShortcutDefaults = "G!NPST!!!!!!H";

// One value. "N" gives Ctrl+N, "N+" Ctrl+Alt+N, "N-" Alt+N; characters after the second
// are ignored. A second character other than '+' or '-' leaves Ctrl+N (the modifiers
// of a lone character). An empty value gives the unassigned record ('!' with Ctrl), as
// the defaults of the commands without a shortcut are.
Shortcut ParseShortcut(std::string_view value);

// Reads the thirteen records from [key]; an absent key takes its default.
void LoadShortcuts(IniFile& file, Shortcut shortcuts[SHORTCUT_COUNT]);

// The text of the shortcut list, one line per record:
// "<KeyName> : CTRL+ALT+<key>\n", or "<KeyName> : 割り当てなし\n" for '!', in the ANSI code
// page (code page 932).
std::string ShortcutListText(const Shortcut shortcuts[SHORTCUT_COUNT]);
