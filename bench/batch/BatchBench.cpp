// Keystroke to selection with the batch reader and with the per-item reader, in one run,
// against viewhost in another process with the hook library loaded: from the arrival of
// the last character of "kaisya" (the pattern is built with the dictionary) to the end
// of the search step that selected the candidate. Printed per list size:
//   last  - the only candidate is the last item: every name is read (the case that
//           needs the batch reader);
//   early - viewhost's generated names, where a candidate comes within the first items.
// For the "last" list also each kind of step (typed character, next candidate,
// select-all, no match) with both readers, as a ratio to reading every name item by item.
// Also the size of the shared answer, the read alone, the view messages of a step, and
// the working set of this process with the dictionary loaded.
//
//   scripts/wine-env.sh run <build-dir> <build-dir>/bench/batch/bench_batch.exe [sizes...]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/common/BenchClock.h"
#include "bench/common/BenchSetup.h"
#include "bench/common/BenchSteps.h"
#include "search/MigemoLoadThread.h"
#include "tapline/TaplineViewReads.h"
#include "tests/wine/batch/BatchTestSupport.h"

namespace {

using bench::Median;
using bench::Minimum;
using bench::NowMs;
using bench::Silent;
using bench::WorkingSetMiB;

// Counts the view interface calls of the walks: with the per-item reader every one is a
// message to the view's process, with the batch reader only the changes are.
class CountingList : public ListView {
 public:
  CountingList(std::unique_ptr<ListView> inner, std::vector<int>& calls) : inner_(std::move(inner)), calls_(calls) {}
  int ItemCount() override { return ++calls_[0], inner_->ItemCount(); }
  int SelectedCount() override { return ++calls_[1], inner_->SelectedCount(); }
  int FirstSelected() override { return ++calls_[2], inner_->FirstSelected(); }
  std::uint32_t ItemState(int i, std::uint32_t m) override { return ++calls_[2], inner_->ItemState(i, m); }
  std::uint32_t ExtendedStyle() override { return inner_->ExtendedStyle(); }
  void SetExtendedStyle(std::uint32_t s) override { inner_->SetExtendedStyle(s); }
  bool EnsureVisible(int i) override { return ++calls_[5], inner_->EnsureVisible(i); }
  bool OpenRecord() override { return inner_->OpenRecord(); }
  bool ItemText(int i, std::string& t) override { return ++calls_[3], inner_->ItemText(i, t); }
  bool SetItemState(int i, std::uint32_t s, std::uint32_t m) override { return ++calls_[4], inner_->SetItemState(i, s, m); }
  bool LabelRect(int i, ItemRect& r) override { return ++calls_[6], inner_->LabelRect(i, r); }
  bool Lost() const override { return inner_->Lost(); }
  bool ConfirmName(int i, const std::string& n) override { return inner_->ConfirmName(i, n); }
  bool ConfirmNone() override { return inner_->ConfirmNone(); }

 private:
  std::unique_ptr<ListView> inner_;
  std::vector<int>& calls_;
};

class CountingProvider : public ViewProvider {
 public:
  explicit CountingProvider(ViewProvider& inner) : inner_(inner) {}
  std::string ClassName(ViewHandle v) override { return inner_.ClassName(v); }
  std::unique_ptr<ListView> OpenList(ViewHandle v) override {
    return std::make_unique<CountingList>(inner_.OpenList(v), calls);
  }
  std::unique_ptr<TreeView> OpenTree(ViewHandle v) override { return inner_.OpenTree(v); }
  void LockUpdate(ViewHandle v) override { inner_.LockUpdate(v); }
  void UnlockUpdate() override { inner_.UnlockUpdate(); }
  std::vector<int> calls = std::vector<int>(7, 0);

