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

// The value of the mark for one key-down: its virtual key and its key data (scan code,
// repeat count, flags), never null.
HANDLE KeyMark(WPARAM virtualKey, LPARAM keyData) {
  const std::uint32_t value =
      (static_cast<std::uint32_t>(keyData) ^ (static_cast<std::uint32_t>(virtualKey) * 0x9E3779B1u)) | 1u;
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

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

// ToUnicodeEx's flag that leaves the keyboard state as it is, a pending dead key
// included (Windows 10 version 1607, build 14393, and later; earlier systems ignore it).
constexpr UINT kKeepKeyboardState = 0x4;

bool SystemKeepsKeyboardState() {
  // 0: not asked yet, 1: yes, 2: no. Asked once per process; a race asks twice.
  static int known = 0;
  int value = __atomic_load_n(&known, __ATOMIC_RELAXED);
  if (value == 0) {
    using RtlGetVersionProc = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto getVersion =
        ntdll ? reinterpret_cast<RtlGetVersionProc>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
              : nullptr;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    const bool keeps = getVersion && getVersion(&version) == 0 &&
                       (version.dwMajorVersion > 10 || (version.dwMajorVersion == 10 && version.dwBuildNumber >= 14393));
    value = keeps ? 1 : 2;
    __atomic_store_n(&known, value, __ATOMIC_RELAXED);
  }
  return value == 1;
}

// The thread whose last key seen in a view was a dead key: its layout composes the next
// key with it. (One thread at a time types.)
DWORD deadKeyThread = 0;

struct Translation {
  HKL layout = nullptr;
  UINT virtualKey = 0;
  UINT scanCode = 0;
  BYTE state[256];
};

// The bytes (ANSI code page) that the key types with the current Shift and Caps Lock
// state; 0 when it types nothing printable. The keyboard state is left as it is, so a
// key that then goes to the view composes with a pending dead key there as if there
// were no hook; a key Kanasift takes is then given to the layout with ConsumeKey. A dead
// key itself is left alone. Where the system cannot translate without changing the
// state, a key that follows a dead key goes to the view untranslated.
int TranslateKey(UINT virtualKey, LPARAM lParam, std::uint8_t* out, int capacity, Translation& t) {
  t.layout = GetKeyboardLayout(0);
  t.virtualKey = virtualKey;
  UINT mapped = MapVirtualKeyExW(virtualKey, MAPVK_VK_TO_CHAR, t.layout);
  const DWORD thread = GetCurrentThreadId();
  const bool deadPending = __atomic_load_n(&deadKeyThread, __ATOMIC_RELAXED) == thread;
  if (mapped == 0) return 0;
  if ((mapped & 0x80000000u) != 0) {
    __atomic_store_n(&deadKeyThread, thread, __ATOMIC_RELAXED);
    return 0;
  }
  if (deadPending) __atomic_store_n(&deadKeyThread, 0, __ATOMIC_RELAXED);
  const bool keepsState = SystemKeepsKeyboardState();
  if (deadPending && !keepsState) return 0;
  if (!GetKeyboardState(t.state)) return 0;
  static const int kModifiers[] = {VK_CONTROL, VK_LCONTROL, VK_RCONTROL, VK_MENU, VK_LMENU, VK_RMENU};
  for (int modifier : kModifiers) t.state[modifier] = 0;
  t.state[virtualKey & 0xFF] |= 0x80;
  WCHAR wide[4];
  t.scanCode = static_cast<UINT>((lParam >> 16) & 0xFF);
  int units = ToUnicodeEx(virtualKey, t.scanCode, t.state, wide, 4, keepsState ? kKeepKeyboardState : 0, t.layout);
  if (units <= 0) return 0;
  for (int i = 0; i < units; ++i) {
    if (wide[i] < 0x20 || wide[i] == 0x7F) return 0;
  }
  BOOL usedDefault = FALSE;
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide, units, reinterpret_cast<char*>(out), capacity, nullptr,
                                  &usedDefault);
  return (bytes > 0 && !usedDefault) ? bytes : 0;
}

// A key Kanasift took never reaches the view: the layout is given it here instead, so a
// dead key pending before it is used up as the view would have used it.
void ConsumeKey(Translation& t) {
  if (!SystemKeepsKeyboardState()) return;  // the translation changed the state already
  WCHAR wide[4];
  ToUnicodeEx(t.virtualKey, t.scanCode, t.state, wide, 4, 0, t.layout);
}

bool QueueCharacter(SharedBlock& block, HWND view, UINT virtualKey, LPARAM lParam) {
  Keystroke keystroke{};
  Translation translation;
  int bytes = TranslateKey(virtualKey, lParam, keystroke.bytes, static_cast<int>(kKeystrokeBytes), translation);
  if (bytes <= 0) return false;
  UniqueKernelHandle event = OpenInputEvent();
  if (!event) return false;  // Kanasift is not listening: the view keeps the key
  keystroke.view = reinterpret_cast<std::uintptr_t>(view);
  keystroke.tick = GetTickCount();
  keystroke.length = static_cast<std::uint8_t>(bytes);
  if (PushKeystroke(block.queue, keystroke) != PushResult::Queued) return false;
  ConsumeKey(translation);
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
  // focused window carries a mark that tells every later copy this key is dealt with.
  // The mark names the key: a key that arrives while a later hook pumps messages (a
  // nested key) is another key and is handled, and the outer key's mark is put back
  // when it is done.
  HWND focus = GetFocus();
  HANDLE mark = KeyMark(wParam, lParam);
  HANDLE outer = focus ? GetPropA(focus, kKeyHandledMark) : nullptr;
  if (outer == mark) return CallNextHookEx(nullptr, code, wParam, lParam);
  bool seen = false;
  if (HandleKeyDown(static_cast<UINT>(wParam), lParam, seen)) return 1;
  if (!seen || !focus || !SetPropA(focus, kKeyHandledMark, mark)) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  LRESULT result = CallNextHookEx(nullptr, code, wParam, lParam);
  if (outer) {
    SetPropA(focus, kKeyHandledMark, outer);
  } else {
    RemovePropA(focus, kKeyHandledMark);
  }
  return result;
}

}  // namespace tapline
