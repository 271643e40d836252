#include "framework/DialogDpiLayout.h"

#include "framework/Dpi.h"

namespace {

bool IsComboBox(HWND window) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  return lstrcmpiW(name, L"ComboBox") == 0;
}

// A child's rectangle in its parent's client coordinates; for a combo box the whole
// height it takes when its list is dropped down, which is the height it is sized by.
RECT ChildRect(HWND parent, HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  if (IsComboBox(child)) {
    RECT dropped{};
    if (SendMessageW(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped)) &&
        dropped.bottom > rect.bottom) {
      rect.bottom = dropped.bottom;
    }
  }
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

void DialogDpiLayout::Capture(HWND dialog) {
  dialog_ = dialog;
  children_.clear();
  scaledFont_.Reset();
  dpi::DisableDialogAutoScaling(dialog);
  createdDpi_ = dpi::ForWindow(dialog);
  dpi_ = createdDpi_;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    children_.push_back({child, ChildRect(dialog, child)});
  }
  createdFont_ = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  font_ = LOGFONTW{};
  if (!createdFont_ || !GetObjectW(createdFont_, sizeof(font_), &font_)) createdFont_ = nullptr;
}

void DialogDpiLayout::Apply(UINT dpi, const RECT* suggested) {
  if (!dialog_ || !IsWindow(dialog_) || dpi == 0) return;

  // The font first, so that a combo box sizes its edit field by the new font.
  UniqueGdiObject previous = std::move(scaledFont_);
  HFONT font = createdFont_;
  if (createdFont_ && dpi != createdDpi_) {
    scaledFont_ = dpi::ScaledFont(font_, createdDpi_, dpi);
    if (scaledFont_) font = static_cast<HFONT>(scaledFont_.Get());
  }
  for (const Child& child : children_) {
    if (font && IsWindow(child.window)) {
      SendMessageW(child.window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
  }
  // The children no longer use the previous font; `previous` deletes it on leaving.

  for (const Child& child : children_) {
    if (!IsWindow(child.window)) continue;
    const int left = dpi::Convert(child.rect.left, createdDpi_, dpi);
    const int top = dpi::Convert(child.rect.top, createdDpi_, dpi);
    const int right = dpi::Convert(child.rect.right, createdDpi_, dpi);
    const int bottom = dpi::Convert(child.rect.bottom, createdDpi_, dpi);
    SetWindowPos(child.window, nullptr, left, top, right - left, bottom - top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // The window last, at the new DPI already: a dialog that places its children itself on
  // WM_SIZE does so by the new DPI.
  dpi_ = dpi;
  if (suggested) {
    SetWindowPos(dialog_, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}
