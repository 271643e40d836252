#include "spotter/SpotterWindow.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <string>

#include "platform/Platform.h"
#include "platform/Win32Handles.h"
#include "spotter/resources/SpotterIds.h"
#include "tapline/TaplineTypes.h"

namespace {

constexpr wchar_t kWindowClass[] = L"KanasiftSpotter";
constexpr DWORD kQueryTimeoutMs = 5000;
// Longest input in bytes: far beyond any word, well within the query service's limit.
constexpr int kMaxInputChars = 255;
constexpr UINT_PTR kInputSubclassId = 1;

// The window class named by the dialog template: a dialog with Kanasift's icon, so that
// the window can be told from other dialogs. The icons are shared resources of the
// module (LR_SHARED): the system frees them with it.
bool RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  if (GetClassInfoExW(instance, kWindowClass, &windowClass)) return true;
  windowClass.lpfnWndProc = DefDlgProcW;
  windowClass.cbWndExtra = DLGWINDOWEXTRA;
  windowClass.hInstance = instance;
  windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_SPOTTER), IMAGE_ICON,
                                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_SPOTTER), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  return RegisterClassExW(&windowClass) != 0;
}

// `text` with %1 and %2 replaced by the values.
std::wstring Fill(const std::wstring& text, const std::wstring& first, const std::wstring& second = std::wstring()) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'%' && i + 1 < text.size() && (text[i + 1] == L'1' || text[i + 1] == L'2')) {
      out += text[i + 1] == L'1' ? first : second;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

SpotterWindow::SpotterWindow(std::wstring folder, SearchOptions options)
    : folder_(std::move(folder)),
      options_(options),
      client_(kQueryTimeoutMs),
      dictionary_(client_),
      filter_(dictionary_) {}

SpotterWindow::~SpotterWindow() {
  if (window_) DestroyWindow(window_);
}

bool SpotterWindow::Create(HINSTANCE instance, int showCommand) {
  instance_ = instance;
  if (!RegisterWindowClass(instance)) return false;
  accelerators_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
  CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_SPOTTER), nullptr, &SpotterWindow::DialogProc,
                     reinterpret_cast<LPARAM>(this));
  if (!window_) return false;
  ShowWindow(window_, showCommand);
  SetForegroundWindow(window_);
  return true;
}

bool SpotterWindow::PreTranslateMessage(MSG& msg) {
  if (!window_) return false;
  if (accelerators_ && TranslateAcceleratorW(window_, accelerators_, &msg)) return true;
  return IsDialogMessageW(window_, &msg) != 0;
}

INT_PTR CALLBACK SpotterWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  SpotterWindow* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<SpotterWindow*>(lParam);
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    if (self) self->window_ = dialog;
  } else {
    self = reinterpret_cast<SpotterWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
  }
  if (!self) return FALSE;
  INT_PTR result = 0;
  bool handled = false;
  try {
    handled = self->HandleMessage(message, wParam, lParam, result);
  } catch (...) {
    handled = false;  // out of memory: leave the message to the dialog manager
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(dialog, DWLP_USER, 0);
    self->window_ = nullptr;
  }
  if (!handled) return FALSE;
  if (message == WM_INITDIALOG) return result;
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
  return TRUE;
}

bool SpotterWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = TRUE;  // the focus goes to the edit field, the first control with a tab stop
      return true;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return true;
    case WM_SIZE:
      Layout();
      return true;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      RECT minimum{0, 0, 180, 100};  // dialog units
      if (window_) MapDialogRect(window_, &minimum);
      info->ptMinTrackSize.x = minimum.right;
      info->ptMinTrackSize.y = minimum.bottom;
      return true;
    }
    case WM_DESTROY:
      if (HWND edit = GetDlgItem(window_, IDC_INPUT)) {
        RemoveWindowSubclass(edit, &SpotterWindow::InputSubclassProc, kInputSubclassId);
      }
      PostQuitMessage(0);
      return true;
    default:
      return false;
  }
}

