// What one copy of Tapline.dll keeps for its own process: its module handle, its view of
// the shared block and its entry among the served processes. The blocks' names carry the
// integrity level of the process, and a block that someone else made is never used.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/Win32Handles.h"
#include "tapline/ServedProcesses.h"
#include "tapline/SharedLayout.h"

namespace tapline {

// Called from DllMain.
void AttachProcess(HINSTANCE module);
void DetachProcess();

HINSTANCE DllModule();

// The shared block, or null when it could not be mapped or does not match this build.
SharedBlock* UsableSharedBlock();

// The list of processes that have the library loaded, or null when it could not be
// mapped or does not match this build.
ServedBlock* UsableServedBlock();

// "Kanasift::InputEvent", opened afresh for each use and closed after it, so that it
// exists only while Kanasift holds it; null when it does not exist or is not Kanasift's.
UniqueKernelHandle OpenInputEvent();

// For ClearEndedProcesses: false only when the process is known to be gone or replaced.
bool ProcessStillRuns(std::uint32_t processId, std::uint64_t created, void* context);

}  // namespace tapline
