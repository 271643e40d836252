// What Spotter asks of the Windows shell: folders (the full form of a path, Documents,
// the folder picker), Explorer's setting for hidden files, and the actions on results
// (open, open the containing folder with the items selected, copy the paths, the
// shell's own context menu). The UI thread must have initialised OLE.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "spotter/EntryIndex.h"

// The full path of `folder` (the current directory when it is empty), without a
// trailing backslash unless it is a drive's root.
std::wstring FullFolderPath(const std::wstring& folder);
// The user's Documents folder ("" when the shell does not know it).
std::wstring DocumentsFolder();
// Whether `path` names an existing folder.
bool IsFolder(const std::wstring& path);

// Explorer's own choice: show hidden files, show protected operating-system files.
ShowOptions ExplorerShowOptions();

// The folder picker (IFileOpenDialog with FOS_PICKFOLDERS), starting in `initial`;
// "" when the user cancelled.
std::wstring PickFolder(HWND owner, const std::wstring& initial, const wchar_t* title);

// Opens the item with its default verb, as a double click in Explorer does.
bool OpenPath(HWND owner, const std::wstring& path);
// Opens each item's folder in Explorer with the items of that folder selected.
bool OpenContainingFolders(const std::vector<std::wstring>& paths);
// Puts the paths on the clipboard as text, one per line.
bool CopyPathsToClipboard(HWND owner, const std::vector<std::wstring>& paths);

// The shell's context menu for the items (those in the first item's folder) at a screen
// point; runs the chosen command. Messages for the menu's owner-drawn parts (Send to,
// Open with) must reach HandleMessage while it is open.
class ShellContextMenu {
 public:
  void Show(HWND owner, const std::vector<std::wstring>& paths, POINT screen);
  // True when the message belonged to the open menu (the result is then set).
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  IContextMenu2* menu2_ = nullptr;  // borrowed while a menu is open
  IContextMenu3* menu3_ = nullptr;
};
