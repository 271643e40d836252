#include "app/ViewFolder.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <vector>

#include "view/SharedMem.h"
#include "view/ViewProcess.h"

namespace {

// A window of another process answers within this time, or is passed over.
constexpr UINT kTextTimeoutMs = 300;
// All the reading of one window together takes no longer than this: a slow (not hung)
// Explorer must not hold the tray command for the time of every control it has.
constexpr ULONGLONG kTotalTimeoutMs = 1000;

// What is left of the time for reading one window.
class Budget {
 public:
  Budget() : end_(GetTickCount64() + kTotalTimeoutMs) {}
  // The time the next message may take; 0 when the time is up.
  UINT Next() const {
    const ULONGLONG now = GetTickCount64();
    return now >= end_ ? 0 : static_cast<UINT>(std::min<ULONGLONG>(end_ - now, kTextTimeoutMs));
  }

 private:
  ULONGLONG end_;
};
// At most this many controls of a window are read.
constexpr int kMaxControls = 64;

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window, const Budget& budget) {
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  const UINT timeout = budget.Next();
  if (timeout == 0 ||
      !SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                           timeout, &copied)) {
    return std::wstring();
  }
  text[1023] = L'\0';
  return text;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A full path: "X:\..." or "\\server\share...". A relative text (a folder's name alone)
// never counts, whatever the current directory holds.
bool IsFullPath(const std::wstring& text) {
  if (text.size() >= 3 && std::iswalpha(text[0]) && text[1] == L':' && text[2] == L'\\') return true;
  return text.size() > 2 && text[0] == L'\\' && text[1] == L'\\';
}

std::wstring Trimmed(std::wstring text) {
  while (!text.empty() && std::iswspace(text.back())) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && std::iswspace(text[start])) ++start;
  return text.substr(start);
}

// The folder that a title or an address text names: the whole text, the part after a
// label ("Address: C:\x"), or the part before an application's name ("C:\x - Tool").
std::wstring FolderInText(const std::wstring& text) {
  std::vector<std::wstring> candidates{Trimmed(text)};
  const std::size_t label = text.find(L": ");
  if (label != std::wstring::npos) candidates.push_back(Trimmed(text.substr(label + 2)));
  const std::size_t dash = text.rfind(L" - ");
  if (dash != std::wstring::npos) candidates.push_back(Trimmed(text.substr(0, dash)));
  for (const std::wstring& candidate : candidates) {
    if (IsFullPath(candidate) && IsFolder(candidate)) return candidate;
  }
  return std::wstring();
}

struct Controls {
  std::vector<HWND> address;  // edits and toolbars, whose text may be an address
  HWND pathBox = nullptr;     // the first ComboBoxEx32
};

BOOL CALLBACK CollectControl(HWND window, LPARAM data) {
  auto* controls = reinterpret_cast<Controls*>(data);
  const std::wstring name = ClassOf(window);
  if (name == L"Edit" || name == L"ToolbarWindow32") controls->address.push_back(window);
  if (name == L"ComboBoxEx32" && !controls->pathBox) controls->pathBox = window;
  return controls->address.size() < kMaxControls;
}

struct PathBoxItem {
  std::wstring text;
  int indent = 0;
};

// The items of a path box (ComboBoxEx32) of another process, read through a block of
// memory in that process; the layout is ours, so only a process of our own bitness.
std::vector<PathBoxItem> ReadPathBox(HWND box, const Budget& budget) {
  std::vector<PathBoxItem> items;
  if (ViewProcessBits(box) != OwnProcessBits()) return items;
  DWORD_PTR count = 0;
  const UINT timeout = budget.Next();
  if (timeout == 0 || !SendMessageTimeoutW(box, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, timeout, &count)) return items;
  constexpr int kTextChars = 260;
  SharedMemBase block(box, sizeof(COMBOBOXEXITEMW) + kTextChars * sizeof(wchar_t));
  if (!block.IsReady()) return items;
  for (DWORD_PTR i = 0; i < count && i < 256; ++i) {
    COMBOBOXEXITEMW item{};
    item.mask = CBEIF_TEXT | CBEIF_INDENT;
    item.iItem = static_cast<INT_PTR>(i);
    item.pszText = reinterpret_cast<LPWSTR>(static_cast<std::uintptr_t>(block.RemoteAddress() + sizeof(item)));
    item.cchTextMax = kTextChars;
    std::memset(block.LocalBytes(), 0, block.Size());
    std::memcpy(block.LocalBytes(), &item, sizeof(item));
    DWORD_PTR ok = 0;
    const UINT timeout = budget.Next();
    if (timeout == 0 || !block.CopyToRemote() ||
        !SendMessageTimeoutW(box, CBEM_GETITEMW, 0, block.RemoteParam(), SMTO_ABORTIFHUNG, timeout, &ok) ||
        !ok || !block.CopyFromRemote()) {
      break;
    }
    std::memcpy(&item, block.LocalBytes(), sizeof(item));
    const auto* text = reinterpret_cast<const wchar_t*>(block.LocalBytes() + sizeof(item));
    items.push_back(PathBoxItem{std::wstring(text, wcsnlen(text, kTextChars - 1)), item.iIndent});
  }
  return items;
}

// Wine's explorer lists the chain of folders down to the current one in its path box,
// indented by depth, by display name: ..., " (C:)", "folder", "current". The current
// folder is the deepest item whose name is the box's own text.
std::wstring FolderInPathBox(HWND box, const Budget& budget) {
  const std::wstring current = TextOf(box, budget);
  const std::vector<PathBoxItem> items = ReadPathBox(box, budget);
  int at = -1;
  for (int i = 0; i < static_cast<int>(items.size()); ++i) {
    if (items[i].text == current && (at < 0 || items[i].indent > items[at].indent)) at = i;
  }
  if (at < 0 || current.empty()) return std::wstring();
  std::vector<std::wstring> chain{items[at].text};
  for (int i = at - 1, indent = items[at].indent; i >= 0 && indent > 0; --i) {
    if (items[i].indent == indent - 1) {
      chain.insert(chain.begin(), items[i].text);
      indent = items[i].indent;
    }
  }
  // The drive is the item named "... (X:)"; the folders below it follow.
  std::wstring path;
  for (const std::wstring& name : chain) {
    const std::size_t open = name.rfind(L'(');
    if (path.empty()) {
      if (open != std::wstring::npos && open + 3 < name.size() && name[open + 2] == L':' && name[open + 3] == L')') {
        path = std::wstring(1, name[open + 1]) + L":\\";
      }
      continue;
    }
    if (path.back() != L'\\') path += L'\\';
    path += name;
  }
  return !path.empty() && IsFolder(path) ? path : std::wstring();
}

}  // namespace

std::wstring FolderOfView(HWND view) {
  if (!view || !IsWindow(view)) return std::wstring();
  HWND top = GetAncestor(view, GA_ROOT);
  if (!top) return std::wstring();
  const Budget budget;
  std::wstring folder = FolderInText(TextOf(top, budget));
  if (!folder.empty()) return folder;
  Controls controls;
  EnumChildWindows(top, CollectControl, reinterpret_cast<LPARAM>(&controls));
  for (HWND control : controls.address) {
    folder = FolderInText(TextOf(control, budget));
    if (!folder.empty()) return folder;
  }
  return controls.pathBox ? FolderInPathBox(controls.pathBox, budget) : std::wstring();
}

std::wstring QuoteArgument(const std::wstring& argument) {
  // Backslashes before a quote are doubled, so "C:\" stays C:\ and not C:".
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}
