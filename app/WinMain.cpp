// Kanasift's entry: one instance per session. A second start only shows the running
// instance's tray icon and forwards a toggle switch, then exits.
#include <windows.h>

#include <clocale>

#include "app/AppMessages.h"
#include "app/CommandLine.h"
#include "app/HookThread.h"
#include "app/MainFrame.h"
#include "framework/AppModule.h"
#include "framework/MessageLoop.h"
#include "platform/OwnObjects.h"
#include "platform/Win32Handles.h"
#include "tapline/Tapline.h"

namespace {

// How long a second start waits for the running instance to show its icon: a first
// instance that hangs must not hang every later start with it.
constexpr UINT kShowIconTimeoutMs = 5000;

// The instance mutex when this is the first instance; otherwise null, after asking the
// running instance to show its tray icon. The mutex is made with Kanasift's own security
// (platform/OwnObjects.h); one of that name that another party made counts as a failure.
UniqueKernelHandle CreateInstanceMutex() {
  bool created = false;
  UniqueKernelHandle mutex(ownobj::CreateOwnMutex(KANASIFT_MUTEX, true, created));
  if (!mutex) {
    MessageBoxA(nullptr, "Failed to create mutex!", "Kanasift", MB_ICONERROR);
    return {};
  }
  if (!created) {
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
  // The keyboard hook lives on a thread of its own that only pumps messages (HookThread.h):
  // this thread blocks in view reads. Key messages still go to the main frame window.
  HookThread hook([window] { return Tapline::setHook(window); }, [] { Tapline::unsetHook(); });
  if (window != nullptr) {
    hook.Start();
    GetMainFrame()->SetHookRemover([&hook] { hook.Stop(); });
    ShowWindow(window, SW_MINIMIZE);
    ShowWindow(window, SW_HIDE);
    exitCode = loop.Run();
  }
  // Teardown, in this order; the loop's lists go last, with the loop.
  app_module::Term();
  DeleteMainFrame();
  hook.Stop();
  mutex.Reset();
  return exitCode;
}
