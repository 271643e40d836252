#include "framework/ModelessDialog.h"

#include <algorithm>

namespace {

// Messages whose result is the dialog procedure's return value itself; for all others
// the result goes to DWLP_MSGRESULT and the procedure returns TRUE.
bool ReturnsResultDirectly(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_QUERYDRAGICON:
    case WM_VKEYTOITEM:
      return true;
    default:
      return false;
  }
}

}  // namespace

ModelessDialog::~ModelessDialog() { Destroy(); }

bool ModelessDialog::Create(HINSTANCE instance, int templateId, HWND owner) {
  if (window_) return true;
  CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), owner, &ModelessDialog::DialogProc,
                     reinterpret_cast<LPARAM>(this));
  return window_ != nullptr;
}

void ModelessDialog::Destroy() {
  if (window_) DestroyWindow(window_);
}

INT_PTR CALLBACK ModelessDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  ModelessDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<ModelessDialog*>(lParam);
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    if (self) self->window_ = dialog;
  } else {
    self = reinterpret_cast<ModelessDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  }
  if (!self) return FALSE;

  INT_PTR handled = FALSE;
  try {
    handled = self->Dispatch(message, wParam, lParam);
  } catch (...) {
    handled = FALSE;  // fall back on the default dialog handling
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(dialog, DWLP_USER, 0);
    self->window_ = nullptr;
  }
  return handled;
}

INT_PTR ModelessDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) OnDestroyWindow();
  INT_PTR result = 0;
  if (!HandleMessage(message, wParam, lParam, result)) return FALSE;
  if (ReturnsResultDirectly(message)) return result;
  SetWindowLongPtrA(window_, DWLP_MSGRESULT, result);
  return TRUE;
}

RECT ModelessDialog::CenteredRect(const RECT& window, const RECT& over, const RECT& workArea) {
  const LONG width = window.right - window.left;
  const LONG height = window.bottom - window.top;
  LONG left = (over.left + over.right) / 2 - width / 2;
  LONG top = (over.top + over.bottom) / 2 - height / 2;
  // Back inside the work area; a window larger than it keeps its top-left corner inside.
  left = std::max(workArea.left, std::min(left, workArea.right - width));
  top = std::max(workArea.top, std::min(top, workArea.bottom - height));
  return RECT{left, top, left + width, top + height};
}

void ModelessDialog::CenterWindow(HWND window) {
  RECT workArea{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
  RECT over = workArea;
  HWND owner = GetWindow(window, GW_OWNER);
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &over);
  RECT rect{};
  if (!GetWindowRect(window, &rect)) return;
  const RECT centred = CenteredRect(rect, over, workArea);
  SetWindowPos(window, nullptr, centred.left, centred.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
