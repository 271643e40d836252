// The receiver thread: batches delivered whole and in order, the stop request winning
// over queued characters, and characters fetched before a key command is run.
#include "input/InputRecvThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "input/InputQueue.h"

namespace {

// A scripted hook library: characters queued per view, fetched a view at a time.
class ScriptedSource : public InputSource {
 public:
  void Queue(ViewHandle view, std::uint8_t ch, std::uint32_t tick) {
    std::lock_guard<std::mutex> lock(m_);
    q_.push_back({view, ch, tick});
  }
  int Fetch(ViewHandle& view, std::uint8_t* chars, std::uint32_t* ticks) override {
    std::lock_guard<std::mutex> lock(m_);
    ++fetches;
    int n = 0;
    while (!q_.empty() && n < INPUT_BATCH_MAX) {
      if (n > 0 && q_.front().view != view) break;
      view = q_.front().view;
      chars[n] = q_.front().ch;
      ticks[n] = q_.front().tick;
      q_.pop_front();
      ++n;
    }
    return n;
  }
  std::atomic<int> fetches{0};

 private:
  struct Item {
    ViewHandle view;
    std::uint8_t ch;
    std::uint32_t tick;
  };
  std::mutex m_;
  std::deque<Item> q_;
};

// Test-local mailbox standing in for the posted key messages.
std::mutex& keyMutex() {
  static std::mutex m;
  return m;
}
std::deque<int>& pendingKeys() {
  static std::deque<int> q;
  return q;
}

struct Received {
  ViewHandle view;
  std::uint8_t ch;
  std::uint32_t tick;
};

TEST(InputRecvThreadTest, DeliversAFullBatchInOrderWithItsView) {
  ScriptedSource source;
  std::vector<Received> got;
  InputRecvThread receiver(
      source, [&](ViewHandle v, std::uint8_t c, std::uint32_t t) { got.push_back({v, c, t}); },
      nullptr);
  for (int i = 0; i < INPUT_BATCH_MAX; ++i) {
    source.Queue(0x42, static_cast<std::uint8_t>('a' + i % 26), 1000u + i);
  }
  source.Queue(0x77, 'z', 5000);  // another view: a second batch
  EXPECT_EQ(receiver.FetchAndDeliver(), INPUT_BATCH_MAX + 1);
  ASSERT_EQ(got.size(), static_cast<size_t>(INPUT_BATCH_MAX + 1));
  for (int i = 0; i < INPUT_BATCH_MAX; ++i) {
    EXPECT_EQ(got[i].view, 0x42u);
    EXPECT_EQ(got[i].ch, 'a' + i % 26);
    EXPECT_EQ(got[i].tick, 1000u + i);
  }
  EXPECT_EQ(got.back().view, 0x77u);
}

TEST(InputRecvThreadTest, WakesOnTheEventAndStopsOnRequest) {
  ScriptedSource source;
  std::atomic<int> count{0};
  InputRecvThread receiver(source, [&](ViewHandle, std::uint8_t, std::uint32_t) { ++count; }, nullptr);
  ASSERT_TRUE(receiver.Start());
  source.Queue(1, 'k', 1);
  source.Queue(1, 'a', 2);
  receiver.inputEvent().Set();
  for (int i = 0; i < 5000 && count < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_EQ(count.load(), 2);
  EXPECT_TRUE(receiver.Stop(platform::kInfinite));
  EXPECT_FALSE(receiver.IsRunning());
}

// A source whose first fetch holds the thread (and finds nothing), and which has one
// character for any later fetch.
class HeldSource : public InputSource {
 public:
  int Fetch(ViewHandle& view, std::uint8_t* chars, std::uint32_t* ticks) override {
    int n = ++fetches;
    if (n == 1) {
      inFetch.Set();
      release.Wait(platform::kInfinite);
      return 0;
    }
    if (n > 2) return 0;
    view = 1;
    chars[0] = 'k';
    ticks[0] = 1;
    return 1;
  }
  std::atomic<int> fetches{0};
  platform::Event inFetch{true, false};
  platform::Event release{true, false};
};

TEST(InputRecvThreadTest, StopWinsOverCharactersQueuedAtTheSameTime) {
  HeldSource source;
  std::atomic<int> count{0};
  InputRecvThread receiver(source, [&](ViewHandle, std::uint8_t, std::uint32_t) { ++count; }, nullptr);
  ASSERT_TRUE(receiver.Start());
  receiver.inputEvent().Set();
  ASSERT_TRUE(source.inFetch.Wait(10000));
  // While the thread is busy, a character is signalled and the stop is asked for: when it
  // looks again, both events are set.
  receiver.inputEvent().Set();
  const bool stoppedAtOnce = receiver.Stop(0);
  source.release.Set();
  EXPECT_FALSE(stoppedAtOnce) << "the run was still busy";
  EXPECT_TRUE(receiver.Stop(platform::kInfinite));
  EXPECT_EQ(count.load(), 0);
  EXPECT_EQ(source.fetches.load(), 1) << "the stop request is served before the character";
}

TEST(InputRecvThreadTest, KeyCommandsRunAfterEveryCharacterTypedBeforeThem) {
  // The receiver thread and the "UI thread" (this test) both feed one InputQueue. The
  // UI thread fetches before it queues a key, so a key always follows the characters
  // typed before it, however the two threads interleave.
  ScriptedSource source;
  InputQueue queue;
  std::vector<std::string> processed;  // touched only by Drain, on this thread
  InputRecvThread receiver(
      source,
      [&](ViewHandle, std::uint8_t c, std::uint32_t) {
        queue.Push([&processed, c] { processed.push_back(std::string(1, static_cast<char>(c))); });
      },
      nullptr);
  ASSERT_TRUE(receiver.Start());

  constexpr int kKeys = 300;
  std::thread typist([&] {
    for (int k = 0; k < kKeys; ++k) {
      for (int i = 0; i < 7; ++i) {
        source.Queue(1, static_cast<std::uint8_t>('a' + i), static_cast<std::uint32_t>(k * 10 + i));
        receiver.inputEvent().Set();
      }
      // The key notification: queued by the hook after its characters.
      std::lock_guard<std::mutex> lock(keyMutex());
      pendingKeys().push_back(k);
    }
  });

  int keysDone = 0;
  while (keysDone < kKeys) {
    int key = -1;
    {
      std::lock_guard<std::mutex> lock(keyMutex());
      if (!pendingKeys().empty()) {
        key = pendingKeys().front();
        pendingKeys().pop_front();
      }
    }
    if (key >= 0) {
      receiver.FetchAndDeliver();
      queue.Push([&processed, key] { processed.push_back("key" + std::to_string(key)); });
      ++keysDone;
    }
    queue.Drain();
  }
  typist.join();
  receiver.Stop(platform::kInfinite);
  receiver.FetchAndDeliver();
  queue.Drain();

  // Every key comes after the 7 characters typed before it, and nothing was lost.
  int chars = 0, keys = 0;
  for (const auto& item : processed) {
    if (item.rfind("key", 0) == 0) {
      int k = std::stoi(item.substr(3));
      ASSERT_GE(chars, (k + 1) * 7) << "key " << k << " overtook its characters";
      EXPECT_EQ(k, keys++);
    } else {
      ++chars;
    }
  }
  EXPECT_EQ(chars, kKeys * 7);
  EXPECT_EQ(keys, kKeys);
}

}  // namespace

