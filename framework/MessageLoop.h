// The UI thread's message loop: message filters (offered last-registered first) and
// idle handlers (run once per idle period).
#pragma once

#include <windows.h>

#include <vector>

class MessageFilter {
 public:
  virtual ~MessageFilter() = default;
  // True when the message was handled and must not be translated or dispatched.
  virtual bool PreTranslateMessage(MSG* msg) = 0;
};

class IdleHandler {
 public:
  virtual ~IdleHandler() = default;
  virtual bool OnIdle() = 0;
};

class MessageLoop {
 public:
  MessageLoop();   // registers itself as the loop of the calling thread
  ~MessageLoop();  // unregisters
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  // The loop registered for the calling thread, or null.
  static MessageLoop* ForCurrentThread();

  void AddMessageFilter(MessageFilter* filter);
  void RemoveMessageFilter(MessageFilter* filter);
  void AddIdleHandler(IdleHandler* handler);
  void RemoveIdleHandler(IdleHandler* handler);

  // Runs until WM_QUIT; returns its wParam.
  int Run();

  // One pass of the filters, last registered first (exposed for tests).
  bool PreTranslateMessage(MSG* msg);
  // Calls every idle handler once, in registration order; always false.
  bool OnIdle(int idleCount);
  // Whether a message ends the idle period (everything but mouse moves, paints and the
  // system timer).
  static bool IsIdleMessage(const MSG& msg);

 private:
  std::vector<MessageFilter*> filters_;
  std::vector<IdleHandler*> idleHandlers_;
};
