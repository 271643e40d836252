// The soak: thousands of characters and key notifications fed to a running Kanasift at
// its real entry points — the hook library's shared character queue with the input
// event, and the registered key messages — across two views, with every typed word
// accounted for through the tooltip's text and the views' selection.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace reliability {

struct SoakOptions {
  HWND views[2] = {nullptr, nullptr};
  int chars = 20000;        // characters to type (retyped ones after Ctrl+H included)
  int keys = 2000;          // key notifications to post
  unsigned seed = 1;
  int typingPercent = 10;   // words typed at typing speed; the rest as fast as possible
  int typingDelayMs = 15;   // between two characters at typing speed
  int reloadEvery = 40;     // words between pauses that let the dictionary be released
  int reloadPauseMs = 600;  // longer than the test's DictAliveTime
  bool pipelined = true;    // keys and the next word follow without waiting
  std::uint32_t handleGrowthMax = 12;
  std::uint64_t memoryGrowthMax = 24ull << 20;
};

// Queues `text` as typed in `view`, through the hook library's shared queue and event,
// as the hook would. False when the library's shared block or the event is missing.
bool TypeInto(HWND view, const std::string& text);

// Runs the soak against the Kanasift that owns the main window; prints progress and the
// figures. 0 when every word was accounted for and the bounds held.
int RunSoak(const SoakOptions& options);

}  // namespace reliability
