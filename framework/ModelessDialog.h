// A modeless dialog built from a dialog template. The dialog procedure hands every
// message to the object's virtual handler; no exception leaves it. The window is owned
// by the object: it is destroyed with it, or earlier with its owner window.
#pragma once

#include <windows.h>

class ModelessDialog {
 public:
  ModelessDialog() = default;
  virtual ~ModelessDialog();
  ModelessDialog(const ModelessDialog&) = delete;
  ModelessDialog& operator=(const ModelessDialog&) = delete;

  // Creates the dialog window (hidden unless the template says WS_VISIBLE) from template
  // `templateId` of `instance`, owned by `owner`. False when it could not be created.
  bool Create(HINSTANCE instance, int templateId, HWND owner);
  // Destroys the window now, if it still exists.
  void Destroy();

  HWND window() const { return window_; }

  // Centres `window` over its owner when the owner is visible and not minimised, else
  // over the desktop work area, and moves it back inside the work area where it sticks out.
  static void CenterWindow(HWND window);
  // The rectangle of that rule for a window rectangle, the rectangle to centre over and
  // the work area.
  static RECT CenteredRect(const RECT& window, const RECT& over, const RECT& workArea);

 protected:
  // One message of the dialog. Returns true when handled, with the message's result in
  // `result` (for WM_INITDIALOG: whether the system should set the focus).
  virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) = 0;
  // The window is being destroyed (WM_DESTROY), by the object or with its owner.
  virtual void OnDestroyWindow() {}

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
};
