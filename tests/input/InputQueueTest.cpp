// The ordered input queue: order, the non-re-entrant drain that keeps work waiting while
// a modal loop runs, wake coalescing, and many threads pushing while one drains.
#include "input/InputQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <utility>
#include <thread>
#include <vector>

namespace {

TEST(InputQueueTest, RunsWorkInPushOrder) {
  InputQueue queue;
  std::vector<int> ran;
  for (int i = 0; i < 5; ++i) queue.Push([&ran, i] { ran.push_back(i); });
  EXPECT_EQ(queue.Drain(), 5u);
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(queue.Pending(), 0u);
}

TEST(InputQueueTest, NestedDrainWaitsForTheOuterOne) {
  // An item that opens a "message box" whose modal loop calls Drain again: the items
  // pushed meanwhile must not run inside the box, only after it, in order.
  InputQueue queue;
  std::vector<std::string> ran;
  queue.Push([&] {
    ran.push_back("box opens");
    queue.Push([&] { ran.push_back("typed while box open"); });
    EXPECT_EQ(queue.Drain(), 0u);  // the modal loop's dispatch
    ran.push_back("box closes");
  });
  queue.Push([&] { ran.push_back("second"); });
  queue.Drain();
  EXPECT_EQ(ran, (std::vector<std::string>{"box opens", "box closes", "second", "typed while box open"}));
}

TEST(InputQueueTest, WakesOncePerDrain) {
  int wakes = 0;
  InputQueue queue([&] { ++wakes; });
  queue.Push([] {});
  queue.Push([] {});
  queue.Push([] {});
  EXPECT_EQ(wakes, 1) << "a burst of characters asks for one drain";
  queue.Drain();
  queue.Push([] {});
  EXPECT_EQ(wakes, 2);
}

TEST(InputQueueTest, AFailingItemDoesNotStopTheRest) {
  InputQueue queue;
  int ran = 0;
  queue.Push([] { throw std::runtime_error("out of memory"); });
  queue.Push([&] { ++ran; });
  EXPECT_EQ(queue.Drain(), 2u);
  EXPECT_EQ(ran, 1);
  EXPECT_FALSE(queue.IsDraining());
}

TEST(InputQueueTest, ProducersAndDrainerLoseNothingAndKeepEachProducersOrder) {
  constexpr int kProducers = 3;
  constexpr int kPerProducer = 5000;
  std::atomic<int> wakes{0};
  InputQueue queue([&] { ++wakes; });
  std::vector<std::vector<int>> seen(kProducers);
  std::atomic<int> done{0};

  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p] {
      for (int i = 0; i < kPerProducer; ++i) queue.Push([&seen, p, i] { seen[p].push_back(i); });
      ++done;
    });
  }
  // This thread plays the UI thread: it drains while the others push.
  while (done < kProducers || queue.Pending() > 0) queue.Drain();
  for (auto& t : producers) t.join();
  queue.Drain();

  for (int p = 0; p < kProducers; ++p) {
    ASSERT_EQ(seen[p].size(), static_cast<size_t>(kPerProducer));
    for (int i = 0; i < kPerProducer; ++i) ASSERT_EQ(seen[p][i], i) << "producer " << p;
  }
  EXPECT_GE(wakes.load(), 1);
}

}  // namespace

namespace {

TEST(InputQueueTest, AKeyTakenLateStillRunsBeforeTheCharactersTypedAfterIt) {
  // The receiver fetched "ab" (typed before the key at 103) and "cd" (typed after it)
  // before the UI thread took the key's message from its queue.
  InputQueue queue;
  std::string ran;
  for (auto [c, tick] : {std::pair{'a', 100u}, {'b', 101u}, {'c', 105u}, {'d', 106u}}) {
    queue.Push([&ran, c = c] { ran += c; }, tick);
  }
  queue.Push([&ran] { ran += '|'; }, 103);
  queue.Drain(103);
  EXPECT_EQ(ran, "ab|") << "a drain for the key's message runs nothing typed after it";
  queue.Drain(107);
  EXPECT_EQ(ran, "ab|cd");
}

TEST(InputQueueTest, ADrainThatLeavesLaterWorkAsksForAnotherOne) {
  int wakes = 0;
  InputQueue queue([&] { ++wakes; });
  std::string ran;
  queue.Push([&] { ran += 'x'; }, 50);
  queue.Push([&] { ran += 'y'; }, 60);
  EXPECT_EQ(wakes, 1);
  EXPECT_EQ(queue.Drain(55), 1u);
  EXPECT_EQ(wakes, 2) << "the work of moment 60 would otherwise wait for the next keystroke";
  EXPECT_EQ(queue.Drain(60), 1u);
  EXPECT_EQ(ran, "xy");
  EXPECT_EQ(wakes, 2);
}

TEST(InputQueueTest, MomentsCompareAcrossTheTickCountsWrap) {
  InputQueue queue;
  std::string ran;
  queue.Push([&] { ran += 'b'; }, 5u);            // just after the wrap
  queue.Push([&] { ran += 'a'; }, 0xFFFFFFF0u);   // just before it
  queue.Push([&] { ran += 'c'; });                // untimed: after everything queued
  queue.Drain(10u);
  EXPECT_EQ(ran, "abc");
}

TEST(InputQueueTest, WorkOfOneMomentKeepsItsPushOrder) {
  InputQueue queue;
  std::string ran;
  for (char c : std::string("kaisya")) queue.Push([&ran, c] { ran += c; }, 7);
  queue.Push([&ran] { ran += '!'; }, 7);
  queue.Drain(7);
  EXPECT_EQ(ran, "kaisya!");
}

}  // namespace
