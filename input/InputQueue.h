// The ordered queue through which every piece of input work reaches the UI thread:
// typed characters (pushed by the receiver thread), key commands, dialog searches and
// mode toggles (pushed by the UI thread itself). Work runs one item at a time, only
// inside Drain on the owner's thread. Drain is not re-entrant: an item that opens a
// modal loop (a message box) may see Drain called again from that loop; the inner call
// returns at once and the items wait until the outer Drain goes on.
//
// Work is ordered by the moment it belongs to: a typed character by the tick count the
// hook library gave it, a key or command by the time of the message that brought it.
// The receiver thread may fetch characters typed after a key before the UI thread has
// taken that key's message from its queue; the key still runs before them, because it
// is queued ahead of every later moment, and a drain for a message runs only the work of
// that message's moment and earlier. Work of one and the same millisecond keeps the order
// in which it was queued.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

class InputQueue {
 public:
  using Work = std::function<void()>;

  // `wake` is called (on the pushing thread, outside the queue's lock) when work has
  // arrived and no drain is expected yet, and by a drain that left later work behind;
  // the owner answers by calling Drain soon, for a moment no earlier than the call.
  explicit InputQueue(std::function<void()> wake = nullptr);

  // Queues work of the moment `tick`: after all work of that moment or earlier, before
  // work of later moments (tick counts compare across their 32-bit wrap).
  void Push(Work work, std::uint32_t tick);
  // Queues work after everything queued so far.
  void Push(Work work);
  // Runs, in order, the pending work of moments up to `upTo`. Returns the number of
  // items run by this call.
  std::size_t Drain(std::uint32_t upTo);
  // Runs all pending work.
  std::size_t Drain();

  std::size_t Pending() const;
  bool IsDraining() const { return draining_; }

 private:
  struct Item {
    Work work;
    std::uint32_t tick;
  };
  void Insert(Work work, const std::uint32_t* tick);
  std::size_t DrainUpTo(const std::uint32_t* upTo);

  std::function<void()> wake_;
  mutable std::mutex lock_;
  std::deque<Item> items_;
  std::uint32_t latest_ = 0;    // the latest moment queued
  bool wakeRequested_ = false;  // a wake has been sent and no drain has started since
  bool draining_ = false;       // owner's thread only
};

// True when tick count `a` is later than `b` (less than half the 32-bit range ahead).
inline bool TickIsLater(std::uint32_t a, std::uint32_t b) { return static_cast<std::int32_t>(a - b) > 0; }
