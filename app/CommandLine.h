// The command-line switches of Kanasift.exe. A first start only looks for "/hide"; a
// second start turns the first toggle switch it finds into a command for the running
// instance. Switches are case-sensitive and found anywhere in the argument text, as
// whole characters of the ANSI code page.
#pragma once

// Commands a second start sends with "Kanasift::UM_KEYDOWN" and lParam 0. kRefreshTrayIcon
// is never sent by a second start; the running instance accepts it all the same.
enum RemoteCommand : int {
  kNoCommand = 0,
  kToggleUse = 1,
  kToggleEnable = 2,
  kToggleForceEnable = 3,
  kRefreshTrayIcon = 4,
};

// True when `commandLine` (the text after the program name; null counts as empty)
// holds "/hide".
bool HasHideSwitch(const char* commandLine);

// The command of a second start: "/toggle_is_use", "/toggle_is_enable" and
// "/toggle_is_force_enable" are tested in this order and the first one found wins.
RemoteCommand RemoteCommandFromCommandLine(const char* commandLine);

// Multibyte-aware substring search, as _mbsstr: `needle` matches only where a whole
// character of `haystack` begins. Null arguments find nothing.
const char* FindSwitch(const char* haystack, const char* needle);
