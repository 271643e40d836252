// Every keystroke of a typing corpus, from the arrival of the character to the end of
// the search step that moved the selection, through the real path: this process as
// Kanasift (the hook's owner, the dictionary, the pattern, the walk), the hook library
// in viewhost's process answering through the batch reader. Sixty words are typed
// letter by letter (each a new input), each followed by Ctrl+N (the next candidate),
// and one input that matches nothing (every name read and tested). Per list size,
// partial matching off and on, KanafyLength 3 and 1, in one run:
//   today - Migemo queried and the answer compiled for every keystroke, the engine
//           matching every name, every name read from the view for every keystroke;
//   now   - the program's path: recent answers and compiled patterns kept (with
//           one-letter expansion, every letter's answer fetched in the background after
//           the first key), the matcher for Migemo's answers, the list's names kept
//           between keystrokes.
// Keys come 90 ms apart (a quick typist; --apart), a word is followed by a pause of
// 400 ms (the user looks at what was found; --pause), and a read in the background goes
// on between them as the program's timer lets it.
// Printed: p50, p95 and worst of the typed keystrokes, the worst of Ctrl+N and of the
// input that matches nothing, and whether both paths selected the same items. Also the
// dictionary's memory and the time to the first expansion after start.
//
//   scripts/wine-env.sh run <build-dir> <build-dir>/bench/keystroke/bench_keystroke.exe [sizes...]
//       [--words N] [--apart MS] [--pause MS]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/common/BenchClock.h"
#include "bench/common/BenchSetup.h"
#include "bench/common/BenchSteps.h"
#include "search/ExpansionWarmer.h"
#include "search/MigemoLoadThread.h"
#include "search/RecentExpansions.h"
#include "tapline/TaplineViewReads.h"
#include "tests/search/TypingCorpus.h"
#include "tests/wine/batch/BatchTestSupport.h"

namespace {

using bench::NowMs;
using bench::Silent;
using bench::WorkingSetMiB;

// How far apart the keys come (--apart MS; 0: back to back), and how long the user
// pauses after a word and its Ctrl+N (--pause MS).
double g_keyApartMs = 90;
double g_wordPauseMs = 400;

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(at, values.size() - 1)];
}

// Today's pattern building: a query and a compilation for every keystroke, the engine
// alone.
class TodaysPatterns {
 public:
  explicit TodaysPatterns(Dictionary& dictionary) : dictionary_(dictionary) {}
  void Build(const InputState& state, const SearchOptions& options) {
    if (static_cast<long long>(state.inputText.size()) < options.kanafyLength) return;
    if (serial_ != state.inputSerial) {
      pattern_ = SearchPattern();
      serial_ = state.inputSerial;
    }
    std::optional<std::string> answer = dictionary_.Query(state.inputText, nullptr);
    if (!answer || answer->empty()) return;
    const std::string source = (options.isUsePartialMatch ? ".*(" : "(") + *answer + ")";
    try {
      pattern_.Replace(Pattern(platform::AnsiToWide(source), boost::regex_constants::perl | boost::regex_constants::icase));
    } catch (const std::exception&) {
    }
  }
  SearchPattern& pattern() { return pattern_; }

 private:
  Dictionary& dictionary_;
  SearchPattern pattern_;
  std::uint32_t serial_ = ~0u;
};

