#include "input/InputQueue.h"

#include <exception>
#include <iterator>

InputQueue::InputQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

void InputQueue::Push(Work work, std::uint32_t tick) { Insert(std::move(work), &tick); }

void InputQueue::Push(Work work) { Insert(std::move(work), nullptr); }

void InputQueue::Insert(Work work, const std::uint32_t* tick) {
  bool wakeNow = false;
  {
    std::lock_guard<std::mutex> lock(lock_);
    // Untimed work belongs to the latest moment queued so far: it goes last.
    const std::uint32_t moment = tick ? *tick : latest_;
    if (items_.empty() || TickIsLater(moment, latest_)) latest_ = moment;
    // Usually at the end: characters arrive in typing order. A key whose message was
    // taken late goes in front of the characters typed after it.
    auto at = items_.end();
    while (at != items_.begin() && TickIsLater(std::prev(at)->tick, moment)) --at;
    items_.insert(at, Item{std::move(work), moment});
    if (!wakeRequested_) {
      wakeRequested_ = true;
      wakeNow = true;
    }
  }
  if (wakeNow && wake_) wake_();
}

std::size_t InputQueue::Drain(std::uint32_t upTo) { return DrainUpTo(&upTo); }

std::size_t InputQueue::Drain() { return DrainUpTo(nullptr); }

std::size_t InputQueue::DrainUpTo(const std::uint32_t* upTo) {
  if (draining_) return 0;
  draining_ = true;
  std::size_t ran = 0;
  bool leftBehind = false;
  for (;;) {
    Work work;
    {
      std::lock_guard<std::mutex> lock(lock_);
      wakeRequested_ = false;
      if (items_.empty()) break;
      if (upTo && TickIsLater(items_.front().tick, *upTo)) {
        // Work of a later moment: a later drain takes it (a message about it may still be
        // on its way, or a key typed before it may be).
        wakeRequested_ = true;
        leftBehind = true;
        break;
      }
      work = std::move(items_.front().work);
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
  if (leftBehind && wake_) wake_();
  return ran;
}

std::size_t InputQueue::Pending() const {
  std::lock_guard<std::mutex> lock(lock_);
  return items_.size();
}
