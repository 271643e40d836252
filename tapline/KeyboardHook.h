// The WH_KEYBOARD hook procedure. It runs in the thread that owns the focused window, in
// whatever process that is, and decides for each key-down whether the focused list view
// or tree view keeps it (see KeyDecision.h for the rules).
#pragma once

#include <windows.h>

namespace tapline {

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam);

}  // namespace tapline
