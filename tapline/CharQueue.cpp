#include "tapline/CharQueue.h"

#include <cstring>

namespace tapline {

namespace {

constexpr std::uint32_t kMask = kQueueCapacity - 1;
constexpr int kPushAttempts = 64;
constexpr int kTakeAttempts = 4 * static_cast<int>(kQueueCapacity);

std::int32_t Distance(std::uint32_t from, std::uint32_t to) { return static_cast<std::int32_t>(to - from); }

enum class HeadState { Ready, Empty, Reserved, Recycled };

HeadState Inspect(const QueueArea& queue, std::uint32_t position, const QueueCell*& cell) {
  cell = &queue.cells[position & kMask];
  std::uint32_t sequence = cell->sequence.load(std::memory_order_acquire);
  std::int32_t diff = Distance(position + 1, sequence);
  if (diff == 0) return HeadState::Ready;
  if (diff > 0) return HeadState::Recycled;
  // The cell waits for the producer of `position`: reserved when the tail has moved on.
  return queue.enqueuePosition.load(std::memory_order_acquire) == position ? HeadState::Empty
                                                                            : HeadState::Reserved;
}

// Skips a reserved cell whose producer has not published it for kStallTimeoutMs.
bool SkipIfStalled(QueueArea& queue, std::uint32_t position, std::uint32_t now) {
  bool tracked = queue.stallTracked.load(std::memory_order_relaxed) != 0;
  if (!tracked || queue.stallPosition.load(std::memory_order_relaxed) != position) {
    queue.stallPosition.store(position, std::memory_order_relaxed);
    queue.stallSince.store(now, std::memory_order_relaxed);
    queue.stallTracked.store(1, std::memory_order_relaxed);
    return false;
  }
  if (now - queue.stallSince.load(std::memory_order_relaxed) < kStallTimeoutMs) return false;
  QueueCell& cell = queue.cells[position & kMask];
  std::uint32_t expected = position;
  // The late producer's own publish then fails, so it never writes a released cell.
  if (!cell.sequence.compare_exchange_strong(expected, position + kQueueCapacity, std::memory_order_acq_rel)) {
    return false;
  }
  queue.dequeuePosition.compare_exchange_strong(position, position + 1, std::memory_order_acq_rel);
  queue.stallTracked.store(0, std::memory_order_relaxed);
  return true;
}

}  // namespace

void ResetQueue(QueueArea& queue, std::uint32_t position) {
  for (std::uint32_t k = 0; k < kQueueCapacity; ++k) {
    queue.cells[(position + k) & kMask].sequence.store(position + k, std::memory_order_relaxed);
  }
  queue.stallTracked.store(0, std::memory_order_relaxed);
  queue.dequeuePosition.store(position, std::memory_order_relaxed);
  queue.enqueuePosition.store(position, std::memory_order_release);
}

PushResult PushKeystroke(QueueArea& queue, const Keystroke& keystroke) {
  if (keystroke.length == 0 || keystroke.length > kKeystrokeBytes) return PushResult::Busy;
  for (int attempt = 0; attempt < kPushAttempts; ++attempt) {
    std::uint32_t position = queue.enqueuePosition.load(std::memory_order_relaxed);
    QueueCell& cell = queue.cells[position & kMask];
    std::uint32_t sequence = cell.sequence.load(std::memory_order_acquire);
    std::int32_t diff = Distance(position, sequence);
    if (diff < 0) return PushResult::Full;
    if (diff > 0) continue;  // another producer took this position
    if (!queue.enqueuePosition.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) continue;
    cell.view = keystroke.view;
    cell.tick = keystroke.tick;
    cell.length = keystroke.length;
    std::memcpy(cell.bytes, keystroke.bytes, kKeystrokeBytes);
    std::uint32_t expected = position;
    if (cell.sequence.compare_exchange_strong(expected, position + 1, std::memory_order_release,
                                              std::memory_order_relaxed)) {
      return PushResult::Queued;
    }
    return PushResult::Busy;  // the consumer gave this cell up as stalled
  }
  return PushResult::Busy;
}

int TakeBatch(QueueArea& queue, std::uint32_t now, std::uint64_t& view, std::uint8_t* chars,
              std::uint32_t* ticks, int maxBytes) {
  int count = 0;
  std::uint64_t batchView = 0;
  for (int attempt = 0; attempt < kTakeAttempts && count < maxBytes; ++attempt) {
    std::uint32_t position = queue.dequeuePosition.load(std::memory_order_acquire);
    const QueueCell* cell = nullptr;
    HeadState state = Inspect(queue, position, cell);
    if (state == HeadState::Empty) break;
    if (state == HeadState::Reserved) {
      if (SkipIfStalled(queue, position, now)) continue;
      break;
    }
    if (state == HeadState::Recycled) {
      // Already taken (by another consumer, or by one that died before moving the head).
      queue.dequeuePosition.compare_exchange_strong(position, position + 1, std::memory_order_acq_rel);
      continue;
    }
    std::uint64_t cellView = cell->view;
    std::uint32_t tick = cell->tick;
    std::uint8_t length = cell->length;
    std::uint8_t bytes[kKeystrokeBytes];
    std::memcpy(bytes, cell->bytes, kKeystrokeBytes);
    if (length == 0 || length > kKeystrokeBytes) length = 0;  // never published by us: drop it
    if (count > 0 && cellView != batchView) break;
    if (count + length > maxBytes) break;
    if (!queue.dequeuePosition.compare_exchange_strong(position, position + 1, std::memory_order_acq_rel)) continue;
    queue.cells[position & kMask].sequence.store(position + kQueueCapacity, std::memory_order_release);
    if (length == 0) continue;
    if (count == 0) batchView = cellView;
    for (std::uint8_t i = 0; i < length; ++i) {
      chars[count] = bytes[i];
      ticks[count] = tick;
      ++count;
    }
  }
  if (count > 0) {
    view = batchView;
    queue.stallTracked.store(0, std::memory_order_relaxed);  // the head moved: any stall starts afresh
  }
  return count;
}

bool HasReadyKeystroke(const QueueArea& queue) {
  std::uint32_t position = queue.dequeuePosition.load(std::memory_order_acquire);
  const QueueCell* cell = nullptr;
  return Inspect(queue, position, cell) == HeadState::Ready;
}

void DiscardReady(QueueArea& queue) {
  std::uint8_t chars[64];
  std::uint32_t ticks[64];
  std::uint64_t view = 0;
  for (std::uint32_t round = 0; round < kQueueCapacity && HasReadyKeystroke(queue); ++round) {
    std::uint32_t position = queue.dequeuePosition.load(std::memory_order_acquire);
    // A batch stops at a change of view; taking it with the oldest view's batch is enough.
    if (TakeBatch(queue, 0, view, chars, ticks, 64) == 0 &&
        queue.dequeuePosition.load(std::memory_order_acquire) == position) {
      break;
    }
  }
}

}  // namespace tapline
