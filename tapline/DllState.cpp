#include "tapline/DllState.h"

#include <atomic>

#include "platform/Win32Handles.h"
#include "tapline/TaplineTypes.h"

namespace tapline {

namespace {

HINSTANCE g_module = nullptr;
UniqueKernelHandle g_mapping;
UniqueMappedView g_view;
SIZE_T g_viewSize = 0;

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

}  // namespace

void AttachProcess(HINSTANCE module) {
  g_module = module;
  MapSharedBlock();
}

void DetachProcess() {
  g_view.Reset();
  g_viewSize = 0;
  g_mapping.Reset();
  HANDLE event = g_inputEvent.exchange(nullptr);
  if (event) CloseHandle(event);
}

HINSTANCE DllModule() { return g_module; }

SharedBlock* UsableSharedBlock() {
  void* view = g_view.Get();
  return IsUsableBlock(view, g_viewSize) ? static_cast<SharedBlock*>(view) : nullptr;
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
