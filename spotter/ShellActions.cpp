#include "spotter/ShellActions.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <algorithm>
#include <cwctype>
#include <memory>

#include "platform/Win32Handles.h"

namespace {

// An interface pointer owned for a scope.
template <typename T>
class Com {
 public:
  Com() = default;
  ~Com() {
    if (p_) p_->Release();
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T* operator->() const { return p_; }
  T* Get() const { return p_; }
  T** Out() { return &p_; }
  void** OutVoid() { return reinterpret_cast<void**>(&p_); }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// Memory of the shell's allocator (ID lists, strings) owned for a scope.
struct CoTaskFree {
  void operator()(void* p) const { CoTaskMemFree(p); }
};
using ItemIdList = std::unique_ptr<ITEMIDLIST, CoTaskFree>;
using CoTaskString = std::unique_ptr<wchar_t, CoTaskFree>;

ItemIdList ParseName(const std::wstring& path) {
  PIDLIST_ABSOLUTE list = nullptr;
  if (FAILED(SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr))) return nullptr;
  return ItemIdList(list);
}

std::wstring ParentOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return std::wstring();
  std::wstring parent = path.substr(0, slash);
  if (parent.size() == 2 && parent[1] == L':') parent += L'\\';  // "C:" -> "C:\"
  return parent;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) { return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL; }

// The paths that share the first path's folder.
std::vector<std::wstring> InFirstFolder(const std::vector<std::wstring>& paths) {
  std::vector<std::wstring> same;
  if (paths.empty()) return same;
  const std::wstring folder = ParentOf(paths.front());
  for (const std::wstring& path : paths) {
    if (SameFolder(ParentOf(path), folder)) same.push_back(path);
  }
  return same;
}

// A block of global memory for the clipboard, freed unless the clipboard took it.
struct GlobalBlock {
  HGLOBAL handle;
  ~GlobalBlock() {
    if (handle) GlobalFree(handle);
  }
};

}  // namespace

std::wstring FullFolderPath(const std::wstring& folder) {
  const wchar_t* input = folder.empty() ? L"." : folder.c_str();
  DWORD size = GetFullPathNameW(input, 0, nullptr, nullptr);
  if (size == 0) return folder;
  std::wstring full(size, L'\0');
  DWORD length = GetFullPathNameW(input, size, full.data(), nullptr);
  if (length == 0 || length >= size) return folder;
  full.resize(length);
  // "C:\" keeps its backslash; "C:\Tools\" loses it.
  while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
  return full;
}

std::wstring DocumentsFolder() {
  PWSTR path = nullptr;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path))) return std::wstring();
  CoTaskString owned(path);
  return owned ? std::wstring(owned.get()) : std::wstring();
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

ShowOptions ExplorerShowOptions() {
  SHELLSTATE state{};  // the flags asked for are the same in both forms
  SHGetSetSettings(&state, SSF_SHOWALLOBJECTS | SSF_SHOWSUPERHIDDEN, FALSE);
  return ShowOptions{state.fShowAllObjects != 0, state.fShowSuperHidden != 0};
}

std::wstring PickFolder(HWND owner, const std::wstring& initial, const wchar_t* title) {
  Com<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                              dialog.OutVoid()))) {
    return std::wstring();
  }
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(title);
  Com<IShellItem> start;
  if (!initial.empty() &&
      SUCCEEDED(SHCreateItemFromParsingName(initial.c_str(), nullptr, IID_IShellItem, start.OutVoid()))) {
    dialog->SetFolder(start.Get());
  }
  if (FAILED(dialog->Show(owner))) return std::wstring();
  Com<IShellItem> chosen;
  if (FAILED(dialog->GetResult(chosen.Out()))) return std::wstring();
  PWSTR path = nullptr;
  if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path))) return std::wstring();
  CoTaskString owned(path);
  return owned ? std::wstring(owned.get()) : std::wstring();
}

bool OpenPath(HWND owner, const std::wstring& path) {
  const std::wstring folder = ParentOf(path);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.hwnd = owner;
  info.lpFile = path.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&info) != FALSE;
}

