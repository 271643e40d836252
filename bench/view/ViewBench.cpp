// What one search step costs at least: reading every item's text from a list view in
// another process, one item at a time, and deselecting every item one message per item
// against one LVM_SETITEMSTATE with index -1. Prints figures; the ratios come from the
// same run, as single timings on this machine are noisy.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/common/BenchClock.h"
#include "tests/wine/common/ViewhostProcess.h"
#include "view/RemoteViews.h"

namespace {

struct Figures {
  double textMicros = 0;       // per item: write record, LVM_GETITEMA, read back
  double stateMicros = 0;      // per item: LVM_GETITEMSTATE, no record
  double deselectEach = 0;     // seconds, one LVM_SETITEMSTATE per item
  double deselectAll = 0;      // seconds, one LVM_SETITEMSTATE with index -1
};

bool Measure(const std::string& exe, int count, Figures& best) {
  bool measured = false;
  ViewhostProcess host;
  double started = bench::NowSeconds();
  if (!host.Start({"--count", std::to_string(count)}, exe, 120000)) {
    std::printf("  viewhost did not start: %s\n", host.Error().c_str());
    return false;
  }
  std::printf("  viewhost (%d-bit) up with %d items in %.2f s\n", host.Bits(), count, bench::NowSeconds() - started);
  best.textMicros = best.stateMicros = best.deselectEach = best.deselectAll = 1e30;
  for (int round = 0; round < 3; ++round) {
    auto list = OpenRemoteList(host.List());
    if (list->ItemCount() != count || !list->OpenRecord()) {
      std::printf("  the view did not answer\n");
      return false;
    }
    std::string text;
    std::size_t bytes = 0;
    double t0 = bench::NowSeconds();
    for (int i = 0; i < count; ++i) {
      list->ItemText(i, text);
      bytes += text.size();
    }
    double textSeconds = bench::NowSeconds() - t0;

    t0 = bench::NowSeconds();
    std::uint32_t states = 0;
    for (int i = 0; i < count; ++i) states |= list->ItemState(i, kLvisSelected);
    double stateSeconds = bench::NowSeconds() - t0;

    list->SetItemState(kAllItems, kLvisSelected, kLvisSelected);
    t0 = bench::NowSeconds();
    for (int i = 0; i < count; ++i) list->SetItemState(i, 0, kLvisSelected);
    double each = bench::NowSeconds() - t0;
    int leftEach = list->SelectedCount();

    list->SetItemState(kAllItems, kLvisSelected, kLvisSelected);
    t0 = bench::NowSeconds();
    list->SetItemState(kAllItems, 0, kLvisSelected);
    double all = bench::NowSeconds() - t0;
    int leftAll = list->SelectedCount();

    if (list->Lost()) {
      std::printf("  round %d: the view did not answer within the bound; round dropped\n", round + 1);
      continue;
    }
    std::printf("  round %d: text %.1f us/item (%zu bytes), state %.1f us/item, deselect one by one %.3f s, "
                "with -1 %.3f s (left selected: %d, %d)\n",
                round + 1, textSeconds * 1e6 / count, bytes, stateSeconds * 1e6 / count, each, all, leftEach, leftAll);
    best.textMicros = std::min(best.textMicros, textSeconds * 1e6 / count);
    best.stateMicros = std::min(best.stateMicros, stateSeconds * 1e6 / count);
    best.deselectEach = std::min(best.deselectEach, each);
    best.deselectAll = std::min(best.deselectAll, all);
    measured = true;
  }
  return measured;
}

void Report(const char* title, const std::string& exe, int count) {
  std::printf("%s, N = %d\n", title, count);
  Figures f;
  if (!Measure(exe, count, f)) return;
  std::printf("  best: text %.1f us/item -> %.0f ms for all %d names; bare message %.1f us/item\n", f.textMicros,
              f.textMicros * count / 1000, count, f.stateMicros);
  std::printf("  best: deselect one by one %.3f s, with index -1 %.3f s: %.1fx\n\n", f.deselectEach, f.deselectAll,
              f.deselectAll > 0 ? f.deselectEach / f.deselectAll : 0.0);
}

}  // namespace

int main() {
  std::printf("Cross-process list view, %d-bit reader\n\n", static_cast<int>(sizeof(void*) * 8));
  Report("Same bitness", ViewhostPath(), 1000);
  Report("Same bitness", ViewhostPath(), 10000);
  const std::string missing = OtherBitnessViewhostMissing();
  if (!missing.empty()) {
    std::printf("Other bitness: %s\n", missing.c_str());
  } else {
    Report("Other bitness", OtherBitnessViewhostPath(), 1000);
  }
  return 0;
}
