// What another process holds, measured from outside it: open handles, GDI and USER
// objects, and memory.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace reliability {

struct ProcessUsage {
  bool ok = false;
  // Open handle values, found by duplicating each possible value (GetProcessHandleCount
  // answers 0 under Wine).
  std::uint32_t handles = 0;
  // GetGuiResources; Wine answers 0 for both.
  std::uint32_t gdiObjects = 0;
  std::uint32_t userObjects = 0;
  std::uint64_t workingSet = 0;
  std::uint64_t pagefileUsage = 0;
  // Committed private memory, summed over the address space (VirtualQueryEx).
  std::uint64_t committedPrivate = 0;
};

ProcessUsage MeasureProcess(DWORD pid);
std::string Describe(const ProcessUsage& usage);

}  // namespace reliability
