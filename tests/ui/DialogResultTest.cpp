// The dialogs' text pointer is honoured only during the dialog's own send: a message
// with the same number that is posted (and dispatched by any loop, filter or not) or
// sent from another thread never counts, whatever address it carries.
#include "ui/DialogResult.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT kResult = WM_APP + 42;
std::vector<bool> seen;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kResult) {
    seen.push_back(dialog_result::IsOwnDialogResult(lParam));  // the main frame's check
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class DialogResultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    seen.clear();
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DialogResultTestOwner";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override { DestroyWindow(window_); }

  void DispatchPending() {
    MSG msg;
    while (PeekMessageA(&msg, window_, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }

  HWND window_ = nullptr;
};

TEST_F(DialogResultTest, TheDialogsOwnSendIsTrusted) {
  std::string text = "kai(sya)";
  {
    dialog_result::ScopedSend sending(text.c_str());
    SendMessageA(window_, kResult, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  EXPECT_EQ(seen, std::vector<bool>{true});
}

TEST_F(DialogResultTest, PostedMessagesAreNeverTrustedEvenWhileASendIsInProgress) {
  std::string text = "kai";
  // Posted before, with the same address: stale by the time it is dispatched.
  PostMessageA(window_, kResult, 0, reinterpret_cast<LPARAM>(text.c_str()));
  DispatchPending();
  // Garbage addresses dispatched by a "modal loop" inside the send.
  {
    dialog_result::ScopedSend sending(text.c_str());
    for (LPARAM garbage : {LPARAM{1}, LPARAM{0x1000}, static_cast<LPARAM>(-1)}) {
      PostMessageA(window_, kResult, 0, garbage);
    }
    DispatchPending();
  }
  EXPECT_EQ(seen, (std::vector<bool>{false, false, false, false}));
}

TEST_F(DialogResultTest, ASendFromAnotherThreadIsNotTrusted) {
  std::string text = "kai";
  dialog_result::ScopedSend sending(text.c_str());
  std::thread other([&] {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window_, kResult, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 5000, &ignored);
  });
  for (int i = 0; i < 500 && seen.empty(); ++i) {
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // takes the other thread's send
    Sleep(2);
  }
  other.join();
  EXPECT_EQ(seen, std::vector<bool>{false});
}

TEST_F(DialogResultTest, NestedSendsRestoreTheOuterText) {
  std::string outer = "outer", inner = "inner";
  dialog_result::ScopedSend first(outer.c_str());
  {
    dialog_result::ScopedSend second(inner.c_str());
    EXPECT_TRUE(dialog_result::IsTextBeingSent(reinterpret_cast<LPARAM>(inner.c_str())));
    EXPECT_FALSE(dialog_result::IsTextBeingSent(reinterpret_cast<LPARAM>(outer.c_str())));
  }
  EXPECT_TRUE(dialog_result::IsTextBeingSent(reinterpret_cast<LPARAM>(outer.c_str())));
  EXPECT_FALSE(dialog_result::IsTextBeingSent(0));
}

}  // namespace
