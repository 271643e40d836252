#include "platform/Sync.h"

#include <windows.h>
#include <process.h>

#include "platform/OwnObjects.h"

namespace platform {

struct Event::State {
  HANDLE handle;
};

namespace {

// A named event is shared with other processes: made with Kanasift's own security, and
// one of that name that someone else made is refused (the event is then not valid).
HANDLE MakeEvent(bool manualReset, bool initiallySet, const char* name) {
  if (!name) return CreateEventA(nullptr, manualReset, initiallySet, nullptr);
  bool created = false;
  HANDLE event = ownobj::CreateOwnEvent(name, manualReset, created);
  if (event && initiallySet) SetEvent(event);
  return event;
}

}  // namespace

Event::Event(bool manualReset, bool initiallySet, const char* name)
    : state_(new State{MakeEvent(manualReset, initiallySet, name)}) {}

Event::~Event() {
  if (state_->handle) CloseHandle(state_->handle);
}

void Event::Set() { SetEvent(state_->handle); }
void Event::Reset() { ResetEvent(state_->handle); }
bool Event::IsValid() const { return state_->handle != nullptr; }
void* Event::NativeHandle() const { return state_->handle; }

bool Event::Wait(std::uint32_t timeoutMs) {
  return WaitForSingleObject(state_->handle, timeoutMs) == WAIT_OBJECT_0;
}

int Event::WaitAny(Event& first, Event& second, std::uint32_t timeoutMs) {
  HANDLE handles[2] = {first.state_->handle, second.state_->handle};
  DWORD rc = WaitForMultipleObjects(2, handles, FALSE, timeoutMs);
  if (rc == WAIT_OBJECT_0) return 0;
  if (rc == WAIT_OBJECT_0 + 1) return 1;
  return -1;
}

struct Thread::State {
  HANDLE handle = nullptr;
  std::function<std::uint32_t()> body;
};

namespace {
unsigned __stdcall ThreadMain(void* arg) {
  std::unique_ptr<std::function<std::uint32_t()>> body(
      static_cast<std::function<std::uint32_t()>*>(arg));
  return (*body)();
}
}  // namespace

Thread::Thread() = default;
Thread::~Thread() { Release(); }

bool Thread::Start(std::function<std::uint32_t()> body) {
  if (Joinable()) return false;
  auto arg = std::make_unique<std::function<std::uint32_t()>>(std::move(body));
  unsigned id = 0;
  auto handle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadMain, arg.get(), 0, &id));
  if (!handle) return false;
  arg.release();  // the thread owns it now
  state_ = std::make_unique<State>();
  state_->handle = handle;
  id_ = id;
  return true;
}

void Thread::Release() {
  if (state_ && state_->handle) CloseHandle(state_->handle);
  state_.reset();
  id_ = 0;
}

bool Thread::Joinable() const { return state_ && state_->handle; }

void Thread::Join() {
  if (Joinable() && GetCurrentThreadId() != id_) WaitForSingleObject(state_->handle, INFINITE);
}

}  // namespace platform
