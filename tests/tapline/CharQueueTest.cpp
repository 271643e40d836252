#include "tapline/CharQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tapline {
namespace {

constexpr std::uint64_t kListView = 0x10010;
constexpr std::uint64_t kTreeView = 0x20020;

Keystroke Key(std::uint64_t view, const std::string& bytes, std::uint32_t tick) {
  Keystroke keystroke{};
  keystroke.view = view;
  keystroke.tick = tick;
  keystroke.length = static_cast<std::uint8_t>(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) keystroke.bytes[i] = static_cast<std::uint8_t>(bytes[i]);
  return keystroke;
}

struct Batch {
  int count = 0;
  std::uint64_t view = 0;
  std::string text;
  std::vector<std::uint32_t> ticks;
};

class CharQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    queue = std::make_unique<QueueArea>();
    ResetQueue(*queue, 0);
  }
  PushResult Push(std::uint64_t view, const std::string& bytes, std::uint32_t tick = 0) {
    return PushKeystroke(*queue, Key(view, bytes, tick));
  }
  Batch Take(int maxBytes = INPUT_BATCH_MAX, std::uint32_t now = 0) {
    Batch batch;
    std::uint8_t chars[INPUT_BATCH_MAX];
    std::uint32_t ticks[INPUT_BATCH_MAX];
    batch.count = TakeBatch(*queue, now, batch.view, chars, ticks, maxBytes);
    for (int i = 0; i < batch.count; ++i) {
      batch.text += static_cast<char>(chars[i]);
      batch.ticks.push_back(ticks[i]);
    }
    return batch;
  }
  std::unique_ptr<QueueArea> queue;
};

TEST_F(CharQueueTest, CharactersComeOutInTypingOrderWithTheirTicks) {
  const std::string typed = "kaisya";
  for (std::size_t i = 0; i < typed.size(); ++i) {
    ASSERT_EQ(Push(kListView, typed.substr(i, 1), 1000 + 150 * static_cast<std::uint32_t>(i)), PushResult::Queued);
  }
  EXPECT_TRUE(HasReadyKeystroke(*queue));
  Batch batch = Take();
  EXPECT_EQ(batch.count, 6);
  EXPECT_EQ(batch.view, kListView);
  EXPECT_EQ(batch.text, typed);
  EXPECT_EQ(batch.ticks, (std::vector<std::uint32_t>{1000, 1150, 1300, 1450, 1600, 1750}));
  EXPECT_FALSE(HasReadyKeystroke(*queue));
  EXPECT_EQ(Take().count, 0);
}

TEST_F(CharQueueTest, EachBatchHoldsTheCharactersOfOneView) {
  Push(kListView, "a");
  Push(kListView, "b");
  Push(kTreeView, "c");
  Push(kListView, "d");
  Batch first = Take();
  EXPECT_EQ(first.text, "ab");
  EXPECT_EQ(first.view, kListView);
  Batch second = Take();
  EXPECT_EQ(second.text, "c");
  EXPECT_EQ(second.view, kTreeView);
  Batch third = Take();
  EXPECT_EQ(third.text, "d");
  EXPECT_EQ(third.view, kListView);
}

TEST_F(CharQueueTest, ABatchHoldsAtMost256BytesAndTheRestFollows) {
  for (int i = 0; i < 300; ++i) ASSERT_EQ(Push(kListView, std::string(1, static_cast<char>('0' + i % 10)), i), PushResult::Queued);
  Batch first = Take();
  EXPECT_EQ(first.count, 256);
  EXPECT_EQ(first.ticks.back(), 255u);
  EXPECT_TRUE(HasReadyKeystroke(*queue));
  Batch second = Take();
  EXPECT_EQ(second.count, 44);
  EXPECT_EQ(second.ticks.front(), 256u);
  EXPECT_EQ(second.text.substr(0, 3), "678");
}

TEST_F(CharQueueTest, ADoubleByteCharacterIsNeverSplitBetweenBatches) {
  for (int i = 0; i < 255; ++i) Push(kListView, "x");
  Push(kListView, "\x89\xEF");  // 会
  Batch first = Take();
  EXPECT_EQ(first.count, 255);
  Batch second = Take();
  EXPECT_EQ(second.text, "\x89\xEF");
  EXPECT_EQ(second.ticks.size(), 2u);
}

