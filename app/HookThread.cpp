#include "app/HookThread.h"

#include <process.h>

namespace {

constexpr char kWindowClass[] = "Kanasift::HookThread";
// How long Start waits for the hook, and Stop for the thread: it only pumps messages,
// so either takes a moment; a system that does not answer must not hold the exit up.
constexpr DWORD kThreadWaitMs = 5000;

LRESULT CALLBACK HookWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool RegisterHookWindowClass() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = HookWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kWindowClass;
  return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

HookThread::HookThread(std::function<bool()> install, std::function<void()> remove)
    : install_(std::move(install)), remove_(std::move(remove)) {}

HookThread::~HookThread() { Stop(); }

bool HookThread::Start() {
  if (thread_) return installed_;
  if (!RegisterHookWindowClass()) return false;
  ready_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!ready_) return false;
  unsigned id = 0;
  thread_.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &HookThread::Main, this, 0, &id)));
  if (!thread_) return false;
  HANDLE waits[2] = {ready_.Get(), thread_.Get()};
  WaitForMultipleObjects(2, waits, FALSE, kThreadWaitMs);
  return installed_;
}

void HookThread::Stop() {
  if (!thread_) return;
  if (HWND window = window_.load()) PostMessageA(window, WM_CLOSE, 0, 0);
  // A thread that does not end keeps its handle (and this object its state): a later
  // Stop waits for it again.
  if (WaitForSingleObject(thread_.Get(), kThreadWaitMs) == WAIT_TIMEOUT) return;
  thread_.Reset();
  window_ = nullptr;
  threadId_ = 0;
  installed_ = false;
}

unsigned __stdcall HookThread::Main(void* self) {
  static_cast<HookThread*>(self)->Run();
  return 0;
}

void HookThread::Run() {
  HWND window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                                nullptr);
  const bool installed = window != nullptr && install_();
  if (installed) {
    window_ = window;
    threadId_ = GetCurrentThreadId();
    installed_ = true;
  }
  SetEvent(ready_.Get());
  if (!installed) {
    if (window) DestroyWindow(window);
    return;
  }
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  remove_();
}
