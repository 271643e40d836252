#include "platform/Sync.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <memory>
#include <thread>

namespace platform {
namespace {
// One condition variable for all events keeps WaitAny simple; events are few and
// rarely signalled, so the shared wake-ups cost nothing that matters. Both are never
// destroyed: a worker that has finished its run may still be signalling while the
// process exits.
std::mutex& EventMutex() {
  static std::mutex& m = *std::make_unique<std::mutex>().release();
  return m;
}
std::condition_variable& EventChanged() {
  static std::condition_variable& cv = *std::make_unique<std::condition_variable>().release();
  return cv;
}
}  // namespace

struct Event::State {
  bool manualReset;
  bool set;
};

Event::Event(bool manualReset, bool initiallySet, const char*)
    : state_(new State{manualReset, initiallySet}) {}
Event::~Event() = default;

void Event::Set() {
  // Notify under the lock: a waiter may destroy the event as soon as it wakes.
  std::lock_guard<std::mutex> lock(EventMutex());
  state_->set = true;
  EventChanged().notify_all();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(EventMutex());
  state_->set = false;
}

bool Event::IsValid() const { return true; }
void* Event::NativeHandle() const { return nullptr; }

bool Event::Wait(std::uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(EventMutex());
  auto ready = [this] { return state_->set; };
  if (timeoutMs == kInfinite) {
    EventChanged().wait(lock, ready);
  } else if (!EventChanged().wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
    return false;
  }
  if (!state_->manualReset) state_->set = false;
  return true;
}

int Event::WaitAny(Event& first, Event& second, std::uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(EventMutex());
  auto ready = [&] { return first.state_->set || second.state_->set; };
  if (timeoutMs == kInfinite) {
    EventChanged().wait(lock, ready);
  } else if (!EventChanged().wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
    return -1;
  }
  Event& hit = first.state_->set ? first : second;
  if (!hit.state_->manualReset) hit.state_->set = false;
  return &hit == &first ? 0 : 1;
}

struct Thread::State {
  std::thread thread;
};

Thread::Thread() = default;

Thread::~Thread() {
  if (state_ && state_->thread.joinable()) state_->thread.detach();
}

bool Thread::Start(std::function<std::uint32_t()> body) {
  if (Joinable()) return false;
  try {
    state_ = std::make_unique<State>();
    state_->thread = std::thread([body = std::move(body)] { body(); });
  } catch (...) {
    state_.reset();
    return false;
  }
  id_ = static_cast<std::uint32_t>(std::hash<std::thread::id>()(state_->thread.get_id()));
  if (id_ == 0) id_ = 1;
  return true;
}

void Thread::Release() {
  if (state_ && state_->thread.joinable()) state_->thread.detach();
  state_.reset();
  id_ = 0;
}

bool Thread::Joinable() const { return state_ && state_->thread.joinable(); }

void Thread::Join() {
  if (Joinable() && state_->thread.get_id() != std::this_thread::get_id()) state_->thread.join();
}

}  // namespace platform
