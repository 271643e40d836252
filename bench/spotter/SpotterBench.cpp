// Figures of Spotter: filtering a large index (keystroke to results, with the expansion
// already in hand, prefix and partial, one thread and two), bytes per indexed entry,
// and, in Windows builds, listing a real tree against a plain FindFirstFileExW walk.
//
//   spotter_bench filter [names] [dictionary path]
//   spotter_bench list <folder>          (Windows builds, under Wine: the tree of
//                                         bench/spotter/run.sh)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "search/MigemoLoadThread.h"
#include "spotter/EntryIndex.h"
#include "spotter/FilterWorker.h"
#include "spotter/NameFilter.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>

#include "spotter/FolderLister.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The answers of the real dictionary, asked once before any timing.
class AnswersInHand : public Dictionary {
 public:
  explicit AnswersInHand(Dictionary& real) : real_(real) {}
  std::optional<std::string> Query(const std::string& query, const char* escapeChars) override {
    auto known = answers_.find(query);
    if (known != answers_.end()) return known->second;
    std::optional<std::string> answer = real_.Query(query, escapeChars);
    if (answer) answers_[query] = *answer;
    return answer;
  }

 private:
  Dictionary& real_;
  std::map<std::string, std::string> answers_;
};

// Names as in tests/spotter/japanese_tree.py: two office words in kanji, hiragana,
// katakana or half-width katakana, a number and an extension; 40 to a folder.
std::shared_ptr<EntryIndex> SyntheticIndex(std::uint32_t count) {
  const std::vector<std::vector<const wchar_t*>> words = {
      {L"会社", L"かいしゃ", L"カイシャ", L"ｶｲｼｬ"}, {L"報告", L"ほうこく"}, {L"契約", L"けいやく"},
      {L"見積", L"みつもり"}, {L"請求", L"せいきゅう"}, {L"会議", L"かいぎ"}, {L"資料", L"しりょう"},
      {L"日報", L"にっぽう"}, {L"予定", L"よてい"}, {L"写真", L"しゃしん"}};
  const wchar_t* extensions[] = {L".txt", L".docx", L".xlsx", L".pdf", L".png"};
  auto spelling = [&](std::uint32_t n) {
    const auto& forms = words[n % words.size()];
    return std::wstring(forms[(n / words.size()) % forms.size()]);
  };
  auto index = std::make_shared<EntryIndex>(L"C:\\bench");
  std::uint32_t folder = kRootFolder;
  for (std::uint32_t n = 0; n < count; ++n) {
    if (n % 41 == 40) {  // a subfolder now and then, a few levels deep
      const std::uint32_t parent = folder % 7 == 0 ? kRootFolder : folder;
      const std::uint32_t entry = index->WrittenEntryCount();
      index->AddEntry(spelling(n * 3 + 1) + std::to_wstring(n), parent, kEntryFolder, 0, n);
      folder = index->AddFolder(entry, parent);
      continue;
    }
    wchar_t number[16];
    std::swprintf(number, 16, L"_%06u", n);
    index->AddEntry(spelling(n) + L"_" + spelling(n * 7 + 3) + number + extensions[n % 5], folder, 0, n * 37u,
                    n * 1000u);
  }
  index->MarkListed();
  index->ComputeOrder([](const wchar_t* name, std::string& key) {
    key.assign(reinterpret_cast<const char*>(name), std::wcslen(name) * sizeof(wchar_t));
  });
  return index;
}

// Keystroke to results: the filter built (the answer in hand), every entry tested in
// display order, the rows collected.
double FilterOnce(const EntryIndex& index, const std::vector<std::uint32_t>& order, Dictionary& dictionary,
                  const wchar_t* input, bool partial, FilterPool& pool, std::size_t& rows) {
  const auto start = Clock::now();
  SearchOptions options;
  options.isUsePartialMatch = partial;
  NameFilter filter(input, options, dictionary);
  EntryMatcher matcher(filter, index, ShowOptions{});
  std::vector<std::uint32_t> found;
  std::uint32_t shown = 0;
  const std::function<bool()> never = [] { return false; };
  pool.CollectOrdered(matcher, order, false, never, found, shown);
  rows = found.size();
  return MsSince(start);
}

