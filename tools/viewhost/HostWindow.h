// The stand-in Explorer window: a top-level window (class CabinetWClass unless told
// otherwise) holding a report-style list view inside a SHELLDLL_DefView pane and a tree
// view inside a NamespaceTreeControl pane, side by side.
//
//   <top class> ─┬─ NamespaceTreeControl ── SysTreeView32
//                └─ SHELLDLL_DefView ────── SysListView32
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Names.h"
#include "Options.h"

// Posted (or sent) to the main window: its thread sleeps wParam milliseconds, so the
// views stop answering for that long.
constexpr UINT kHangMessage = WM_APP + 1;
// Sent to the main window: the list's item wParam gets "renamed-" before its name; 1 when done.
constexpr UINT kRenameListItemMessage = WM_APP + 5;

struct HostWindows {
  HWND main = nullptr;
  HWND listPane = nullptr;
  HWND list = nullptr;
  HWND treePane = nullptr;
  HWND tree = nullptr;
};

// Creates and shows the windows; false with a message when a window could not be made.
bool CreateHostWindows(const Options& options, HostWindows& windows, std::wstring& error);

void FillList(HWND list, const std::vector<std::string>& names, const Options& options);
void FillTree(HWND tree, const std::vector<TreeLine>& lines, const Options& options);

// The handles as "key=value" lines, as written to the handles file.
std::string DescribeHandles(const HostWindows& windows, const Options& options);
