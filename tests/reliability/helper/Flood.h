// Hostile messages from another process: registered key messages with random
// parameters, tray-menu command floods, timer floods, and the dialogs' text messages with
// garbage pointers, posted plainly and while a message box's modal loop runs.
#pragma once

#include <windows.h>

#include <vector>

namespace reliability {

struct FloodOptions {
  int rounds = 4000;  // messages of each kind
  unsigned seed = 1;
  std::vector<HWND> foreignWindows;  // windows of other processes to pass as views
};

// Floods the running Kanasift; 0 when it is still there afterwards (its window answers).
int RunFlood(const FloodOptions& options);

}  // namespace reliability
