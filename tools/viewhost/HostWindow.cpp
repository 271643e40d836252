#include "HostWindow.h"

#include <commctrl.h>

#include <cstdio>

#include "ShellHost.h"

namespace {

constexpr wchar_t kListPaneClass[] = L"SHELLDLL_DefView";
constexpr wchar_t kTreePaneClass[] = L"NamespaceTreeControl";
constexpr int kTreeWidth = 320;
constexpr int kListId = 1;
constexpr int kTreeId = 2;

// A pane keeps its only child as large as itself.
LRESULT CALLBACK PaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    HWND child = GetWindow(window, GW_CHILD);
    if (child) MoveWindow(child, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RenameListItem(HWND window, int index) {
  HWND pane = FindWindowExW(window, nullptr, kListPaneClass, nullptr);
  HWND list = pane ? FindWindowExW(pane, nullptr, L"SysListView32", nullptr) : nullptr;
  if (!list || index < 0 || index >= static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0))) return false;
  char text[260] = "renamed-";
  LVITEMA item = {};
  item.iSubItem = 0;
  item.pszText = text + 8;
  item.cchTextMax = static_cast<int>(sizeof(text)) - 8;
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  item.pszText = text;
  return SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) != 0;
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kHangMessage:
      Sleep(static_cast<DWORD>(wParam));
      return 1;
    case kBrowseMessage:
      return BrowseShellView(wParam != 0) ? 1 : 0;
    case kSortMessage:
      return ClickFirstColumn(window) ? 1 : 0;
    case kRenameMessage:
      return RenameItem(window, static_cast<int>(wParam)) ? 1 : 0;
    case kRenameListItemMessage:
      return RenameListItem(window, static_cast<int>(wParam)) ? 1 : 0;
    case WM_SIZE: {
      ResizeShellView(window);
      int width = LOWORD(lParam);
      int height = HIWORD(lParam);
      int treeWidth = width < 2 * kTreeWidth ? width / 3 : kTreeWidth;
      HWND treePane = FindWindowExW(window, nullptr, kTreePaneClass, nullptr);
      HWND listPane = FindWindowExW(window, nullptr, kListPaneClass, nullptr);
      if (treePane) MoveWindow(treePane, 0, 0, treeWidth, height, TRUE);
      if (listPane) MoveWindow(listPane, treeWidth + 4, 0, width - treeWidth - 4, height, TRUE);
      return 0;
    }
    case WM_DESTROY:
      StopShellView();
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

bool Register(const wchar_t* name, WNDPROC proc) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  return RegisterClassExW(&wc) != 0;
}

bool IndexIn(int index, int count) { return index >= 0 && index < count; }

}  // namespace

