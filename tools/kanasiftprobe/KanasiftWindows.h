// Kanasift as another program sees it: its main window and process, the input tooltip
// and its text, the message boxes it shows, and a few bounded round trips to its UI
// thread.
#pragma once

#include <windows.h>

#include <string>

namespace probe {

HWND MainWindow();
DWORD ProcessOf(HWND window);
// The tooltips_class32 window owned by Kanasift's main window; null when there is none.
HWND InputTooltip(HWND mainWindow);
// The tooltip's text as UTF-16 (TTM_GETTEXTW through a block in Kanasift's process;
// the A form cuts at 80 bytes). False when it could not be read.
bool TooltipText(HWND tooltip, std::wstring& text);
// Visible message boxes (#32770) titled `title`, in any process.
int CountBoxes(const wchar_t* title);
// Closes every such box; returns how many it asked to close.
int CloseBoxes(const wchar_t* title);
// A round trip to the window's thread: true when it answered within `timeoutMs`;
// `elapsedMs` is how long it took.
bool Ping(HWND window, UINT timeoutMs, DWORD& elapsedMs);

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

}  // namespace probe
