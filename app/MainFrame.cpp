// The main frame's life: construction, the message map, creation, timers, destruction.
// The tray and its commands are in MainFrameTray.cpp, the input and the query service in
// MainFrameInput.cpp.
#include "app/MainFrame.h"

#include <commctrl.h>

#include "app/AppMessages.h"
#include "app/CoreSearchService.h"
#include "app/TaplineInputSource.h"
#include "app/resources/ResourceIds.h"
#include "framework/AppModule.h"
#include "platform/PortableProfile.h"
#include "search/MigemoLoadThread.h"
#include "settings/Shortcuts.h"
#include "settings/TaskTrayAppIniFile.h"
#include "tapline/Tapline.h"
#include "tapline/TaplineViewReads.h"
#include "ui/InputDialog.h"
#include "ui/InputTooltip.h"
#include "view/BatchViews.h"

namespace {

// The program's one main frame, made on first use and destroyed by DeleteMainFrame.
std::unique_ptr<MainFrame>& TheMainFrame() {
  static std::unique_ptr<MainFrame> frame;
  return frame;
}

// WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS; the window is never shown.
constexpr DWORD kFrameStyle = 0x06CF0000;
// WS_EX_APPWINDOW | WS_EX_WINDOWEDGE.
constexpr DWORD kFrameExStyle = 0x00040100;

constexpr char kSettingsNotSavedText[] =
    "Kanasift.ini is in a form that Kanasift cannot write (UTF-16 text, for example).\n"
    "Its settings are used, but changes made while Kanasift runs will not be saved.\n"
    "Save the file as ANSI (Shift_JIS) text to keep them.";

// True when the system's own profile reader finds sections in the file.
bool SystemReadsSettingsFile(const std::string& path) {
  char names[64] = {};
  return GetPrivateProfileSectionNamesA(names, sizeof(names), path.c_str()) > 0;
}

// A tab-separated class list in the NUL-separated form the hook library reads.
std::string NulSeparated(const std::string& list) {
  std::string converted(list);
  converted.append(2, '\0');
  Tapline::tssToNss(converted.data());
  return converted;
}

}  // namespace

MainFrame* GetMainFrame() {
  auto& frame = TheMainFrame();
  if (!frame) frame = std::make_unique<MainFrame>();
  return frame.get();
}

void DeleteMainFrame() { TheMainFrame().reset(); }

const WindowClassInfo& MainFrame::WindowClass() {
  static const WindowClassInfo info{KANASIFT_WINDOW_CLASS, 0, IDI_APP, IDC_ARROW, COLOR_BTNFACE};
  return info;
}

MainFrame::MainFrame()
    : trayIcon_(std::make_unique<TrayIcon>(nullptr, UM_TRAY_NOTIFY, nullptr, "Kanasift")),
      inputQueue_([this] {
        // On the pushing thread: only post, never send.
        if (HWND window = hwnd()) PostMessageA(window, UM_DRAIN_INPUT, 0, 0);
      }) {}

MainFrame::~MainFrame() {
  // The workers are gone with the window (OnDestroy); stop them here too when the window
  // never got that far.
  StopWorkers();

  // 1. The tray icon, removed while still shown.
  if (trayIcon_) trayIcon_->remove();
  trayIcon_.reset();
  currentIcon_.Reset();
  // 2. The dialogs, regular expression first, then NIS header.
  regexDialog_.reset();
  nisHeaderDialog_.reset();
  // 3.-4. The tree-class list, the input and the pattern (with the engine and search).
  tooltip_.reset();
  inputSource_.reset();
  treeViewClassList_.clear();
  // 5. The menu (the loaded resource, and with it the sub-menu shown).
  trayMenu_ = nullptr;
  menuResource_.Reset();
  // 6. The window itself goes with the FrameWindow base.
}

HWND MainFrame::CreateMainWindow(bool hideAtStart) {
  // The creation parameter carries hideAtStart in its low byte.
  void* param = reinterpret_cast<void*>(static_cast<std::uintptr_t>(hideAtStart ? 1 : 0));
  return Create(WindowClass(), nullptr, nullptr, kFrameStyle, kFrameExStyle, param);
}