// Names of a working folder: documents, photos, scans and mail in Japanese and ASCII,
// the corpus's own words among them at random depths.
std::string WriteNames(int count) {
  static const char* const kJapanese[] = {
      "会社", "保険証", "年金", "資格", "注文", "学校", "電車", "見積", "請求", "領収", "契約", "報告", "資料", "議事録",
      "会議", "社員", "給与", "税金", "納品", "発注", "写真", "画像", "動向", "企画", "予算", "決算", "売上", "担当",
      "人事", "研究", "設計", "仕様書", "手順", "マニュアル", "更新", "引っ越し", "旅行", "健康", "病院", "子供", "学生",
      "入試", "卒業", "証明", "住所", "電話", "名簿", "予定", "日記", "音楽", "映画", "手紙", "年賀状", "文書", "表",
      "図面", "ファイル", "調査", "確定", "申請", "変更", "ｶｲｼｬ", "ﾒﾓ"};
  static const char* const kAscii[] = {"IMG_", "DSC", "scan", "report", "data", "backup", "draft", "invoice", "memo",
                                       "README", "photo", "export", "log", "budget", "plan"};
  static const char* const kExtensions[] = {".txt", ".pdf", ".docx", ".xlsx", ".jpg", ".png", ".zip", ".pptx", ".csv"};
  std::mt19937 random(static_cast<unsigned>(count));
  std::string text = "\xEF\xBB\xBF";
  char line[160];
  for (int i = 0; i < count; ++i) {
    const unsigned kind = random() % 10;
    const char* ext = kExtensions[random() % 9];
    if (kind < 4) {  // 2024-05-13_見積_0042.pdf
      std::snprintf(line, sizeof(line), "20%02u-%02u-%02u_%s_%04d%s\n", 10 + random() % 15, 1 + random() % 12,
                    1 + random() % 28, kJapanese[random() % 63], i % 10000, ext);
    } else if (kind < 7) {  // DSC04211.jpg
      std::snprintf(line, sizeof(line), "%s%05d%s\n", kAscii[random() % 15], i, ext);
    } else {  // 写真 (3) 社員名簿.xlsx
      std::snprintf(line, sizeof(line), "%s%s%s (%d)%s\n", kJapanese[random() % 63], random() % 2 ? "" : " ",
                    kJapanese[random() % 63], i % 100, ext);
    }
    text += line;
  }
  return WriteNamesFile(text, L"bench-keystroke", count);
}

struct Figures {
  std::vector<double> typed;
  std::vector<double> next;
  std::vector<double> none;
  std::vector<std::string> results;  // outcome and matched text of every step
};

// Types `words` (and the input that matches nothing) into the list, one new input per
// word, each character a pattern and a search step as the program handles it.
using BuildFunction = std::function<void(InputState&, const SearchOptions&)>;
using PatternFunction = std::function<SearchPattern&()>;

// One way of handling the typed characters, typing into the list word by word.
class Typist {
 public:
  Typist(BatchViewProvider& views, HWND list, const SearchOptions& options, BuildFunction build, PatternFunction pattern)
      : views_(views), search_(views, silent_, "SysTreeView32\0"), options_(options), build_(std::move(build)),
        pattern_(std::move(pattern)) {
    state_.targetView = ToViewHandle(list);
  }

  // One new input, a character at a time; then Ctrl+N unless it is the input that
  // matches nothing.
  void Type(const std::string& word, bool matchesNothing) {
    ++state_.inputSerial;
    state_.inputText.clear();
    state_.isMatching = true;
    for (char c : word) {
      if (!state_.isMatching) break;  // a failed expanded search stops the input
      state_.inputText += c;
      Step(0, matchesNothing ? figures.none : figures.typed);
    }
    if (!matchesNothing && state_.isMatching) Step(+1, figures.next);
    Pause(NowMs(), g_wordPauseMs);  // the user looks at what was found
  }

  Figures figures;

 private:
  void Step(int step, std::vector<double>& into) {
    ItemRect rect;
    std::string matched;
    const double start = NowMs();
    if (step == 0) build_(state_, options_);
    StepOutcome outcome = search_.SearchAndSelect(state_, options_, pattern_(), step, rect, false, &matched, false);
    into.push_back(NowMs() - start);
    figures.results.push_back(std::to_string(static_cast<int>(outcome)) + ":" + matched);
    Pause(start, g_keyApartMs);
  }

  // A quick typist's next key comes g_keyApartMs after the last; meanwhile the program's
  // timer lets a read in the background go on, as the main window's does.
  void Pause(double since, double ms) {
    for (;;) {
      const double left = ms - (NowMs() - since);
      if (left <= 0) return;
      Sleep(static_cast<DWORD>(std::min<double>(left, BatchViewProvider::kReadOnTickMs)) + 1);
      if (views_.ReadingOn()) views_.ContinueReadingOn();
    }
  }

  BatchViewProvider& views_;
  Silent silent_;
  CandidateSearch search_;
  SearchOptions options_;
  BuildFunction build_;
  PatternFunction pattern_;
  InputState state_;
};

const char* CorpusWord(int i) { return kTypingCorpus[i % (sizeof(kTypingCorpus) / sizeof(kTypingCorpus[0]))]; }

int GetListCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

