// The input path under concurrent load, without Windows (run it under the linux-tsan
// preset for data races): a "hook" thread types words into a scripted character source
// and posts key notifications, the real receiver thread fetches the characters and queues
// them, this test's main thread plays the UI thread (it fetches before each key, queues
// the key by the time of its message and drains, as the main frame does), the real engine
// builds patterns through the real dictionary loader and searches fake views, and a timer
// thread keeps releasing the dictionary, which the engine's new inputs load again in the
// background.
//
// Every word ends with a key; the input the engine holds at that key is recorded, and it
// must be exactly the word typed: no character lost, doubled or reordered, none run after
// a key typed after it. A watchdog aborts the test on a deadlock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/CoreSearchService.h"
#include "input/InputEngine.h"
#include "input/InputQueue.h"
#include "input/InputRecvThread.h"
#include "search/MigemoLoadThread.h"
#include "tests/support/FakeViews.h"

namespace {

using Clock = std::chrono::steady_clock;

// A dictionary folder small enough to be opened hundreds of times: the first lines of the
// real dictionary and the real conversion tables.
class SmallDictionary {
 public:
  SmallDictionary() {
    std::random_device random;
    folder_ = std::filesystem::temp_directory_path() / ("ks_stress_" + std::to_string(random()));
    std::filesystem::create_directories(folder_);
    const std::filesystem::path source = KANASIFT_TEST_DICT_DIR;
    for (const char* table : {"roma2hira.dat", "hira2kata.dat", "han2zen.dat", "zen2han.dat"}) {
      std::filesystem::copy_file(source / table, folder_ / table);
    }
    std::ifstream in(source / "migemo-dict", std::ios::binary);
    std::ofstream out(folder_ / "migemo-dict", std::ios::binary);
    std::string line;
    for (int i = 0; i < 3000 && std::getline(in, line); ++i) out << line << '\n';
  }
  ~SmallDictionary() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string Path() const { return (folder_ / "migemo-dict").string(); }

 private:
  std::filesystem::path folder_;
};

// The hook library's queue: characters of one view at a time, in typing order.
class ScriptedSource : public InputSource {
 public:
  void Queue(ViewHandle view, std::uint8_t ch, std::uint32_t tick) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back({view, ch, tick});
  }
  int Fetch(ViewHandle& view, std::uint8_t* chars, std::uint32_t* ticks) override {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    while (!queue_.empty() && n < INPUT_BATCH_MAX) {
      if (n > 0 && queue_.front().view != view) break;
      view = queue_.front().view;
      chars[n] = queue_.front().ch;
      ticks[n] = queue_.front().tick;
      queue_.pop_front();
      ++n;
    }
    return n;
  }

 private:
  struct Item {
    ViewHandle view;
    std::uint8_t ch;
    std::uint32_t tick;
  };
  std::mutex mutex_;
  std::deque<Item> queue_;
};

// The UI thread's message queue: posted messages with the time they were posted.
struct Message {
  enum Kind { kDrain, kKey, kReleaseDictionary, kQuit } kind;
  std::uint32_t time = 0;
  KeyModifiers modifiers = KeyModifiers::None;
  std::uintptr_t key = 0;
  ViewHandle view = 0;
};

class MessageQueue {
 public:
  void Post(Message message) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      messages_.push_back(message);
    }
    ready_.notify_one();
  }
  Message Get() {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return !messages_.empty(); });
    Message message = messages_.front();
    messages_.pop_front();
    return message;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Message> messages_;
};

// One clock for the hook's time stamps and the messages' times, as GetTickCount is one.
std::atomic<std::uint32_t> theClock{0xFFFFF000u};  // crosses the 32-bit wrap on the way
std::uint32_t Now() { return theClock.fetch_add(1) + 1; }

// The main frame's side of the engine: only what a stress run needs.
class StressHost : public InputHost {
 public:
  explicit StressHost(MigemoLoadThread& dictionary) : dictionary_(dictionary) {}
  std::uint32_t TickCount() override { return Now(); }
  bool IsShiftDown() override { return false; }
  void InjectKey(std::uint8_t) override {}
  void EnsureDictionaryLoading() override { dictionary_.EnsureLoading(); }
  void RestartDictReleaseTimer() override {}
  void UpdateTrayIcon() override {}
  void ToggleIsUse() override {}
  void ToggleIsEnable() override {}
  void ToggleIsForceEnable() override {}
  void ToggleIsUsePartialMatch() override {}
  void ShowInputTooltip(const ItemRect&, const std::string*) override { ++tooltips; }
  void HideInputTooltip() override {}
  void ShowRegexDialog() override {}
  void ShowNisHeaderDialog() override {}
  void Beep() override { ++beeps; }
  void ShowMessage(ViewHandle, const std::string& text, const std::string&, unsigned) override {
    messages.push_back(text);
  }