void SpotterWindow::OnInitDialog() {
  // The folder's own name in the title (as Explorer shows it), its path below the input.
  const wchar_t* name = PathFindFileNameW(folder_.c_str());
  SetWindowTextW(window_, Fill(LoadText(IDS_TITLE), name && *name ? name : folder_.c_str()).c_str());
  SetDlgItemTextW(window_, IDC_FOLDER, folder_.c_str());
  CheckDlgButton(window_, IDC_PARTIAL, options_.isUsePartialMatch ? BST_CHECKED : BST_UNCHECKED);
  HWND edit = GetDlgItem(window_, IDC_INPUT);
  SendMessageW(edit, EM_LIMITTEXT, kMaxInputChars, 0);
  SetWindowSubclass(edit, &SpotterWindow::InputSubclassProc, kInputSubclassId,
                    reinterpret_cast<DWORD_PTR>(GetDlgItem(window_, IDC_LIST)));
  RememberLayout();
  ReadFolder();
  Refilter();
}

void SpotterWindow::OnCommand(int id, int code) {
  switch (id) {
    case IDC_INPUT:
      if (code == EN_CHANGE) Refilter();
      break;
    case IDC_PARTIAL:
      if (code == BN_CLICKED) Refilter();
      break;
    case IDM_TOGGLE_PARTIAL:
      CheckDlgButton(window_, IDC_PARTIAL,
                     IsDlgButtonChecked(window_, IDC_PARTIAL) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
      Refilter();
      break;
    case IDM_RELOAD:
      ReadFolder();
      Refilter();
      break;
    case IDC_LIST:
      if (code == LBN_DBLCLK) OpenSelected();
      break;
    case IDOK:
      OpenSelected();
      break;
    case IDCANCEL:
      DestroyWindow(window_);
      break;
    default:
      break;
  }
}

LRESULT CALLBACK SpotterWindow::InputSubclassProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                                  UINT_PTR, DWORD_PTR data) {
  // The list's keys, so that the hands can stay on the input.
  if (message == WM_KEYDOWN &&
      (wParam == VK_UP || wParam == VK_DOWN || wParam == VK_PRIOR || wParam == VK_NEXT)) {
    SendMessageW(reinterpret_cast<HWND>(data), WM_KEYDOWN, wParam, lParam);
    return 0;
  }
  return DefSubclassProc(edit, message, wParam, lParam);
}

void SpotterWindow::RememberLayout() {
  GetClientRect(window_, &initialClient_);
  struct Rule {
    int id;
    bool right, bottom, moveX, moveY;
  };
  const Rule rules[] = {
      {IDC_INPUT_LABEL, false, false, false, false},
      {IDC_INPUT, true, false, false, false},
      {IDC_PARTIAL, false, false, true, false},
      {IDC_FOLDER, true, false, false, false},
      {IDC_LIST, true, true, false, false},
      {IDC_STATUS, true, false, false, true},
  };
  anchors_.clear();
  for (const Rule& rule : rules) {
    HWND control = GetDlgItem(window_, rule.id);
    if (!control) continue;
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
    anchors_.push_back(Anchor{rule.id, rect, rule.right, rule.bottom, rule.moveX, rule.moveY});
  }
}

