// The main frame's messages. The registered ones are obtained once, during static
// initialisation, so that their numbers are known before WinMain runs; the hook library
// and a second instance register the same names.
#pragma once

#include <windows.h>

constexpr UINT UM_TRAY_NOTIFY = WM_USER;         // the tray icon's callback; lParam = mouse message
constexpr UINT UM_SHOW_TRAY_ICON = WM_USER + 1;  // add the tray icon (again)
constexpr UINT UM_HIDE_TRAY_ICON = WM_USER + 2;  // remove the tray icon

extern const UINT UM_TASKBAR_CREATED;         // "TaskbarCreated"
extern const UINT UM_SEARCH_WITH_REGEX;       // "Kanasift::UM_SEARCH_WITH_REGEX"
extern const UINT UM_SET_NIS_HEADER;          // "Kanasift::UM_SET_NIS_HEADER"
extern const UINT UM_KEYDOWN;                 // "Kanasift::UM_KEYDOWN"
extern const UINT UM_KEYDOWN_CTRL;            // "Kanasift::UM_KEYDOWN_CTRL"
extern const UINT UM_KEYDOWN_ALT;             // "Kanasift::UM_KEYDOWN_ALT"
extern const UINT UM_KEYDOWN_CTRL_ALT;        // "Kanasift::UM_KEYDOWN_CTRL_ALT"

// True when `message` is the registered message `registered`. A registration that
// failed (0) never matches, so WM_NULL is not mistaken for it.
inline bool IsRegisteredMessage(UINT message, UINT registered) {
  return registered != 0 && message == registered;
}
