#include "tapline/KeyboardHook.h"

#include <cstdint>

#include "tapline/CharQueue.h"
#include "tapline/ClassList.h"
#include "tapline/DllState.h"
#include "tapline/InjectedKeys.h"
#include "tapline/KeyDecision.h"
#include "tapline/ShellViewFind.h"
#include "tapline/TargetConditions.h"
#include "tapline/ViewSort.h"

namespace tapline {

namespace {

constexpr int kClassNameBytes = 256;
constexpr int kTitleUnits = 512;
// A window property, set on the focused window while later hooks see a key.
constexpr char kKeyHandledMark[] = "Kanasift::KeyHandled";

bool IsAnsiLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

HWND AsWindow(std::uint64_t handle) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle)); }

struct FocusedView {
  HWND window = nullptr;
  ViewKind kind = ViewKind::List;
  char className[kClassNameBytes] = {};
};

bool FindFocusedView(const Config& config, FocusedView& view) {
  HWND focus = GetFocus();
  if (!focus) return false;
  // Only a view of this very thread. (Where Windows runs a hook of the other bitness in
  // the installing thread instead, that thread's focus is not the view's.)
  if (GetWindowThreadProcessId(focus, nullptr) != GetCurrentThreadId()) return false;
  if (!GetClassNameA(focus, view.className, kClassNameBytes)) return false;
  ShellViewRef shell;
  if (classlist::Contains(view.className, config.shellClasses) && FindShellView(focus, shell)) {
    view.kind = ViewKind::Shell;
  } else if (classlist::Contains(view.className, config.listClasses)) {
    view.kind = ViewKind::List;
  } else if (classlist::Contains(view.className, config.treeClasses)) {
    view.kind = ViewKind::Tree;
  } else {
    return false;
  }
  view.window = focus;
  return true;
}

bool IsTargetWindow(const Config& config, const FocusedView& view) {
  HWND top = GetAncestor(view.window, GA_ROOT);
  char topClass[kClassNameBytes];
  if (!top || !GetClassNameA(top, topClass, kClassNameBytes)) return false;
  char title[kTitleUnits * 2 + 1];
  const char* titleText = nullptr;
  if (ConditionsNeedTitle(config.conditions, kConditionBytes, config.conditionCount)) {
    // Read without a message: the top-level window may belong to a busy thread.
    WCHAR wide[kTitleUnits];
    int units = InternalGetWindowText(top, wide, kTitleUnits);
    int bytes = units > 0 ? WideCharToMultiByte(CP_ACP, 0, wide, units, title, kTitleUnits * 2, nullptr, nullptr) : 0;
    title[bytes > 0 ? bytes : 0] = '\0';
    titleText = title;
  }
  TargetWindow window{titleText, topClass, view.className};
  return MatchesTargetConditions(config.conditions, kConditionBytes, config.conditionCount, window, IsAnsiLeadByte);
}

// Kanasift's window still exists, is still Kanasift's, and still takes messages. When it
// is gone or hung, keys go to the view as if there were no hook.
bool OwnerIsAlive(const Config& config) {
  HWND owner = AsWindow(config.ownerWindow);
  if (!owner || !IsWindow(owner)) return false;
  DWORD processId = 0;
  GetWindowThreadProcessId(owner, &processId);
  if (processId != config.ownerProcessId) return false;  // the handle was given to another window
  return !IsHungAppWindow(owner);
}

// The bytes (ANSI code page) that the key types with the current Shift and Caps Lock
// state; 0 when it types nothing printable. Dead keys are left alone, so that the view
// composes them as usual.
int TranslateKey(UINT virtualKey, LPARAM lParam, std::uint8_t* out, int capacity) {
  HKL layout = GetKeyboardLayout(0);
  UINT mapped = MapVirtualKeyExW(virtualKey, MAPVK_VK_TO_CHAR, layout);
  if (mapped == 0 || (mapped & 0x80000000u) != 0) return 0;
  BYTE state[256];
  if (!GetKeyboardState(state)) return 0;
  static const int kModifiers[] = {VK_CONTROL, VK_LCONTROL, VK_RCONTROL, VK_MENU, VK_LMENU, VK_RMENU};
  for (int modifier : kModifiers) state[modifier] = 0;
  state[virtualKey & 0xFF] |= 0x80;
  WCHAR wide[4];
  UINT scanCode = static_cast<UINT>((lParam >> 16) & 0xFF);
  int units = ToUnicodeEx(virtualKey, scanCode, state, wide, 4, 0, layout);
  if (units <= 0) return 0;
  for (int i = 0; i < units; ++i) {
    if (wide[i] < 0x20 || wide[i] == 0x7F) return 0;
  }
  BOOL usedDefault = FALSE;
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide, units, reinterpret_cast<char*>(out), capacity, nullptr,
                                  &usedDefault);
  return (bytes > 0 && !usedDefault) ? bytes : 0;
}

