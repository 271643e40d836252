#include "view/ViewProcess.h"

#include "platform/Win32Handles.h"

ProcessBits ViewProcessBits(HWND view) {
  DWORD pid = 0;
  if (!IsWindow(view) || !GetWindowThreadProcessId(view, &pid) || pid == 0) return ProcessBits::Unknown;

  SYSTEM_INFO system = {};
  GetNativeSystemInfo(&system);
  if (system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL) return ProcessBits::Bits32;

  UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return ProcessBits::Unknown;
  BOOL wow64 = FALSE;
  if (!IsWow64Process(process.Get(), &wow64)) return ProcessBits::Unknown;
  return wow64 ? ProcessBits::Bits32 : ProcessBits::Bits64;
}