TEST_F(CharQueueTest, WhenFullTheNewestIsRefusedAndTheQueuedOnesStayIntact) {
  for (std::uint32_t i = 0; i < kQueueCapacity; ++i) {
    ASSERT_EQ(Push(kListView, std::string(1, static_cast<char>('a' + i % 26)), i), PushResult::Queued) << i;
  }
  EXPECT_EQ(Push(kListView, "!", 99999), PushResult::Full);
  EXPECT_EQ(Push(kTreeView, "?", 99999), PushResult::Full);
  std::uint32_t expectedTick = 0;
  while (HasReadyKeystroke(*queue)) {
    Batch batch = Take();
    for (std::size_t i = 0; i < batch.text.size(); ++i, ++expectedTick) {
      ASSERT_EQ(batch.ticks[i], expectedTick);
      ASSERT_EQ(batch.text[i], static_cast<char>('a' + expectedTick % 26));
    }
  }
  EXPECT_EQ(expectedTick, kQueueCapacity) << "nothing lost, nothing added";
  EXPECT_EQ(Push(kListView, "z"), PushResult::Queued) << "room again once drained";
  EXPECT_EQ(Take().text, "z");
}

TEST_F(CharQueueTest, PositionsWrapAroundThirtyTwoBits) {
  ResetQueue(*queue, 0xFFFFFF00u);
  std::uint32_t next = 0;
  std::uint32_t expected = 0;
  for (int round = 0; round < 12; ++round) {
    for (int i = 0; i < 300; ++i, ++next) ASSERT_EQ(Push(kListView, "w", next), PushResult::Queued);
    while (HasReadyKeystroke(*queue)) {
      Batch batch = Take();
      for (std::uint32_t tick : batch.ticks) ASSERT_EQ(tick, expected++);
    }
  }
  EXPECT_EQ(expected, next);
  EXPECT_LT(queue->enqueuePosition.load(), 0xFFFFFF00u) << "the counters went round";
}

TEST_F(CharQueueTest, KeystrokesThatCannotBeStoredAreRefused) {
  Keystroke empty = Key(kListView, "", 0);
  EXPECT_NE(PushKeystroke(*queue, empty), PushResult::Queued);
  Keystroke tooLong = Key(kListView, "1234567", 0);
  tooLong.length = kKeystrokeBytes + 1;
  EXPECT_NE(PushKeystroke(*queue, tooLong), PushResult::Queued);
  EXPECT_FALSE(HasReadyKeystroke(*queue));
}

TEST_F(CharQueueTest, DiscardDropsEverythingPublished) {
  Push(kListView, "a");
  Push(kTreeView, "b");
  Push(kListView, "c");
  DiscardReady(*queue);
  EXPECT_FALSE(HasReadyKeystroke(*queue));
  Push(kListView, "d");
  EXPECT_EQ(Take().text, "d");
}

TEST_F(CharQueueTest, ACellReservedByADeadProducerIsSkippedAfterTheTimeout) {
  // A producer reserves position 0 and dies before publishing; another publishes after it.
  queue->enqueuePosition.store(1);
  ASSERT_EQ(Push(kListView, "b", 7), PushResult::Queued);
  EXPECT_FALSE(HasReadyKeystroke(*queue)) << "the head is the unpublished cell";
  EXPECT_EQ(Take(INPUT_BATCH_MAX, 5000).count, 0);
  EXPECT_EQ(Take(INPUT_BATCH_MAX, 5000 + kStallTimeoutMs - 1).count, 0) << "a slow producer gets its time";
  Batch batch = Take(INPUT_BATCH_MAX, 5000 + kStallTimeoutMs);
  EXPECT_EQ(batch.text, "b");
  // Should the producer wake up after all, its publish fails instead of reviving the cell.
  std::uint32_t expected = 0;
  EXPECT_FALSE(queue->cells[0].sequence.compare_exchange_strong(expected, 1));
  EXPECT_EQ(Push(kListView, "c"), PushResult::Queued);
  EXPECT_EQ(Take().text, "c");
}

TEST_F(CharQueueTest, APublishingProducerIsNotMistakenForADeadOne) {
  std::uint32_t position = 0;
  ASSERT_EQ(ClaimPosition(*queue, position), PushResult::Queued);  // reserved at tick 100 as the consumer sees it...
  EXPECT_EQ(Take(INPUT_BATCH_MAX, 100).count, 0);
  ASSERT_EQ(PublishAt(*queue, position, Key(kListView, "a", 1)), PushResult::Queued);  // ...and published a moment later
  Batch batch = Take(INPUT_BATCH_MAX, 100 + kStallTimeoutMs + 5);
  EXPECT_EQ(batch.text, "a");
}

