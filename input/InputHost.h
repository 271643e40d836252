// Everything the typed-input logic does to the world outside its own state. The main
// frame implements it with Win32; native tests implement it with fakes and a clock.
#pragma once

#include <cstdint>
#include <string>

#include "search/SearchState.h"
#include "view/ViewAccess.h"

// Virtual keys the input logic knows.
constexpr std::uint8_t kVkBack = 0x08;
constexpr std::uint8_t kVkReturn = 0x0D;
constexpr std::uint8_t kVkEscape = 0x1B;
constexpr std::uint8_t kVkSpace = 0x20;
constexpr std::uint8_t kVkMultiply = 0x6A;
constexpr std::uint8_t kVkAdd = 0x6B;
constexpr std::uint8_t kVkSubtract = 0x6D;

class InputHost : public UserNotifier {
 public:
  // Clock and keyboard.
  virtual std::uint32_t TickCount() = 0;
  virtual bool IsShiftDown() = 0;
  // One key-down event to the focused window, marked as ours so the hook passes it.
  virtual void InjectKey(std::uint8_t virtualKey) = 0;

  // Dictionary: make sure it is loaded or loading (first key of a new input).
  virtual void EnsureDictionaryLoading() = 0;
  virtual void RestartDictReleaseTimer() = 0;

  // Tray and modes; each toggle saves the settings and updates the icon.
  virtual void UpdateTrayIcon() = 0;
  virtual void ToggleIsUse() = 0;
  virtual void ToggleIsEnable() = 0;
  virtual void ToggleIsForceEnable() = 0;
  virtual void ToggleIsUsePartialMatch() = 0;

  // Tooltip beside the matched item. `matchedText` may be null.
  virtual void ShowInputTooltip(const ItemRect& itemRect, const std::string* matchedText) = 0;
  virtual void HideInputTooltip() = 0;

  // The two input dialogs.
  virtual void ShowRegexDialog() = 0;
  virtual void ShowNisHeaderDialog() = 0;
};
