#include "framework/FrameWindow.h"

#include "framework/AppModule.h"

namespace {
// The object whose window is being created on this thread, until its window procedure
// has seen the first message and attached it.
thread_local FrameWindow* creatingWindow = nullptr;
}  // namespace

FrameWindow::~FrameWindow() {
  // The window must not outlive its object: detach it so that late messages fall back
  // to the default procedure instead of reaching freed memory.
  if (window_ && IsWindow(window_)) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

ATOM FrameWindow::RegisterWindowClass(const WindowClassInfo& windowClass) {
  HINSTANCE instance = app_module::Instance();
  WNDCLASSEXA existing = {};
  existing.cbSize = sizeof(existing);
  if (ATOM atom = static_cast<ATOM>(GetClassInfoExA(instance, windowClass.className, &existing))) {
    return atom;
  }
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = windowClass.style;
  wc.lpfnWndProc = &FrameWindow::WindowProc;
  wc.hInstance = instance;
  if (windowClass.iconId != 0) {
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(windowClass.iconId));
  }
  wc.hCursor = LoadCursorA(nullptr, windowClass.cursor);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(windowClass.backgroundColor + 1));
  wc.lpszClassName = windowClass.className;
  return RegisterClassExA(&wc);
}

HWND FrameWindow::Create(const WindowClassInfo& windowClass, HWND parent, const char* title,
                         DWORD style, DWORD exStyle, void* createParam) {
  if (window_ != nullptr) return nullptr;  // one window per object
  if (RegisterWindowClass(windowClass) == 0) return nullptr;
  ncCreateSeen_ = false;
  createSeen_ = false;
  creatingWindow = this;
  HWND window = CreateWindowExA(exStyle, windowClass.className, title, style, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr,
                                app_module::Instance(), createParam);
  creatingWindow = nullptr;
  return window;
}

void FrameWindow::OnFinalMessage(HWND) {}

LRESULT FrameWindow::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window_, message, wParam, lParam);
}

LRESULT CALLBACK FrameWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<FrameWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr && creatingWindow != nullptr) {
    self = creatingWindow;
    creatingWindow = nullptr;
    self->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  return self->Dispatch(window, message, wParam, lParam);
}

LRESULT FrameWindow::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE || message == WM_CREATE) {
    // Only the window's own creation builds what the object holds; a later one would
    // build it again over the first, from a record the sender made up.
    bool& seen = message == WM_CREATE ? createSeen_ : ncCreateSeen_;
    if (seen) return message == WM_CREATE ? -1 : FALSE;
    seen = true;
  }
  LRESULT result = 0;
  try {
    if (!ProcessWindowMessage(window, message, wParam, lParam, result, 0)) {
      result = DefaultHandling(message, wParam, lParam);
    }
  } catch (...) {
    // A handler failed halfway. Creation fails cleanly; every other message counts as
    // handled so that nothing half-done is repeated by the default procedure.
    result = (message == WM_CREATE) ? -1 : (message == WM_NCCREATE ? FALSE : 0);
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    window_ = nullptr;
    try {
      OnFinalMessage(window);
    } catch (...) {
    }
  }
  return result;
}
