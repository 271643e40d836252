// The hidden main window and hub of Kanasift. It owns everything that lives as long as
// the program: the copies of the settings, the tray icon and its menu, the tooltip, the
// two input dialogs, the worker threads, the input queue and engine. Its message map
// routes every message of the tray, the menu, the hook library, a second instance, the
// dialogs, its timers and other programs. One per process: GetMainFrame().
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/TrayIcon.h"
#include "app/TrayState.h"
#include "framework/FrameWindow.h"
#include "framework/MessageLoop.h"
#include "input/InputEngine.h"
#include "input/InputHost.h"
#include "input/InputQueue.h"
#include "input/InputRecvThread.h"
#include "platform/Win32Handles.h"
#include "settings/AppSettings.h"
#include "tapline/TaplineTypes.h"

class InputDialog;
class InputTooltip;
class MigemoLoadThread;
class SearchService;
class TaplineInputSource;
class TaskTrayAppIniFile;
class BatchViewProvider;

// Timers of the main window.
constexpr UINT_PTR ID_TIMER_DICT_RELEASE = 0;
constexpr UINT_PTR ID_TIMER_TOOLTIP = 1;
constexpr UINT_PTR ID_TIMER_ANIMATION = 2;
constexpr UINT_PTR ID_TIMER_READ_ON = 3;
constexpr UINT_PTR ID_TIMER_KEEP_WARM = 4;

// Posted by the input queue when work is waiting for the UI thread.
constexpr UINT UM_DRAIN_INPUT = WM_APP + 1;

class MainFrame : public FrameWindow, public MessageFilter, public InputHost {
 public:
  // Class "Kanasift" (a second start finds the window by it), style 0, arrow cursor,
  // button-face background, icon 100.
  static const WindowClassInfo& WindowClass();

  MainFrame();
  ~MainFrame() override;

  // Creates the hidden window (no title, default styles and rectangle). Everything is set
  // up by the creation handler inside this call. Null when the window was not created.
  HWND CreateMainWindow(bool hideAtStart);

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result, DWORD mapId) override;
  // The frame loads no accelerators: every message passes on.
  bool PreTranslateMessage(MSG* msg) override;

  // How the keyboard hook is removed when the session ends (the entry function's hook
  // thread); without one, the hook library is asked directly.
  void SetHookRemover(std::function<void()> remove) { removeHook_ = std::move(remove); }

  // Writes the seven on/off settings to Kanasift.ini.
  void SaveSettings();
  // Arms the dictionary's idle timer again (unless the dictionary is kept loaded or its
  // alive time is 0).
  void RestartDictReleaseTimer() override;
  // Shows the picture of the current state; false when the tray refused the update.
  bool RefreshTrayIcon();

  // Mode toggles shared by the tray, the menu, a second start and the key commands.
  void ToggleIsUse() override;
  void ToggleIsEnable() override;
  void ToggleIsForceEnable() override;
  void ToggleIsKeepAliveDict();
  void ToggleIsUsePartialMatch() override;
  void ToggleIsUseTooltip();
  void ToggleIsAnimateTooltip();
  void ToggleIsCheckBySpace();
  // Writes or removes the entry that starts Kanasift when the user signs in.
  void ToggleStartWithWindows();

  // InputHost.
  std::uint32_t TickCount() override;
  bool IsShiftDown() override;
  void InjectKey(std::uint8_t virtualKey) override;
  void EnsureDictionaryLoading() override;
  void UpdateTrayIcon() override { RefreshTrayIcon(); }
  void ShowInputTooltip(const ItemRect& itemRect, const std::string* matchedText) override;
  void HideInputTooltip() override;
  void ShowRegexDialog() override;
  void ShowNisHeaderDialog() override;
  void Beep() override;
  void ShowMessage(ViewHandle owner, const std::string& text, const std::string& title,
                   unsigned style) override;

  const AppSettings& settings() const { return settings_; }
  const TrayIcon& trayIcon() const { return *trayIcon_; }

 private:
  LRESULT OnCreate(const CREATESTRUCTA& create);
  LRESULT OnDestroy();
  // The session ends (WM_ENDSESSION with wParam TRUE): hook removed, histories saved.
  void OnEndSession();
  LRESULT OnTimer(UINT_PTR id);
  // Runs the input work that is due; then a shell view's names that the step left
  // unread are read on in the background (BatchViewProvider::ReadingOn).
  void DrainInput(std::uint32_t moment);
  // The next background read that keeps the IDs of the view last keyed in trusted.
  void ScheduleKeepWarm();
  LRESULT OnTrayNotify(LPARAM lParam);
  LRESULT OnTaskbarCreated();
  LRESULT OnShowTrayIcon();
  void ShowTrayMenu();
  LRESULT OnCommand(int id);
  LRESULT OnKeyDown(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnSearchWithRegex(WPARAM wParam, LPARAM lParam);
  LRESULT OnSetNisHeader(LPARAM lParam);
  LRESULT OnCopyData(HWND requester, const COPYDATASTRUCT* data);

  void ConfigureHookLibrary(TaskTrayAppIniFile& ini);
  void StopWorkers();
  void StartInput();
  std::uint32_t LastInputTick() const;
  // The moment of the message being handled, by which the input work is ordered.
  static std::uint32_t MessageMoment();
  void ShowVersion();
  void ShowShortcutList();
  // Both dialogs' histories to their files (the exit command, the end of the session).
  void SaveHistories();
  void ExitProgram();
  TrayStateInputs CurrentTrayState() const;

  std::unique_ptr<TrayIcon> trayIcon_;
  AppSettings settings_;
  UniqueIcon currentIcon_;
  int currentIconSize_ = 0;    // the size currentIcon_ was loaded at
  UniqueMenu menuResource_;    // menu 101; its sub-menu 0 is the tray menu
  HMENU trayMenu_ = nullptr;   // borrowed from menuResource_
  std::array<Shortcut, SHORTCUT_COUNT> shortcuts_{};
  // TreeClasses as the hook library's NUL-separated list (tssToNss), read by the engine.
  std::string treeViewClassList_;
  bool hideAtStart_ = false;
  bool keepSettingsFile_ = false;  // Kanasift.ini could not be read at start: never written
  std::unique_ptr<InputTooltip> tooltip_;
  std::unique_ptr<InputDialog> regexDialog_;
  std::unique_ptr<InputDialog> nisHeaderDialog_;
  std::unique_ptr<MigemoLoadThread> migemoLoadThread_;

  // Input: the receiver thread pushes typed characters, the UI thread its own work, and
  // the engine runs every item on the UI thread.
  InputQueue inputQueue_;
  std::unique_ptr<BatchViewProvider> views_;
  std::unique_ptr<SearchService> search_;
  std::unique_ptr<InputEngine> engine_;
  std::unique_ptr<TaplineInputSource> inputSource_;
  std::unique_ptr<InputRecvThread> inputRecvThread_;
  std::function<void()> removeHook_;
};

// The process's main frame, created on the first call.
MainFrame* GetMainFrame();
// Destroys the main frame (after the message loop has ended) and clears the pointer.
void DeleteMainFrame();