 private:
  ViewProvider& inner_;
};

std::string CallText(const std::vector<int>& c, int steps) {
  char text[200];
  auto per = [steps](int n) { return steps ? static_cast<double>(n) / steps : 0.0; };
  std::snprintf(text, sizeof(text),
                "count %.0f, selected %.0f, state %.0f, text %.0f | set-state %.0f, ensure-visible %.0f, rect %.0f",
                per(c[0]), per(c[1]), per(c[2]), per(c[3]), per(c[4]), per(c[5]), per(c[6]));
  return text;
}

// `count` names of which only the last begins with a spelling of kaisya.
std::string WriteNamesWithLastCandidate(int count) {
  static const char* const kStems[] = {"資料", "議事録", "report", "data", "見積書", "image", "メモ", "backup"};
  std::string text = "\xEF\xBB\xBF";
  char line[64];
  for (int i = 0; i + 1 < count; ++i) {
    std::snprintf(line, sizeof(line), "%s_%05d.txt\n", kStems[i % 8], i);
    text += line;
  }
  text += "会社案内.txt\n";
  return WriteNamesFile(text, L"bench-batch", count);
}

struct Keystrokes {
  std::vector<double> ms;
  std::vector<int> calls;
  int found = -1;
};

// Types the last "a" of "kaisya" `rounds` times: pattern and search step, as the program
// handles a character.
Keystrokes Type(ViewProvider& reader, Dictionary& dictionary, HWND list, int rounds) {
  CountingProvider views(reader);
  bench::StepRig rig(views, dictionary, list);
  Keystrokes out;
  for (int round = 0; round < rounds; ++round) {
    StepOutcome outcome = StepOutcome::Found;
    out.ms.push_back(bench::TypeLastA(rig, outcome));
    if (outcome != StepOutcome::Found) std::printf("    (round %d: not found, outcome %d)\n", round, static_cast<int>(outcome));
  }
  out.calls = views.calls;
  out.found = bench::FirstSelectedItem(list);
  return out;
}

// Reading every name item by item across the process boundary: the least a step with
// the per-item reader can cost.
double PerItemFloorMs(HWND list) {
  RemoteViewProvider views;
  const double start = NowMs();
  auto view = views.OpenList(ToViewHandle(list));
  if (!view || !view->OpenRecord()) return -1;
  std::string text;
  for (int i = 0, n = view->ItemCount(); i < n && !view->Lost(); ++i) view->ItemText(i, text);
  return NowMs() - start;
}

struct StepKind {
  const char* label;
  const char* input;  // "qz" is below KanafyLength: a literal step that reads every name
  int step;
  bool selectAll;
};
constexpr StepKind kStepKinds[] = {
    {"typed char", "kaisya", 0, false},
    {"next", "kaisya", +1, false},
    {"select all", "kaisya", 0, true},
    {"no match", "qz", 0, false},
};

// The search step alone (the pattern is built beforehand), median of `rounds`.
double StepMs(ViewProvider& reader, Dictionary& dictionary, HWND list, const StepKind& kind, int rounds) {
  Silent silent;
  PatternBuilder builder(dictionary, silent);
  CandidateSearch search(reader, silent, "SysTreeView32\0");
  SearchOptions options;
  std::vector<double> ms;
  for (int round = 0; round < rounds; ++round) {
    InputState state;
    state.targetView = ToViewHandle(list);
    state.inputText = kind.input;
    state.isMatching = true;
    builder.BuildPattern(state, options);
    ItemRect rect;
    const double start = NowMs();
    search.SearchAndSelect(state, options, builder.pattern(), kind.step, rect, kind.selectAll, nullptr, false);
    ms.push_back(NowMs() - start);
  }
  return Median(ms);
}

// Each kind of step with both readers, next to the per-item floor of the same view.
void MeasureStepKinds(HWND list, int size, Dictionary& dictionary) {
  BatchViewProvider batch(std::make_unique<TaplineViewReads>());
  RemoteViewProvider perItem;
  const int rounds = size >= 10000 ? 2 : 5;
  std::vector<double> floors;
  for (int i = 0; i < rounds; ++i) floors.push_back(PerItemFloorMs(list));
  const double floor = Median(floors);
  std::printf("        per-item floor (every name read item by item) %.2f ms\n", floor);
  for (const StepKind& kind : kStepKinds) {
    const double p = StepMs(perItem, dictionary, list, kind, rounds);
    const double b = StepMs(batch, dictionary, list, kind, rounds * 3);
    std::printf("        %-10s per item %9.2f ms = %.2fx floor | batch %7.2f ms = %.3fx floor\n", kind.label, p,
                floor > 0 ? p / floor : 0.0, b, floor > 0 ? b / floor : 0.0);
  }
}

void Measure(const char* label, const std::vector<std::string>& args, int size, Dictionary& dictionary) {
  ViewhostProcess host;
  const double started = NowMs();
  if (!host.Start(args, ViewhostPath(), 300000)) {
    std::printf("  viewhost did not start: %s\n", host.Error().c_str());
    return;
  }
  const double startMs = NowMs() - started;
  if (!LoadHookLibraryInto(host)) {
    std::printf("  the hook library did not come into viewhost\n");
    return;
  }
  BatchViewProvider batch(std::make_unique<TaplineViewReads>());
  RemoteViewProvider perItem;
  const int batchRounds = 15;
  const int perItemRounds = size >= 10000 ? 3 : 5;
  Type(batch, dictionary, host.List(), 2);  // the mapping size is learnt, the caches are warm
  Keystrokes b = Type(batch, dictionary, host.List(), batchRounds);
  Keystrokes p = Type(perItem, dictionary, host.List(), perItemRounds);

  ViewSnapshot snapshot;
  std::uint32_t needed = 0;
  std::vector<double> reads;
  for (int i = 0; i < 10; ++i) {
    const double t0 = NowMs();
    ReadWholeView(host.List(), viewread::ReadKind::List, Tapline::viewReadKey(), 4u << 20, snapshot, needed);
    reads.push_back(NowMs() - t0);
  }

  const double ratio = Median(b.ms) > 0 ? Median(p.ms) / Median(b.ms) : 0;
  std::printf("  %-5s N=%-6d batch %8.2f ms (min %7.2f) | per item %9.2f ms (min %9.2f) | %6.1fx | found %d/%d"
              " | viewhost up in %.1f s\n",
              label, size, Median(b.ms), Minimum(b.ms), Median(p.ms), Minimum(p.ms), ratio, b.found, p.found,
              startMs / 1000);
  std::printf("        whole-view read alone %.2f ms (min %.2f), answer %zu bytes (%.1f per name)\n", Median(reads),
              Minimum(reads), snapshot.answerBytes,
              size ? static_cast<double>(snapshot.answerBytes) / size : 0.0);
  std::printf("        calls per keystroke, batch:    %s; requests %u, names read item by item %u\n",
              CallText(b.calls, batchRounds).c_str(), batch.Counters().requests, batch.Counters().perItemNames);
  std::printf("        calls per keystroke, per item: %s\n", CallText(p.calls, perItemRounds).c_str());
  if (std::string(label) == "last") MeasureStepKinds(host.List(), size, dictionary);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {100, 1000, 10000};

  std::printf("Keystroke to selection (Tapline batch reader against per-item reader), %d-bit\n",
              static_cast<int>(sizeof(void*) * 8));
  bench::HookAndDictionary setup(KANASIFT_BENCH_DICT);
  if (!setup.Start()) return 1;
  MigemoLoadThread& dictionary = setup.dictionary();
  std::printf("  dictionary open %.0f ms; working set %.1f MiB before, %.1f MiB with the dictionary loaded\n",
              setup.openMs(), setup.workingSetBefore(), WorkingSetMiB());

  for (int size : sizes) {
    const std::string names = WriteNamesWithLastCandidate(size);
    Measure("last", {"--list", names}, size, dictionary);
    DeleteFileA(Utf8ToAnsi(names).c_str());
    Measure("early", {"--count", std::to_string(size)}, size, dictionary);
  }
  std::printf("  working set at the end %.1f MiB\n", WorkingSetMiB());
  return 0;
}
