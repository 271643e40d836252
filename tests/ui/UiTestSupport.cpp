#include "UiTestSupport.h"

#include "framework/MessageLoop.h"

void PumpMessages(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  MSG msg;
  for (;;) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      MessageLoop* loop = MessageLoop::ForCurrentThread();
      if (loop && loop->PreTranslateMessage(&msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (GetTickCount() - start >= milliseconds) return;
    Sleep(5);
  }
}

namespace {

LRESULT CALLBACK SolidProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

SolidWindow::SolidWindow(int x, int y, int width, int height, COLORREF color) : color_(color) {
  brush_ = CreateSolidBrush(color);
  const std::string className = "KsUiSolid" + std::to_string(color);
  WNDCLASSA wc{};
  wc.lpfnWndProc = SolidProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = brush_;
  wc.lpszClassName = className.c_str();
  RegisterClassA(&wc);
  hwnd_ = CreateWindowExA(0, className.c_str(), "view", WS_POPUP | WS_VISIBLE, x, y, width,
                          height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  UpdateWindow(hwnd_);
}

SolidWindow::~SolidWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
  // The class holds the brush: it goes with it.
  UnregisterClassA(("KsUiSolid" + std::to_string(color_)).c_str(), GetModuleHandleA(nullptr));
  if (brush_) DeleteObject(brush_);
}

OwnerWindow::OwnerWindow(std::vector<UINT> resultMessages)
    : resultMessages_(std::move(resultMessages)) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "KsUiTestOwner";
  RegisterClassA(&wc);
  hwnd_ = CreateWindowExA(0, "KsUiTestOwner", "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleA(nullptr),
                          this);
}

OwnerWindow::~OwnerWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
}

LRESULT CALLBACK OwnerWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<OwnerWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self) {
    if (message == WM_TIMER && self->onTimer) {
      self->onTimer(wParam);
      return 0;
    }
    for (UINT resultMessage : self->resultMessages_) {
      if (message == resultMessage && resultMessage != 0) {
        self->received_.push_back({message, reinterpret_cast<const char*>(lParam)});
        return 0;
      }
    }
    if (message == WM_NCDESTROY) self->hwnd_ = nullptr;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void PressKey(WORD virtualKey, bool shift) {
  std::vector<INPUT> inputs;
  auto key = [&](WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(input);
  };
  if (shift) key(VK_SHIFT, false);
  key(virtualKey, false);
  key(virtualKey, true);
  if (shift) key(VK_SHIFT, true);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  PumpMessages(30);
}

void TypeText(const std::string& text) {
  for (char c : text) {
    if (c >= 'a' && c <= 'z') {
      PressKey(static_cast<WORD>(c - 'a' + 'A'));
    } else if (c >= 'A' && c <= 'Z') {
      PressKey(static_cast<WORD>(c), true);
    } else if (c >= '0' && c <= '9') {
      PressKey(static_cast<WORD>(c));
    }
  }
}

std::wstring WindowTextW(HWND hwnd) {
  wchar_t buffer[512] = {};
  GetWindowTextW(hwnd, buffer, 512);
  return buffer;
}
