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
  // The late producer's own publish then fails, and once a later producer has written
  // into the cell, so do its writes (PublishAt).
  if (!cell.sequence.compare_exchange_strong(expected, position + kQueueCapacity, std::memory_order_acq_rel)) {
    return false;
  }
  queue.dequeuePosition.compare_exchange_strong(position, position + 1, std::memory_order_acq_rel);
  queue.stallTracked.store(0, std::memory_order_relaxed);
  return true;
}

std::uint64_t Tagged(std::uint32_t position, std::uint32_t word) {
  return (static_cast<std::uint64_t>(position) << 32) | word;
}
std::uint32_t TagOf(std::uint64_t value) { return static_cast<std::uint32_t>(value >> 32); }

void ToWords(const Keystroke& keystroke, std::uint32_t (&words)[kPayloadWords]) {
  words[0] = static_cast<std::uint32_t>(keystroke.view);
  words[1] = static_cast<std::uint32_t>(keystroke.view >> 32);
  words[2] = keystroke.tick;
  std::uint8_t packed[8] = {keystroke.length};
  std::memcpy(packed + 1, keystroke.bytes, kKeystrokeBytes);
  std::memcpy(&words[3], packed, 8);
}

void FromWords(const std::uint32_t (&words)[kPayloadWords], Keystroke& keystroke) {
  keystroke.view = static_cast<std::uint64_t>(words[0]) | (static_cast<std::uint64_t>(words[1]) << 32);
  keystroke.tick = words[2];
  std::uint8_t packed[8];
  std::memcpy(packed, &words[3], 8);
  keystroke.length = packed[0];
  std::memcpy(keystroke.bytes, packed + 1, kKeystrokeBytes);
}

// Writes one payload word for the producer of `position`, unless a later producer has
// written there already (the cell was given up and taken again): false then.
bool StoreWord(std::atomic<std::uint64_t>& slot, std::uint32_t position, std::uint32_t word) {
  const std::uint64_t wanted = Tagged(position, word);
  std::uint64_t current = slot.load(std::memory_order_acquire);
  for (;;) {
    if (Distance(position, TagOf(current)) > 0) return false;
    if (slot.compare_exchange_weak(current, wanted, std::memory_order_acq_rel, std::memory_order_acquire)) return true;
  }
}

// The keystroke of `position`; false when a word of the cell was not written for it.
bool LoadKeystroke(const QueueCell& cell, std::uint32_t position, Keystroke& keystroke) {
  std::uint32_t words[kPayloadWords];
  for (int i = 0; i < kPayloadWords; ++i) {
    const std::uint64_t value = cell.payload[i].load(std::memory_order_acquire);
    if (TagOf(value) != position) return false;
    words[i] = static_cast<std::uint32_t>(value);
  }
  FromWords(words, keystroke);
  return true;
}

// Every payload word as written by the producer of the cell's previous round.
void ResetCell(QueueCell& cell, std::uint32_t position) {
  cell.sequence.store(position, std::memory_order_relaxed);
  for (auto& word : cell.payload) word.store(Tagged(position - kQueueCapacity, 0), std::memory_order_relaxed);
}

}  // namespace

void ResetQueue(QueueArea& queue, std::uint32_t position) {
  for (std::uint32_t k = 0; k < kQueueCapacity; ++k) ResetCell(queue.cells[(position + k) & kMask], position + k);
  queue.stallTracked.store(0, std::memory_order_relaxed);
  queue.dequeuePosition.store(position, std::memory_order_relaxed);
  queue.enqueuePosition.store(position, std::memory_order_release);
}

PushResult ClaimPosition(QueueArea& queue, std::uint32_t& position) {
  for (int attempt = 0; attempt < kPushAttempts; ++attempt) {
    std::uint32_t at = queue.enqueuePosition.load(std::memory_order_relaxed);
    const QueueCell& cell = queue.cells[at & kMask];
    std::uint32_t sequence = cell.sequence.load(std::memory_order_acquire);
    std::int32_t diff = Distance(at, sequence);
    if (diff < 0) return PushResult::Full;
    if (diff > 0) continue;  // another producer took this position
    if (queue.enqueuePosition.compare_exchange_weak(at, at + 1, std::memory_order_relaxed)) {
      position = at;
      return PushResult::Queued;
    }
  }
  return PushResult::Busy;
}

PushResult PublishAt(QueueArea& queue, std::uint32_t position, const Keystroke& keystroke) {
  QueueCell& cell = queue.cells[position & kMask];
  std::uint32_t words[kPayloadWords];
  ToWords(keystroke, words);
  for (int i = 0; i < kPayloadWords; ++i) {
    if (!StoreWord(cell.payload[i], position, words[i])) return PushResult::Busy;
  }
  std::uint32_t expected = position;
  if (cell.sequence.compare_exchange_strong(expected, position + 1, std::memory_order_release,
                                            std::memory_order_relaxed)) {
    return PushResult::Queued;
  }
  return PushResult::Busy;  // the consumer gave this cell up as stalled
}

PushResult PushKeystroke(QueueArea& queue, const Keystroke& keystroke) {
  if (keystroke.length == 0 || keystroke.length > kKeystrokeBytes) return PushResult::Busy;
  std::uint32_t position = 0;
  PushResult claimed = ClaimPosition(queue, position);
  return claimed == PushResult::Queued ? PublishAt(queue, position, keystroke) : claimed;
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
    Keystroke keystroke{};
    if (!LoadKeystroke(*cell, position, keystroke)) keystroke.length = 0;
    const std::uint64_t cellView = keystroke.view;
    const std::uint32_t tick = keystroke.tick;
    const std::uint8_t* bytes = keystroke.bytes;
    std::uint8_t length = keystroke.length;
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
