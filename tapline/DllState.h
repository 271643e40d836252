// What one copy of Tapline.dll keeps for its own process: its module handle, its view of
// the shared block, its entry among the served processes, and the input event once
// opened.
#pragma once

#include <windows.h>

#include <cstdint>

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

// "Kanasift::InputEvent", opened on first use and kept; null while it does not exist.
HANDLE InputEvent();

// For ClearEndedProcesses: false only when the process is known to be gone or replaced.
bool ProcessStillRuns(std::uint32_t processId, std::uint64_t created, void* context);

}  // namespace tapline
