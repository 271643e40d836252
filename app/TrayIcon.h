// The program's one notification-area icon (Shell_NotifyIconA, first-version record).
// `shown` follows the last add or remove that the shell accepted.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "platform/Win32Handles.h"

class TrayIcon {
 public:
  // The tip is copied with a limit of 63 bytes (at most 62 characters survive).
  TrayIcon(HWND window, UINT callbackMessage, HICON icon, const char* tip);
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  void setWindow(HWND window) { data_.hWnd = window; }
  void setIcon(HICON icon) { data_.hIcon = icon; }

  // NIM_ADD; shown becomes whether the icon is now in the tray (an icon that was there
  // already counts).
  void add();
  // NIM_MODIFY; true when the shell accepted it. Shown is unchanged.
  bool modify();
  // NIM_DELETE when shown; shown stays true when the shell refused. Returns !shown.
  bool remove();
  bool shown() const { return shown_; }

  const NOTIFYICONDATAA& data() const { return data_; }

 private:
  bool shown_ = false;
  NOTIFYICONDATAA data_;
};

// The size of the tray's pictures, in pixels: the small-icon size at the DPI of the primary
// monitor, whose taskbar holds the notification area.
int TrayPictureSize();
// Picture `id` of `instance` at `size` × `size`. Each picture is drawn at 16, 20, 24, 32,
// 40 and 48 pixels (100 % to 300 %), so the sizes the shell asks for are never stretched.
UniqueIcon LoadTrayPicture(HINSTANCE instance, int id, int size);
