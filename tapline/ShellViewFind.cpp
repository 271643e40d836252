#include "tapline/ShellViewFind.h"

#include "tapline/ClassList.h"

namespace tapline {

namespace {

constexpr int kClassNameBytes = 256;
constexpr UINT kGetShellBrowser = WM_USER + 7;  // CWM_GETISHELLBROWSER
// Windows Explorer (CabinetWClass; on Windows 11 each tab's ShellTabWindowClass), the
// Explorer-style common file dialogs (#32770) and Wine's ExplorerBrowserControl.
constexpr char kBrowserClasses[] = "CabinetWClass\0ShellTabWindowClass\0#32770\0ExplorerBrowserControl\0";
// The DefView lies within a few levels of the focused window and of its host.
constexpr int kMaxLevels = 32;

bool ClassIs(HWND window, const char* name) {
  char className[kClassNameBytes];
  return GetClassNameA(window, className, kClassNameBytes) && lstrcmpiA(className, name) == 0;
}

}  // namespace

bool IsShellBrowserClass(const char* className) { return classlist::Contains(className, kBrowserClasses); }

bool FindShellView(HWND window, ShellViewRef& found) {
  found.defView = nullptr;
  found.view.Reset();
  const DWORD thread = GetCurrentThreadId();
  if (!window || GetWindowThreadProcessId(window, nullptr) != thread) return false;

  HWND defView = window;
  int level = 0;
  while (defView && !ClassIs(defView, "SHELLDLL_DefView")) {
    if (++level > kMaxLevels) return false;
    defView = GetAncestor(defView, GA_PARENT);
  }
  if (!defView || GetWindowThreadProcessId(defView, nullptr) != thread) return false;

  // The nearest host of a known class above the view: on Windows 11 that is the tab
  // holding it, not another tab of the same window.
  HWND host = GetAncestor(defView, GA_PARENT);
  for (level = 0; host && level < kMaxLevels; ++level, host = GetAncestor(host, GA_PARENT)) {
    if (GetWindowThreadProcessId(host, nullptr) != thread) return false;  // COM stays on this thread
    char className[kClassNameBytes];
    if (!GetClassNameA(host, className, kClassNameBytes) || !IsShellBrowserClass(className)) continue;
    // Same thread: the window procedure runs here and now. The pointer is lent, not
    // counted, and used only before this call returns.
    auto* browser = reinterpret_cast<IShellBrowser*>(SendMessageA(host, kGetShellBrowser, 0, 0));
    if (!browser) continue;
    ComRef<IShellView> view;
    if (FAILED(browser->QueryActiveShellView(view.Put())) || !view) return false;
    HWND viewWindow = nullptr;
    if (FAILED(view->GetWindow(&viewWindow)) || viewWindow != defView) return false;
    found.defView = defView;
    found.view.Swap(view);
    return true;
  }
  return false;
}

}  // namespace tapline
