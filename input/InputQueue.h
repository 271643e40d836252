// The ordered queue through which every piece of input work reaches the UI thread:
// typed characters (pushed by the receiver thread), key commands, dialog searches and
// mode toggles (pushed by the UI thread itself). Work runs in push order, one item at a
// time, only inside Drain on the owner's thread. Drain is not re-entrant: an item that
// opens a modal loop (a message box) may see Drain called again from that loop; the
// inner call returns at once and the items wait until the outer Drain goes on.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

class InputQueue {
 public:
  using Work = std::function<void()>;

  // `wake` is called (on the pushing thread, outside the queue's lock) when work has
  // arrived and no drain is expected yet; the owner answers by calling Drain soon.
  explicit InputQueue(std::function<void()> wake = nullptr);

  void Push(Work work);
  // Runs the pending work in order. Returns the number of items run by this call.
  std::size_t Drain();

  std::size_t Pending() const;
  bool IsDraining() const { return draining_; }

 private:
  std::function<void()> wake_;
  mutable std::mutex lock_;
  std::deque<Work> items_;
  bool wakeRequested_ = false;  // a wake has been sent and no drain has started since
  bool draining_ = false;       // owner's thread only
};
