// The input tooltip: one tracking tooltip control beside the matched item that shows the
// typed text and the matched part of the name, and the bar along its bottom edge that
// counts the input's permissible interval down. Owned by the main frame; its two timers
// run on the owner window, whose WM_TIMER handler hands them to OnTimer. UI thread only.
//
// Its font, the padding around the text and the bar's height follow the DPI of the
// monitor that shows the tip; the item's rectangle, which comes from a view that may work
// at another DPI than this program, is converted with the view's DPI.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Win32Handles.h"
#include "search/SearchState.h"
#include "settings/AppSettings.h"
#include "ui/AnimationBar.h"
#include "view/ViewAccess.h"

class InputTooltip {
 public:
  // Timers on the owner window.
  static constexpr UINT_PTR kTooltipTimerId = 1;    // hides the tip after ToolTipAliveTime
  static constexpr UINT_PTR kAnimationTimerId = 2;  // one bar frame per TooltipAnimationInterval

  using TickSource = std::function<std::uint32_t()>;

  // `tickSource` is the clock the bar compares lastInputTick with (GetTickCount).
  explicit InputTooltip(TickSource tickSource = nullptr);
  ~InputTooltip();
  InputTooltip(const InputTooltip&) = delete;
  InputTooltip& operator=(const InputTooltip&) = delete;

  // Creates the control (hidden, topmost) owned by `owner` and registers its one tool.
  // Call after the common controls (ICC_BAR_CLASSES) are initialised. False when the
  // control could not be created; every later call then does nothing visible.
  bool Create(HWND owner, HINSTANCE instance);

  // Shows or refreshes the tip after a search step: text "input : matched" (input alone
  // when `matchedText` is null or empty); moved beside `itemRect` (client coordinates of
  // input.targetView) only while input.isMatching; both timers restarted. Does nothing
  // when settings.isUseTooltip is off.
  void ShowInputTooltip(const ItemRect& itemRect, const char* matchedText,
                        const InputState& input, const AppSettings& settings);
  // Hides the tip and stops both timers.
  void HideInputTooltip();
  // Paints one frame of the bar; `reset` starts a new show.
  void DrawAnimationBar(bool reset, std::uint32_t lastInputTick, const AppSettings& settings);
  // Stops the bar at once (the animation was switched off); the last frame stays.
  void StopAnimation();

  // The owner's WM_TIMER: true when `id` was one of the two tooltip timers.
  bool OnTimer(UINT_PTR id, std::uint32_t lastInputTick, const AppSettings& settings);

  HWND window() const { return tooltip_; }
  bool barExpired() const { return bar_.barExpired(); }
  // The DPI the tip's font, padding and bar are set for (0 before the first show).
  UINT dpi() const { return dpi_; }

  // The padding around the text at 96 DPI, in pixels: the control's own inner margin.
  static constexpr int kTextPadding = 2;

 private:
  // Sets the font (the system's tooltip font), the padding and the bar for `dpi`.
  void UseDpi(UINT dpi);
  TickSource tickSource_;
  HWND owner_ = nullptr;
  // Destroyed with its owner window; the destructor destroys it only if it still exists.
  HWND tooltip_ = nullptr;
  TOOLINFOA toolInfo_{};
  std::string text_;  // the text last handed to the control
  AnimationBar bar_;
  UINT dpi_ = 0;
  UniqueGdiObject font_;  // the font the control uses, for dpi_
};