// A producer held between claiming its cell and publishing it for longer than the
// consumer waits: the cell is given up and, a round later, holds another keystroke.
// When the late producer goes on, that keystroke must come out as it was typed.
TEST_F(CharQueueTest, AProducerHeldBetweenClaimAndPublishNeverOverwritesALaterKeystroke) {
  std::uint32_t held = 0;
  ASSERT_EQ(ClaimPosition(*queue, held), PushResult::Queued);
  EXPECT_EQ(Take(INPUT_BATCH_MAX, 1000).count, 0);
  EXPECT_EQ(Take(INPUT_BATCH_MAX, 1000 + kStallTimeoutMs).count, 0) << "given up; nothing behind it yet";
  // One round of the queue later the same cell belongs to the next producer.
  for (std::uint32_t i = 1; i < kQueueCapacity; ++i) {
    ASSERT_EQ(Push(kListView, "x", i), PushResult::Queued);
    ASSERT_EQ(Take().count, 1);
  }
  std::uint32_t later = 0;
  ASSERT_EQ(ClaimPosition(*queue, later), PushResult::Queued);
  ASSERT_EQ(later & (kQueueCapacity - 1), held & (kQueueCapacity - 1)) << "the same cell";
  ASSERT_EQ(PublishAt(*queue, later, Key(kTreeView, "\x89\xEF", 5000)), PushResult::Queued);

  EXPECT_EQ(PublishAt(*queue, held, Key(kListView, "s", 999)), PushResult::Busy);
  Batch batch = Take();
  EXPECT_EQ(batch.view, kTreeView);
  EXPECT_EQ(batch.text, "\x89\xEF");
  EXPECT_EQ(batch.ticks, (std::vector<std::uint32_t>{5000, 5000}));

  // Held again, this time while the later producer is between its own claim and publish.
  std::uint32_t first = 0;
  ASSERT_EQ(ClaimPosition(*queue, first), PushResult::Queued);
  Take(INPUT_BATCH_MAX, 7000);
  Take(INPUT_BATCH_MAX, 7000 + kStallTimeoutMs);
  for (std::uint32_t i = 1; i < kQueueCapacity; ++i) {
    ASSERT_EQ(Push(kListView, "y", i), PushResult::Queued);
    ASSERT_EQ(Take().count, 1);
  }
  std::uint32_t second = 0;
  ASSERT_EQ(ClaimPosition(*queue, second), PushResult::Queued);
  EXPECT_EQ(PublishAt(*queue, first, Key(kListView, "q", 1)), PushResult::Busy) << "the cell is not its own";
  ASSERT_EQ(PublishAt(*queue, second, Key(kListView, "k", 2)), PushResult::Queued);
  EXPECT_EQ(Take().text, "k");
}

TEST_F(CharQueueTest, ConcurrentProducersKeepTheirOwnOrder) {
  constexpr int kProducers = 4;
  constexpr std::uint32_t kEach = 5000;
  std::atomic<int> running{kProducers};
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p] {
      for (std::uint32_t i = 0; i < kEach;) {
        if (Push(kListView + p, "x", i) == PushResult::Queued) {
          ++i;
        } else {
          std::this_thread::yield();
        }
      }
      --running;
    });
  }
  std::vector<std::uint32_t> nextTick(kProducers, 0);
  std::uint32_t total = 0;
  while (running.load() > 0 || HasReadyKeystroke(*queue)) {
    Batch batch = Take();
    for (std::uint32_t tick : batch.ticks) {
      int producer = static_cast<int>(batch.view - kListView);
      ASSERT_GE(producer, 0);
      ASSERT_LT(producer, kProducers);
      ASSERT_EQ(tick, nextTick[producer]) << "producer " << producer;
      ++nextTick[producer];
      ++total;
    }
  }
  for (auto& thread : producers) thread.join();
  while (HasReadyKeystroke(*queue)) total += static_cast<std::uint32_t>(Take().count);
  EXPECT_EQ(total, kProducers * kEach);
}

}  // namespace
}  // namespace tapline