  int tooltips = 0;
  int beeps = 0;
  std::vector<std::string> messages;

 private:
  MigemoLoadThread& dictionary_;
};

// Names in (decoy, target) pairs: a word is the pair's common prefix and the target's
// next letter, so only the whole word, in order, selects the target.
struct Word {
  std::string text;
  int targetIndex;
};

std::vector<std::string> PairNames(const std::string& firstLetters, std::mt19937& random, std::vector<Word>& words) {
  std::vector<std::string> names;
  const std::string letters = "abcdefghijklmnopqrstuvwxy";
  for (char first : firstLetters) {
    std::string common(1, first);
    int length = 6 + static_cast<int>(random() % 24);
    while (static_cast<int>(common.size()) < length) common += letters[random() % letters.size()];
    words.push_back({common + "z", static_cast<int>(names.size()) + 1});
    names.push_back(common + "q.txt");
    names.push_back(common + "zz.txt");
  }
  return names;
}

std::string ExpectedInput(const std::string& word) {
  std::string input = word;
  input[0] = static_cast<char>(input[0] - 0x20);
  return input;
}

TEST(InputStressTest, EveryCharacterIsProcessedInOrderUnderConcurrentLoad) {
  SmallDictionary dictionaryFiles;
  MigemoLoadThread dictionary(dictionaryFiles.Path());
  ASSERT_TRUE(dictionary.LoadNow()) << "the small dictionary opens";

  std::mt19937 random(20240601);
  std::vector<Word> wordsOf[2];
  FakeListModel lists[2] = {FakeListModel(PairNames("bcdefgh", random, wordsOf[0])),
                            FakeListModel(PairNames("ijklmno", random, wordsOf[1]))};
  FakeViewProvider views;
  const ViewHandle handles[2] = {views.AddList(&lists[0]), views.AddList(&lists[1])};

  AppSettings settings;
  settings.permissibleInputInterval = 1000000;  // inputs end by keys only
  std::array<Shortcut, SHORTCUT_COUNT> shortcuts{};
  for (auto& s : shortcuts) s = {1, 0, '!'};
  shortcuts[kNextCandidate] = {1, 0, 'N'};
  shortcuts[kPrevCandidate] = {1, 0, 'P'};
  shortcuts[kSelectAllCandidates] = {1, 0, 'S'};
  shortcuts[kBackSpace] = {1, 0, 'H'};
  const std::string treeClasses = std::string("SysTreeView32") + '\0' + '\0';

  StressHost host(dictionary);
  CoreSearchService search(dictionary, views, host, treeClasses.c_str());
  InputEngine engine(host, search, views, settings, shortcuts, treeClasses);

  MessageQueue messages;
  InputQueue queue([&] { messages.Post({Message::kDrain, Now()}); });
  ScriptedSource source;
  InputRecvThread receiver(
      source,
      [&](ViewHandle view, std::uint8_t ch, std::uint32_t tick) {
        queue.Push([&engine, view, ch, tick] { engine.OnInputChar(view, ch, tick); }, tick);
      },
      nullptr);
  ASSERT_TRUE(receiver.Start());

  // The engine's input at each word's first closing key, in the order the keys ran.
  std::vector<std::string> inputsAtKeys;
  std::vector<std::string> expected;
  constexpr int kWords = 420;
  std::atomic<int> charactersTyped{0}, keysPosted{0};

  std::atomic<bool> finished{false};
  std::thread watchdog([&] {
    auto deadline = Clock::now() + std::chrono::seconds(240);
    while (!finished && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!finished) {
      std::fprintf(stderr, "deadlock: %zu of %d words done, %zu items queued\n", inputsAtKeys.size(), kWords,
                   queue.Pending());
      std::abort();
    }
  });

  std::atomic<bool> typingDone{false};
  std::thread timer([&] {
    // The dictionary's idle timer, firing all the time.
    while (!typingDone) {
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
      messages.Post({Message::kReleaseDictionary, Now()});
    }
  });

  std::thread hook([&] {
    std::mt19937 keys(7);
    int last[2] = {-1, -1};
    for (int w = 0; w < kWords; ++w) {
      const int v = w % 2;
      int pick = static_cast<int>(keys() % wordsOf[v].size());
      if (pick == last[v]) pick = (pick + 1) % static_cast<int>(wordsOf[v].size());
      last[v] = pick;
      const std::string& word = wordsOf[v][static_cast<std::size_t>(pick)].text;
      const std::size_t fixAt = 1 + keys() % (word.size() - 1);
      for (std::size_t i = 0; i < word.size(); ++i) {
        source.Queue(handles[v], static_cast<std::uint8_t>(word[i]), Now());
        receiver.inputEvent().Set();
        ++charactersTyped;
        if (i == fixAt) {
          // Ctrl+H takes the character back; it is typed again at once.
          messages.Post({Message::kKey, Now(), KeyModifiers::Ctrl, 'H', handles[v]});
          ++keysPosted;
          source.Queue(handles[v], static_cast<std::uint8_t>(word[i]), Now());
          receiver.inputEvent().Set();
          ++charactersTyped;
        }
      }
      // The word's end: a step (the only candidate stays), a plain key that ends the
      // input, and the next word right behind them.
      static const std::uintptr_t kSteps[3] = {'N', 'P', 'S'};
      static const std::uintptr_t kEnds[3] = {0x1B, 0x0D, 0x08};
      messages.Post({Message::kKey, Now(), KeyModifiers::Ctrl, kSteps[w % 3], handles[v]});
      messages.Post({Message::kKey, Now(), KeyModifiers::None, kEnds[w % 3], handles[v]});
      keysPosted += 2;
      if (w % 25 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    typingDone = true;
    messages.Post({Message::kQuit, Now()});
  });

  // This thread is the UI thread.
  bool closing[2] = {false, false};
  for (;;) {
    Message message = messages.Get();
    if (message.kind == Message::kQuit) {
      // Everything typed has been posted: take what is left.
      receiver.FetchAndDeliver();
      queue.Drain();
      break;
    }
    switch (message.kind) {
      case Message::kDrain:
        queue.Drain(message.time);
        break;
      case Message::kReleaseDictionary:
        dictionary.CloseMigemo();
        break;
      case Message::kKey: {
        receiver.FetchAndDeliver();
        const int v = message.view == handles[1] ? 1 : 0;
        const bool closesWord = message.modifiers == KeyModifiers::Ctrl && message.key != 'H';
        queue.Push(
            [&, message, v, closesWord] {
              if (closesWord && !closing[v]) inputsAtKeys.push_back(engine.state().inputText);
              closing[v] = closesWord;
              engine.OnKeyDown(message.modifiers, message.key, message.view);
            },
            message.time);
        queue.Drain(message.time);
        break;
      }
      default:
        break;
    }
  }
  hook.join();
  timer.join();
  receiver.Stop(platform::kInfinite);
  finished = true;
  watchdog.join();

  // The words the hook typed, in the same pseudo-random order.
  {
    std::mt19937 keys(7);
    int last[2] = {-1, -1};
    for (int w = 0; w < kWords; ++w) {
      const int v = w % 2;
      int pick = static_cast<int>(keys() % wordsOf[v].size());
      if (pick == last[v]) pick = (pick + 1) % static_cast<int>(wordsOf[v].size());
      last[v] = pick;
      const std::string& word = wordsOf[v][static_cast<std::size_t>(pick)].text;
      keys();  // fixAt
      expected.push_back(ExpectedInput(word));
    }
  }
  ASSERT_EQ(inputsAtKeys.size(), expected.size());
  int wrong = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (inputsAtKeys[i] != expected[i] && ++wrong <= 5) {
      ADD_FAILURE() << "word " << i << ": typed " << expected[i] << ", the engine had " << inputsAtKeys[i];
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(host.messages.empty()) << "a box: " << host.messages.front();
  EXPECT_EQ(host.beeps, 0) << "every word and every step found its candidate";
  std::printf("%d characters, %d key notifications, %d tooltips\n", charactersTyped.load(), keysPosted.load(),
              host.tooltips);
}

}  // namespace
