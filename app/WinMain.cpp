// Kanasift's entry: one instance per session. A second start only shows the running
// instance's tray icon and forwards a toggle switch, then exits.
#include <windows.h>

#include <clocale>

#include "app/AppMessages.h"
#include "app/CommandLine.h"
#include "app/MainFrame.h"
#include "framework/AppModule.h"
#include "framework/MessageLoop.h"
#include "platform/Win32Handles.h"
#include "tapline/Tapline.h"

namespace {

// How long a second start waits for the running instance to show its icon: a first
// instance that hangs must not hang every later start with it.
constexpr UINT kShowIconTimeoutMs = 5000;

// The instance mutex when this is the first instance; otherwise null, after asking the
// running instance to show its tray icon.
UniqueKernelHandle CreateInstanceMutex() {
  UniqueKernelHandle mutex(CreateMutexA(nullptr, TRUE, KANASIFT_MUTEX));
  if (!mutex) {
    MessageBoxA(nullptr, "Failed to create mutex!", "Kanasift", MB_ICONERROR);
    return {};
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    if (HWND running = FindWindowA(KANASIFT_WINDOW_CLASS, nullptr)) {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutA(running, UM_SHOW_TRAY_ICON, 0, 0, SMTO_ABORTIFHUNG, kShowIconTimeoutMs, &ignored);
    }
    return {};
  }
  return mutex;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  std::setlocale(LC_ALL, "");
  UniqueKernelHandle mutex = CreateInstanceMutex();
  if (!mutex) {
    // Another instance runs (or the mutex failed): forward the first toggle switch found.
    RemoteCommand command = RemoteCommandFromCommandLine(commandLine);
    HWND running = FindWindowA(KANASIFT_WINDOW_CLASS, nullptr);
    if (command != kNoCommand && running != nullptr) {
      PostMessageA(running, UM_KEYDOWN, static_cast<WPARAM>(command), 0);
    }
    return 0;
  }

  app_module::Init(instance);
  MessageLoop loop;  // the loop of this thread until WinMain returns
  int exitCode = 1;
  HWND window = GetMainFrame()->CreateMainWindow(HasHideSwitch(commandLine));
  if (window != nullptr) {
    Tapline::setHook(window);
    ShowWindow(window, SW_MINIMIZE);
    ShowWindow(window, SW_HIDE);
    exitCode = loop.Run();
  }
  // Teardown, in this order; the loop's lists go last, with the loop.
  app_module::Term();
  DeleteMainFrame();
  Tapline::unsetHook();
  mutex.Reset();
  return exitCode;
}
