#include "tapline/DllState.h"

#include "platform/OwnObjects.h"
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

// A block of Kanasift's and its hooks' own: made with our security, or an existing one
// that is ours (platform/OwnObjects.h); one of another's making is never used.
bool MapOwnBlock(const char* baseName, std::uint32_t size, UniqueKernelHandle& mapping, UniqueMappedView& view,
                 SIZE_T& mappedSize, bool& created) {
  char name[128];
  if (!ownobj::LevelQualifiedName(baseName, name, sizeof(name))) return false;
  mapping.Reset(ownobj::CreateOwnMapping(name, size, created));
  if (!mapping) return false;
  view.Reset(MapViewOfFile(mapping.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
  if (!view) return false;
  MEMORY_BASIC_INFORMATION info;
  mappedSize = VirtualQuery(view.Get(), &info, sizeof(info)) ? info.RegionSize : 0;
  return true;
}

void MapSharedBlock() {
  bool created = false;
  if (!MapOwnBlock(SharedBlockName(), static_cast<std::uint32_t>(sizeof(SharedBlock)), g_mapping, g_view, g_viewSize,
                   created)) {
    return;
  }
  if (created && g_viewSize >= sizeof(SharedBlock)) InitSharedBlock(*static_cast<SharedBlock*>(g_view.Get()));
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
  bool created = false;
  if (!MapOwnBlock(ServedBlockName(), static_cast<std::uint32_t>(sizeof(ServedBlock)), g_servedMapping, g_servedView,
                   g_servedSize, created)) {
    return;
  }
  if (created && g_servedSize >= sizeof(ServedBlock)) InitServedBlock(*static_cast<ServedBlock*>(g_servedView.Get()));
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

UniqueKernelHandle OpenInputEvent() {
  return UniqueKernelHandle(ownobj::OpenOwnEvent(KANASIFT_INPUT_EVENT, EVENT_MODIFY_STATE));
}

}  // namespace tapline
