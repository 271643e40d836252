#include "ProcessUsage.h"

#include <psapi.h>

#include <cstdio>

#include "platform/Win32Handles.h"

namespace reliability {

namespace {

std::uint32_t CountHandles(HANDLE process) {
  std::uint32_t count = 0;
  for (std::uintptr_t value = 4; value < 0x10000; value += 4) {
    HANDLE copy = nullptr;
    if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
      ++count;
      CloseHandle(copy);
    }
  }
  return count;
}

std::uint64_t CommittedPrivateBytes(HANDLE process) {
  std::uint64_t total = 0;
  MEMORY_BASIC_INFORMATION info;
  std::uintptr_t address = 0;
  while (VirtualQueryEx(process, reinterpret_cast<void*>(address), &info, sizeof(info)) == sizeof(info)) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    std::uintptr_t next = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return total;
}

}  // namespace

ProcessUsage MeasureProcess(DWORD pid) {
  ProcessUsage usage;
  UniqueKernelHandle process(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE, FALSE, pid));
  if (!process) return usage;
  usage.handles = CountHandles(process.Get());
  usage.gdiObjects = GetGuiResources(process.Get(), GR_GDIOBJECTS);
  usage.userObjects = GetGuiResources(process.Get(), GR_USEROBJECTS);
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  if (GetProcessMemoryInfo(process.Get(), &counters, sizeof(counters))) {
    usage.workingSet = counters.WorkingSetSize;
    usage.pagefileUsage = counters.PagefileUsage;
  }
  usage.committedPrivate = CommittedPrivateBytes(process.Get());
  usage.ok = true;
  return usage;
}

std::string Describe(const ProcessUsage& usage) {
  char text[256];
  std::snprintf(text, sizeof text, "handles=%u gdi=%u user=%u workingset=%llu pagefile=%llu private=%llu",
                usage.handles, usage.gdiObjects, usage.userObjects,
                static_cast<unsigned long long>(usage.workingSet),
                static_cast<unsigned long long>(usage.pagefileUsage),
                static_cast<unsigned long long>(usage.committedPrivate));
  return text;
}

}  // namespace reliability
