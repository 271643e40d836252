// The frame-window base with real windows: routing, creation parameter, default
// handling, exceptions stopped at the window procedure, the final message.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/FrameWindow.h"

namespace {

constexpr UINT kPing = WM_APP + 7;
constexpr UINT kThrow = WM_APP + 8;

class TestWindow : public FrameWindow {
 public:
  bool throwOnCreate = false;
  void* createParam = reinterpret_cast<void*>(-1);
  std::vector<UINT> seen;
  int finalMessages = 0;
  HWND finalWindow = nullptr;

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result, DWORD mapId) override {
    if (mapId != 0) return false;
    seen.push_back(message);
    switch (message) {
      case WM_CREATE:
        if (throwOnCreate) throw std::runtime_error("creation failed");
        createParam = reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams;
        result = 0;
        return true;
      case kPing:
        EXPECT_EQ(window, hwnd());
        result = static_cast<LRESULT>(wParam + lParam);
        return true;
      case kThrow:
        throw std::runtime_error("handler failed");
      default:
        return false;
    }
  }
  void OnFinalMessage(HWND window) override {
    ++finalMessages;
    finalWindow = window;
  }
};

const WindowClassInfo& TestClass() {
  static const WindowClassInfo info{"KanasiftFrameWindowTest", 0, 100, IDC_ARROW, COLOR_BTNFACE};
  return info;
}

TEST(FrameWindow, CreationParameterReachesWmCreateUnchanged) {
  TestWindow window;
  auto* param = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x1234501));
  HWND handle = window.Create(TestClass(), nullptr, nullptr, WS_OVERLAPPEDWINDOW, 0, param);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(window.hwnd(), handle);
  EXPECT_EQ(window.createParam, param);
  // The object saw the first messages of the window, before WM_CREATE.
  ASSERT_FALSE(window.seen.empty());
  EXPECT_NE(window.seen.front(), static_cast<UINT>(WM_CREATE));
  DestroyWindow(handle);
}

TEST(FrameWindow, RoutesHandledMessagesAndDefaultsTheRest) {
  TestWindow window;
  HWND handle = window.Create(TestClass(), nullptr, nullptr, WS_OVERLAPPEDWINDOW, 0, nullptr);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(SendMessageA(handle, kPing, 40, 2), 42);
  // Unhandled: DefWindowProcA keeps the text.
  ASSERT_TRUE(SetWindowTextA(handle, "Kanasift test"));
  char text[64] = {};
  GetWindowTextA(handle, text, sizeof(text));
  EXPECT_STREQ(text, "Kanasift test");
  DestroyWindow(handle);
}

TEST(FrameWindow, ExceptionsStopAtTheWindowProcedure) {
  TestWindow window;
  HWND handle = window.Create(TestClass(), nullptr, nullptr, WS_OVERLAPPEDWINDOW, 0, nullptr);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(SendMessageA(handle, kThrow, 0, 0), 0);
  // The window still works afterwards.
  EXPECT_EQ(SendMessageA(handle, kPing, 1, 2), 3);
  DestroyWindow(handle);
}

TEST(FrameWindow, AThrowingCreationHandlerFailsTheCreation) {
  TestWindow window;
  window.throwOnCreate = true;
  EXPECT_EQ(window.Create(TestClass(), nullptr, nullptr, WS_OVERLAPPEDWINDOW, 0, nullptr), nullptr);
  EXPECT_EQ(window.hwnd(), nullptr);
  EXPECT_EQ(window.finalMessages, 1);
}

TEST(FrameWindow, FinalMessageDetachesTheObject) {
  TestWindow window;
  HWND handle = window.Create(TestClass(), nullptr, nullptr, WS_OVERLAPPEDWINDOW, 0, nullptr);
  ASSERT_NE(handle, nullptr);
  DestroyWindow(handle);
  EXPECT_EQ(window.finalMessages, 1);
  EXPECT_EQ(window.finalWindow, handle);
  EXPECT_EQ(window.hwnd(), nullptr);
  // One window per object at a time; a new one after the old one is gone.
  HWND again = window.Create(TestClass(), nullptr, nullptr, WS_OVERLAPPEDWINDOW, 0, nullptr);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(window.Create(TestClass(), nullptr, nullptr, WS_OVERLAPPEDWINDOW, 0, nullptr), nullptr);
  DestroyWindow(again);
}

TEST(FrameWindow, DestroyingTheObjectDestroysItsWindow) {
  HWND handle;
  {
    TestWindow window;
    handle = window.Create(TestClass(), nullptr, nullptr, WS_OVERLAPPEDWINDOW, 0, nullptr);
    ASSERT_NE(handle, nullptr);
  }
  EXPECT_FALSE(IsWindow(handle));
}

TEST(FrameWindow, ClassIsRegisteredAsDescribed) {
  ASSERT_NE(FrameWindow::RegisterWindowClass(TestClass()), 0);
  // Registering again finds the class.
  EXPECT_NE(FrameWindow::RegisterWindowClass(TestClass()), 0);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "KanasiftFrameWindowTest", &wc));
  EXPECT_EQ(wc.style, 0u);
  EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  EXPECT_EQ(wc.hCursor, LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_NE(wc.hIcon, nullptr);  // icon 100 of this module
}

}  // namespace
