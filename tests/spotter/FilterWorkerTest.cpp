// The filter thread: a newer input supersedes an older one (even while Kanasift is being
// asked), results grow while the listing runs and come in the requested order once it
// is ordered, and a pass split between two threads gives what one thread gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "spotter/FilterWorker.h"
#include "tests/search/SearchTestSupport.h"

namespace {

using namespace std::chrono_literals;

// Answers "(会社)" for every query; the query "slow" takes a while.
class SlowDictionary : public ReportingDictionary {
 public:
  std::optional<std::string> Query(const std::string& query, const char*) override {
    if (query == "slow") std::this_thread::sleep_for(300ms);
    if (query == "none") {
      outcome_ = QueryOutcome::NotRunning;
      return std::nullopt;
    }
    outcome_ = QueryOutcome::Answered;
    return Sjis(L"会社");
  }
  QueryOutcome lastOutcome() const override { return outcome_; }

 private:
  QueryOutcome outcome_ = QueryOutcome::Answered;
};

class Collector : public ResultSink {
 public:
  void Deliver(std::shared_ptr<const FilterResult> result) override {
    std::lock_guard<std::mutex> guard(lock);
    results.push_back(std::move(result));
    arrived.notify_all();
  }
  // Waits for a result that satisfies `done`.
  std::shared_ptr<const FilterResult> WaitFor(const std::function<bool(const FilterResult&)>& done) {
    std::unique_lock<std::mutex> guard(lock);
    std::shared_ptr<const FilterResult> found;
    arrived.wait_for(guard, 10s, [&] {
      for (const auto& result : results) {
        if (done(*result)) found = result;
      }
      return found != nullptr;
    });
    return found;
  }
  std::vector<std::shared_ptr<const FilterResult>> Snapshot() {
    std::lock_guard<std::mutex> guard(lock);
    return results;
  }

  std::mutex lock;
  std::condition_variable arrived;
  std::vector<std::shared_ptr<const FilterResult>> results;
};

FilterWorker::DictionaryFactory Slow() {
  return [] { return std::unique_ptr<ReportingDictionary>(std::make_unique<SlowDictionary>()); };
}

// Names in the order of their units: each unit big-endian, so bytes compare as units.
void Compare(const wchar_t* name, std::string& key) {
  key.clear();
  for (; *name; ++name) {
    const auto unit = static_cast<std::uint32_t>(*name);
    for (int shift = 24; shift >= 0; shift -= 8) key += static_cast<char>((unit >> shift) & 0xFF);
  }
}

FilterRequest Input(const wchar_t* input, SortOrder sort = {}) {
  FilterRequest request;
  request.input = input;
  request.sort = sort;
  return request;
}

// n files, every third named 会社…, with sizes and dates that run against the names.
std::shared_ptr<EntryIndex> Files(std::uint32_t n) {
  auto index = std::make_shared<EntryIndex>(L"R:");
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::wstring name = (i % 3 == 0 ? L"会社" : L"other") + std::to_wstring(100000 + i);
    index->AddEntry(name, kRootFolder, 0, n - i, i % 7);
  }
  return index;
}

TEST(FilterWorker, ANewerInputSupersedesOneStillBeingAsked) {
  Collector sink;
  FilterWorker worker(Slow(), sink);
  auto index = Files(30);
  index->MarkListed();
  index->ComputeOrder(Compare);
  worker.SetIndex(index);
  const std::uint64_t slow = worker.Request(Input(L"slow"));
  std::this_thread::sleep_for(50ms);  // the worker is inside the slow query now
  const std::uint64_t fast = worker.Request(Input(L"kaisya"));
  auto last = sink.WaitFor([&](const FilterResult& r) { return r.generation == fast && r.ordered; });
  ASSERT_TRUE(last);
  EXPECT_EQ(last->rows.size(), 10u);
  for (const auto& result : sink.Snapshot()) EXPECT_NE(result->generation, slow);
}

