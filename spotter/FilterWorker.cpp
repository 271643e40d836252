#include "spotter/FilterWorker.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <numeric>

namespace {

// A pass looks for a newer request this often (entries).
constexpr std::uint32_t kCheckEvery = 4096;
// Passes at least this long are split between two threads (shorter ones take less
// than waking the helper costs, under Wine above all).
constexpr std::uint32_t kSplitAt = 262144;
// While the listing grows, results are delivered at most this often (each delivery costs
// the window a new row count, which redraws its scroll bar).
constexpr std::chrono::milliseconds kGrowthInterval(250);
// Answers kept for inputs asked again (a toggled option, a character typed and removed).
constexpr std::size_t kCachedAnswers = 256;

// Keeps Kanasift's answers for the inputs asked recently.
class CachingDictionary : public ReportingDictionary {
 public:
  explicit CachingDictionary(ReportingDictionary& inner) : inner_(inner) {}

  std::optional<std::string> Query(const std::string& query, const char* escapeChars) override {
    const std::string key = query + '\0' + (escapeChars ? escapeChars : "");
    auto known = answers_.find(key);
    if (known != answers_.end()) {
      outcome_ = QueryOutcome::Answered;
      return known->second;
    }
    std::optional<std::string> answer = inner_.Query(query, escapeChars);
    outcome_ = inner_.lastOutcome();
    if (answer) {
      if (answers_.size() >= kCachedAnswers) answers_.clear();
      answers_.emplace(key, *answer);
    }
    return answer;
  }
  QueryOutcome lastOutcome() const override { return outcome_; }

 private:
  ReportingDictionary& inner_;
  std::map<std::string, std::string> answers_;
  QueryOutcome outcome_ = QueryOutcome::Answered;
};

// Tests [from, to) in the index's order; `take` gets each matching entry.
template <typename Take>
bool Test(const EntryMatcher& matcher, std::uint32_t from, std::uint32_t to, const std::function<bool()>& stop,
          std::uint32_t& shown, Take take) {
  const EntryIndex& index = matcher.index();
  const ShowOptions show = matcher.show();
  for (std::uint32_t i = from; i < to; ++i) {
    if ((i - from) % kCheckEvery == 0 && stop()) return false;
    const Entry& entry = index.entry(i);
    if (!IsShown(entry.flags, show)) continue;
    ++shown;
    if (matcher.MatchesEntry(entry)) take(i);
  }
  return true;
}

bool SameOptions(const FilterRequest& a, const FilterRequest& b) {
  return a.input == b.input && a.options.kanafyLength == b.options.kanafyLength &&
         a.options.isUsePartialMatch == b.options.isUsePartialMatch;
}

}  // namespace

std::vector<std::uint32_t> SortedEntries(const EntryIndex& index, SortColumn column) {
  const std::uint32_t count = index.EntryCount();
  std::vector<std::uint32_t> order(count);
  if (column == SortColumn::Name) {
    for (std::uint32_t i = 0; i < count; ++i) order[index.NameRank(i)] = i;
    return order;
  }
  std::iota(order.begin(), order.end(), 0u);
  auto byName = [&](std::uint32_t a, std::uint32_t b) { return index.NameRank(a) < index.NameRank(b); };
  switch (column) {
    case SortColumn::Folder:
      std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const std::uint32_t fa = index.FolderRank(index.entry(a).folder);
        const std::uint32_t fb = index.FolderRank(index.entry(b).folder);
        return fa != fb ? fa < fb : byName(a, b);
      });
      break;
    case SortColumn::Size:
      // Folders first (they have no size), as Explorer sorts them.
      std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const Entry& ea = index.entry(a);
        const Entry& eb = index.entry(b);
        const bool fileA = !(ea.flags & kEntryFolder);
        const bool fileB = !(eb.flags & kEntryFolder);
        if (fileA != fileB) return fileB;
        return ea.size != eb.size ? ea.size < eb.size : byName(a, b);
      });
      break;
    case SortColumn::Modified:
    default:
      std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const Entry& ea = index.entry(a);
        const Entry& eb = index.entry(b);
        return ea.modified != eb.modified ? ea.modified < eb.modified : byName(a, b);
      });
      break;
  }
  return order;
}

// --- FilterPool -------------------------------------------------------------------------

FilterPool::FilterPool(bool useHelper, std::function<void()> threadStart) {
  if (useHelper && std::thread::hardware_concurrency() != 1) {
    helper_ = std::thread([this, threadStart = std::move(threadStart)] {
      if (threadStart) threadStart();
      HelperLoop();
    });
  }
}

