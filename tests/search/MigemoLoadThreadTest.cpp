#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <thread>

#include "search/MigemoLoadThread.h"
#include "search/PatternBuilder.h"
#include "tests/search/SearchTestSupport.h"

namespace {

// A scratch file beside the test executable's working directory.
class ScratchFile {
 public:
  ScratchFile(const std::string& name, const std::string& content) : path_(name) {
    std::ofstream(path_, std::ios::binary) << content;
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(MigemoLoadThreadTest, NothingIsOpenedUntilAskedAndBackgroundLoadsAreWaitedFor) {
  MigemoLoadThread dictionary(TestDictPath());
  EXPECT_FALSE(dictionary.IsLoaded());
  dictionary.EnsureLoading();  // background load
  EXPECT_TRUE(dictionary.IsLoaded());  // waits for it
  EXPECT_FALSE(dictionary.IsRunning());
  dictionary.CloseMigemo();
  EXPECT_FALSE(dictionary.IsLoaded());
  auto answer = dictionary.Query("Kaisya", nullptr);  // opens synchronously
  ASSERT_TRUE(answer);
  EXPECT_NE(answer->find(Sjis(L"会社")), std::string::npos);
  EXPECT_TRUE(dictionary.IsLoaded());
}

// A loader whose loads are counted and held at their start until the test lets them go.
class HeldLoader : public MigemoLoadThread {
 public:
  using MigemoLoadThread::MigemoLoadThread;
  std::atomic<int> loads{0};
  platform::Event started{true, false};
  platform::Event release{true, false};

 protected:
  std::uint32_t Run() override {
    ++loads;
    started.Set();
    release.Wait(platform::kInfinite);
    return MigemoLoadThread::Run();
  }
};

TEST(MigemoLoadThreadTest, QueryDuringABackgroundLoadWaitsForThatLoad) {
  HeldLoader dictionary(TestDictPath());
  dictionary.EnsureLoading();
  ASSERT_TRUE(dictionary.started.Wait(10000));
  std::atomic<bool> returned{false};
  bool loaded = false;
  std::thread query([&] {
    loaded = dictionary.LoadNow();
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const bool returnedEarly = returned;
  dictionary.release.Set();
  query.join();
  EXPECT_FALSE(returnedEarly) << "it did not wait for the running load";
  EXPECT_TRUE(loaded);
  EXPECT_EQ(dictionary.loads.load(), 1) << "a second load ran";
  EXPECT_TRUE(dictionary.Query("Nihon", nullptr).has_value());
}

TEST(MigemoLoadThreadTest, HalfACharacterAtTheEndIsLeftOutOfTheQuery) {
  // A lone lead byte would be a prefix of most of the dictionary: seconds of work and a
  // huge answer. The query without it answers as the query before it does.
  MigemoLoadThread dictionary(TestDictPath());
  auto lone = dictionary.Query("\x82", nullptr);
  ASSERT_TRUE(lone);
  EXPECT_EQ(*lone, "");
  auto withHalf = dictionary.Query("Kai\x82", nullptr);
  auto without = dictionary.Query("Kai", nullptr);
  ASSERT_TRUE(withHalf && without);
  EXPECT_EQ(*withHalf, *without);
  // A whole double-byte character stays: あ (82 A0).
  auto whole = dictionary.Query("\x82\xA0", nullptr);
  ASSERT_TRUE(whole);
  EXPECT_NE(whole->find(Sjis(L"あ")), std::string::npos);
}

TEST(MigemoLoadThreadTest, MissingFileGivesAnObjectThatIsHeldButNotUsable) {
  MigemoLoadThread dictionary("no-such-folder/migemo-dict");
  EXPECT_FALSE(dictionary.LoadNow());
  EXPECT_TRUE(dictionary.IsLoaded());  // held: a new input does not try again
  EXPECT_FALSE(dictionary.Query("Kaisya", nullptr));
  dictionary.CloseMigemo();
  EXPECT_FALSE(dictionary.IsLoaded());
}

TEST(MigemoLoadThreadTest, FileWithNulBytesIsRefusedInsteadOfCrashingTheLoader) {
  std::string garbage;
  for (int i = 0; i < 20000; ++i) garbage.push_back(static_cast<char>((i * 7919) % 251));
  garbage.insert(0, std::string("\0\0\t\x01\n", 5));  // the line that takes Migemo's loader down
  ScratchFile file("garbage-migemo-dict", garbage);
  EXPECT_FALSE(IsSafeDictionaryFile(file.path()));
  EXPECT_TRUE(IsSafeDictionaryFile(TestDictPath()));
  EXPECT_TRUE(IsSafeDictionaryFile("no-such-folder/migemo-dict"));

  MigemoLoadThread dictionary(file.path());
  EXPECT_FALSE(dictionary.LoadNow());
  EXPECT_FALSE(dictionary.IsLoaded());  // no object: every new input tries again

  RecordingNotifier notifier;
  PatternBuilder builder(dictionary, notifier);
  InputState state;
  state.inputText = "Kaisya";
  builder.BuildPattern(state, SearchOptions{});
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0].text, "Failed to initialize migemo");
  EXPECT_TRUE(builder.pattern().Empty());
}

TEST(MigemoLoadThreadTest, MissingDictionaryShowsOneBoxPerExpansionAndNoneBelowKanafyLength) {
  MigemoLoadThread dictionary("no-such-folder/migemo-dict");
  RecordingNotifier notifier;
  PatternBuilder builder(dictionary, notifier);
  InputState state;
  state.inputText = "Ka";
  builder.BuildPattern(state, SearchOptions{});
  EXPECT_TRUE(notifier.messages.empty());
  EXPECT_FALSE(dictionary.IsLoaded());  // never opened for a short input
  state.inputText = "Kai";
  builder.BuildPattern(state, SearchOptions{});
  state.inputText = "Kais";
  builder.BuildPattern(state, SearchOptions{});
  EXPECT_EQ(notifier.messages.size(), 2u);
}

// One thread queries without pause while another closes and reopens the dictionary:
// the lock keeps every query on a live object (run under ThreadSanitizer as well).
TEST(MigemoLoadThreadTest, ClosingAndReopeningDuringQueriesIsSafe) {
  MigemoLoadThread dictionary(TestDictPath());
  ASSERT_TRUE(dictionary.LoadNow());
  std::atomic<bool> done{false};
  std::atomic<int> answered{0};
  std::atomic<int> wrong{0};
  const std::string kaisya = Sjis(L"会社");
  std::thread querier([&] {
    while (!done) {
      auto answer = dictionary.Query("Kaisya", (answered % 2) ? "." : nullptr);
      // Nothing is a fair answer when the dictionary was closed between the load and
      // the query; a wrong text never is.
      if (!answer) continue;
      if (answer->find(kaisya) == std::string::npos) ++wrong;
      ++answered;
    }
  });
  for (int cycle = 0; cycle < 8; ++cycle) {
    dictionary.CloseMigemo();
    dictionary.EnsureLoading();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    dictionary.CloseMigemo();
    dictionary.LoadNow();
  }
  done = true;
  querier.join();
  EXPECT_GT(answered, 8);
  EXPECT_EQ(wrong, 0);
}

}  // namespace