TEST(FilterWorker, ResultsGrowWhileTheListingRunsThenComeInOrder) {
  Collector sink;
  FilterWorker worker(Slow(), sink);
  auto index = std::make_shared<EntryIndex>(L"R:");
  worker.SetIndex(index);
  const std::uint64_t generation = worker.Request(Input(L"kaisya", SortOrder{SortColumn::Size, false}));
  for (std::uint32_t batch = 0; batch < 5; ++batch) {
    for (std::uint32_t i = 0; i < 300; ++i) {
      const std::uint32_t n = batch * 300 + i;
      index->AddEntry((n % 3 == 0 ? L"会社" : L"x") + std::to_wstring(n), kRootFolder, 0, 5000 - n, 0);
    }
    index->Publish();
    worker.IndexChanged();
    // Each published batch is filtered and delivered before the listing ends (waiting
    // for it, not for a time, keeps a slow machine from skipping a batch).
    const std::uint32_t published = (batch + 1) * 300;
    ASSERT_TRUE(sink.WaitFor([&](const FilterResult& r) { return !r.listed && r.shown == published; }))
        << "a delivery while the listing ran, after " << published << " entries";
  }
  auto growing = sink.WaitFor([&](const FilterResult& r) { return !r.listed && r.shown == 1200; });
  ASSERT_TRUE(growing);
  EXPECT_EQ(growing->rows.size(), 400u);
  EXPECT_FALSE(growing->ordered);
  EXPECT_TRUE(growing->rows.front() == 0 && growing->rows.back() == 1197);  // as listed

  index->MarkListed();
  worker.IndexChanged();
  index->ComputeOrder(Compare);
  worker.IndexChanged();
  auto ordered = sink.WaitFor([&](const FilterResult& r) { return r.ordered; });
  ASSERT_TRUE(ordered);
  EXPECT_EQ(ordered->generation, generation);
  EXPECT_TRUE(ordered->listed);
  ASSERT_EQ(ordered->rows.size(), 500u);
  EXPECT_EQ(ordered->rows.front(), 1497u);  // the smallest
  EXPECT_EQ(ordered->rows.back(), 0u);

  worker.Request(Input(L"kaisya", SortOrder{SortColumn::Size, true}));
  auto descending = sink.WaitFor([&](const FilterResult& r) { return r.ordered && r.rows.front() == 0; });
  ASSERT_TRUE(descending);
  EXPECT_EQ(descending->rows.back(), 1497u);
}

TEST(FilterWorker, WithoutKanasiftTheInputIsMatchedAsTypedAndTheReasonTold) {
  Collector sink;
  FilterWorker worker(Slow(), sink);
  auto index = std::make_shared<EntryIndex>(L"R:");
  index->AddEntry(L"none of these", kRootFolder, 0, 0, 0);
  index->AddEntry(L"nonetheless", kRootFolder, 0, 0, 0);
  index->AddEntry(L"会社", kRootFolder, 0, 0, 0);
  index->MarkListed();
  index->ComputeOrder(Compare);
  worker.SetIndex(index);
  const std::uint64_t generation = worker.Request(Input(L"none"));
  auto result = sink.WaitFor([&](const FilterResult& r) { return r.generation == generation && r.ordered; });
  ASSERT_TRUE(result);
  EXPECT_EQ(result->outcome, QueryOutcome::NotRunning);
  EXPECT_EQ(result->filter->state(), FilterState::Unexpanded);
  EXPECT_EQ(result->rows, (std::vector<std::uint32_t>{0, 1}));
}

TEST(FilterWorker, SortedEntriesAndTwoThreadsAgreeWithOne) {
  auto index = Files(100000);
  index->MarkListed();
  index->ComputeOrder(Compare);
  const std::vector<std::uint32_t> byDate = SortedEntries(*index, SortColumn::Modified);
  for (std::size_t i = 1; i < byDate.size(); ++i) {
    const Entry& a = index->entry(byDate[i - 1]);
    const Entry& b = index->entry(byDate[i]);
    ASSERT_TRUE(a.modified < b.modified || (a.modified == b.modified && index->NameRank(byDate[i - 1]) <
                                                                             index->NameRank(byDate[i])));
  }
  ScriptedDictionary dictionary;
  dictionary.answer = Sjis(L"会社");
  SearchOptions options;
  options.isUsePartialMatch = true;
  NameFilter filter(L"kaisya", options, dictionary);
  EntryMatcher matcher(filter, *index, ShowOptions{});
  const std::function<bool()> never = [] { return false; };
  std::vector<std::uint32_t> one, two;
  std::uint32_t shownOne = 0, shownTwo = 0;
  FilterPool single(false), pair(true);
  ASSERT_TRUE(single.CollectOrdered(matcher, byDate, true, never, one, shownOne));
  ASSERT_TRUE(pair.CollectOrdered(matcher, byDate, true, never, two, shownTwo));
  EXPECT_EQ(one.size(), 33334u);
  EXPECT_EQ(one, two);
  EXPECT_EQ(index->entry(one.front()).modified, 6u);  // the latest first
  std::vector<std::uint32_t> listed;
  std::uint32_t shownListed = 0;
  ASSERT_TRUE(pair.Collect(matcher, 0, 100000, never, listed, shownListed));
  ASSERT_EQ(listed.size(), 33334u);
  EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
  EXPECT_EQ(shownOne, 100000u);
  EXPECT_EQ(shownTwo, 100000u);
}

}  // namespace