bool MainFrame::PreTranslateMessage(MSG* msg) {
  // The dialog messages carry a pointer to text that is valid only during a direct,
  // same-thread send; a posted one can only be forged or stale: drop it here.
  if (msg->hwnd == hwnd() && (IsRegisteredMessage(msg->message, UM_SEARCH_WITH_REGEX) ||
                              IsRegisteredMessage(msg->message, UM_SET_NIS_HEADER))) {
    return true;
  }
  return false;
}

bool MainFrame::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     LRESULT& result, DWORD mapId) {
  if (mapId != 0) return false;
  result = 0;
  switch (message) {
    case WM_CREATE:
      result = OnCreate(*reinterpret_cast<const CREATESTRUCTA*>(lParam));
      return true;
    case WM_CLOSE:
      DestroyWindow(window);
      return true;
    case WM_DESTROY:
      result = OnDestroy();
      return true;
    case WM_ENDSESSION:
      // Only when the session really ends: a cancelled shutdown or logoff (wParam FALSE)
      // leaves the program as it was.
      if (wParam) OnEndSession();
      return true;
    default:
      break;
  }
  if (IsRegisteredMessage(message, UM_TASKBAR_CREATED)) {
    result = OnTaskbarCreated();
    return true;
  }
  switch (message) {
    case UM_TRAY_NOTIFY:
      result = OnTrayNotify(lParam);
      return true;
    case UM_SHOW_TRAY_ICON:
      result = OnShowTrayIcon();
      return true;
    case UM_HIDE_TRAY_ICON:
      trayIcon_->remove();
      return true;
    default:
      break;
  }
  if (IsRegisteredMessage(message, UM_SEARCH_WITH_REGEX)) {
    result = OnSearchWithRegex(wParam, lParam);
    return true;
  }
  if (IsRegisteredMessage(message, UM_SET_NIS_HEADER)) {
    result = OnSetNisHeader(lParam);
    return true;
  }
  if (IsRegisteredMessage(message, UM_KEYDOWN) || IsRegisteredMessage(message, UM_KEYDOWN_CTRL) ||
      IsRegisteredMessage(message, UM_KEYDOWN_ALT) ||
      IsRegisteredMessage(message, UM_KEYDOWN_CTRL_ALT)) {
    result = OnKeyDown(message, wParam, lParam);
    return true;
  }
  switch (message) {
    case WM_TIMER:
      result = OnTimer(wParam);
      return true;
    case WM_COPYDATA:
      result = OnCopyData(reinterpret_cast<HWND>(wParam),
                          reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      return true;
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if ((id >= ID_CMD_FIRST && id <= ID_CMD_LAST) || id == ID_CMD_START_WITH_WINDOWS) {
        result = OnCommand(id);
        return true;
      }
      return false;
    }
    case WM_DPICHANGED:
    case WM_DISPLAYCHANGE:
    case WM_SETTINGCHANGE:
      // The scale of the monitors may have changed: the tray may want pictures of another
      // size. The messages go on to the default handling all the same.
      if (currentIconSize_ != TrayPictureSize()) RefreshTrayIcon();
      return false;
    case UM_DRAIN_INPUT:
      DrainInput(MessageMoment());
      return true;
    default:
      return false;
  }
}

