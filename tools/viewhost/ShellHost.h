// viewhost's shell mode: the top-level window hosts a real shell view of a folder
// (IExplorerBrowser), as Explorer and the common file dialogs do, instead of the plain
// list view. The view is the shell's own: SHELLDLL_DefView with its file pane, read and
// selected through the shell's interfaces. Under Wine the pane is a SysListView32, which
// tests read back item by item.
//
//   <top class> ── ExplorerBrowserControl (Wine) ── SHELLDLL_DefView ── SysListView32
#pragma once

#include <windows.h>

#include <string>

// Posted to the main window in shell mode: the view browses to the folder given with
// --shell-other (wParam 1) or back to the first folder (wParam 0).
constexpr UINT kBrowseMessage = WM_APP + 2;

// Creates the browser in `main` and shows `folder` (a path or a "::{CLSID}" name of a
// virtual folder); false with a message when the shell would not.
// Posted to the main window in shell mode: the view's file pane gets a click on its first
// column header, as from the mouse (the shell view sorts by name, the other way round
// when it was sorted so already).
constexpr UINT kSortMessage = WM_APP + 3;
// Sent to the main window in shell mode: the view's item at index wParam is renamed
// through its folder, as a rename in the view does ("改名-" goes before its name); the
// view hears of it from the shell.
constexpr UINT kRenameMessage = WM_APP + 4;

bool StartShellView(HWND main, const std::wstring& folder, const std::wstring& otherFolder, std::wstring& error);
// The file pane now shown (it changes when the view browses elsewhere), or null.
HWND ShellPane(HWND main);
// Keeps the browser as large as the main window's client area.
void ResizeShellView(HWND main);
// Browses as kBrowseMessage asks; false when the shell would not.
bool BrowseShellView(bool other);
// What kSortMessage asks; false without a file pane.
bool ClickFirstColumn(HWND main);
// What kRenameMessage asks; false when the shell would not rename the item.
bool RenameItem(HWND main, int index);
void StopShellView();
