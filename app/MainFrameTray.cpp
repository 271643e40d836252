// The tray icon, its menu and commands, and the mode toggles with their save.
#include <windows.h>
#include <shellapi.h>

#include "app/MainFrame.h"
#include "app/StartWithWindows.h"
#include "app/ViewFolder.h"
#include "app/resources/ResourceIds.h"
#include "framework/AppModule.h"
#include "settings/Shortcuts.h"
#include "settings/TaskTrayAppIniFile.h"
#include "tapline/Tapline.h"
#include "ui/InputDialog.h"
#include "ui/InputTooltip.h"

namespace {

// Spotter.exe beside Kanasift.exe, opened on the folder of the view the user typed into
// last (or the one before it); without one, Spotter opens on the user's Documents.
void LaunchSpotter(const InputState* state) {
  std::wstring folder;
  if (state) {
    folder = FolderOfView(reinterpret_cast<HWND>(state->targetView));
    if (folder.empty()) folder = FolderOfView(reinterpret_cast<HWND>(state->previousTargetView));
  }
  wchar_t module[MAX_PATH * 4] = {};
  const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH * 4);
  std::wstring program = L"Spotter.exe";
  if (length > 0 && length < MAX_PATH * 4) {
    std::wstring path(module, length);
    const std::size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos) program = path.substr(0, slash + 1) + program;
  }
  const std::wstring parameters = folder.empty() ? std::wstring() : QuoteArgument(folder);
  ShellExecuteW(nullptr, L"open", program.c_str(), parameters.c_str(), folder.empty() ? nullptr : folder.c_str(),
                SW_SHOW);
}

}  // namespace

TrayStateInputs MainFrame::CurrentTrayState() const {
  TrayStateInputs state;
  state.isUse = settings_.isUse;
  // The hook library's own states, asked every time (its toggles' results are not kept).
  state.isEnable = Tapline::isEnable();
  state.isForceEnable = Tapline::isForceEnable();
  state.isKeepAliveDict = settings_.isKeepAliveDict;
  state.isUsePartialMatch = settings_.isUsePartialMatch;
  state.isUseTooltip = settings_.isUseTooltip;
  state.isAnimateTooltip = settings_.isAnimateTooltip;
  state.isCheckBySpace = settings_.isCheckBySpace;
  return state;
}

bool MainFrame::RefreshTrayIcon() {
  // The notify data keeps no dangling handle: drop it from the data before destroying it.
  trayIcon_->setIcon(nullptr);
  currentIcon_.Reset();
  int id = ChooseTrayIconId(CurrentTrayState());
  // The size the shell shows pictures at, which grows with the DPI.
  currentIconSize_ = TrayPictureSize();
  currentIcon_ = LoadTrayPicture(app_module::Instance(), id, currentIconSize_);
  trayIcon_->setIcon(currentIcon_.Get());
  return trayIcon_->modify();
}

LRESULT MainFrame::OnTrayNotify(LPARAM lParam) {
  switch (static_cast<UINT>(lParam)) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      ToggleIsUse();
      break;
    case WM_RBUTTONUP:
      ShowTrayMenu();
      break;
    default:
      break;
  }
  return 0;
}

LRESULT MainFrame::OnTaskbarCreated() {
  // The shell came back: put the icon back only if it was there before.
  if (trayIcon_->shown()) {
    trayIcon_->add();
    trayIcon_->modify();
  }
  return 0;
}

LRESULT MainFrame::OnShowTrayIcon() {
  trayIcon_->add();
  trayIcon_->modify();
  return 0;
}

void MainFrame::ShowTrayMenu() {
  if (trayMenu_ == nullptr) return;
  for (const TrayMenuItemState& item : TrayMenuItemStates(CurrentTrayState())) {
    EnableMenuItem(trayMenu_, item.id, MF_BYCOMMAND | (item.enabled ? MF_ENABLED : MF_GRAYED));
    CheckMenuItem(trayMenu_, item.id, MF_BYCOMMAND | (item.checked ? MF_CHECKED : MF_UNCHECKED));
  }
  // The entry as the registry has it now (the user may have changed it elsewhere).
  const bool starts = start_with_windows::IsOn(start_with_windows::ProgramPath());
  CheckMenuItem(trayMenu_, ID_CMD_START_WITH_WINDOWS, MF_BYCOMMAND | (starts ? MF_CHECKED : MF_UNCHECKED));
  POINT point{};
  GetCursorPos(&point);
  // Without the foreground the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(hwnd());
  SetFocus(hwnd());
  if (MonitorFromPoint(point, MONITOR_DEFAULTTONULL) == nullptr) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoA(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &info)) {
      point.x = ClampMenuX(point.x, info.rcWork.left, info.rcWork.right);
    }
  }
  TrackPopupMenu(trayMenu_, 0, point.x, point.y, 0, hwnd(), nullptr);
  PostMessageA(hwnd(), WM_NULL, 0, 0);
}

