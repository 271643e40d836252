#include "app/TrayIcon.h"

#include "framework/Dpi.h"

// The first-version record: hWnd, uID, uFlags, uCallbackMessage, hIcon and a 64-byte tip.
#if !defined(_WIN64)
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "first-version NOTIFYICONDATAA is 88 bytes");
#endif

TrayIcon::TrayIcon(HWND window, UINT callbackMessage, HICON icon, const char* tip) : data_{} {
  data_.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data_.hWnd = window;
  data_.uID = 0;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = callbackMessage;
  data_.hIcon = icon;
  lstrcpynA(data_.szTip, tip ? tip : "", 63);
}

void TrayIcon::add() {
  if (Shell_NotifyIconA(NIM_ADD, &data_) == TRUE) {
    shown_ = true;
    return;
  }
  // The shell refuses to add an icon it already shows (a second start asks for the icon
  // while it is there): it is in the tray all the same when it can be updated. Without
  // this, shown would turn false and the icon could no longer be removed.
  shown_ = Shell_NotifyIconA(NIM_MODIFY, &data_) == TRUE;
}

bool TrayIcon::modify() { return Shell_NotifyIconA(NIM_MODIFY, &data_) == TRUE; }

bool TrayIcon::remove() {
  if (shown_ && Shell_NotifyIconA(NIM_DELETE, &data_) == TRUE) shown_ = false;
  return !shown_;
}

int TrayPictureSize() {
  const POINT origin{0, 0};
  const UINT dpi = dpi::ForMonitor(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY));
  return dpi::SystemMetric(SM_CXSMICON, dpi);
}

UniqueIcon LoadTrayPicture(HINSTANCE instance, int id, int size) {
  return UniqueIcon(static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}
