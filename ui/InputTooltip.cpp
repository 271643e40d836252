#include "ui/InputTooltip.h"

#include <algorithm>

#include "framework/Dpi.h"
#include "platform/Platform.h"
#include "ui/TooltipLayout.h"

namespace {

// A timer period from a setting: a negative value would become a period of weeks.
UINT TimerPeriod(std::int32_t milliseconds) {
  return static_cast<UINT>(std::max<std::int32_t>(0, milliseconds));
}

// The screen point for the tip's top-left corner beside the item. The rectangle is in the
// view's client coordinates at the view's own DPI: a view that works at another DPI than
// its monitor's (an unaware or system-aware program, which the system scales) gives it in
// its own units, so it is converted to the monitor's pixels, in which this program works.
POINT TipScreenPoint(HWND view, const ItemRect& itemRect) {
  const TipPoint tip = TooltipPosition(itemRect);
  POINT point{tip.x, tip.y};
  if (dpi::KnowsWindowDpi()) {
    const UINT viewDpi = dpi::ForWindow(view);
    const UINT monitorDpi = dpi::ForMonitor(MonitorFromWindow(view, MONITOR_DEFAULTTONEAREST));
    point.x = dpi::Convert(point.x, viewDpi, monitorDpi);
    point.y = dpi::Convert(point.y, viewDpi, monitorDpi);
  }
  ClientToScreen(view, &point);
  return point;
}

}  // namespace

InputTooltip::InputTooltip(TickSource tickSource) : tickSource_(std::move(tickSource)) {
  if (!tickSource_) tickSource_ = [] { return platform::TickCount(); };
}

InputTooltip::~InputTooltip() {
  // Normally gone with the owner window already; then the handle may not be trusted.
  if (tooltip_ && IsWindow(tooltip_) && GetWindow(tooltip_, GW_OWNER) == owner_) {
    DestroyWindow(tooltip_);
  }
}

bool InputTooltip::Create(HWND owner, HINSTANCE instance) {
  owner_ = owner;
  tooltip_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner,
                             nullptr, instance, nullptr);
  if (!tooltip_) return false;
  SetWindowPos(tooltip_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  // The size without the trailing reserved pointer, which older controls reject.
  toolInfo_.cbSize = TTTOOLINFOA_V2_SIZE;
  toolInfo_.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&toolInfo_));
  return true;
}

void InputTooltip::ShowInputTooltip(const ItemRect& itemRect, const char* matchedText,
                                    const InputState& input, const AppSettings& settings) {
  if (!settings.isUseTooltip) return;

  // Where the tip will stand decides its DPI, and the font must be set before the text
  // so that the control sizes the tip by it.
  POINT point{};
  if (input.isMatching) {
    point = TipScreenPoint(reinterpret_cast<HWND>(input.targetView), itemRect);
    UseDpi(dpi::ForPoint(point));
  } else if (tooltip_) {
    UseDpi(dpi::ForMonitor(MonitorFromWindow(tooltip_, MONITOR_DEFAULTTONEAREST)));
  }

  text_ = TooltipText(input.inputText, matchedText);
  toolInfo_.lpszText = text_.data();  // the control keeps its own copy
  SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&toolInfo_));

  if (input.isMatching) {
    SendMessageA(tooltip_, TTM_TRACKPOSITION, 0, MAKELPARAM(point.x, point.y));
  }

  SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
  SendMessageA(tooltip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&toolInfo_));
  // Above Explorer, without taking the focus.
  SetWindowPos(tooltip_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);

  if (settings.isAnimateTooltip) {
    KillTimer(owner_, kAnimationTimerId);
    // Let the control repaint its new text first, or that paint would wipe the first frame.
    UpdateWindow(tooltip_);
    DrawAnimationBar(true, input.lastInputTick, settings);
    SetTimer(owner_, kAnimationTimerId, TimerPeriod(settings.tooltipAnimationInterval), nullptr);
  }
  KillTimer(owner_, kTooltipTimerId);
  SetTimer(owner_, kTooltipTimerId, TimerPeriod(settings.toolTipAliveTime), nullptr);
}

void InputTooltip::HideInputTooltip() {
  SendMessageA(tooltip_, TTM_ACTIVATE, FALSE, 0);
  // Not every tooltip control hides a tracking tip on deactivation (Wine's does not);
  // ending the tracking hides it everywhere. The next show starts it again.
  SendMessageA(tooltip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&toolInfo_));
  KillTimer(owner_, kAnimationTimerId);
  KillTimer(owner_, kTooltipTimerId);
}

void InputTooltip::StopAnimation() { KillTimer(owner_, kAnimationTimerId); }

void InputTooltip::UseDpi(UINT dpi) {
  if (dpi == dpi_ || !tooltip_) return;
  NONCLIENTMETRICSW metrics{};
  if (!dpi::NonClientMetrics(dpi, metrics)) return;
  // Tooltip controls draw in the status font of the non-client metrics.
  UniqueGdiObject font(CreateFontIndirectW(&metrics.lfStatusFont));
  if (!font) return;
  SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
  font_ = std::move(font);  // the control no longer uses the previous one
  // The control's own inner margin stays at its pixels: the margin added to it makes the
  // whole padding grow with the DPI (none at 96 DPI).
  const int extra = std::max(0, dpi::Scale(kTextPadding, dpi) - kTextPadding);
  RECT margin{extra, extra, extra, extra};
  SendMessageA(tooltip_, TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
  dpi_ = dpi;
}

void InputTooltip::DrawAnimationBar(bool reset, std::uint32_t lastInputTick,
                                    const AppSettings& settings) {
  RECT windowRect{};
  if (tooltip_) GetWindowRect(tooltip_, &windowRect);
  // The bar's height is given for 96 DPI.
  BarSettings barSettings = BarSettings::From(settings);
  barSettings.barHeight = dpi::Scale(barSettings.barHeight, dpi_ ? dpi_ : dpi::System());
  const BarFrame frame =
      bar_.NextFrame(reset, tickSource_(), lastInputTick, barSettings,
                     windowRect.right - windowRect.left, windowRect.bottom - windowRect.top);
  if (frame.stopTimer) {
    KillTimer(owner_, kAnimationTimerId);
    return;
  }
  if (!frame.draw || !tooltip_) return;

  // The window's DC clips the band to the client area, inside the border.
  ScopedWindowDC dc(tooltip_);
  if (!dc.Get()) return;
  SetDCBrushColor(dc.Get(), frame.color);
  const RECT rect{frame.rect.left, frame.rect.top, frame.rect.right, frame.rect.bottom};
  FillRect(dc.Get(), &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

bool InputTooltip::OnTimer(UINT_PTR id, std::uint32_t lastInputTick, const AppSettings& settings) {
  switch (id) {
    case kTooltipTimerId:
      HideInputTooltip();
      return true;
    case kAnimationTimerId:
      DrawAnimationBar(false, lastInputTick, settings);
      return true;
    default:
      return false;
  }
}