LRESULT MainFrame::OnCommand(int id) {
  switch (id) {
    case ID_CMD_USE: ToggleIsUse(); break;
    case ID_CMD_FORCE_ENABLE: ToggleIsForceEnable(); break;
    case ID_CMD_KEEP_ALIVE_DICT: ToggleIsKeepAliveDict(); break;
    case ID_CMD_PARTIAL_MATCH: ToggleIsUsePartialMatch(); break;
    case ID_CMD_USE_TOOLTIP: ToggleIsUseTooltip(); break;
    case ID_CMD_ANIMATE_TOOLTIP: ToggleIsAnimateTooltip(); break;
    case ID_CMD_CHECK_BY_SPACE: ToggleIsCheckBySpace(); break;
    case ID_CMD_VERSION: ShowVersion(); break;
    case ID_CMD_SHORTCUT_LIST: ShowShortcutList(); break;
    case ID_CMD_SPOTTER: LaunchSpotter(engine_ ? &engine_->state() : nullptr); break;
    case ID_CMD_REMOVE_ICON: trayIcon_->remove(); break;
    case ID_CMD_EXIT: ExitProgram(); break;
    case ID_CMD_START_WITH_WINDOWS: ToggleStartWithWindows(); break;
    default: break;
  }
  return 0;
}

void MainFrame::ShowVersion() {
  char text[256] = {};
  LoadStringA(app_module::Instance(), IDS_VERSION, text, sizeof(text));
  MessageBoxA(hwnd(), text, "Kanasift", MB_OK);
}

void MainFrame::ShowShortcutList() {
  std::string text = ShortcutListText(shortcuts_.data());
  MessageBoxA(hwnd(), text.c_str(), "Kanasift", MB_OK);
}

void MainFrame::SaveHistories() {
  if (regexDialog_) regexDialog_->SaveHistory();
  if (nisHeaderDialog_) nisHeaderDialog_->SaveHistory();
}

void MainFrame::ExitProgram() {
  SaveHistories();
  PostMessageA(hwnd(), WM_CLOSE, 0, 0);
}

void MainFrame::SaveSettings() {
  // The toggles still work in memory when the file is kept as it is.
  if (keepSettingsFile_) return;
  // The seven on/off settings, IsForceEnable as the hook library has it now.
  SaveToggleSettings(settings_, Tapline::isForceEnable());
}

void MainFrame::ToggleIsUse() {
  settings_.isUse = !settings_.isUse;
  Tapline::setIsUse(settings_.isUse);
  SaveSettings();
  RefreshTrayIcon();
}

void MainFrame::ToggleIsEnable() {
  Tapline::toggleIsEnable();
  SaveSettings();
  RefreshTrayIcon();
}

void MainFrame::ToggleIsForceEnable() {
  Tapline::toggleIsForceEnable();
  SaveSettings();
  RefreshTrayIcon();
}

void MainFrame::ToggleIsKeepAliveDict() {
  settings_.isKeepAliveDict = !settings_.isKeepAliveDict;
  SaveSettings();
  KillTimer(hwnd(), ID_TIMER_DICT_RELEASE);
  RestartDictReleaseTimer();
}

void MainFrame::ToggleIsUsePartialMatch() {
  settings_.isUsePartialMatch = !settings_.isUsePartialMatch;
  SaveSettings();
  RefreshTrayIcon();
  // The current input is searched anew with the new mode, in its turn among the input work.
  const std::uint32_t moment = MessageMoment();
  inputQueue_.Push([this] {
    if (engine_) engine_->OnPartialMatchToggled();
  }, moment);
  DrainInput(moment);
}

void MainFrame::ToggleIsUseTooltip() {
  settings_.isUseTooltip = !settings_.isUseTooltip;
  SaveSettings();
}

void MainFrame::ToggleIsAnimateTooltip() {
  settings_.isAnimateTooltip = !settings_.isAnimateTooltip;
  SaveSettings();
  if (!settings_.isAnimateTooltip) {
    if (tooltip_) tooltip_->StopAnimation();
    KillTimer(hwnd(), ID_TIMER_ANIMATION);
  }
}

void MainFrame::ToggleIsCheckBySpace() {
  settings_.isCheckBySpace = !settings_.isCheckBySpace;
  SaveSettings();
}

void MainFrame::ToggleStartWithWindows() {
  const std::wstring path = start_with_windows::ProgramPath();
  // A registry that refuses the change leaves the entry as it was; the menu shows it so.
  if (!start_with_windows::Set(!start_with_windows::IsOn(path), path)) MessageBeep(0);
}
