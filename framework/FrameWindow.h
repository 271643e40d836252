// A top-level window owned by a C++ object. The derived class supplies the message map
// (ProcessWindowMessage); whatever it does not handle goes to DefWindowProcA. The window
// procedure finds the object through the window's user data, attached before the first
// message (WM_GETMINMAXINFO precedes WM_NCCREATE), and catches every exception: none
// crosses into the system. A window is created once: a WM_NCCREATE or WM_CREATE after
// its first one (sent by another program) reaches neither the map nor the default
// procedure.
#pragma once

#include <windows.h>

// How the window class is registered (ANSI; registered once per module and name).
struct WindowClassInfo {
  const char* className;
  UINT style = 0;
  int iconId = 0;              // icon resource of the module, 0 for none
  LPCSTR cursor = IDC_ARROW;   // a system cursor
  int backgroundColor = COLOR_BTNFACE;  // system colour index; the brush is index + 1
};

class FrameWindow {
 public:
  FrameWindow() = default;
  virtual ~FrameWindow();
  FrameWindow(const FrameWindow&) = delete;
  FrameWindow& operator=(const FrameWindow&) = delete;

  // Registers the class (unless registered) and creates the window. `createParam`
  // reaches WM_NCCREATE/WM_CREATE unchanged as CREATESTRUCT::lpCreateParams.
  // Returns the window, or null.
  HWND Create(const WindowClassInfo& windowClass, HWND parent, const char* title, DWORD style,
              DWORD exStyle, void* createParam);

  HWND hwnd() const { return window_; }

  // The message map: true when the message was handled, with its result in `result`.
  // A non-zero `mapId` selects an alternate map; the frame has none.
  virtual bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result, DWORD mapId) = 0;

  // Called after the window's last message (WM_NCDESTROY); the object is detached by then.
  virtual void OnFinalMessage(HWND window);

  // Registers the class once for the module; returns the class atom (0 on failure).
  static ATOM RegisterWindowClass(const WindowClassInfo& windowClass);

 protected:
  // What a message gets when the map does not handle it.
  virtual LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  bool ncCreateSeen_ = false;  // this window's WM_NCCREATE and WM_CREATE have arrived
  bool createSeen_ = false;
};
