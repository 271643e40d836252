#include "framework/ModelessDialog.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "UiTestSupport.h"
#include "ui/InputDialogIds.h"

namespace {

class ThrowingDialog : public ModelessDialog {
 public:
  int commands = 0;
  bool destroyed = false;

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) override {
    if (message == WM_INITDIALOG) {
      result = FALSE;
      return true;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
      ++commands;
      throw std::runtime_error("handler failed");
    }
    return false;
  }
  void OnDestroyWindow() override { destroyed = true; }
};

}  // namespace

TEST(ModelessDialog, ExceptionsStayInsideTheDialogProcedure) {
  ThrowingDialog dialog;
  ASSERT_TRUE(dialog.Create(GetModuleHandleA(nullptr), IDD_INPUT_DIALOG, nullptr));
  SendMessageA(dialog.window(), WM_COMMAND, IDOK, 0);
  SendMessageA(dialog.window(), WM_COMMAND, IDOK, 0);
  EXPECT_EQ(dialog.commands, 2);
  EXPECT_TRUE(IsWindow(dialog.window()));
  HWND window = dialog.window();
  dialog.Destroy();
  EXPECT_TRUE(dialog.destroyed);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(dialog.window(), nullptr);
}

TEST(ModelessDialog, CentredRectStaysInsideTheWorkArea) {
  const RECT work{0, 0, 1024, 738};
  // Centred on the work area.
  RECT r = ModelessDialog::CenteredRect({0, 0, 300, 100}, work, work);
  EXPECT_EQ(r.left, 362);
  EXPECT_EQ(r.top, 319);
  EXPECT_EQ(r.right - r.left, 300);
  // Over an owner near the right edge: pushed back inside.
  r = ModelessDialog::CenteredRect({0, 0, 300, 100}, {900, 0, 1000, 50}, work);
  EXPECT_EQ(r.right, 1024);
  EXPECT_EQ(r.top, 0);
  // Larger than the work area: the top-left corner stays visible.
  r = ModelessDialog::CenteredRect({0, 0, 2000, 1000}, work, work);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
}