FilterPool::~FilterPool() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    quit_ = true;
  }
  changed_.notify_all();
  if (helper_.joinable()) helper_.join();
}

void FilterPool::HelperLoop() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    changed_.wait(guard, [&] { return quit_ || !taskDone_; });
    if (quit_) return;
    std::function<void()> task = std::move(task_);
    guard.unlock();
    task();
    guard.lock();
    taskDone_ = true;
    changed_.notify_all();
  }
}

bool FilterPool::Split(std::uint32_t from, std::uint32_t to,
                       const std::function<bool(std::uint32_t, std::uint32_t, int)>& part) {
  if (!helper_.joinable() || to - from < kSplitAt) return part(from, to, 0);
  const std::uint32_t middle = (from + (to - from) / 2) & ~63u;
  bool secondDone = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    task_ = [&] { secondDone = part(middle, to, 1); };
    taskDone_ = false;
  }
  changed_.notify_all();
  const bool firstDone = part(from, middle, 0);
  std::unique_lock<std::mutex> guard(lock_);
  changed_.wait(guard, [&] { return taskDone_; });
  return firstDone && secondDone;
}

bool FilterPool::Collect(const EntryMatcher& matcher, std::uint32_t from, std::uint32_t to,
                         const std::function<bool()>& stop, std::vector<std::uint32_t>& rows, std::uint32_t& shown) {
  std::vector<std::uint32_t> parts[2];
  std::uint32_t counts[2] = {0, 0};
  const bool done = Split(from, to, [&](std::uint32_t a, std::uint32_t b, int half) {
    return Test(matcher, a, b, stop, counts[half], [&](std::uint32_t i) { parts[half].push_back(i); });
  });
  if (!done) return false;
  rows.insert(rows.end(), parts[0].begin(), parts[0].end());
  rows.insert(rows.end(), parts[1].begin(), parts[1].end());
  shown += counts[0] + counts[1];
  return true;
}

bool FilterPool::CollectOrdered(const EntryMatcher& matcher, const std::vector<std::uint32_t>& order, bool reversed,
                                const std::function<bool()>& stop, std::vector<std::uint32_t>& rows,
                                std::uint32_t& shown) {
  const auto count = static_cast<std::uint32_t>(order.size());
  // The halves meet at a multiple of 64: each writes words of its own.
  std::vector<std::uint64_t> bits((count + 63) / 64, 0);
  std::uint32_t counts[2] = {0, 0};
  const bool done = Split(0, count, [&](std::uint32_t a, std::uint32_t b, int half) {
    return Test(matcher, a, b, stop, counts[half],
                [&](std::uint32_t i) { bits[i >> 6] |= std::uint64_t{1} << (i & 63); });
  });
  if (!done) return false;
  shown += counts[0] + counts[1];
  for (std::uint32_t position = 0; position < count; ++position) {
    const std::uint32_t i = order[reversed ? count - 1 - position : position];
    if ((bits[i >> 6] >> (i & 63)) & 1u) rows.push_back(i);
  }
  return true;
}

// --- FilterWorker -----------------------------------------------------------------------

FilterWorker::FilterWorker(DictionaryFactory makeDictionary, ResultSink& sink, bool useHelper,
                           std::function<void()> threadStart)
    : makeDictionary_(std::move(makeDictionary)), sink_(sink), threadStart_(threadStart), pool_(useHelper, threadStart) {
  thread_ = std::thread([this] { Run(); });
}

FilterWorker::~FilterWorker() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    pending_.quit = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void FilterWorker::SetIndex(std::shared_ptr<EntryIndex> index) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    pending_.index = std::move(index);
    pending_.changed = true;
    ++indexSerial_;
  }
  changed_.notify_all();
}

void FilterWorker::IndexChanged() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    pending_.changed = true;
  }
  changed_.notify_all();
}

std::uint64_t FilterWorker::Request(FilterRequest request) {
  std::uint64_t generation = 0;
  {
    std::lock_guard<std::mutex> guard(lock_);
    pending_.request = std::move(request);
    generation = ++pending_.generation;
    pending_.changed = true;
  }
  changed_.notify_all();
  return generation;
}

bool FilterWorker::Superseded(std::uint64_t generation, std::uint64_t indexSerial) const {
  std::lock_guard<std::mutex> guard(lock_);
  return pending_.quit || pending_.generation != generation || indexSerial_ != indexSerial;
}

