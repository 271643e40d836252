#include "tools/kanasiftprobe/KanasiftWindows.h"

#include <commctrl.h>

#include <cstddef>

#include "view/SharedMem.h"

namespace probe {

HWND MainWindow() { return FindWindowA("Kanasift", nullptr); }

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  if (window) GetWindowThreadProcessId(window, &pid);
  return pid;
}

namespace {

struct TooltipSearch {
  HWND owner;
  HWND found;
};

BOOL CALLBACK MatchTooltip(HWND candidate, LPARAM param) {
  auto* search = reinterpret_cast<TooltipSearch*>(param);
  char name[64] = {};
  GetClassNameA(candidate, name, sizeof name);
  if (lstrcmpiA(name, "tooltips_class32") == 0 && GetWindow(candidate, GW_OWNER) == search->owner) {
    search->found = candidate;
    return FALSE;
  }
  return TRUE;
}

struct BoxSearch {
  const wchar_t* title;
  int count;
  bool close;
};

BOOL CALLBACK MatchBox(HWND candidate, LPARAM param) {
  auto* search = reinterpret_cast<BoxSearch*>(param);
  wchar_t name[16] = {};
  GetClassNameW(candidate, name, 16);
  if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(candidate)) return TRUE;
  wchar_t title[256] = {};
  GetWindowTextW(candidate, title, 256);
  if (lstrcmpW(title, search->title) != 0) return TRUE;
  ++search->count;
  if (search->close) PostMessageW(candidate, WM_COMMAND, IDOK, 0);
  return TRUE;
}

// The tool record and the text buffer, as they lie in Kanasift's process.
struct TextRequest {
  TTTOOLINFOW tool;
  wchar_t text[1100];
};

}  // namespace

HWND InputTooltip(HWND mainWindow) {
  TooltipSearch search{mainWindow, nullptr};
  if (mainWindow) EnumWindows(MatchTooltip, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool TooltipText(HWND tooltip, std::wstring& text) {
  SharedMemT<TextRequest> block(tooltip);
  if (!block.IsReady()) return false;
  auto* request = reinterpret_cast<TextRequest*>(block.LocalBytes());
  request->tool.cbSize = TTTOOLINFOW_V2_SIZE;
  request->tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  request->tool.lpszText = reinterpret_cast<wchar_t*>(block.RemoteAddress() + offsetof(TextRequest, text));
  if (!block.CopyToRemote()) return false;
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutW(tooltip, TTM_GETTEXTW, 1100, block.RemoteParam(), SMTO_ABORTIFHUNG, 5000, &ignored)) {
    return false;
  }
  if (!block.CopyFromRemote()) return false;
  request->text[1099] = L'\0';
  text = request->text;
  return true;
}

int CountBoxes(const wchar_t* title) {
  BoxSearch search{title, 0, false};
  EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
  return search.count;
}

int CloseBoxes(const wchar_t* title) {
  BoxSearch search{title, 0, true};
  EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
  return search.count;
}

bool Ping(HWND window, UINT timeoutMs, DWORD& elapsedMs) {
  DWORD start = GetTickCount();
  DWORD_PTR ignored = 0;
  bool answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored) != 0;
  elapsedMs = GetTickCount() - start;
  return answered;
}

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<std::size_t>(n - 1) : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring out(n > 0 ? static_cast<std::size_t>(n - 1) : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, out.data(), n);
  return out;
}

}  // namespace probe
