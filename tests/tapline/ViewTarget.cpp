// tapline_view_target.exe: a stand-in Explorer window for the hook tests. A top-level
// window (CabinetWClass unless told otherwise) holds a list view inside a
// SHELLDLL_DefView pane and a tree view. Every key and character that reaches one of the
// two views is reported on standard output ("key list 0d", "char list 61"), so a test
// sees exactly what the hook let through; commands on standard input move the focus,
// set selections and check marks and report the list's state.
//
//   tapline_view_target.exe [--class C] [--title T] [--checkboxes] --items a.txt|b.txt|...
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "LineChannel.h"

namespace {

struct Target {
  HWND top = nullptr;
  HWND pane = nullptr;
  HWND list = nullptr;
  HWND tree = nullptr;
  WNDPROC listProc = nullptr;
  WNDPROC treeProc = nullptr;
};
Target g_target;

const char* ViewName(HWND window) { return window == g_target.list ? "list" : "tree"; }

void ReportKey(HWND window, UINT message, WPARAM wParam) {
  if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) Emit("key %s %02x", ViewName(window), static_cast<unsigned>(wParam));
  if (message == WM_CHAR || message == WM_SYSCHAR) Emit("char %s %02x", ViewName(window), static_cast<unsigned>(wParam));
}

LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ReportKey(window, message, wParam);
  return CallWindowProcW(g_target.listProc, window, message, wParam, lParam);
}

LRESULT CALLBACK TreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ReportKey(window, message, wParam);
  return CallWindowProcW(g_target.treeProc, window, message, wParam, lParam);
}

std::vector<int> Numbers(const std::string& text) {
  std::vector<int> numbers;
  std::istringstream stream(text);
  int n;
  while (stream >> n) numbers.push_back(n);
  return numbers;
}

void ReportState() {
  int count = static_cast<int>(SendMessageW(g_target.list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[260] = {};
    LVITEMA item = {};
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(g_target.list, LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    UINT state = static_cast<UINT>(SendMessageW(g_target.list, LVM_GETITEMSTATE, static_cast<WPARAM>(i),
                                                LVIS_SELECTED | LVIS_FOCUSED | LVIS_STATEIMAGEMASK));
    Emit("item %d %d %d %d %s", i, (state & LVIS_SELECTED) ? 1 : 0, (state & LVIS_FOCUSED) ? 1 : 0,
         ((state & LVIS_STATEIMAGEMASK) >> 12) == 2 ? 1 : 0, text);
  }
  HWND focus = GetFocus();
  Emit("end state focus=%s", focus == g_target.list ? "list" : focus == g_target.tree ? "tree" : "other");
}

void RunCommand(const std::string& line) {
  std::string rest;
  std::string command = FirstWord(line, rest);
  if (command == "focus") {
    HWND view = rest == "tree" ? g_target.tree : g_target.list;
    SetForegroundWindow(g_target.top);
    SetActiveWindow(g_target.top);
    SetFocus(view);
  } else if (command == "select") {
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    SendMessageW(g_target.list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    bool first = true;
    for (int index : Numbers(rest)) {
      item.state = first ? (LVIS_SELECTED | LVIS_FOCUSED) : LVIS_SELECTED;
      item.stateMask = item.state;
      SendMessageW(g_target.list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
      first = false;
    }
  } else if (command == "check") {
    int count = static_cast<int>(SendMessageW(g_target.list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) ListView_SetCheckState(g_target.list, i, FALSE);
    for (int index : Numbers(rest)) ListView_SetCheckState(g_target.list, index, TRUE);
  } else if (command == "state") {
    ReportState();
    return;
  } else if (command == "quit") {
    DestroyWindow(g_target.top);
  }
  Emit("ok %s", command.c_str());
}

LRESULT CALLBACK TopProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kCommandMessage:
      RunCommand(reinterpret_cast<const char*>(lParam));
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool RegisterClassNamed(const char* name, WNDPROC proc) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = proc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = name;
  return RegisterClassA(&windowClass) != 0;
}

std::vector<std::string> SplitItems(const std::string& text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('|', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) items.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

}  // namespace

int main(int argc, char** argv) {
  std::string topClass = "CabinetWClass";
  std::string title = "tapline target";
  std::string items;
  bool checkBoxes = false;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--class" && i + 1 < argc) topClass = argv[++i];
    else if (option == "--title" && i + 1 < argc) title = argv[++i];
    else if (option == "--items" && i + 1 < argc) items = argv[++i];
    else if (option == "--checkboxes") checkBoxes = true;
  }
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterClassNamed(topClass.c_str(), TopProc) || !RegisterClassNamed("SHELLDLL_DefView", DefWindowProcA)) {
    Emit("error register");
    return 2;
  }
  g_target.top = CreateWindowExA(0, topClass.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 640,
                                 420, nullptr, nullptr, instance, nullptr);
  g_target.pane = CreateWindowExA(0, "SHELLDLL_DefView", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 380, g_target.top,
                                  nullptr, instance, nullptr);
  g_target.list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0,
                                  400, 380, g_target.pane, nullptr, instance, nullptr);
  g_target.tree = CreateWindowExA(0, WC_TREEVIEWA, "",
                                  WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_HASBUTTONS | TVS_SHOWSELALWAYS, 410, 0,
                                  200, 380, g_target.top, nullptr, instance, nullptr);
  if (!g_target.top || !g_target.list || !g_target.tree) {
    Emit("error windows");
    return 3;
  }
  if (checkBoxes) SendMessageW(g_target.list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
  LVCOLUMNA column = {};
  column.mask = LVCF_WIDTH | LVCF_TEXT;
  column.cx = 300;
  column.pszText = const_cast<char*>("Name");
  SendMessageA(g_target.list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  int index = 0;
  for (const std::string& name : SplitItems(items)) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<char*>(name.c_str());
    item.lParam = 1000 + index;
    SendMessageA(g_target.list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    ++index;
  }
  for (const char* name : {"alpha", "beta", "xylo"}) {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<char*>(name);
    SendMessageA(g_target.tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert));
  }
  g_target.listProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(g_target.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc)));
  g_target.treeProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(g_target.tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeProc)));

  CommandReader reader(g_target.top);
  RECT frame = {};
  GetWindowRect(g_target.top, &frame);
  Emit("ready top=%s list=%s tree=%s pid=%lu caption=%ld,%ld", HandleText(g_target.top).c_str(),
       HandleText(g_target.list).c_str(), HandleText(g_target.tree).c_str(), GetCurrentProcessId(),
       (frame.left + frame.right) / 2, frame.top + GetSystemMetrics(SM_CYCAPTION) / 2 + 2);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