bool QueueCharacter(SharedBlock& block, HWND view, UINT virtualKey, LPARAM lParam) {
  Keystroke keystroke{};
  int bytes = TranslateKey(virtualKey, lParam, keystroke.bytes, static_cast<int>(kKeystrokeBytes));
  if (bytes <= 0) return false;
  UniqueKernelHandle event = OpenInputEvent();
  if (!event) return false;  // Kanasift is not listening: the view keeps the key
  keystroke.view = reinterpret_cast<std::uintptr_t>(view);
  keystroke.tick = GetTickCount();
  keystroke.length = static_cast<std::uint8_t>(bytes);
  if (PushKeystroke(block.queue, keystroke) != PushResult::Queued) return false;
  SetEvent(event.Get());
  return true;
}

bool PostKey(const Config& config, KeyMessage message, UINT virtualKey, HWND view) {
  UINT number = config.keyDownMessages[message];
  if (number == 0) return false;
  return PostMessageA(AsWindow(config.ownerWindow), number, virtualKey, reinterpret_cast<LPARAM>(view)) != FALSE;
}

// A window that sees Alt go down and up with no key between (the key of an Alt shortcut
// was kept from it) opens its menu, as if Alt had been tapped alone: Wine's
// DefWindowProc does. A harmless Alt+key message of an unassigned key, handled before
// the Alt release arrives, tells it another key was pressed.
void KeepAltFromOpeningTheMenu(HWND view) {
  constexpr WPARAM kUnassignedVirtualKey = 0xE8;
  constexpr LPARAM kAltDown = 1 | (1 << 29);  // repeat count 1, context code (Alt held)
  PostMessageW(view, WM_SYSKEYDOWN, kUnassignedVirtualKey, kAltDown);
}

// True when the view must not get the key. `seen` tells whether Kanasift is listening,
// so that this hook has dealt with the key even when it lets it through.
bool HandleKeyDown(UINT virtualKey, LPARAM lParam, bool& seen) {
  if (virtualKey == 0 || virtualKey > 0xFF) return false;
  SharedBlock* block = UsableSharedBlock();
  if (!block) return false;
  Config config;
  if (!ReadConfig(*block, config)) return false;
  if (!config.isUse || config.ownerWindow == 0) return false;
  seen = true;

  std::uint8_t key = static_cast<std::uint8_t>(virtualKey);
  if (GetMessageExtraInfo() == static_cast<LPARAM>(kInjectedKeyMarker)) {
    TakeInjectedKey(*block, key, GetTickCount());
    return false;
  }
  FocusedView view;
  if (!FindFocusedView(config, view)) return false;
  bool isTarget = config.isForceEnable || IsTargetWindow(config, view);
  HookMode mode = ModeFor(config.isUse, config.isEnable, config.isForceEnable, isTarget);
  if (mode == HookMode::Pass) return false;
  if (TakeInjectedKey(*block, key, GetTickCount())) return false;

  KeyPress press{key, GetKeyState(VK_CONTROL) < 0, (HIWORD(lParam) & KF_ALTDOWN) != 0 || GetKeyState(VK_MENU) < 0};
  KeyDecision decision = DecideKey(press, view.kind, mode, config.shortcuts);
  if (decision.action == KeyAction::Pass || !OwnerIsAlive(config)) return false;
  switch (decision.action) {
    case KeyAction::Notify:
      PostKey(config, decision.message, virtualKey, view.window);
      return false;
    case KeyAction::Command:
      if (!PostKey(config, decision.message, virtualKey, view.window)) return false;
      if (press.alt) KeepAltFromOpeningTheMenu(view.window);
      return true;
    case KeyAction::Sort:
      SortListView(view.window, decision.sort, config.nisHeader);
      if (press.alt) KeepAltFromOpeningTheMenu(view.window);
      return true;
    case KeyAction::SortUnavailable:
      MessageBeep(0);
      if (press.alt) KeepAltFromOpeningTheMenu(view.window);
      return true;
    case KeyAction::Character:
      return QueueCharacter(*block, view.window, virtualKey, lParam);
    case KeyAction::Pass:
      break;
  }
  return false;
}

}  // namespace

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
  // Only a key being removed from the queue (HC_ACTION), and only its key-down: a key
  // looked at without removal is seen again when it is removed.
  bool keyDown = (static_cast<std::uint32_t>(lParam) & 0x80000000u) == 0;
  if (code != HC_ACTION || !keyDown) return CallNextHookEx(nullptr, code, wParam, lParam);

  // Wine keeps the hook of a killed Kanasift in the chain after ours, and the library
  // there reads the same shared block: a key that this hook lets through would be
  // posted, queued or taken a second time. While the rest of the chain runs, the
  // focused window carries a mark that tells every later copy the key is dealt with.
  HWND focus = GetFocus();
  if (focus && GetPropA(focus, kKeyHandledMark)) return CallNextHookEx(nullptr, code, wParam, lParam);
  bool seen = false;
  if (HandleKeyDown(static_cast<UINT>(wParam), lParam, seen)) return 1;
  if (!seen || !focus || !SetPropA(focus, kKeyHandledMark, reinterpret_cast<HANDLE>(1))) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  LRESULT result = CallNextHookEx(nullptr, code, wParam, lParam);
  RemovePropA(focus, kKeyHandledMark);
  return result;
}

}  // namespace tapline
