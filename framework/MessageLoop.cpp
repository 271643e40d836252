#include "framework/MessageLoop.h"

#include <algorithm>

namespace {
// The loop registered for each thread (only the UI thread has one).
thread_local MessageLoop* currentLoop = nullptr;
constexpr UINT kSystemTimer = 0x0118;
}  // namespace

MessageLoop::MessageLoop() { currentLoop = this; }

MessageLoop::~MessageLoop() {
  if (currentLoop == this) currentLoop = nullptr;
}

MessageLoop* MessageLoop::ForCurrentThread() { return currentLoop; }

void MessageLoop::AddMessageFilter(MessageFilter* filter) {
  if (filter && std::find(filters_.begin(), filters_.end(), filter) == filters_.end()) {
    filters_.push_back(filter);
  }
}

void MessageLoop::RemoveMessageFilter(MessageFilter* filter) {
  filters_.erase(std::remove(filters_.begin(), filters_.end(), filter), filters_.end());
}

void MessageLoop::AddIdleHandler(IdleHandler* handler) {
  if (handler && std::find(idleHandlers_.begin(), idleHandlers_.end(), handler) == idleHandlers_.end()) {
    idleHandlers_.push_back(handler);
  }
}

void MessageLoop::RemoveIdleHandler(IdleHandler* handler) {
  idleHandlers_.erase(std::remove(idleHandlers_.begin(), idleHandlers_.end(), handler),
                      idleHandlers_.end());
}

bool MessageLoop::PreTranslateMessage(MSG* msg) {
  // Last registered first; a copy, since a filter may unregister itself.
  std::vector<MessageFilter*> filters = filters_;
  for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
    if ((*it)->PreTranslateMessage(msg)) return true;
  }
  return false;
}

bool MessageLoop::OnIdle(int /*idleCount*/) {
  std::vector<IdleHandler*> handlers = idleHandlers_;
  for (IdleHandler* handler : handlers) handler->OnIdle();
  return false;
}

bool MessageLoop::IsIdleMessage(const MSG& msg) {
  switch (msg.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case kSystemTimer:
      return false;
    default:
      return true;
  }
}

int MessageLoop::Run() {
  bool idle = true;
  int idleCount = 0;
  MSG msg;
  for (;;) {
    while (idle && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!OnIdle(idleCount++)) idle = false;
    }
    BOOL rc = GetMessageA(&msg, nullptr, 0, 0);
    if (rc == -1) continue;
    if (rc == 0) return static_cast<int>(msg.wParam);
    if (!PreTranslateMessage(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (IsIdleMessage(msg)) {
      idle = true;
      idleCount = 0;
    }
  }
}