LRESULT MainFrame::OnCreate(const CREATESTRUCTA& create) {
  hideAtStart_ = (reinterpret_cast<std::uintptr_t>(create.lpCreateParams) & 0xFF) != 0;

  // 1. Common controls: list view, tree view and bar classes (the tooltip among them).
  INITCOMMONCONTROLSEX controls{sizeof(controls),
                                ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  // 2. Offered every message of the thread's loop.
  if (MessageLoop* loop = MessageLoop::ForCurrentThread()) loop->AddMessageFilter(this);

  // 3. The tray menu: sub-menu 0 of menu 101. The loaded menu is kept and destroyed as a
  // whole, so that no part of it leaks.
  trayMenu_ = nullptr;
  menuResource_.Reset(LoadMenuA(app_module::Instance(), MAKEINTRESOURCEA(IDR_TRAY_MENU)));
  if (menuResource_) trayMenu_ = GetSubMenu(menuResource_.Get(), 0);

  // 4. The input tooltip (tooltips_class32, topmost, one tracking tool).
  tooltip_ = std::make_unique<InputTooltip>([] { return GetTickCount(); });
  tooltip_->Create(hwnd(), app_module::Instance());

  // 5.-9. The settings, read once; the file stays open for the shortcuts below.
  TaskTrayAppIniFile ini;
  LoadAppSettings(ini, settings_);
  // A settings file that another program held (or that is no text file we can use) was
  // not read: its values were never seen, so this run saves no toggle into it.
  keepSettingsFile_ = portable_profile::IsUnusable(ini.path().c_str());
  // The system read its settings from it all the same (a UTF-16 file): they are in force,
  // and the user learns once that no change will be saved.
  if (keepSettingsFile_ && SystemReadsSettingsFile(ini.path())) {
    MessageBoxA(nullptr, kSettingsNotSavedText, "Kanasift", MB_OK);
  }
  // The dictionary loader is only constructed: the dictionary opens on first use.
  migemoLoadThread_ = std::make_unique<MigemoLoadThread>(settings_.dictPath);

  // 6., 10.-15. The hook library, configured before the input event and the receiver exist.
  ConfigureHookLibrary(ini);

  // 16. The tray icon, unless started with /hide; the picture is set either way (the
  // update fails harmlessly while the icon is not in the tray).
  trayIcon_->setWindow(hwnd());
  if (!hideAtStart_) trayIcon_->add();
  RefreshTrayIcon();

  // 17.-18. The two input dialogs, created hidden; the NIS dialog gets its own caption
  // ("NISヘッダ設定") and OK text ("設定").
  regexDialog_ = CreateInputDialog(InputDialogKind::Regex, hwnd(), app_module::Instance(),
                                   settings_.regexHistMax, UM_SEARCH_WITH_REGEX);
  nisHeaderDialog_ = CreateInputDialog(InputDialogKind::NisHeader, hwnd(), app_module::Instance(),
                                       settings_.regexHistMax, UM_SET_NIS_HEADER);

  // 19. The input engine and, last, the receiver thread.
  StartInput();
  return 0;
}

void MainFrame::ConfigureHookLibrary(TaskTrayAppIniFile& ini) {
  Tapline::setIsUse(settings_.isUse);
  if (settings_.isForceEnable) {
    Tapline::toggleIsForceEnable();
    SaveSettings();
  }
  if (!Tapline::setListViewClasses(settings_.classes.c_str())) {
    MessageBoxA(nullptr, "Failed to setListViewClasses()", "Kanasift", MB_OK);
  }
  if (!Tapline::setTreeViewClasses(settings_.treeClasses.c_str())) {
    MessageBoxA(nullptr, "Failed to setTreeViewClasses()", "Kanasift", MB_OK);
  }
  if (!Tapline::setShellViewClasses(settings_.shellViewClasses.c_str())) {
    MessageBoxA(nullptr, "Failed to setShellViewClasses()", "Kanasift", MB_OK);
  }
  // The tree classes as a NUL-separated list: the text plus two spare bytes for the
  // conversion in place.
  treeViewClassList_.assign(settings_.treeClasses);
  treeViewClassList_.append(2, '\0');
  Tapline::tssToNss(treeViewClassList_.data());
  if (!Tapline::setTargetConditions(settings_.targetConditions.c_str())) {
    MessageBoxA(nullptr, "Failed to setTargetConditions()", "Kanasift", MB_OK);
  }
  LoadShortcuts(ini, shortcuts_.data());
  Tapline::setShortcuts(shortcuts_.data());
}

void MainFrame::StartInput() {
  // Names are read inside the view's process when the hook library serves it, item by
  // item otherwise.
  // Windows of the shell view classes are read through the shell view that holds them.
  views_ = std::make_unique<BatchViewProvider>(std::make_unique<TaplineViewReads>());
  views_->SetShellViewClasses(NulSeparated(settings_.shellViewClasses), NulSeparated(settings_.classes));
  search_ = std::make_unique<CoreSearchService>(*migemoLoadThread_, *views_, *this,
                                                treeViewClassList_.c_str());
  engine_ = std::make_unique<InputEngine>(*this, *search_, *views_, settings_, shortcuts_,
                                          treeViewClassList_);
  inputSource_ = std::make_unique<TaplineInputSource>();
  inputRecvThread_ = std::make_unique<InputRecvThread>(
      *inputSource_, [this](ViewHandle view, std::uint8_t ch, std::uint32_t tick) {
        // Ordered by the time the hook saw the key; a time stamp from the future (a
        // forged or stale one) counts as now, so it can never hold the queue back.
        std::uint32_t now = GetTickCount();
        inputQueue_.Push([this, view, ch, tick] {
          if (engine_) engine_->OnInputChar(view, ch, tick);
        }, TickIsLater(tick, now) ? now : tick);
      });
  inputRecvThread_->Start();
}

void MainFrame::StopWorkers() {
  // Nothing runs the engine any more; then the dictionary loader and the receiver, each
  // stopped and waited for.
  engine_.reset();
  search_.reset();
  migemoLoadThread_.reset();
  inputRecvThread_.reset();
  views_.reset();
}

std::uint32_t MainFrame::MessageMoment() {
  // A posted message carries the time it was posted; a message sent from another thread
  // carries none of its own.
  return InSendMessage() ? GetTickCount() : static_cast<std::uint32_t>(GetMessageTime());
}

std::uint32_t MainFrame::LastInputTick() const {
  if (!engine_) return 0;
  const InputState& state = engine_->state();
  // An ended input shows as run out, however long the system has been up.
  if (state.inputEnded) return GetTickCount() - static_cast<std::uint32_t>(settings_.permissibleInputInterval) - 1;
  return state.lastInputTick;
}

void MainFrame::OnEndSession() {
  // The process ends soon after this returns, without a WM_DESTROY: stop serving keys and
  // keep what the user typed, as the exit command does.
  if (removeHook_) {
    removeHook_();
  } else {
    Tapline::unsetHook();
  }
  SaveHistories();
}

LRESULT MainFrame::OnDestroy() {
  StopWorkers();
  if (MessageLoop* loop = MessageLoop::ForCurrentThread()) loop->RemoveMessageFilter(this);
  PostQuitMessage(0);
  return 0;
}

LRESULT MainFrame::OnTimer(UINT_PTR id) {
  switch (id) {
    case ID_TIMER_DICT_RELEASE:
      if (migemoLoadThread_) migemoLoadThread_->CloseMigemo();
      KillTimer(hwnd(), ID_TIMER_DICT_RELEASE);
      break;
    case ID_TIMER_READ_ON:
      if (!views_ || !views_->ContinueReadingOn()) {
        KillTimer(hwnd(), ID_TIMER_READ_ON);
        ScheduleKeepWarm();
      }
      break;
    case ID_TIMER_KEEP_WARM:
      KillTimer(hwnd(), ID_TIMER_KEEP_WARM);
      if (views_) views_->KeepWarm();
      if (views_ && views_->ReadingOn()) {
        SetTimer(hwnd(), ID_TIMER_READ_ON, BatchViewProvider::kReadOnTickMs, nullptr);
      } else {
        ScheduleKeepWarm();
      }
      break;
    case ID_TIMER_TOOLTIP:   // hide the tip
    case ID_TIMER_ANIMATION:  // one frame of the bar
      if (tooltip_) tooltip_->OnTimer(id, LastInputTick(), settings_);
      break;
    default:
      break;  // not ours
  }
  return 0;
}

void MainFrame::DrainInput(std::uint32_t moment) {
  inputQueue_.Drain(moment);
  // The view's thread reads a piece, pauses for its own messages, and is asked to go on
  // at the next tick.
  if (views_ && views_->ReadingOn()) {
    SetTimer(hwnd(), ID_TIMER_READ_ON, BatchViewProvider::kReadOnTickMs, nullptr);
  } else {
    ScheduleKeepWarm();
  }
}

void MainFrame::ScheduleKeepWarm() {
  const DWORD delay = views_ ? views_->KeepWarmDelay() : 0;
  if (delay != 0) {
    SetTimer(hwnd(), ID_TIMER_KEEP_WARM, delay, nullptr);
  } else {
    KillTimer(hwnd(), ID_TIMER_KEEP_WARM);
  }
}

void MainFrame::RestartDictReleaseTimer() {
  if (!settings_.isKeepAliveDict && settings_.dictAliveTime != 0) {
    KillTimer(hwnd(), ID_TIMER_DICT_RELEASE);
    SetTimer(hwnd(), ID_TIMER_DICT_RELEASE, static_cast<UINT>(settings_.dictAliveTime), nullptr);
  }
}
