// The thread that turns the input into the list of results, so that typing never waits
// for Kanasift or for a large tree. The window hands it requests (input, options, order)
// and the index of the current listing; it answers with complete result lists through
// a ResultSink.
//
// A newer request supersedes an older one: a filter pass checks for it every few
// thousand entries and stops, and only results for the latest request are delivered.
// While the listing runs, only the entries published since the last pass are filtered
// and appended; once the listing is ordered, results come in the requested order. Large
// passes are split between this thread and a helper, so that both cores work.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "search/Dictionary.h"
#include "search/SearchState.h"
#include "spotter/EntryIndex.h"
#include "spotter/NameFilter.h"
#include "spotter/QueryOutcome.h"

enum class SortColumn : std::uint8_t { Name, Folder, Size, Modified };

struct SortOrder {
  SortColumn column = SortColumn::Name;
  bool descending = false;
  bool operator==(const SortOrder& o) const { return column == o.column && descending == o.descending; }
};

struct FilterRequest {
  std::wstring input;
  SearchOptions options;
  ShowOptions show;
  SortOrder sort;
};

struct FilterResult {
  std::uint64_t generation = 0;          // of the request answered
  std::shared_ptr<EntryIndex> index;
  std::shared_ptr<const NameFilter> filter;
  std::vector<std::uint32_t> rows;       // entries, in display order
  std::uint32_t shown = 0;               // entries of the index that are shown at all
  bool ordered = false;                  // rows are in the requested order (else as listed)
  bool listed = false;                   // the listing had ended
  QueryOutcome outcome = QueryOutcome::Answered;  // of the last expansion asked
};

class ResultSink {
 public:
  virtual ~ResultSink() = default;
  // Called on the worker thread.
  virtual void Deliver(std::shared_ptr<const FilterResult> result) = 0;
};

// Filter passes over an index, split between the calling thread and a helper when that
// pays. Entries are tested in the index's own order, where they lie in memory one after
// another; a pass in display order collects the matches as bits first and then reads
// them out along the order.
class FilterPool {
 public:
  // `threadStart` (may be empty) runs first on the helper thread.
  explicit FilterPool(bool useHelper, std::function<void()> threadStart = {});
  ~FilterPool();
  FilterPool(const FilterPool&) = delete;
  FilterPool& operator=(const FilterPool&) = delete;

  // Appends the matching entries of [from, to) in the index's order, and counts the
  // shown ones. False when `stop` returned true before the pass ended (the output is
  // then partial).
  bool Collect(const EntryMatcher& matcher, std::uint32_t from, std::uint32_t to, const std::function<bool()>& stop,
               std::vector<std::uint32_t>& rows, std::uint32_t& shown);
  // The matching entries among the first order.size() entries, in the order given (or
  // its reverse).
  bool CollectOrdered(const EntryMatcher& matcher, const std::vector<std::uint32_t>& order, bool reversed,
                      const std::function<bool()>& stop, std::vector<std::uint32_t>& rows, std::uint32_t& shown);

 private:
  // Runs `part(from, to)` over [from, to), in two halves split at a multiple of 64 when
  // the range is large; false when a part returned false.
  bool Split(std::uint32_t from, std::uint32_t to, const std::function<bool(std::uint32_t, std::uint32_t, int)>& part);
  void HelperLoop();

  std::mutex lock_;
  std::condition_variable changed_;
  std::function<void()> task_;
  bool taskDone_ = true;
  bool quit_ = false;
  std::thread helper_;
};

class FilterWorker {
 public:
  using DictionaryFactory = std::function<std::unique_ptr<ReportingDictionary>()>;

  // The dictionary is made on the worker thread (its answers may come to a window of
  // that thread). `useHelper` adds the second filter thread. `threadStart` (may be empty)
  // runs first on both threads (the window lowers their priority with it).
  FilterWorker(DictionaryFactory makeDictionary, ResultSink& sink, bool useHelper = true,
               std::function<void()> threadStart = {});
  ~FilterWorker();
  FilterWorker(const FilterWorker&) = delete;
  FilterWorker& operator=(const FilterWorker&) = delete;

  // A new listing (may be null: nothing to show).
  void SetIndex(std::shared_ptr<EntryIndex> index);
  // The current listing published more, ended or was ordered.
  void IndexChanged();
  // Returns the request's generation; results carry it.
  std::uint64_t Request(FilterRequest request);

 private:
  struct Pending {
    std::uint64_t generation = 0;
    FilterRequest request;
    std::shared_ptr<EntryIndex> index;
    bool changed = false;
    bool quit = false;
  };

  void Run();
  // A newer request or another index has come since the pass for these began.
  bool Superseded(std::uint64_t generation, std::uint64_t indexSerial) const;

  DictionaryFactory makeDictionary_;
  ResultSink& sink_;
  std::function<void()> threadStart_;
  FilterPool pool_;
  mutable std::mutex lock_;
  std::condition_variable changed_;
  Pending pending_;
  std::uint64_t indexSerial_ = 0;  // counts SetIndex calls
  std::thread thread_;
};

// The entries of an ordered index sorted by `sort` (ascending; read backwards for
// descending).
std::vector<std::uint32_t> SortedEntries(const EntryIndex& index, SortColumn column);
