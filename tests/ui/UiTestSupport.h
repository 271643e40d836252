// Windows and message pumping for the Win32 tests of the tooltip and the input dialogs.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Pumps the thread's messages for `milliseconds`, through the filters of the thread's
// MessageLoop when there is one (as the program's loop does).
void PumpMessages(DWORD milliseconds);

// A visible borderless window filled with one colour: a stand-in for an Explorer view.
class SolidWindow {
 public:
  SolidWindow(int x, int y, int width, int height, COLORREF color);
  ~SolidWindow();
  HWND hwnd() const { return hwnd_; }

 private:
  COLORREF color_;
  HWND hwnd_ = nullptr;
  HBRUSH brush_ = nullptr;
};

// A hidden top-level window in the main frame's place: it records the texts sent to it
// with `resultMessages` and hands WM_TIMER to `onTimer`.
class OwnerWindow {
 public:
  explicit OwnerWindow(std::vector<UINT> resultMessages);
  ~OwnerWindow();
  HWND hwnd() const { return hwnd_; }

  struct Received {
    UINT message;
    std::string text;
  };
  const std::vector<Received>& received() const { return received_; }
  void ClearReceived() { received_.clear(); }
  std::function<void(UINT_PTR)> onTimer;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
  std::vector<UINT> resultMessages_;
  std::vector<Received> received_;
};

// Key presses through the system's input queue (as the user's keyboard would give them).
void PressKey(WORD virtualKey, bool shift = false);
void TypeText(const std::string& lowerCaseOrDigits);

// The text of a window as UTF-16.
std::wstring WindowTextW(HWND hwnd);
