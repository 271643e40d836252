// Events and threads for the worker-thread base. On Windows these are kernel events
// and threads; natively a mutex with a condition variable and std::thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

class Event {
 public:
  // A named event (Windows only) is opened when one of that name exists already, as long
  // as this program made it: one that another party made is refused (not valid).
  Event(bool manualReset, bool initiallySet, const char* name = nullptr);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // True when the event was set within the time (an auto-reset event is then reset).
  bool Wait(std::uint32_t timeoutMs);
  bool IsValid() const;
  // The kernel handle on Windows, nullptr natively.
  void* NativeHandle() const;

  // Waits until either event is set: 0 or 1 for the one that ended the wait, -1 on
  // time-out or failure.
  static int WaitAny(Event& first, Event& second, std::uint32_t timeoutMs);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A started thread. The object owns the thread's handle until Release() or destruction.
class Thread {
 public:
  Thread();
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  bool Start(std::function<std::uint32_t()> body);
  // Gives up the handle: the thread runs on and cleans up after itself.
  void Release();
  bool Joinable() const;
  // Waits for the thread to end.
  void Join();
  std::uint32_t Id() const { return id_; }

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::uint32_t id_ = 0;
};

}  // namespace platform
