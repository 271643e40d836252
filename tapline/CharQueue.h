// The queue of typed characters between the hooks (producers, in the views' processes)
// and getInputs (the consumer, in Kanasift). Lock-free: a producer never waits for the
// consumer or for another producer, and gives up after a bounded number of attempts.
//
// Overflow: when the queue is full the newest keystroke is not queued (the caller then
// lets the key through to the view, so nothing typed is lost silently); what is queued
// stays intact and in order.
#pragma once

#include <cstdint>

#include "tapline/SharedLayout.h"

namespace tapline {

// A head cell reserved but not published for this long is taken to belong to a producer
// that died, and is skipped.
constexpr std::uint32_t kStallTimeoutMs = 2000;

enum class PushResult {
  Queued,
  Full,  // no room: the oldest keystrokes are kept, this one is not queued
  Busy,  // too much contention, or the cell was given up meanwhile: not queued
};

// Empties the queue and starts its positions at `position` (tests use this to cross the
// 32-bit wrap of the counters).
void ResetQueue(QueueArea& queue, std::uint32_t position);

// Queues one keystroke (1 to kKeystrokeBytes bytes): ClaimPosition, then PublishAt.
PushResult PushKeystroke(QueueArea& queue, const Keystroke& keystroke);

// The two halves of PushKeystroke. ClaimPosition reserves the next cell (Queued and its
// position, or Full or Busy). PublishAt writes the keystroke into the cell of that
// position and publishes it; a producer that stalled in between so long that the
// consumer gave its cell up (kStallTimeoutMs) gets Busy, and whatever a later producer
// wrote into that cell meanwhile stays as it is.
PushResult ClaimPosition(QueueArea& queue, std::uint32_t& position);
PushResult PublishAt(QueueArea& queue, std::uint32_t position, const Keystroke& keystroke);

// Takes the oldest keystrokes typed in one view, in typing order: stops at a keystroke
// of another view, when the next keystroke would not fit in `maxBytes`, or when the
// queue is empty. Returns the number of bytes, with `view` set when it is above 0.
// `now` is the current tick count (for skipping stalled cells).
int TakeBatch(QueueArea& queue, std::uint32_t now, std::uint64_t& view, std::uint8_t* chars,
              std::uint32_t* ticks, int maxBytes);

// True when a published keystroke waits at the head of the queue.
bool HasReadyKeystroke(const QueueArea& queue);

// Drops every published keystroke (a new owner starts from an empty queue).
void DiscardReady(QueueArea& queue);

}  // namespace tapline
