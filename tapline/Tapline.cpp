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
#include "tapline/ServedProcesses.h"
#include "tapline/SharedLayout.h"
#include "tapline/TargetConditions.h"
#include "tapline/ViewReadHook.h"

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

// Message hooks set on views' threads for whole-view reads, a few at a time: when all
// slots are taken, the oldest hook gives way.
constexpr int kReadHookSlots = 16;
struct ReadHook {
  DWORD threadId = 0;
  DWORD processId = 0;
  UniqueHandle<HookTraits> hook;
};
ReadHook g_readHooks[kReadHookSlots];
int g_nextReadHook = 0;

// Call with the lock held.
void DropReadHooks() {
  for (auto& slot : g_readHooks) {
    slot.hook.Reset();
    slot.threadId = slot.processId = 0;
  }
  g_nextReadHook = 0;
}

bool CreationTime(HANDLE process, std::uint64_t& created) {
  FILETIME start, end, kernel, user;
  if (!GetProcessTimes(process, &start, &end, &kernel, &user)) return false;
  created = static_cast<std::uint64_t>(start.dwLowDateTime) | (static_cast<std::uint64_t>(start.dwHighDateTime) << 32);
  return true;
}

UniqueKernelHandle OpenForQuery(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
  return UniqueKernelHandle(process);
}

// The process runs and has the library loaded (its entry matches its creation time, so
// a process id given to a new process does not count).
bool IsServed(DWORD processId) {
  tapline::ServedBlock* served = tapline::UsableServedBlock();
  if (!served) return false;
  UniqueKernelHandle process = OpenForQuery(processId);
  std::uint64_t created = 0;
  return process && CreationTime(process.Get(), created) && tapline::IsServedProcess(*served, processId, created);
}

// Call with the lock held.
void Publish() {
  if (tapline::SharedBlock* block = tapline::UsableSharedBlock()) tapline::WriteConfig(*block, g_config);
}

void ClearOwner() {
  g_config.ownerWindow = 0;
  g_config.ownerProcessId = 0;
  g_config.requestKeyLow = 0;
  g_config.requestKeyHigh = 0;
}

// A key nobody else can guess, for the whole-view read requests of this hook: from the
// system's random generator (advapi32's RtlGenRandom; this runs in Kanasift's process
// only), mixed with the clock and the process in case that is missing. Never 0.
std::uint64_t FreshRequestKey() {
  using GenRandom = BOOLEAN(WINAPI*)(PVOID, ULONG);
  std::uint64_t key = 0;
  HMODULE advapi = GetModuleHandleA("advapi32.dll");
  if (!advapi) advapi = LoadLibraryA("advapi32.dll");
  if (advapi) {
    auto generate = reinterpret_cast<GenRandom>(reinterpret_cast<void*>(GetProcAddress(advapi, "SystemFunction036")));
    if (generate) generate(&key, sizeof(key));
  }
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  std::uint64_t mix = static_cast<std::uint64_t>(counter.QuadPart) ^ (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^
                      reinterpret_cast<std::uintptr_t>(&counter);
  mix ^= mix >> 31;
  mix *= 0x9E3779B97F4A7C15ull;
  key ^= mix;
  return key != 0 ? key : 0x4B53465452454144ull;
}

}  // namespace

bool Tapline::setHook(HWND window) {
  ExclusiveLock lock;
  DropReadHooks();
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
  const std::uint64_t key = FreshRequestKey();
  g_config.requestKeyLow = static_cast<std::uint32_t>(key);
  g_config.requestKeyHigh = static_cast<std::uint32_t>(key >> 32);
  // Characters left over from an earlier run belong to nobody now, and so do the
  // entries of processes that ended without unloading the library.
  tapline::DiscardReady(block->queue);
  if (tapline::ServedBlock* served = tapline::UsableServedBlock()) {
    tapline::ClearEndedProcesses(*served, tapline::ProcessStillRuns, nullptr);
  }
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
  DropReadHooks();
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

bool Tapline::setShellViewClasses(const char* text) {
  char parsed[tapline::kClassListBytes];
  if (!tapline::ParseClassList(text, parsed, sizeof(parsed))) return false;
  ExclusiveLock lock;
  std::memcpy(g_config.shellClasses, parsed, sizeof(parsed));
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
    if (UniqueKernelHandle event = tapline::OpenInputEvent()) SetEvent(event.Get());
  }
  return count;
}

bool Tapline::prepareViewRead(HWND view) {
  DWORD processId = 0;
  DWORD threadId = view ? GetWindowThreadProcessId(view, &processId) : 0;
  if (threadId == 0 || processId == GetCurrentProcessId()) return false;
  ExclusiveLock lock;
  if (!g_hook || !IsServed(processId)) return false;
  for (const auto& slot : g_readHooks) {
    if (slot.hook && slot.threadId == threadId && slot.processId == processId) return true;
  }
  HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, tapline::GetMessageHookProc, tapline::DllModule(), threadId);
  if (!hook) return false;
  ReadHook& slot = g_readHooks[g_nextReadHook];
  g_nextReadHook = (g_nextReadHook + 1) % kReadHookSlots;
  slot.hook.Reset(hook);
  slot.threadId = threadId;
  slot.processId = processId;
  return true;
}

std::uint64_t Tapline::viewReadKey() {
  SharedLock lock;
  return static_cast<std::uint64_t>(g_config.requestKeyLow) | (static_cast<std::uint64_t>(g_config.requestKeyHigh) << 32);
}

void Tapline::forgetViewRead(HWND view) {
  DWORD processId = 0;
  DWORD threadId = view ? GetWindowThreadProcessId(view, &processId) : 0;
  if (threadId == 0) return;
  ExclusiveLock lock;
  for (auto& slot : g_readHooks) {
    if (slot.threadId == threadId && slot.processId == processId) {
      slot.hook.Reset();
      slot.threadId = slot.processId = 0;
    }
  }
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
