// The tray icon against the desktop's real notification area.
#include <gtest/gtest.h>

#include <string>

#include "app/TrayIcon.h"
#include "framework/Dpi.h"

namespace {

class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExA(0, "STATIC", "tray owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    icon_ = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION
  }
  void TearDown() override {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window_;
    Shell_NotifyIconA(NIM_DELETE, &data);
    DestroyWindow(window_);
  }
  // Whether the shell knows an icon of (window, 0): a modify that changes nothing.
  bool ShellHasIcon() {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window_;
    return Shell_NotifyIconA(NIM_MODIFY, &data) == TRUE;
  }
  HWND window_ = nullptr;
  HICON icon_ = nullptr;
};

TEST_F(TrayIconTest, NotifyDataIsTheFirstVersionRecord) {
  TrayIcon tray(window_, WM_USER, icon_, "Kanasift");
  const NOTIFYICONDATAA& d = tray.data();
#if !defined(_WIN64)
  EXPECT_EQ(d.cbSize, 88u);
#endif
  EXPECT_EQ(d.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
  EXPECT_EQ(d.hWnd, window_);
  EXPECT_EQ(d.uID, 0u);
  EXPECT_EQ(d.uFlags, 7u);
  EXPECT_EQ(d.uCallbackMessage, static_cast<UINT>(WM_USER));
  EXPECT_STREQ(d.szTip, "Kanasift");
  EXPECT_FALSE(tray.shown());
}

TEST_F(TrayIconTest, TipKeepsAtMost62Characters) {
  std::string longTip(100, 'x');
  TrayIcon tray(window_, WM_USER, icon_, longTip.c_str());
  EXPECT_EQ(std::string(tray.data().szTip), std::string(62, 'x'));
}

TEST_F(TrayIconTest, AddModifyRemoveFollowTheShell) {
  TrayIcon tray(window_, WM_USER, icon_, "Kanasift");
  EXPECT_FALSE(tray.modify());  // not in the tray yet
  EXPECT_TRUE(tray.remove());   // nothing to remove: not shown
  tray.add();
  ASSERT_TRUE(tray.shown());
  EXPECT_TRUE(ShellHasIcon());
  EXPECT_TRUE(tray.modify());
  EXPECT_TRUE(tray.remove());
  EXPECT_FALSE(tray.shown());
  EXPECT_FALSE(ShellHasIcon());
  EXPECT_FALSE(tray.modify());
}

TEST_F(TrayIconTest, AddingAnIconThatIsAlreadyThereKeepsItRemovable) {
  TrayIcon tray(window_, WM_USER, icon_, "Kanasift");
  tray.add();
  ASSERT_TRUE(tray.shown());
  tray.add();  // the shell refuses a duplicate, the icon is still there
  EXPECT_TRUE(tray.shown());
  EXPECT_TRUE(tray.remove());
  EXPECT_FALSE(ShellHasIcon());
}

TEST_F(TrayIconTest, AnIconRemovedBehindItsBackIsAddedAgain) {
  TrayIcon tray(window_, WM_USER, icon_, "Kanasift");
  tray.add();
  ASSERT_TRUE(tray.shown());
  NOTIFYICONDATAA data = tray.data();
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));  // as after a restart of the shell
  EXPECT_FALSE(tray.modify());
  tray.add();
  EXPECT_TRUE(tray.shown());
  EXPECT_TRUE(ShellHasIcon());
}

// Run by the DPI test in a prefix at 144 DPI, skipped at any other: the tray's pictures
// are loaded at the size the shell shows them at there, 24 pixels (150 %).
TEST(Dpi144, TrayPicturesHaveTheSizeTheShellShowsThemAt) {
  if (dpi::System() != 144) GTEST_SKIP() << "runs at 144 DPI only";
  ASSERT_EQ(TrayPictureSize(), 24);
  UniqueIcon icon = LoadTrayPicture(GetModuleHandleA(nullptr), 301, TrayPictureSize());
  ASSERT_TRUE(icon);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon.Get(), &info));
  BITMAP bitmap{};
  GetObjectA(info.hbmColor, sizeof(bitmap), &bitmap);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  EXPECT_EQ(bitmap.bmWidth, 24);
  EXPECT_EQ(bitmap.bmHeight, 24);
}

}  // namespace
