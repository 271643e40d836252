// The folder that the window of an Explorer view shows: where Spotter opens when the tray
// menu starts it ("the folder of the Explorer window the user used last").
//
// This is the one place that knows how to read a folder off a window. Today it reads a
// full path from the top-level window's title or from its address bar (Explorer's
// "Address: C:\..." band, the edit of a path box, a file manager's title), and, for
// Wine's explorer, whose title and path box show display names only, from the chain of
// folders in its path box. A file pane served through the shell (IShellView) can give
// its folder here too, once the hook library reads shell views.
#pragma once

#include <windows.h>

#include <string>

// The folder shown by the window that holds `view` (a list view or tree view), or ""
// when none can be told.
std::wstring FolderOfView(HWND view);

// `argument` quoted for a command line, so that CommandLineToArgvW reads it back as it is.
std::wstring QuoteArgument(const std::wstring& argument);