void FilterWorker::Run() {
  if (threadStart_) threadStart_();
  std::unique_ptr<ReportingDictionary> made = makeDictionary_();
  if (!made) return;
  CachingDictionary dictionary(*made);

  std::uint64_t generation = 0;
  std::uint64_t indexSerial = 0;
  FilterRequest request;
  std::shared_ptr<EntryIndex> index;
  std::shared_ptr<const NameFilter> filter;
  std::unique_ptr<EntryMatcher> matcher;
  QueryOutcome outcome = QueryOutcome::Answered;
  std::vector<std::uint32_t> rows;
  std::uint32_t shown = 0;
  std::uint32_t processed = 0;  // entries filtered in listing order
  bool orderedPass = false;
  bool deliveredListed = false;
  bool delivered = false;
  bool owed = false;  // a delivery held back by the growth interval
  std::vector<std::uint32_t> order;
  const EntryIndex* orderIndex = nullptr;
  SortColumn orderColumn = SortColumn::Name;
  auto lastDelivery = std::chrono::steady_clock::now();

  for (;;) {
    std::uint64_t nowGeneration = 0;
    std::uint64_t nowSerial = 0;
    std::shared_ptr<EntryIndex> nowIndex;
    FilterRequest nowRequest;
    {
      std::unique_lock<std::mutex> guard(lock_);
      auto ready = [&] { return pending_.quit || pending_.changed; };
      if (owed) {
        changed_.wait_until(guard, lastDelivery + kGrowthInterval, ready);
      } else {
        changed_.wait(guard, ready);
      }
      if (pending_.quit) return;
      pending_.changed = false;
      nowGeneration = pending_.generation;
      nowSerial = indexSerial_;
      nowIndex = pending_.index;
      nowRequest = pending_.request;
    }

    const bool newRequest = nowGeneration != generation;
    const bool newIndex = nowSerial != indexSerial;
    if (newRequest && (!filter || !SameOptions(nowRequest, request))) {
      filter = std::make_shared<const NameFilter>(nowRequest.input, nowRequest.options, dictionary);
      outcome = dictionary.lastOutcome();
      // A newer keystroke while Kanasift was asked: start from that one.
      if (Superseded(nowGeneration, nowSerial)) {
        IndexChanged();
        request = nowRequest;
        generation = 0;
        continue;
      }
    }
    if (newRequest || newIndex) {
      rows.clear();
      shown = 0;
      processed = 0;
      orderedPass = false;
      deliveredListed = false;
      delivered = false;
      matcher.reset();
      if (newIndex) {
        order.clear();
        orderIndex = nullptr;
      }
    }
    generation = nowGeneration;
    indexSerial = nowSerial;
    request = nowRequest;
    index = nowIndex;

    bool changedRows = false;
    bool listed = true;
    bool ordered = false;
    if (index && filter) {
      if (!matcher) matcher = std::make_unique<EntryMatcher>(*filter, *index, request.show);
      // Listed and ordered are read before the count, so that a listed index's count is final.
      listed = index->listed();
      ordered = index->ordered();
      const std::uint32_t count = index->EntryCount();
      matcher->Extend();
      const std::function<bool()> stop = [&] { return Superseded(generation, indexSerial); };
      if (ordered && !orderedPass) {
        if (orderIndex != index.get() || orderColumn != request.sort.column || order.size() != count) {
          order = SortedEntries(*index, request.sort.column);
          orderIndex = index.get();
          orderColumn = request.sort.column;
        }
        std::vector<std::uint32_t> sorted;
        std::uint32_t sortedShown = 0;
        if (!pool_.CollectOrdered(*matcher, order, request.sort.descending, stop, sorted, sortedShown)) {
          continue;  // superseded: the next round starts over
        }
        rows.swap(sorted);
        shown = sortedShown;
        orderedPass = true;
        processed = count;
        changedRows = true;
      } else if (!ordered && processed < count) {
        if (!pool_.Collect(*matcher, processed, count, stop, rows, shown)) continue;
        processed = count;
        changedRows = true;
      }
    }

    const auto now = std::chrono::steady_clock::now();
    const bool final = listed && !deliveredListed;
    const bool justOrdered = orderedPass && changedRows;
    const bool due = (changedRows || owed) && now - lastDelivery >= kGrowthInterval;
    if (!delivered || final || justOrdered || due) {
      auto result = std::make_shared<FilterResult>();
      result->generation = generation;
      result->index = index;
      result->filter = filter;
      result->rows = rows;
      result->shown = shown;
      result->ordered = orderedPass;
      result->listed = listed;
      result->outcome = outcome;
      sink_.Deliver(std::move(result));
      lastDelivery = now;
      delivered = true;
      deliveredListed = listed;
      owed = false;
    } else if (changedRows) {
      owed = true;
    }
  }
}
