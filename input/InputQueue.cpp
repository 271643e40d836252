#include "input/InputQueue.h"

#include <exception>

InputQueue::InputQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

void InputQueue::Push(Work work) {
  bool wakeNow = false;
  {
    std::lock_guard<std::mutex> lock(lock_);
    items_.push_back(std::move(work));
    if (!wakeRequested_) {
      wakeRequested_ = true;
      wakeNow = true;
    }
  }
  if (wakeNow && wake_) wake_();
}

std::size_t InputQueue::Drain() {
  if (draining_) return 0;
  draining_ = true;
  std::size_t ran = 0;
  for (;;) {
    Work work;
    {
      std::lock_guard<std::mutex> lock(lock_);
      wakeRequested_ = false;
      if (items_.empty()) break;
      work = std::move(items_.front());
      items_.pop_front();
    }
    try {
      work();
    } catch (const std::exception&) {
      // A failed item (out of memory) is dropped; the queue and the items after it live on.
    }
    ++ran;
  }
  draining_ = false;
  return ran;
}

std::size_t InputQueue::Pending() const {
  std::lock_guard<std::mutex> lock(lock_);
  return items_.size();
}