// Where one step's time goes, without a search: the view's count (with the batch reader:
// the answer's summary), every name, and the selection change at the end (deselect,
// select and focus, scroll into view, the label's rectangle), once for an item on the
// page shown and once for one that the view must scroll to. Median of 21 of each (of 5
// at 50,000 names and more).
void PrintStepParts(ViewProvider& views, HWND list, const char* how, bool readNames) {
  std::vector<double> summary, names, onPage, scrolled;
  const int rounds = GetListCount(list) >= 50000 ? 10 : 42;
  for (int r = 0; r < rounds; ++r) {
    double t = NowMs();
    auto view = views.OpenList(ToViewHandle(list));
    const int count = view->ItemCount();
    if (count < 2 || !view->OpenRecord()) return;
    summary.push_back(NowMs() - t);
    std::string text;
    for (int i = 0; readNames && i < count; ++i) view->ItemText(i, text);
    names.push_back(NowMs() - t);
    // Even rounds: the first item (the page shown after the last odd round's scroll is
    // left for it); odd rounds: an item a page-worth of names away from the last one.
    const int index = r % 2 == 0 ? (r * 997) % count : ((r * 997) % count + count / 2) % count;
    if (r % 2 == 0) view->EnsureVisible(index);
    t = NowMs();
    view->SetItemState(kAllItems, 0, kLvisSelected);
    view->SetItemState(index, kLvisSelected | kLvisFocused, kLvisSelected | kLvisFocused);
    view->EnsureVisible(index);
    ItemRect rect;
    view->LabelRect(index, rect);
    (r % 2 == 0 ? onPage : scrolled).push_back(NowMs() - t);
  }
  std::printf("  one step's parts, %s, median ms: the count %.2f", how, bench::Median(summary));
  if (readNames) std::printf(", every name %.2f", bench::Median(names));
  std::printf("; the selection change %.2f on the page shown, %.2f with scrolling\n", bench::Median(onPage),
              bench::Median(scrolled));
}

struct Row {
  const char* mode;
  int kanafyLength;
  bool partial;
};