int Filter(std::uint32_t count, const std::string& dictionaryPath) {
  std::printf("Filtering %u names (dictionary %s)\n", count, dictionaryPath.c_str());
  MigemoLoadThread real(dictionaryPath);
  AnswersInHand dictionary(real);
  const auto built = Clock::now();
  std::shared_ptr<EntryIndex> index = SyntheticIndex(count);
  std::printf("  index built in %.0f ms: %zu bytes, %.1f bytes per entry (names included)\n", MsSince(built),
              index->MemoryBytes(), static_cast<double>(index->MemoryBytes()) / index->EntryCount());
  const std::vector<std::uint32_t> order = SortedEntries(*index, SortColumn::Name);
  FilterPool one(false), two(true);
  const wchar_t* inputs[] = {L"kaisya", L"houkoku", L"kai", L"siryou\\sya"};
  for (const wchar_t* input : inputs) {
    for (bool partial : {false, true}) {
      std::size_t rows = 0;
      FilterOnce(*index, order, dictionary, input, partial, one, rows);  // the answer into the hand
      std::vector<double> single, pair;
      for (int round = 0; round < 7; ++round) {
        single.push_back(FilterOnce(*index, order, dictionary, input, partial, one, rows));
        pair.push_back(FilterOnce(*index, order, dictionary, input, partial, two, rows));
      }
      std::printf("  %-12ls %-7s %7zu results: %7.1f ms one thread, %7.1f ms two threads\n", input,
                  partial ? "partial" : "prefix", rows, Median(single), Median(pair));
    }
  }
  return 0;
}

#ifdef _WIN32
std::uint64_t WorkingSet() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.WorkingSetSize;
}

// The walk a program would write without Spotter: FindFirstFileExW (basic information,
// large fetch) folder by folder, counting entries.
std::uint32_t PlainWalk(const std::wstring& root) {
  std::uint32_t entries = 0;
  std::vector<std::wstring> pending{root};
  while (!pending.empty()) {
    const std::wstring folder = std::move(pending.back());
    pending.pop_back();
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      const wchar_t* name = found.cFileName;
      if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
      ++entries;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        pending.push_back(folder + L"\\" + name);
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  return entries;
}

int List(const std::wstring& root) {
  std::printf("Listing %ls\n", root.c_str());
  std::vector<double> plain, listed, ordered, perEntry, workingSetPerEntry;
  std::uint32_t plainCount = 0, count = 0;
  for (int round = 0; round < 5; ++round) {
    auto start = Clock::now();
    plainCount = PlainWalk(root);
    plain.push_back(MsSince(start));

    const std::uint64_t before = WorkingSet();
    start = Clock::now();
    auto index = std::make_shared<EntryIndex>(root);
    Win32DirectoryReader reader;
    FolderWalk walk(*index, reader);
    std::atomic<bool> cancel{false};
    walk.Run(cancel);
    listed.push_back(MsSince(start));
    start = Clock::now();
    index->ComputeOrder(&ExplorerSortKey);
    ordered.push_back(MsSince(start));
    count = index->EntryCount();
    perEntry.push_back(static_cast<double>(index->MemoryBytes()) / count);
    workingSetPerEntry.push_back(static_cast<double>(WorkingSet() - before) / count);
  }
  const double ratio = Median(listed) / Median(plain);
  std::printf("  plain FindFirstFileExW walk: %u entries in %.0f ms (median of 5)\n", plainCount, Median(plain));
  std::printf("  Spotter's listing:           %u entries in %.0f ms, %.2fx the plain walk (goal <= 1.2x)\n", count,
              Median(listed), ratio);
  std::printf("  then Explorer's name order:  %.0f ms more (in the background; results show meanwhile)\n",
              Median(ordered));
  std::printf("  memory: %.1f bytes per entry held by the index (goal <= 120); the working set grew by %.1f\n",
              Median(perEntry), Median(workingSetPerEntry));
  return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "filter";
  if (command == "filter") {
    const std::uint32_t count = argc > 2 ? static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 100000;
    return Filter(count, argc > 3 ? argv[3] : KANASIFT_BENCH_DICT);
  }
#ifdef _WIN32
  if (command == "list" && argc > 2) return List(platform::AnsiToWide(argv[2]));
#endif
  std::fprintf(stderr, "usage: spotter_bench filter [names] [dictionary] | list <folder>\n");
  return 2;
}