void SpotterWindow::Layout() {
  if (!window_ || anchors_.empty()) return;
  RECT client{};
  GetClientRect(window_, &client);
  if (client.right == 0 && client.bottom == 0) return;  // minimised
  const int dx = client.right - initialClient_.right;
  const int dy = client.bottom - initialClient_.bottom;
  for (const Anchor& anchor : anchors_) {
    RECT rect = anchor.initial;
    if (anchor.moveX) OffsetRect(&rect, dx, 0);
    if (anchor.moveY) OffsetRect(&rect, 0, dy);
    if (anchor.right) rect.right += dx;
    if (anchor.bottom) rect.bottom += dy;
    if (rect.right < rect.left) rect.right = rect.left;
    if (rect.bottom < rect.top) rect.bottom = rect.top;
    SetWindowPos(GetDlgItem(window_, anchor.id), nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(window_, nullptr, TRUE);
}

void SpotterWindow::ReadFolder() {
  folderReadable_ = ListFolder(folder_, entries_, folderError_);
}

void SpotterWindow::Refilter() {
  SearchOptions options = options_;
  options.isUsePartialMatch = IsDlgButtonChecked(window_, IDC_PARTIAL) == BST_CHECKED;
  filter_.SetInput(InputText(), options);

  HWND list = GetDlgItem(window_, IDC_LIST);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  matchCount_ = 0;
  LONG widest = 0;
  {
    ScopedWindowDC windowDc(list);
    HDC dc = windowDc.Get();
    HGDIOBJ oldFont = dc ? SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0))) : nullptr;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const FolderEntry& entry = entries_[i];
      if (!filter_.Matches(entry.ansiName)) continue;
      const std::wstring shown = entry.isFolder ? entry.name + L"\\" : entry.name;
      LRESULT index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
      if (index < 0) break;  // out of memory in the list
      SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(i));
      ++matchCount_;
      SIZE size{};
      if (dc && GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size)) {
        if (size.cx > widest) widest = size.cx;
      }
    }
    if (dc) SelectObject(dc, oldFont);
  }
  SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
  if (matchCount_ > 0) SendMessageW(list, LB_SETCURSEL, 0, 0);
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  SetStatus(StatusText());
}

std::wstring SpotterWindow::StatusText() const {
  if (!folderReadable_) {
    return Fill(LoadText(IDS_FOLDER_ERROR), std::to_wstring(folderError_));
  }
  switch (filter_.state()) {
    case FilterState::DictionaryFailed:
      switch (dictionary_.lastOutcome()) {
        case QueryOutcome::NotRunning: return LoadText(IDS_NOT_RUNNING);
        case QueryOutcome::NoDictionary: return LoadText(IDS_NO_DICTIONARY);
        case QueryOutcome::TooLong: return LoadText(IDS_TOO_LONG);
        default: return LoadText(IDS_NO_ANSWER);
      }
    case FilterState::PatternError:
      return LoadText(IDS_PATTERN_ERROR);
    case FilterState::NoExpansion:
      return LoadText(IDS_NO_EXPANSION);
    default:
      break;
  }
  std::wstring text = Fill(LoadText(IDS_COUNT), std::to_wstring(matchCount_), std::to_wstring(entries_.size()));
  // Short inputs need no Kanasift; say early that longer ones will.
  if ((filter_.state() == FilterState::Everything || filter_.state() == FilterState::Literal) &&
      !FindWindowA(KANASIFT_WINDOW_CLASS, nullptr)) {
    text += L"  ";
    text += LoadText(IDS_HINT_NOT_RUNNING);
  }
  return text;
}

void SpotterWindow::OpenSelected() {
  HWND list = GetDlgItem(window_, IDC_LIST);
  LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR) {
    MessageBeep(MB_OK);
    return;
  }
  LRESULT index = SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(selected), 0);
  if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return;
  const FolderEntry& entry = entries_[static_cast<std::size_t>(index)];
  const std::wstring path = EntryPath(folder_, entry);
  auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(window_, L"open", path.c_str(), nullptr, folder_.c_str(), SW_SHOWNORMAL));
  if (result <= 32) {
    SetStatus(Fill(LoadText(IDS_OPEN_FAILED), entry.name));
    MessageBeep(MB_ICONWARNING);
  }
}

void SpotterWindow::SetStatus(const std::wstring& text) { SetDlgItemTextW(window_, IDC_STATUS, text.c_str()); }

std::wstring SpotterWindow::LoadText(UINT id) const {
  const wchar_t* text = nullptr;
  // With a zero length, LoadStringW hands out a read-only pointer to the resource itself.
  int length = LoadStringW(instance_, id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 && text ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

std::string SpotterWindow::InputText() const {
  HWND edit = GetDlgItem(window_, IDC_INPUT);
  int length = GetWindowTextLengthW(edit);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(edit, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return platform::WideToAnsi(text);
}
