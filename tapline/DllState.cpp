#include "tapline/DllState.h"

#include <atomic>

#include "platform/Win32Handles.h"
#include "tapline/ShellViewCache.h"
#include "tapline/TaplineTypes.h"

namespace tapline {

namespace {

HINSTANCE g_module = nullptr;
UniqueKernelHandle g_mapping;
UniqueMappedView g_view;
SIZE_T g_viewSize = 0;
UniqueKernelHandle g_servedMapping;
UniqueMappedView g_servedView;
SIZE_T g_servedSize = 0;
int g_servedSlot = -1;

// Opened by whichever thread of this process needs it first; a thread that loses the
// race closes its own handle.
std::atomic<HANDLE> g_inputEvent{nullptr};

void MapSharedBlock() {
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(sizeof(SharedBlock)), SharedBlockName());
  if (!mapping) return;
  bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  g_mapping.Reset(mapping);
  void* view = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0);
  if (!view) return;
  g_view.Reset(view);
  MEMORY_BASIC_INFORMATION info;
  g_viewSize = VirtualQuery(view, &info, sizeof(info)) ? info.RegionSize : 0;
  // An object of this name made by something else may be smaller than our layout.
  if (created && g_viewSize >= sizeof(SharedBlock)) InitSharedBlock(*static_cast<SharedBlock*>(view));
}

bool CreationTime(HANDLE process, std::uint64_t& created) {
  FILETIME start, end, kernel, user;
  if (!GetProcessTimes(process, &start, &end, &kernel, &user)) return false;
  created = static_cast<std::uint64_t>(start.dwLowDateTime) | (static_cast<std::uint64_t>(start.dwHighDateTime) << 32);
  return true;
}

std::uint64_t ProcessCreationTime() {
  std::uint64_t created = 0;
  return CreationTime(GetCurrentProcess(), created) ? created : 0;
}

// Enters this process among those that have the library loaded, so that Kanasift may
// ask its views to be read from inside (ViewReadHook.h).
void EnterServedProcess() {
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(sizeof(ServedBlock)), ServedBlockName());
  if (!mapping) return;
  bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  g_servedMapping.Reset(mapping);
  void* view = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0);
  if (!view) return;
  g_servedView.Reset(view);
  MEMORY_BASIC_INFORMATION info;
  g_servedSize = VirtualQuery(view, &info, sizeof(info)) ? info.RegionSize : 0;
  if (created && g_servedSize >= sizeof(ServedBlock)) InitServedBlock(*static_cast<ServedBlock*>(view));
  if (ServedBlock* block = UsableServedBlock()) {
    g_servedSlot = AddServedProcess(*block, GetCurrentProcessId(), ProcessCreationTime(), ProcessStillRuns, nullptr);
  }
}

}  // namespace

void AttachProcess(HINSTANCE module) {
  g_module = module;
  MapSharedBlock();
  EnterServedProcess();
}

void DetachProcess() {
  if (ServedBlock* block = UsableServedBlock()) RemoveServedProcess(*block, g_servedSlot, GetCurrentProcessId());
  g_servedSlot = -1;
  g_servedView.Reset();
  g_servedSize = 0;
  g_servedMapping.Reset();
  g_view.Reset();
  g_viewSize = 0;
  g_mapping.Reset();
  HANDLE event = g_inputEvent.exchange(nullptr);
  if (event) CloseHandle(event);
  DropAllCaches();
}

HINSTANCE DllModule() { return g_module; }

bool ProcessStillRuns(std::uint32_t processId, std::uint64_t created, void*) {
  HANDLE opened = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!opened) opened = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
  if (!opened) return GetLastError() == ERROR_ACCESS_DENIED;  // one we may not look at
  UniqueKernelHandle process(opened);
  std::uint64_t actual = 0;
  DWORD exitCode = 0;
  if (!CreationTime(process.Get(), actual) || actual != created) return false;
  return !GetExitCodeProcess(process.Get(), &exitCode) || exitCode == STILL_ACTIVE;
}

SharedBlock* UsableSharedBlock() {
  void* view = g_view.Get();
  return IsUsableBlock(view, g_viewSize) ? static_cast<SharedBlock*>(view) : nullptr;
}

ServedBlock* UsableServedBlock() {
  void* view = g_servedView.Get();
  return IsUsableServedBlock(view, g_servedSize) ? static_cast<ServedBlock*>(view) : nullptr;
}

HANDLE InputEvent() {
  HANDLE event = g_inputEvent.load(std::memory_order_acquire);
  if (event) return event;
  HANDLE opened = OpenEventA(EVENT_MODIFY_STATE, FALSE, KANASIFT_INPUT_EVENT);
  if (!opened) return nullptr;
  HANDLE expected = nullptr;
  if (g_inputEvent.compare_exchange_strong(expected, opened, std::memory_order_acq_rel)) return opened;
  CloseHandle(opened);
  return expected;
}

}  // namespace tapline
