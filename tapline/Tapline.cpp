// The exported operations. They run in Kanasift's process: the configuration lives here,
// in this copy of the library, and every change is published whole to the shared block
// that the hooks in the views' processes read. So the states start afresh with each run
// of Kanasift, whatever a previous run left in the shared block.
#include "tapline/Tapline.h"

#include <cstring>

#include "platform/Win32Handles.h"
#include "tapline/CharQueue.h"
#include "tapline/ClassList.h"
#include "tapline/DllState.h"
#include "tapline/InjectedKeys.h"
#include "tapline/KeyboardHook.h"
#include "tapline/SharedLayout.h"
#include "tapline/TargetConditions.h"

namespace {

struct HookTraits {
  using Handle = HHOOK;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { UnhookWindowsHookEx(h); }
};

SRWLOCK g_lock = SRWLOCK_INIT;
tapline::Config g_config = tapline::DefaultConfig();
UniqueHandle<HookTraits> g_hook;

class ExclusiveLock {
 public:
  ExclusiveLock() { AcquireSRWLockExclusive(&g_lock); }
  ~ExclusiveLock() { ReleaseSRWLockExclusive(&g_lock); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
};

class SharedLock {
 public:
  SharedLock() { AcquireSRWLockShared(&g_lock); }
  ~SharedLock() { ReleaseSRWLockShared(&g_lock); }
  SharedLock(const SharedLock&) = delete;
  SharedLock& operator=(const SharedLock&) = delete;
};

// Call with the lock held.
void Publish() {
  if (tapline::SharedBlock* block = tapline::UsableSharedBlock()) tapline::WriteConfig(*block, g_config);
}

void ClearOwner() {
  g_config.ownerWindow = 0;
  g_config.ownerProcessId = 0;
}

}  // namespace

bool Tapline::setHook(HWND window) {
  ExclusiveLock lock;
  g_hook.Reset();
  ClearOwner();
  tapline::SharedBlock* block = tapline::UsableSharedBlock();
  DWORD processId = 0;
  if (!block || !window || !GetWindowThreadProcessId(window, &processId)) {
    Publish();
    return false;
  }
  static const char* const kNames[4] = {KANASIFT_MSG_KEYDOWN, KANASIFT_MSG_KEYDOWN_CTRL, KANASIFT_MSG_KEYDOWN_ALT,
                                        KANASIFT_MSG_KEYDOWN_CTRL_ALT};
  for (int i = 0; i < 4; ++i) g_config.keyDownMessages[i] = RegisterWindowMessageA(kNames[i]);
  g_config.ownerWindow = reinterpret_cast<std::uintptr_t>(window);
  g_config.ownerProcessId = processId;
  // Characters left over from an earlier run belong to nobody now.
  tapline::DiscardReady(block->queue);
  tapline::WriteConfig(*block, g_config);
  g_hook.Reset(SetWindowsHookExA(WH_KEYBOARD, tapline::KeyboardHookProc, tapline::DllModule(), 0));
  if (!g_hook) {
    ClearOwner();
    Publish();
    return false;
  }
  return true;
}

void Tapline::unsetHook() {
  ExclusiveLock lock;
  g_hook.Reset();
  ClearOwner();
  Publish();
}

void Tapline::setIsUse(bool isUse) {
  ExclusiveLock lock;
  g_config.isUse = isUse ? 1 : 0;
  Publish();
}

bool Tapline::isEnable() {
  SharedLock lock;
  return g_config.isEnable != 0;
}

bool Tapline::isForceEnable() {
  SharedLock lock;
  return g_config.isForceEnable != 0;
}

bool Tapline::toggleIsEnable() {
  ExclusiveLock lock;
  g_config.isEnable = g_config.isEnable ? 0 : 1;
  Publish();
  return g_config.isEnable != 0;
}

bool Tapline::toggleIsForceEnable() {
  ExclusiveLock lock;
  g_config.isForceEnable = g_config.isForceEnable ? 0 : 1;
  Publish();
  return g_config.isForceEnable != 0;
}

bool Tapline::setListViewClasses(const char* text) {
  char parsed[tapline::kClassListBytes];
  if (!tapline::ParseClassList(text, parsed, sizeof(parsed))) return false;
  ExclusiveLock lock;
  std::memcpy(g_config.listClasses, parsed, sizeof(parsed));
  Publish();
  return true;
}

bool Tapline::setTreeViewClasses(const char* text) {
  char parsed[tapline::kClassListBytes];
  if (!tapline::ParseClassList(text, parsed, sizeof(parsed))) return false;
  ExclusiveLock lock;
  std::memcpy(g_config.treeClasses, parsed, sizeof(parsed));
  Publish();
  return true;
}

bool Tapline::setTargetConditions(const char* text) {
  char parsed[tapline::kConditionBytes];
  std::uint32_t triples = 0;
  if (!tapline::ParseTargetConditions(text, parsed, sizeof(parsed), triples)) return false;
  ExclusiveLock lock;
  std::memcpy(g_config.conditions, parsed, sizeof(parsed));
  g_config.conditionCount = triples;
  Publish();
  return true;
}

void Tapline::tssToNss(char* buffer) { classlist::TabSeparatedToNulSeparated(buffer); }

bool Tapline::isTargetClass(const char* className, const char* list) { return classlist::Contains(className, list); }

void Tapline::setShortcuts(const Shortcut* shortcuts) {
  if (!shortcuts) return;
  ExclusiveLock lock;
  std::memcpy(g_config.shortcuts, shortcuts, sizeof(g_config.shortcuts));
  Publish();
}

bool Tapline::setNisHeader(const char* header) {
  if (!header) return false;
  WCHAR wide[tapline::kNisHeaderUnits];
  int units = header[0] ? MultiByteToWideChar(CP_ACP, 0, header, -1, wide, tapline::kNisHeaderUnits) : 1;
  if (units <= 0) return false;  // longer than the header can be
  if (!header[0]) wide[0] = L'\0';
  ExclusiveLock lock;
  for (int i = 0; i < units; ++i) g_config.nisHeader[i] = static_cast<std::uint16_t>(wide[i]);
  Publish();
  return true;
}

int Tapline::getInputs(HWND* view, unsigned char* chars, std::uint32_t* ticks) {
  if (!view || !chars || !ticks) return -1;
  tapline::SharedBlock* block = tapline::UsableSharedBlock();
  if (!block) return -1;
  std::uint64_t batchView = 0;
  int count = tapline::TakeBatch(block->queue, GetTickCount(), batchView, chars, ticks, INPUT_BATCH_MAX);
  if (count > 0) *view = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(batchView));
  // The event coalesces signals: make sure the rest is fetched too.
  if (tapline::HasReadyKeystroke(block->queue)) {
    if (HANDLE event = tapline::InputEvent()) SetEvent(event);
  }
  return count;
}

void Tapline::expectInjectedKey(unsigned char virtualKey) {
  if (tapline::SharedBlock* block = tapline::UsableSharedBlock()) {
    tapline::ExpectInjectedKey(*block, virtualKey, GetTickCount());
  }
}

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(module);
    tapline::AttachProcess(module);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // Unloaded while the process goes on; at process exit there is nothing to tidy.
    tapline::DetachProcess();
  }
  return TRUE;
}
