#include "spotter/SpotterWindow.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <iterator>
#include <string>

#include "framework/Dpi.h"
#include "platform/Platform.h"
#include "spotter/QueryClient.h"
#include "spotter/resources/SpotterIds.h"
#include "tapline/TaplineTypes.h"

namespace {

constexpr wchar_t kWindowClass[] = L"KanasiftSpotter";
// Spotter waits no longer than this for one expansion (on the filter thread).
constexpr DWORD kQueryTimeoutMs = 5000;
// Longest input in characters: far beyond any word, well within the query service's limit.
constexpr int kMaxInputChars = 255;
constexpr UINT_PTR kInputSubclassId = 1;
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressIntervalMs = 250;
// While the listing grows, the list takes a new row count at most this often once it
// has a screenful: a new count repaints the list, which costs the window tens of
// milliseconds under Wine while the listing keeps the processors busy. The counts in
// the status line follow every result.
constexpr DWORD kListGrowthMs = 2000;
constexpr std::size_t kScreenful = 100;

// Posted by the filter thread when results wait, and by the listing when it has ended.
constexpr UINT UM_RESULTS = WM_APP + 1;
constexpr UINT UM_LISTED = WM_APP + 2;

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

std::wstring FolderName(const std::wstring& folder) {
  const wchar_t* name = PathFindFileNameW(folder.c_str());
  return name && *name ? std::wstring(name) : folder;
}

bool KanasiftRunning() { return FindWindowA(KANASIFT_WINDOW_CLASS, nullptr) != nullptr; }

}  // namespace

SpotterWindow::SpotterWindow(std::wstring folder, SearchOptions options, const SpotterTexts& texts)
    : texts_(texts), root_(std::move(folder)), options_(options), show_(ExplorerShowOptions()) {}

SpotterWindow::~SpotterWindow() {
  if (window_) DestroyWindow(window_);
  lister_.reset();
  worker_.reset();
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

void SpotterWindow::Deliver(std::shared_ptr<const FilterResult> result) {
  std::lock_guard<std::mutex> guard(deliveredLock_);
  delivered_ = std::move(result);
  if (!resultsPosted_ && window_) resultsPosted_ = PostMessageW(window_, UM_RESULTS, 0, 0) != FALSE;
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
  LRESULT menuResult = 0;
  if (contextMenu_.HandleMessage(message, wParam, lParam, menuResult)) {
    result = menuResult;
    return true;
  }
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = TRUE;  // the focus goes to the edit field, the first control with a tab stop
      return true;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return true;
    case WM_NOTIFY: {
      LRESULT notifyResult = 0;
      if (!OnNotify(reinterpret_cast<NMHDR*>(lParam), notifyResult)) return false;
      result = notifyResult;
      return true;
    }
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) != list_.window()) return false;
      ShowContextMenu(lParam == -1 ? list_.FocusedRowPoint() : POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return true;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return true;
    case WM_TIMER:
      if (wParam == kProgressTimer) {
        if (held_ && GetTickCount() - listShownAt_ >= kListGrowthMs) ShowResult(std::move(held_), false);
        UpdateProgress();
      }
      return true;
    case UM_RESULTS:
      OnResults();
      return true;
    case UM_LISTED:
      OnListed();
      return true;
    case WM_SIZE:
      Layout();
      return true;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      RECT minimum{0, 0, 220, 120};  // dialog units, which keep the DPI of the creation
      if (window_) MapDialogRect(window_, &minimum);
      const UINT dpi = dpiLayout_.dpi() ? dpiLayout_.dpi() : anchorDpi_;
      info->ptMinTrackSize.x = dpi::Convert(minimum.right, anchorDpi_, dpi);
      info->ptMinTrackSize.y = dpi::Convert(minimum.bottom, anchorDpi_, dpi);
      return true;
    }
    case WM_DPICHANGED: {
      // Moved to a monitor of another scale: fonts, controls and columns follow it.
      const UINT from = dpiLayout_.dpi() ? dpiLayout_.dpi() : anchorDpi_;
      const UINT to = LOWORD(wParam);
      dpiLayout_.Apply(to, reinterpret_cast<const RECT*>(lParam));
      list_.DpiChanged(from, to);
      Layout();
      return true;
    }
    case WM_DESTROY:
      OnDestroy();
      return true;
    default:
      return false;
  }
}

