#include "framework/Dpi.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace dpi {
namespace {

constexpr int kMonitorEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
constexpr UINT kDialogDisableAll = 1;    // DDC_DISABLE_ALL

// The interfaces of later Windows versions, looked up once.
struct Interfaces {
  UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
  UINT(WINAPI* getDpiForSystem)() = nullptr;
  int(WINAPI* getSystemMetricsForDpi)(int, UINT) = nullptr;
  BOOL(WINAPI* systemParametersInfoForDpi)(UINT, UINT, void*, UINT, UINT) = nullptr;
  DPI_AWARENESS_CONTEXT(WINAPI* setThreadDpiAwarenessContext)(DPI_AWARENESS_CONTEXT) = nullptr;
  BOOL(WINAPI* setDialogDpiChangeBehavior)(HWND, UINT, UINT) = nullptr;
  HRESULT(WINAPI* getDpiForMonitor)(HMONITOR, int, UINT*, UINT*) = nullptr;

  Interfaces() {
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
      Find(user32, "GetDpiForWindow", getDpiForWindow);
      Find(user32, "GetDpiForSystem", getDpiForSystem);
      Find(user32, "GetSystemMetricsForDpi", getSystemMetricsForDpi);
      Find(user32, "SystemParametersInfoForDpi", systemParametersInfoForDpi);
      Find(user32, "SetThreadDpiAwarenessContext", setThreadDpiAwarenessContext);
      Find(user32, "SetDialogDpiChangeBehavior", setDialogDpiChangeBehavior);
    }
    // Windows 8.1 and later; only from the system folder. Kept loaded for the process.
    if (HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
      Find(shcore, "GetDpiForMonitor", getDpiForMonitor);
    }
  }

  template <typename Function>
  static void Find(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
};

const Interfaces& Api() {
  static const Interfaces interfaces;
  return interfaces;
}

UINT Valid(UINT value) { return value != 0 ? value : System(); }

}  // namespace

int Convert(int value, UINT fromDpi, UINT toDpi) {
  if (fromDpi == 0 || fromDpi == toDpi) return value;
  const std::int64_t product = std::int64_t{value} * toDpi;
  const std::int64_t half = fromDpi / 2;
  const std::int64_t rounded = product >= 0 ? (product + half) / fromDpi : (product - half) / fromDpi;
  constexpr std::int64_t lo = std::numeric_limits<int>::min();
  constexpr std::int64_t hi = std::numeric_limits<int>::max();
  return static_cast<int>(std::clamp(rounded, lo, hi));
}

UINT System() {
  if (Api().getDpiForSystem) {
    if (UINT value = Api().getDpiForSystem()) return value;
  }
  HDC screen = GetDC(nullptr);
  const int value = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return value > 0 ? static_cast<UINT>(value) : kDefault;
}

bool KnowsWindowDpi() { return Api().getDpiForWindow != nullptr; }

UINT ForWindow(HWND window) {
  if (Api().getDpiForWindow && window) return Valid(Api().getDpiForWindow(window));
  return System();
}

UINT ForMonitor(HMONITOR monitor) {
  UINT x = 0;
  UINT y = 0;
  if (Api().getDpiForMonitor && monitor &&
      SUCCEEDED(Api().getDpiForMonitor(monitor, kMonitorEffectiveDpi, &x, &y))) {
    return Valid(y);
  }
  return System();
}

UINT ForPoint(POINT point) { return ForMonitor(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST)); }

int SystemMetric(int index, UINT dpi) {
  if (Api().getSystemMetricsForDpi) return Api().getSystemMetricsForDpi(index, dpi);
  return Convert(GetSystemMetrics(index), System(), dpi);
}

bool NonClientMetrics(UINT dpi, NONCLIENTMETRICSW& metrics) {
  metrics = NONCLIENTMETRICSW{};
  metrics.cbSize = sizeof(metrics);
  if (Api().systemParametersInfoForDpi &&
      Api().systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
    return true;
  }
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return false;
  // The system's figures are those of the system DPI.
  const UINT from = System();
  for (LOGFONTW* font : {&metrics.lfCaptionFont, &metrics.lfSmCaptionFont, &metrics.lfMenuFont,
                         &metrics.lfStatusFont, &metrics.lfMessageFont}) {
    font->lfHeight = Convert(font->lfHeight, from, dpi);
  }
  for (int* size : {&metrics.iBorderWidth, &metrics.iScrollWidth, &metrics.iScrollHeight,
                    &metrics.iCaptionWidth, &metrics.iCaptionHeight, &metrics.iSmCaptionWidth,
                    &metrics.iSmCaptionHeight, &metrics.iMenuWidth, &metrics.iMenuHeight,
                    &metrics.iPaddedBorderWidth}) {
    *size = Convert(*size, from, dpi);
  }
  return true;
}

UniqueGdiObject ScaledFont(const LOGFONTW& font, UINT fromDpi, UINT toDpi) {
  LOGFONTW scaled = font;
  scaled.lfHeight = Convert(font.lfHeight, fromDpi, toDpi);
  scaled.lfWidth = Convert(font.lfWidth, fromDpi, toDpi);
  return UniqueGdiObject(CreateFontIndirectW(&scaled));
}

bool DisableDialogAutoScaling(HWND dialog) {
  if (!Api().setDialogDpiChangeBehavior || !dialog) return false;
  return Api().setDialogDpiChangeBehavior(dialog, kDialogDisableAll, kDialogDisableAll) != FALSE;
}

ScopedThreadAwareness::ScopedThreadAwareness(DPI_AWARENESS_CONTEXT context) {
  if (Api().setThreadDpiAwarenessContext) previous_ = Api().setThreadDpiAwarenessContext(context);
}

ScopedThreadAwareness::~ScopedThreadAwareness() {
  if (previous_) Api().setThreadDpiAwarenessContext(previous_);
}

}  // namespace dpi