bool OpenContainingFolders(const std::vector<std::wstring>& paths) {
  // One Explorer window per folder, for the first few folders only.
  constexpr std::size_t kMaxFolders = 8;
  std::vector<std::wstring> left = paths;
  bool all = true;
  for (std::size_t opened = 0; !left.empty() && opened < kMaxFolders; ++opened) {
    const std::vector<std::wstring> group = InFirstFolder(left);
    const std::wstring folder = ParentOf(group.front());
    left.erase(std::remove_if(left.begin(), left.end(),
                              [&](const std::wstring& path) { return SameFolder(ParentOf(path), folder); }),
               left.end());
    HRESULT result = E_FAIL;
    if (group.size() == 1) {
      // The item's own ID list: its folder opens with it selected.
      if (ItemIdList item = ParseName(group.front())) result = SHOpenFolderAndSelectItems(item.get(), 0, nullptr, 0);
    } else if (ItemIdList parent = ParseName(folder)) {
      std::vector<ItemIdList> items;
      std::vector<PCUITEMID_CHILD> children;
      for (const std::wstring& path : group) {
        if (ItemIdList item = ParseName(path)) {
          children.push_back(ILFindLastID(item.get()));
          items.push_back(std::move(item));
        }
      }
      result = SHOpenFolderAndSelectItems(parent.get(), static_cast<UINT>(children.size()), children.data(), 0);
    }
    all = all && SUCCEEDED(result);
  }
  return all;
}

bool CopyPathsToClipboard(HWND owner, const std::vector<std::wstring>& paths) {
  std::wstring text;
  for (const std::wstring& path : paths) {
    text += path;
    text += L"\r\n";
  }
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  GlobalBlock block{GlobalAlloc(GMEM_MOVEABLE, bytes)};
  if (!block.handle) return false;
  void* memory = GlobalLock(block.handle);
  if (!memory) return false;
  std::copy(text.c_str(), text.c_str() + text.size() + 1, static_cast<wchar_t*>(memory));
  GlobalUnlock(block.handle);
  if (!OpenClipboard(owner)) return false;
  EmptyClipboard();
  const bool taken = SetClipboardData(CF_UNICODETEXT, block.handle) != nullptr;
  if (taken) block.handle = nullptr;  // the clipboard owns it now
  CloseClipboard();
  return taken;
}

void ShellContextMenu::Show(HWND owner, const std::vector<std::wstring>& paths, POINT screen) {
  const std::vector<std::wstring> group = InFirstFolder(paths);
  if (group.empty()) return;
  std::vector<ItemIdList> items;
  std::vector<PCUITEMID_CHILD> children;
  for (const std::wstring& path : group) {
    if (ItemIdList item = ParseName(path)) {
      children.push_back(ILFindLastID(item.get()));
      items.push_back(std::move(item));
    }
  }
  if (items.empty()) return;
  Com<IShellFolder> folder;
  PCUITEMID_CHILD first = nullptr;
  if (FAILED(SHBindToParent(items.front().get(), IID_IShellFolder, folder.OutVoid(), &first))) return;
  Com<IContextMenu> menu;
  if (FAILED(folder->GetUIObjectOf(owner, static_cast<UINT>(children.size()), children.data(), IID_IContextMenu,
                                   nullptr, menu.OutVoid()))) {
    return;
  }
  UniqueMenu popup(CreatePopupMenu());
  if (!popup) return;
  constexpr UINT kFirst = 1;
  const UINT flags = CMF_NORMAL | ((GetKeyState(VK_SHIFT) & 0x8000) ? CMF_EXTENDEDVERBS : 0);
  if (FAILED(menu->QueryContextMenu(popup.Get(), 0, kFirst, 0x7FFF, flags))) return;
  Com<IContextMenu2> menu2;
  Com<IContextMenu3> menu3;
  menu->QueryInterface(IID_IContextMenu2, menu2.OutVoid());
  menu->QueryInterface(IID_IContextMenu3, menu3.OutVoid());
  menu2_ = menu2.Get();
  menu3_ = menu3.Get();
  const UINT command = TrackPopupMenuEx(popup.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, owner, nullptr);
  menu2_ = nullptr;
  menu3_ = nullptr;
  if (command < kFirst) return;
  CMINVOKECOMMANDINFOEX invoke{};
  invoke.cbSize = sizeof(invoke);
  invoke.fMask = CMIC_MASK_UNICODE | CMIC_MASK_PTINVOKE;
  invoke.hwnd = owner;
  invoke.lpVerb = MAKEINTRESOURCEA(command - kFirst);
  invoke.lpVerbW = MAKEINTRESOURCEW(command - kFirst);
  invoke.nShow = SW_SHOWNORMAL;
  invoke.ptInvoke = screen;
  menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&invoke));
}

bool ShellContextMenu::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message != WM_INITMENUPOPUP && message != WM_DRAWITEM && message != WM_MEASUREITEM && message != WM_MENUCHAR) {
    return false;
  }
  result = 0;
  if (menu3_) return SUCCEEDED(menu3_->HandleMenuMsg2(message, wParam, lParam, &result));
  if (menu2_) return SUCCEEDED(menu2_->HandleMenuMsg(message, wParam, lParam));
  return false;
}