void SpotterWindow::OnInitDialog() {
  SetDlgItemTextW(window_, IDC_INPUT_LABEL, texts_.inputLabel);
  SetDlgItemTextW(window_, IDC_PARTIAL, texts_.partial);
  SetDlgItemTextW(window_, IDC_BROWSE, texts_.browse);
  CheckDlgButton(window_, IDC_PARTIAL, options_.isUsePartialMatch ? BST_CHECKED : BST_UNCHECKED);
  HWND edit = GetDlgItem(window_, IDC_INPUT);
  SendMessageW(edit, EM_LIMITTEXT, kMaxInputChars, 0);
  list_.Attach(GetDlgItem(window_, IDC_LIST), texts_);
  list_.ShowSort(sort_);
  SetWindowSubclass(edit, &SpotterWindow::InputSubclassProc, kInputSubclassId,
                    reinterpret_cast<DWORD_PTR>(list_.window()));
  BuildMenu();
  RememberLayout();
  // The filter threads yield to this one: the window answers first.
  worker_ = std::make_unique<FilterWorker>(
      [] { return std::unique_ptr<ReportingDictionary>(std::make_unique<KanasiftDictionary>(kQueryTimeoutMs)); },
      *this, true, [] { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); });
  StartListing(root_);
  RequestResults();
}

