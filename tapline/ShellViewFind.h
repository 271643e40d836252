// Finding the shell view that holds a window, inside the window's own process and
// thread (docs/tapline.md, "Shell views"). The file pane of today's Explorer and the
// common file dialogs are no list views: their focused window (a DirectUIHWND) sits in
// a SHELLDLL_DefView, and the window that hosts the view hands out the shell browser
// for WM_USER+7 (CWM_GETISHELLBROWSER). That message is sent only to windows of the
// caller's own thread whose class is known to answer it; other windows may give
// WM_USER+7 another meaning.
//
// Guest code: no exceptions, every interface released before the caller returns to its
// message loop. COM is only used on the view's own thread, in its own apartment.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace tapline {

// An owned interface pointer, released when it goes.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: releases what is held first.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  void Swap(ComRef& other) {
    T* held = p_;
    p_ = other.p_;
    other.p_ = held;
  }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// The active shell view that holds a window, with its SHELLDLL_DefView.
struct ShellViewRef {
  HWND defView = nullptr;
  ComRef<IShellView> view;
};

// True when `window` lies in a SHELLDLL_DefView (or is one) whose host window, of a
// class that answers WM_USER+7 and of the calling thread, hands out a shell browser
// whose active view is that very SHELLDLL_DefView.
bool FindShellView(HWND window, ShellViewRef& found);

// Whether the class of a window may be asked for its shell browser.
bool IsShellBrowserClass(const char* className);

}  // namespace tapline
