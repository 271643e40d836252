// The input state that typing builds and the search step reads, and the few ways in
// which the search path talks to the user. Everything here is touched by the UI
// thread only (see docs/ARCHITECTURE.md, "Threads").
#pragma once

#include <cstdint>
#include <string>

#include "view/ViewAccess.h"

struct InputState {
  std::string inputText;            // the typed input, bytes of the ANSI code page
  std::uint32_t lastInputTick = 0;  // tick count of the last change of the input
  // The input has ended (a key, a dialog search): the next typed character starts a new
  // one whatever its time stamp. A tick count alone cannot say so: set to a moment in the
  // past, it reads as recent again once the system's tick count passes 2^31 (after
  // 24.9 days), across the 32-bit wrap-around.
  bool inputEnded = true;
  // Counts the inputs: each new one (a run-out, a dialog search) gets the next number.
  // A pattern serves only the input it was built for.
  std::uint32_t inputSerial = 0;
  ViewHandle targetView = 0;        // the view the input goes to
  ViewHandle previousTargetView = 0;
  bool isMatching = true;           // cleared by an expanded search that found nothing
  bool lastSearchFound = false;     // the last search step found a candidate
};

// Copies of the settings that pattern building and matching read.
struct SearchOptions {
  int kanafyLength = 3;
  bool isUsePartialMatch = false;
};

// Message-box styles used on the search path (values of the Windows constants).
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbIconWarning = 0x30;
constexpr unsigned kMbTopmost = 0x40000;
constexpr unsigned kMbIconError = 0x10;

// What the search path shows or plays to the user.
class UserNotifier {
 public:
  virtual ~UserNotifier() = default;
  virtual void Beep() = 0;  // MessageBeep(0)
  // A modal message box owned by `owner` (a view of another process, or 0).
  virtual void ShowMessage(ViewHandle owner, const std::string& text, const std::string& title,
                           unsigned style) = 0;
};
