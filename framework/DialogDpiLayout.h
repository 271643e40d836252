// A dialog laid out again when it moves to a monitor of another DPI (WM_DPICHANGED):
// the window takes the rectangle the system suggests, and every child its rectangle and
// font as created, scaled from the DPI the dialog was created at. Scaling from the
// creation layout each time (never from the last one) lets no rounding error build up:
// back at the first DPI the dialog is exactly as created. The dialog manager of Windows
// 10 1703 and later would scale the dialog by itself; that is switched off, so that every
// system lays the dialog out alike.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/Win32Handles.h"

class DialogDpiLayout {
 public:
  // Takes the layout of `dialog` as it is now (call from WM_INITDIALOG): the direct
  // children's rectangles (a combo box's with its drop-down list) and the dialog's font,
  // at the dialog's DPI now.
  void Capture(HWND dialog);
  // WM_DPICHANGED: lays the dialog out at `dpi`; `suggested` is the window rectangle the
  // system proposes (lParam), or null to keep the window's rectangle. The window is sized
  // last, with dpi() already at the new DPI, so that a resizable dialog that places its
  // children itself on WM_SIZE places them for the new DPI.
  void Apply(UINT dpi, const RECT* suggested);

  // The DPI the dialog is laid out for now (0 before Capture).
  UINT dpi() const { return dpi_; }

 private:
  struct Child {
    HWND window;
    RECT rect;  // in the dialog's client coordinates, at the creation DPI
  };

  HWND dialog_ = nullptr;
  UINT createdDpi_ = 0;
  UINT dpi_ = 0;
  std::vector<Child> children_;
  HFONT createdFont_ = nullptr;  // the dialog manager's font, owned by the dialog
  LOGFONTW font_{};
  UniqueGdiObject scaledFont_;   // the font at another DPI than the creation DPI
};
