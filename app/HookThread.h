// The thread that owns Kanasift's global keyboard hook and does nothing but pump
// messages.
//
// On 64-bit Windows the system calls a global hook for a process of the other bitness
// in the thread that installed it, by a message to that thread, and "the thread that
// installed the hook must have a message loop" (SetWindowsHookEx, remarks) that keeps
// running. Kanasift's UI thread blocks in view reads for up to a second or more, so
// with the hook on that thread every key of every program of the other bitness (and
// with a 32-bit Kanasift, every key of Explorer) would wait for a search step. This
// thread installs the hook, then only takes messages until it is told to end, and
// removes the hook itself.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

#include "platform/Win32Handles.h"

class HookThread {
 public:
  // `install` and `remove` run on the hook's thread: Tapline::setHook and unsetHook in
  // the program.
  HookThread(std::function<bool()> install, std::function<void()> remove);
  ~HookThread();
  HookThread(const HookThread&) = delete;
  HookThread& operator=(const HookThread&) = delete;

  // Starts the thread and waits until it has installed the hook: `install`'s result.
  // The thread ends at once when the hook could not be installed.
  bool Start();
  // Removes the hook on its thread and ends the thread (again: nothing).
  void Stop();

  // The thread's message-only window, which answers every message at once (a test
  // measures how soon): null while the thread does not run.
  HWND Window() const { return window_.load(); }
  DWORD ThreadId() const { return threadId_.load(); }

 private:
  static unsigned __stdcall Main(void* self);
  void Run();

  std::function<bool()> install_;
  std::function<void()> remove_;
  UniqueKernelHandle thread_;
  UniqueKernelHandle ready_;
  // Written by the hook's thread before it signals `ready_`.
  std::atomic<HWND> window_{nullptr};
  std::atomic<DWORD> threadId_{0};
  std::atomic<bool> installed_{false};
};
