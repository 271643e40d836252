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

// An interface pointer this code holds a reference on, released when it goes.
template <typename T>
class Held {
 public:
  Held() = default;
  ~Held() {
    if (p_) p_->Release();
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  void** Put() { return reinterpret_cast<void**>(&p_); }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// Memory the shell handed over.
template <typename T>
class TaskMemory {
 public:
  TaskMemory() = default;
  ~TaskMemory() { CoTaskMemFree(p_); }
  TaskMemory(const TaskMemory&) = delete;
  TaskMemory& operator=(const TaskMemory&) = delete;
  T** Put() { return &p_; }
  T* Get() const { return p_; }

 private:
  T* p_ = nullptr;
};

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
  Held<IFolderView> view;
  Held<IShellFolder> folder;
  TaskMemory<ITEMID_CHILD> item;
  if (FAILED(g_browser->GetCurrentView(IID_IFolderView, view.Put())) || !view ||
      FAILED(view->GetFolder(IID_IShellFolder, folder.Put())) || !folder || FAILED(view->Item(index, item.Put())) ||
      !item.Get()) {
    return false;
  }
  STRRET name = {};
  TaskMemory<wchar_t> text;
  if (FAILED(folder->GetDisplayNameOf(item.Get(), SHGDN_INFOLDER | SHGDN_FORPARSING, &name)) ||
      FAILED(StrRetToStrW(&name, item.Get(), text.Put())) || !text.Get()) {
    return false;
  }
  const std::wstring newName = std::wstring(L"改名-") + text.Get();
  return SUCCEEDED(folder->SetNameOf(main, item.Get(), newName.c_str(), SHGDN_INFOLDER | SHGDN_FORPARSING, nullptr));
}

void StopShellView() {
  if (!g_browser) return;
  g_browser->Destroy();
  g_browser->Release();
  g_browser = nullptr;
  OleUninitialize();
}
