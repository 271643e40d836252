// Windows found by the classes on the way down from a top-level window, as tools and
// tests name them: "CabinetWClass/SHELLDLL_DefView/SysListView32". Each step is a
// direct child; "*" stands for any one class. The first step may end in "@title" (exact
// window title, UTF-8) and "#pid" (owning process), in that order.
#pragma once

#include <windows.h>

#include <string>

// The first window on the path, or null.
HWND FindWindowByClassPath(const std::string& path);

// The classes of a window and its descendants, one per line, indented two spaces per
// level ("ExplorerWClass\n  ExplorerBrowserControl\n    SHELLDLL_DefView\n...").
std::string DescribeWindowClasses(HWND top);
