// What one copy of Tapline.dll keeps for its own process: its module handle, its view of
// the shared block, and the input event once opened.
#pragma once

#include <windows.h>

#include "tapline/SharedLayout.h"

namespace tapline {

// Called from DllMain.
void AttachProcess(HINSTANCE module);
void DetachProcess();

HINSTANCE DllModule();

// The shared block, or null when it could not be mapped or does not match this build.
SharedBlock* UsableSharedBlock();

// "Kanasift::InputEvent", opened on first use and kept; null while it does not exist.
HANDLE InputEvent();

}  // namespace tapline
