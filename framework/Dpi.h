// Pixels that follow the DPI of the monitor that shows them. The programs declare
// per-monitor DPI awareness (v2, with the per-monitor fallback) in their manifests, so
// the system no longer scales what they draw: every pixel figure meant for 96 DPI is
// scaled here. The interfaces that tell a window's or a monitor's DPI came with later
// Windows versions; they are looked up at run time, and where one is missing (Windows 7,
// 8.1) the answer falls back on the system DPI, so the programs still start there.
#pragma once

#include <windows.h>

#include "platform/Win32Handles.h"

namespace dpi {

constexpr UINT kDefault = 96;  // the DPI that every unscaled pixel figure is meant for

// `value`, meant for `fromDpi`, at `toDpi`; rounded to the nearest pixel (halves away
// from zero) and kept within the int range, whatever the values.
int Convert(int value, UINT fromDpi, UINT toDpi);
// A figure meant for 96 DPI at `dpi`.
inline int Scale(int value, UINT dpi) { return Convert(value, kDefault, dpi); }

// The system DPI: that of the primary monitor when the user signed in.
UINT System();
// The DPI a window works in: its monitor's for a per-monitor aware window, the system's
// for a system-aware one, 96 for an unaware one (the system scales it). The system DPI
// where the system cannot tell (before Windows 10 1607).
UINT ForWindow(HWND window);
// Whether ForWindow knows the window's own DPI (false before Windows 10 1607).
bool KnowsWindowDpi();
// The effective DPI of a monitor; the system DPI before Windows 8.1.
UINT ForMonitor(HMONITOR monitor);
// The DPI of the monitor nearest to a point in screen coordinates.
UINT ForPoint(POINT point);

// GetSystemMetrics at `dpi` (metrics of sizes scale from the system DPI where the system
// cannot give them for another DPI).
int SystemMetric(int index, UINT dpi);
// The fonts and sizes of the non-client area at `dpi`. False when the system gave none.
bool NonClientMetrics(UINT dpi, NONCLIENTMETRICSW& metrics);
// A font like `font` whose height, meant for `fromDpi`, is scaled to `toDpi`.
UniqueGdiObject ScaledFont(const LOGFONTW& font, UINT fromDpi, UINT toDpi);

// Switches the dialog manager's own scaling of a dialog on DPI changes off (Windows 10
// 1703 and later have one), for a dialog that lays itself out again. False where the
// system has none.
bool DisableDialogAutoScaling(HWND dialog);

// For the length of a scope, the calling thread works in another DPI awareness (one of
// the DPI_AWARENESS_CONTEXT values): windows it creates take it, and coordinates it
// reads are those of that awareness. Does nothing before Windows 10 1607.
class ScopedThreadAwareness {
 public:
  explicit ScopedThreadAwareness(DPI_AWARENESS_CONTEXT context);
  ~ScopedThreadAwareness();
  ScopedThreadAwareness(const ScopedThreadAwareness&) = delete;
  ScopedThreadAwareness& operator=(const ScopedThreadAwareness&) = delete;
  // False when the awareness could not be switched.
  bool switched() const { return previous_ != nullptr; }

 private:
  DPI_AWARENESS_CONTEXT previous_ = nullptr;
};

}  // namespace dpi