// The menu bar, in the user's language. The window grows by the bar's height, so that
// the controls keep the room the template gives them.
void SpotterWindow::BuildMenu() {
  menu_.Reset(CreateMenu());
  if (!menu_) return;
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, IDM_CHOOSE_FOLDER, texts_.menuChooseFolder);
  AppendMenuW(file, MF_STRING, IDM_RELOAD, texts_.menuReload);
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_STRING, IDM_CLOSE, texts_.menuClose);
  HMENU edit = CreatePopupMenu();
  AppendMenuW(edit, MF_STRING, IDM_OPEN, texts_.menuOpen);
  AppendMenuW(edit, MF_STRING, IDM_OPEN_FOLDER, texts_.menuOpenFolder);
  AppendMenuW(edit, MF_STRING, IDM_COPY, texts_.menuCopyPaths);
  AppendMenuW(edit, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(edit, MF_STRING, IDM_SELECT_ALL, texts_.menuSelectAll);
  HMENU view = CreatePopupMenu();
  AppendMenuW(view, MF_STRING, IDM_TOGGLE_PARTIAL, texts_.menuPartial);
  AppendMenuW(view, MF_STRING | (show_.hidden ? MF_CHECKED : 0), IDM_TOGGLE_HIDDEN, texts_.menuShowHidden);
  // The bar owns its sub-menus from here on and destroys them with itself.
  AppendMenuW(menu_.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(file), texts_.menuFile);
  AppendMenuW(menu_.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(edit), texts_.menuEdit);
  AppendMenuW(menu_.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(view), texts_.menuView);
  RECT before{};
  GetClientRect(window_, &before);
  SetMenu(window_, menu_.Get());
  RECT after{};
  GetClientRect(window_, &after);
  RECT frame{};
  GetWindowRect(window_, &frame);
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left,
               frame.bottom - frame.top + (before.bottom - after.bottom), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SpotterWindow::OnDestroy() {
  KillTimer(window_, kProgressTimer);
  // The listing first: its thread tells the filter thread about new entries.
  lister_.reset();
  worker_.reset();
  SetMenu(window_, nullptr);  // menu_ destroys it
  if (HWND edit = GetDlgItem(window_, IDC_INPUT)) {
    RemoveWindowSubclass(edit, &SpotterWindow::InputSubclassProc, kInputSubclassId);
  }
  PostQuitMessage(0);
}

void SpotterWindow::OnCommand(int id, int code) {
  switch (id) {
    case IDC_INPUT:
      if (code == EN_CHANGE) {
        notice_.clear();
        RequestResults();
      }
      break;
    case IDC_PARTIAL:
      if (code == BN_CLICKED) RequestResults();
      break;
    case IDC_BROWSE:
    case IDM_CHOOSE_FOLDER:
      ChooseFolder();
      break;
    case IDM_TOGGLE_PARTIAL:
      CheckDlgButton(window_, IDC_PARTIAL,
                     IsDlgButtonChecked(window_, IDC_PARTIAL) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
      RequestResults();
      break;
    case IDM_TOGGLE_HIDDEN:
      ToggleHidden();
      break;
    case IDM_RELOAD:
      StartListing(root_);
      RequestResults();
      break;
    case IDM_OPEN_FOLDER:
      OpenSelectedFolders();
      break;
    case IDM_COPY: {
      // In the input with a selection, Ctrl+C copies that text as usual.
      HWND edit = GetDlgItem(window_, IDC_INPUT);
      DWORD start = 0, end = 0;
      SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
      if (GetFocus() == edit && start != end) {
        SendMessageW(edit, WM_COPY, 0, 0);
      } else {
        CopySelected();
      }
      break;
    }
    case IDM_SELECT_ALL:
      if (GetFocus() == GetDlgItem(window_, IDC_INPUT)) {
        SendDlgItemMessageW(window_, IDC_INPUT, EM_SETSEL, 0, -1);
      } else {
        list_.SelectAll();
      }
      break;
    case IDOK:
    case IDM_OPEN:
      OpenSelected();
      break;
    case IDCANCEL:
    case IDM_CLOSE:
      DestroyWindow(window_);
      break;
    default:
      break;
  }
}

bool SpotterWindow::OnNotify(NMHDR* header, LRESULT& result) {
  // The list forwards its header's notifications here too: a click on a column is taken
  // as the list's LVN_COLUMNCLICK only, or each click would sort twice.
  if (!header || header->hwndFrom != list_.window()) return false;
  switch (header->code) {
    case LVN_COLUMNCLICK:
      SortBy(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
      result = 0;
      return true;
    case NM_DBLCLK:
      OpenSelected();
      result = 0;
      return true;
    default:
      return list_.HandleNotify(header, result);
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
  dpiLayout_.Capture(window_);
  anchorDpi_ = dpiLayout_.dpi();
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
      {IDC_BROWSE, false, false, true, false},
      {IDC_LIST, true, true, false, false},
      {IDC_STATUS, true, false, false, true},
      {IDC_PROGRESS, true, false, false, true},
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
  const UINT dpi = dpiLayout_.dpi() ? dpiLayout_.dpi() : anchorDpi_;
  const auto scaled = [&](const RECT& r) {
    return RECT{dpi::Convert(r.left, anchorDpi_, dpi), dpi::Convert(r.top, anchorDpi_, dpi),
                dpi::Convert(r.right, anchorDpi_, dpi), dpi::Convert(r.bottom, anchorDpi_, dpi)};
  };
  const RECT initial = scaled(initialClient_);
  const int dx = client.right - initial.right;
  const int dy = client.bottom - initial.bottom;
  for (const Anchor& anchor : anchors_) {
    RECT rect = scaled(anchor.initial);
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

// --- The folder tree --------------------------------------------------------------------

void SpotterWindow::StartListing(const std::wstring& root) {
  lister_.reset();  // stops the previous listing
  root_ = root;
  SetWindowTextW(window_, Fill(texts_.title, {FolderName(root_)}).c_str());
  SetDlgItemTextW(window_, IDC_FOLDER, root_.c_str());
  HWND window = window_;
  FilterWorker* worker = worker_.get();
  lister_ = std::make_unique<FolderLister>(
      root_, show_, [worker] { worker->IndexChanged(); }, [window] { PostMessageW(window, UM_LISTED, 0, 0); });
  worker_->SetIndex(lister_->index());
  SetTimer(window_, kProgressTimer, kProgressIntervalMs, nullptr);
  UpdateProgress();
}

void SpotterWindow::OnListed() {
  if (!lister_ || !lister_->index()->listed()) return;  // from a listing already replaced
  KillTimer(window_, kProgressTimer);
  UpdateProgress();
}

void SpotterWindow::UpdateProgress() {
  if (!lister_) return;
  const WalkCounts& counts = lister_->counts();
  const bool listed = lister_->index()->listed();
  if (listed && !lister_->rootReadable()) {
    SetStatus(IDC_PROGRESS, Fill(texts_.folderError, {root_, std::to_wstring(lister_->rootError())}));
    return;
  }
  std::wstring text = Fill(listed ? texts_.read : texts_.reading,
                           {Grouped(counts.folders.load()), Grouped(counts.files.load())});
  const std::uint32_t unreadable = counts.unreadable.load();
  if (unreadable > 0) text += L"  " + Fill(texts_.unreadable, {Grouped(unreadable)});
  if (listed && lister_->truncated()) text += std::wstring(L"  ") + texts_.truncated;
  SetStatus(IDC_PROGRESS, text);
}

// --- The results ------------------------------------------------------------------------

void SpotterWindow::RequestResults() {
  if (!worker_) return;
  FilterRequest request;
  request.input = InputText();
  request.options = options_;
  request.options.isUsePartialMatch = IsDlgButtonChecked(window_, IDC_PARTIAL) == BST_CHECKED;
  request.show = show_;
  request.sort = sort_;
  requested_ = worker_->Request(std::move(request));
}

void SpotterWindow::OnResults() {
  std::shared_ptr<const FilterResult> result;
  {
    std::lock_guard<std::mutex> guard(deliveredLock_);
    result = std::move(delivered_);
    delivered_.reset();
    resultsPosted_ = false;
  }
  // Only the latest request's results are shown; the index must be the current one.
  if (!result || result->generation != requested_ || !lister_ || result->index != lister_->index()) return;
  const bool newRequest = result->generation != displayedGeneration_;
  const std::shared_ptr<const FilterResult>& shown = list_.shown();
  const bool growth = !newRequest && !result->listed && shown && shown->ordered == result->ordered;
  if (growth && shown->rows.size() >= kScreenful && GetTickCount() - listShownAt_ < kListGrowthMs) {
    held_ = std::move(result);
    UpdateStatus(*held_);
    return;
  }
  ShowResult(std::move(result), newRequest);
}

void SpotterWindow::ShowResult(std::shared_ptr<const FilterResult> result, bool newRequest) {
  held_.reset();
  displayedGeneration_ = result->generation;
  listShownAt_ = GetTickCount();
  list_.Show(std::move(result), newRequest);
  UpdateStatus(*list_.shown());
}

void SpotterWindow::UpdateStatus(const FilterResult& result) {
  if (!result.filter) return;
  std::wstring text = Fill(texts_.count, {Grouped(result.rows.size()), Grouped(result.shown)});
  std::wstring message;
  switch (result.filter->state()) {
    case FilterState::Unexpanded:
      switch (result.outcome) {
        case QueryOutcome::NotRunning: message = texts_.notRunning; break;
        case QueryOutcome::NoDictionary: message = texts_.noDictionary; break;
        case QueryOutcome::TooLong: message = texts_.tooLong; break;
        default: message = texts_.noAnswer; break;
      }
      break;
    case FilterState::PatternError: message = texts_.patternError; break;
    case FilterState::NoExpansion: message = texts_.noExpansion; break;
    default:
      // Short inputs need no Kanasift; say early that longer ones will.
      if (!KanasiftRunning()) message = texts_.hintNotRunning;
      break;
  }
  if (!notice_.empty()) message = notice_;
  if (!message.empty()) text += L"  " + message;
  SetStatus(IDC_STATUS, text);
}

void SpotterWindow::SortBy(int column) {
  if (column < 0 || column > static_cast<int>(SortColumn::Modified)) return;
  const auto chosen = static_cast<SortColumn>(column);
  sort_.descending = sort_.column == chosen ? !sort_.descending : false;
  sort_.column = chosen;
  list_.ShowSort(sort_);
  RequestResults();
}

void SpotterWindow::ToggleHidden() {
  show_.hidden = !show_.hidden;
  if (HMENU menu = GetMenu(window_)) {
    CheckMenuItem(menu, IDM_TOGGLE_HIDDEN, MF_BYCOMMAND | (show_.hidden ? MF_CHECKED : MF_UNCHECKED));
  }
  // Hidden folders are walked into only when shown: read the tree again.
  StartListing(root_);
  RequestResults();
}

// --- Actions ----------------------------------------------------------------------------

void SpotterWindow::OpenSelected() {
  const std::vector<std::wstring> paths = list_.SelectedPaths();
  if (paths.empty()) {
    MessageBeep(MB_OK);
    return;
  }
  for (const std::wstring& path : paths) {
    if (!OpenPath(window_, path)) {
      notice_ = Fill(texts_.openFailed, {path});
      if (list_.shown()) UpdateStatus(*list_.shown());
      MessageBeep(MB_ICONWARNING);
      return;
    }
  }
}

void SpotterWindow::OpenSelectedFolders() {
  const std::vector<std::wstring> paths = list_.SelectedPaths();
  if (paths.empty() || !OpenContainingFolders(paths)) MessageBeep(MB_OK);
}

void SpotterWindow::CopySelected() {
  const std::vector<std::wstring> paths = list_.SelectedPaths();
  if (paths.empty() || !CopyPathsToClipboard(window_, paths)) {
    MessageBeep(MB_OK);
    return;
  }
  notice_ = Fill(texts_.copied, {Grouped(paths.size())});
  if (list_.shown()) UpdateStatus(*list_.shown());
}

void SpotterWindow::ShowContextMenu(POINT screen) {
  const std::vector<std::wstring> paths = list_.SelectedPaths();
  if (!paths.empty()) contextMenu_.Show(window_, paths, screen);
}

void SpotterWindow::ChooseFolder() {
  const std::wstring chosen = PickFolder(window_, root_, texts_.pickFolder);
  if (chosen.empty()) return;
  StartListing(FullFolderPath(chosen));
  RequestResults();
}

// A dropped folder is searched; a dropped file's folder is.
void SpotterWindow::OnDropFiles(HDROP drop) {
  wchar_t path[MAX_PATH * 4] = {};
  const UINT length = DragQueryFileW(drop, 0, path, static_cast<UINT>(std::size(path)));
  DragFinish(drop);
  if (length == 0) return;
  std::wstring folder = path;
  if (!IsFolder(folder)) {
    PathRemoveFileSpecW(path);
    folder = path;
  }
  if (!IsFolder(folder)) return;
  StartListing(FullFolderPath(folder));
  RequestResults();
  SetForegroundWindow(window_);
}

std::wstring SpotterWindow::InputText() const {
  HWND edit = GetDlgItem(window_, IDC_INPUT);
  const int length = GetWindowTextLengthW(edit);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(edit, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

void SpotterWindow::SetStatus(int id, const std::wstring& text) { SetDlgItemTextW(window_, id, text.c_str()); }
