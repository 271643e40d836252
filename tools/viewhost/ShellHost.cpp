#include "ShellHost.h"

#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

namespace {

IExplorerBrowser* g_browser = nullptr;
std::wstring g_folders[2];

// The first descendant of `parent` with the class, depth first.
HWND FindDescendant(HWND parent, const wchar_t* className) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[64] = {};
    GetClassNameW(child, name, 64);
    if (lstrcmpiW(name, className) == 0) return child;
    if (HWND found = FindDescendant(child, className)) return found;
  }
  return nullptr;
}

bool Browse(const std::wstring& folder) {
  if (!g_browser) return false;
  PIDLIST_ABSOLUTE id = nullptr;
  if (FAILED(SHParseDisplayName(folder.c_str(), nullptr, &id, 0, nullptr)) || !id) return false;
  const HRESULT result = g_browser->BrowseToIDList(id, SBSP_ABSOLUTE);
  CoTaskMemFree(id);
  return SUCCEEDED(result);
}

}  // namespace

bool StartShellView(HWND main, const std::wstring& folder, const std::wstring& otherFolder, std::wstring& error) {
  if (FAILED(OleInitialize(nullptr))) {
    error = L"OleInitialize failed";
    return false;
  }
  if (FAILED(CoCreateInstance(CLSID_ExplorerBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IExplorerBrowser,
                              reinterpret_cast<void**>(&g_browser))) ||
      !g_browser) {
    error = L"the shell has no explorer browser";
    return false;
  }
  RECT client;
  GetClientRect(main, &client);
  FOLDERSETTINGS settings = {FVM_DETAILS, 0};
  if (FAILED(g_browser->Initialize(main, &client, &settings))) {
    error = L"the explorer browser did not start";
    return false;
  }
  g_folders[0] = folder;
  g_folders[1] = otherFolder;
  if (!Browse(folder)) {
    error = L"the explorer browser did not show " + folder;
    return false;
  }
  return true;
}

HWND ShellPane(HWND main) {
  HWND view = FindDescendant(main, L"SHELLDLL_DefView");
  if (!view) return nullptr;
  HWND pane = FindDescendant(view, L"SysListView32");
  return pane ? pane : FindDescendant(view, L"DirectUIHWND");
}

void ResizeShellView(HWND main) {
  if (!g_browser) return;
  RECT client;
  GetClientRect(main, &client);
  g_browser->SetRect(nullptr, client);
}

bool BrowseShellView(bool other) {
  const std::wstring& folder = g_folders[other ? 1 : 0];
  return !folder.empty() && Browse(folder);
}

bool ClickFirstColumn(HWND main) {
  HWND pane = ShellPane(main);
  if (!pane) return false;
  NMLISTVIEW click = {};
  click.hdr.hwndFrom = pane;
  click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(pane));
  click.hdr.code = LVN_COLUMNCLICK;
  click.iItem = -1;
  click.iSubItem = 0;
  SendMessageW(GetParent(pane), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
  return true;
}

bool RenameItem(HWND main, int index) {
  if (!g_browser) return false;
  IFolderView* view = nullptr;
  if (FAILED(g_browser->GetCurrentView(IID_IFolderView, reinterpret_cast<void**>(&view))) || !view) return false;
  bool renamed = false;
  IShellFolder* folder = nullptr;
  PITEMID_CHILD item = nullptr;
  if (SUCCEEDED(view->GetFolder(IID_IShellFolder, reinterpret_cast<void**>(&folder))) && folder &&
      SUCCEEDED(view->Item(index, &item)) && item) {
    STRRET name = {};
    wchar_t* text = nullptr;
    if (SUCCEEDED(folder->GetDisplayNameOf(item, SHGDN_INFOLDER | SHGDN_FORPARSING, &name)) &&
        SUCCEEDED(StrRetToStrW(&name, item, &text)) && text) {
      const std::wstring newName = std::wstring(L"改名-") + text;
      CoTaskMemFree(text);
      renamed = SUCCEEDED(folder->SetNameOf(main, item, newName.c_str(), SHGDN_INFOLDER | SHGDN_FORPARSING, nullptr));
    }
    CoTaskMemFree(item);
  }
  if (folder) folder->Release();
  view->Release();
  return renamed;
}

void StopShellView() {
  if (!g_browser) return;
  g_browser->Destroy();
  g_browser->Release();
  g_browser = nullptr;
  OleUninitialize();
}
