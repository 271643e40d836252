// What the Windows benchmarks that type into a view share: a notifier that stays quiet,
// the working set, one typed character measured as the program handles it, and the item
// a step left selected.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "bench/common/BenchClock.h"
#include "search/CandidateSearch.h"
#include "search/PatternBuilder.h"
#include "view/RemoteViews.h"

namespace bench {

// Beeps are dropped; a message box's text is printed instead of shown.
class Silent : public UserNotifier {
 public:
  void Beep() override {}
  void ShowMessage(ViewHandle, const std::string& text, const std::string&, unsigned) override {
    std::printf("  (message: %s)\n", text.c_str());
  }
};

inline double WorkingSetMiB() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) return -1;
  return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

// What steps on one view need, as the program's search service has it: the pattern
// builder over the dictionary and the candidate search over `views`, quiet.
struct StepRig {
  StepRig(ViewProvider& views, Dictionary& dictionary, HWND view)
      : builder(dictionary, silent), search(views, silent, "SysTreeView32\0") {
    state.targetView = ToViewHandle(view);
  }
  Silent silent;
  PatternBuilder builder;
  CandidateSearch search;
  SearchOptions options;
  InputState state;
};

// The last "a" of "kaisya" arrives: the pattern is built and the search step runs, as the
// program handles a character. Returns the milliseconds from the character to the end of
// the step.
inline double TypeLastA(StepRig& rig, StepOutcome& outcome) {
  rig.state.inputText = "kaisy";
  rig.state.isMatching = true;
  const double start = NowMs();
  rig.state.inputText += 'a';
  rig.builder.BuildPattern(rig.state, rig.options);
  ItemRect rect;
  std::string matched;
  outcome = rig.search.SearchAndSelect(rig.state, rig.options, rig.builder.pattern(), 0, rect, false, &matched, false);
  return NowMs() - start;
}

// One step of a new input `input`: its milliseconds, the pattern's building included.
inline double StepMs(StepRig& rig, const char* input) {
  const ViewHandle view = rig.state.targetView;
  rig.state = InputState();
  rig.state.targetView = view;
  rig.state.isMatching = true;
  const double start = NowMs();
  rig.state.inputText = input;
  rig.builder.BuildPattern(rig.state, rig.options);
  ItemRect rect;
  rig.search.SearchAndSelect(rig.state, rig.options, rig.builder.pattern(), 0, rect, false, nullptr, false);
  return NowMs() - start;
}

// The first selected item of a list view in another process, read item by item; -1 when
// none is.
inline int FirstSelectedItem(HWND list) {
  auto check = OpenRemoteList(list);
  for (int i = 0, n = check->ItemCount(); i < n; ++i) {
    if (check->ItemState(i, kLvisSelected)) return i;
  }
  return -1;
}

}  // namespace bench