bool CreateHostWindows(const Options& options, HostWindows& w, std::wstring& error) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  if (!Register(options.topClass.c_str(), MainProc) || !Register(kListPaneClass, PaneProc) ||
      !Register(kTreePaneClass, PaneProc)) {
    error = L"cannot register the window classes";
    return false;
  }
  HINSTANCE instance = GetModuleHandleW(nullptr);
  w.main = CreateWindowExW(0, options.topClass.c_str(), options.title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                           16, 16, 980, 620, nullptr, nullptr, instance, nullptr);
  if (!w.main) {
    error = L"cannot create the main window";
    return false;
  }
  if (!options.shellFolder.empty()) {
    ShowWindow(w.main, SW_SHOW);
    if (!StartShellView(w.main, options.shellFolder, options.shellOther, error)) return false;
    w.list = ShellPane(w.main);
    if (!w.list) {
      error = L"the shell view shows no file pane";
      return false;
    }
    w.listPane = GetParent(w.list);
    return true;
  }
  const DWORD paneStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
  w.treePane = CreateWindowExW(0, kTreePaneClass, L"", paneStyle, 0, 0, 10, 10, w.main, nullptr, instance, nullptr);
  w.listPane = CreateWindowExW(0, kListPaneClass, L"", paneStyle, 0, 0, 10, 10, w.main, nullptr, instance, nullptr);
  if (!w.treePane || !w.listPane) {
    error = L"cannot create the panes";
    return false;
  }
  w.tree = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT |
                               TVS_SHOWSELALWAYS,
                           0, 0, 10, 10, w.treePane, reinterpret_cast<HMENU>(kTreeId), instance, nullptr);
  w.list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS,
                           0, 0, 10, 10, w.listPane, reinterpret_cast<HMENU>(kListId), instance, nullptr);
  if (!w.tree || !w.list) {
    error = L"cannot create the views";
    return false;
  }
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = 600;
  column.pszText = const_cast<char*>("Name");
  SendMessageA(w.list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  DWORD exStyle = LVS_EX_FULLROWSELECT | (options.checkBoxes ? LVS_EX_CHECKBOXES : 0);
  SendMessageA(w.list, LVM_SETEXTENDEDLISTVIEWSTYLE, exStyle, exStyle);
  ShowWindow(w.main, SW_SHOW);
  RECT client;
  GetClientRect(w.main, &client);
  SendMessageW(w.main, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  return true;
}

void FillList(HWND list, const std::vector<std::string>& names, const Options& options) {
  const int count = static_cast<int>(names.size());
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LVM_SETITEMCOUNT, count, 0);
  for (int i = 0; i < count; ++i) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = i;
    item.pszText = const_cast<char*>(names[i].c_str());
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
  auto setState = [list](int index, UINT state, UINT mask) {
    LVITEMA item = {};
    item.state = state;
    item.stateMask = mask;
    SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
  };
  if (options.checkBoxes) {
    for (int i = 0; i < count; ++i) setState(i, INDEXTOSTATEIMAGEMASK(1), LVIS_STATEIMAGEMASK);
    for (int i : options.checked) {
      if (IndexIn(i, count)) setState(i, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);
    }
  }
  for (int i : options.selected) {
    if (IndexIn(i, count)) setState(i, LVIS_SELECTED, LVIS_SELECTED);
  }
  if (IndexIn(options.focused, count)) setState(options.focused, LVIS_FOCUSED, LVIS_FOCUSED);
  // Wide enough for whole names, unless there are too many to measure quickly.
  if (count > 0 && count <= 2000) SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void FillTree(HWND tree, const std::vector<TreeLine>& lines, const Options& options) {
  std::vector<HTREEITEM> items;
  std::vector<HTREEITEM> parents;  // the last item at each depth
  SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
  for (const auto& line : lines) {
    int depth = line.depth > static_cast<int>(parents.size()) ? static_cast<int>(parents.size()) : line.depth;
    TVINSERTSTRUCTA insert = {};
    insert.hParent = depth == 0 ? TVI_ROOT : parents[depth - 1];
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<char*>(line.name.c_str());
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    items.push_back(item);
    parents.resize(static_cast<std::size_t>(depth));
    parents.push_back(item);
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    bool expand = options.expand == L"all" || (options.expand.empty() && lines[i].expanded);
    SendMessageA(tree, TVM_EXPAND, expand ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(items[i]));
  }
  if (IndexIn(options.treeCaret, static_cast<int>(items.size()))) {
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(items[options.treeCaret]));
  }
  SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(tree, nullptr, TRUE);
}

std::string DescribeHandles(const HostWindows& w, const Options& options) {
  auto hex = [](HWND window) {
    char text[32];
    std::snprintf(text, sizeof(text), "0x%llX", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
    return std::string(text);
  };
  char className[128] = {};
  GetClassNameA(w.main, className, sizeof(className));
  std::string out;
  out += "pid=" + std::to_string(GetCurrentProcessId()) + "\n";
  out += "bits=" + std::to_string(sizeof(void*) * 8) + "\n";
  out += "main=" + hex(w.main) + "\n";
  out += "list=" + hex(w.list) + "\n";
  out += "tree=" + hex(w.tree) + "\n";
  // The classes from the top-level window down to the list (the shell mode's lie deeper).
  std::string listPath;
  for (HWND window = w.list; window && window != w.main; window = GetParent(window)) {
    char name[128] = {};
    GetClassNameA(window, name, sizeof(name));
    listPath = "/" + std::string(name) + listPath;
  }
  out += "listpath=" + std::string(className) + listPath + "\n";
  out += "treepath=" + std::string(className) + "/NamespaceTreeControl/SysTreeView32\n";
  out += "hangmsg=" + std::to_string(kHangMessage) + "\n";
  out += "browsemsg=" + std::to_string(kBrowseMessage) + "\n";
  out += "ready=1\n";
  return out;
}