void Measure(int size, MigemoLoadThread& dictionary, int words, int todayWords) {
  const std::string names = WriteNames(size);
  ViewhostProcess host;
  const double started = NowMs();
  if (!host.Start({"--list", names}, ViewhostPath(), 600000)) {
    std::printf("  viewhost did not start: %s\n", host.Error().c_str());
    return;
  }
  const double upMs = NowMs() - started;
  DeleteFileA(Utf8ToAnsi(names).c_str());
  if (!LoadHookLibraryInto(host)) {
    std::printf("  the hook library did not come into viewhost\n");
    return;
  }
  std::printf("N=%d (viewhost up in %.1f s)\n", size, upMs / 1000);
  BatchViewProvider views(std::make_unique<TaplineViewReads>());
  BatchViewProvider everyName(std::make_unique<TaplineViewReads>());  // today's: no names kept
  everyName.SetKeepListNames(false);
  const Row rows[] = {{"prefix", 3, false}, {"partial", 3, true}, {"prefix", 1, false}, {"partial", 1, true}};
  for (const Row& row : rows) {
    SearchOptions options;
    options.kanafyLength = row.kanafyLength;
    options.isUsePartialMatch = row.partial;

    RecentExpansions expansions(dictionary);
    Silent silent;
    PatternBuilder now(expansions, silent);  // as the program's search service has it
    TodaysPatterns today(dictionary);
    // Warm the view's read size and the caches of the system, not the kept expansions.
    SearchPattern none;
    Typist warm(views, host.List(), options, [](InputState&, const SearchOptions&) {},
                [&]() -> SearchPattern& { return none; });
    warm.Type(CorpusWord(0), false);  // the view's read size and the system's caches

    // Word by word, one way after the other, so that the machine's other work falls on both.
    Typist todays(everyName, host.List(), options, [&](InputState& s, const SearchOptions& o) { today.Build(s, o); },
                  [&]() -> SearchPattern& { return today.pattern(); });
    std::unique_ptr<ExpansionWarmer> warmer;  // as the program's search service starts it
    Typist nows(views, host.List(), options,
                [&](InputState& s, const SearchOptions& o) {
                  now.BuildPattern(s, o);
                  ExpansionWarmer::AfterKey(warmer, expansions, o.kanafyLength);
                },
                [&]() -> SearchPattern& { return now.pattern(); });
    for (int w = 0; w < words; ++w) {
      if (w < todayWords) todays.Type(CorpusWord(w), false);
      nows.Type(CorpusWord(w), false);
    }
    todays.Type("xqzjvw", true);
    nows.Type("xqzjvw", true);
    const Figures& t = todays.figures;
    const Figures& n = nows.figures;
    // The words both typed, and the input that matches nothing (the last steps of each),
    // give the same selections.
    const std::size_t typedBoth = t.results.size() - t.none.size();
    const bool same = n.results.size() >= t.results.size() &&
                      std::equal(t.results.begin(), t.results.begin() + static_cast<long>(typedBoth), n.results.begin()) &&
                      std::equal(t.results.end() - static_cast<long>(t.none.size()), t.results.end(),
                                 n.results.end() - static_cast<long>(n.none.size()));
    auto line = [&](const char* path, const Figures& f) {
      // The row's first key pays the first expansion after start (printed above).
      const std::vector<double> later(f.typed.begin() + (f.typed.empty() ? 0 : 1), f.typed.end());
      std::printf("  %-7s K=%d %-5s typed %4zu: p50 %7.2f  p95 %7.2f  worst %8.2f ms (after the first %7.2f)"
                  " | Ctrl+N worst %7.2f | no match worst %8.2f ms\n",
                  row.mode, row.kanafyLength, path, f.typed.size(), Percentile(f.typed, 0.5), Percentile(f.typed, 0.95),
                  Percentile(f.typed, 1.0), Percentile(later, 1.0), Percentile(f.next, 1.0), Percentile(f.none, 1.0));
    };
    line("today", t);
    line("now", n);
    std::printf("                  same selections and matched text over the words both typed: %s; kept answers %zu KiB;"
                " steps given up for the view thread's share so far: %u\n",
                same ? "yes" : "NO", expansions.keptBytes() / 1024, views.Counters().busy);
    const BatchCounters& c = views.Counters();
    std::printf("                  names kept so far: %u answers kept whole, %u steps matched kept names, %u found"
                " them out of date\n", c.namesKept, c.keptNames, c.keptStale);
  }
  {
    RemoteViewProvider messages;
    // Last: whole reads one after the other use up the view thread's share for reads
    // (tapline/ServeShare.h) within seconds at 100,000 names. Names one by one take
    // seconds at these sizes (bench/batch measures them).
    PrintStepParts(messages, host.List(), "a message per change", false);
    PrintStepParts(everyName, host.List(), "the library's answer and one change request", true);
    PrintStepParts(views, host.List(), "the same with the names kept", true);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  int words = 60;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--words" && i + 1 < argc) {
      words = std::atoi(argv[++i]);
    } else if (std::string(argv[i]) == "--apart" && i + 1 < argc) {
      g_keyApartMs = std::atof(argv[++i]);
    } else if (std::string(argv[i]) == "--pause" && i + 1 < argc) {
      g_wordPauseMs = std::atof(argv[++i]);
    } else {
      sizes.push_back(std::atoi(argv[i]));
    }
  }
  if (sizes.empty()) sizes = {1000, 10000, 100000};

  std::printf("Keystroke to selection over a typing corpus (batch reader, viewhost), %d-bit, keys %.0f ms apart,"
              " %.0f ms after a word\n", static_cast<int>(sizeof(void*) * 8), g_keyApartMs, g_wordPauseMs);
  bench::HookAndDictionary setup(KANASIFT_BENCH_DICT);
  if (!setup.Start()) return 1;
  MigemoLoadThread& dictionary = setup.dictionary();
  const double opened = NowMs();
  dictionary.Query("k", nullptr);
  const double expanded = NowMs();
  std::printf("  first expansion after start: dictionary open %.0f ms + query \"k\" %.1f ms; working set %.1f MiB before,"
              " %.1f MiB with the dictionary loaded\n",
              setup.openMs(), expanded - opened, setup.workingSetBefore(), WorkingSetMiB());

  for (int size : sizes) {
    // Today's path at 100,000 names takes seconds for some keystrokes: fewer words there.
    Measure(size, dictionary, words, size >= 100000 ? std::min(words, 12) : words);
  }
  std::printf("  working set at the end %.1f MiB\n", WorkingSetMiB());
  return 0;
}
