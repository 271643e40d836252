// The list-view messages of a search step, timed on a real SysListView32 with 10,000
// items in this process: deselecting item by item against one message for every item,
// and select-all with select + focus + ensure-visible per candidate against a select
// per candidate and focus + ensure-visible for the last one. Across processes every
// message also pays the round trip into Explorer, so the message counts are printed too.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kItems = 10000;
constexpr int kEvery = 5;  // every fifth item is a candidate

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void SetState(HWND view, int index, UINT state, UINT mask) {
  LVITEMA item = {};
  item.stateMask = mask;
  item.state = state;
  SendMessageA(view, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void SelectEverything(HWND view) { SetState(view, -1, LVIS_SELECTED, LVIS_SELECTED); }

int Focused(HWND view) {
  return static_cast<int>(SendMessageA(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

}  // namespace

int main() {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  HWND frame = CreateWindowExA(0, "STATIC", "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  HWND view = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 400, 300, frame,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!view) {
    std::printf("cannot create a list view\n");
    return 1;
  }
  LVCOLUMNA column = {};
  column.mask = LVCF_WIDTH;
  column.cx = 300;
  SendMessageA(view, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  char text[32];
  for (int i = 0; i < kItems; ++i) {
    std::snprintf(text, sizeof text, "item%05d", i);
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = i;
    item.pszText = text;
    SendMessageA(view, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }

  std::printf("List view with %d items, in-process messages\n", kItems);
  SelectEverything(view);
  LockWindowUpdate(view);
  auto start = Clock::now();
  for (int i = 0; i < kItems; ++i) SetState(view, i, 0, LVIS_SELECTED);
  double perItem = MsSince(start);
  LockWindowUpdate(nullptr);
  SelectEverything(view);
  LockWindowUpdate(view);
  start = Clock::now();
  SetState(view, -1, 0, LVIS_SELECTED);
  double allAtOnce = MsSince(start);
  LockWindowUpdate(nullptr);
  std::printf("  deselect: per item %8.2f ms (%d messages), all at once %8.2f ms (1 message)\n", perItem, kItems,
              allAtOnce);

  const int candidates = kItems / kEvery;
  SetState(view, -1, 0, LVIS_SELECTED);
  LockWindowUpdate(view);
  start = Clock::now();
  for (int i = 0; i < kItems; i += kEvery) {
    SetState(view, i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageA(view, LVM_ENSUREVISIBLE, static_cast<WPARAM>(i), FALSE);
  }
  double eachFocused = MsSince(start);
  LockWindowUpdate(nullptr);
  int selectedA = static_cast<int>(SendMessageA(view, LVM_GETSELECTEDCOUNT, 0, 0));
  int focusedA = Focused(view);

  SetState(view, -1, 0, LVIS_SELECTED);
  SendMessageA(view, LVM_ENSUREVISIBLE, 0, FALSE);
  LockWindowUpdate(view);
  start = Clock::now();
  int last = -1;
  for (int i = 0; i < kItems; i += kEvery) {
    if (last >= 0) SetState(view, last, LVIS_SELECTED, LVIS_SELECTED);
    last = i;
  }
  SetState(view, last, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  SendMessageA(view, LVM_ENSUREVISIBLE, static_cast<WPARAM>(last), FALSE);
  double lastFocused = MsSince(start);
  LockWindowUpdate(nullptr);
  int selectedB = static_cast<int>(SendMessageA(view, LVM_GETSELECTEDCOUNT, 0, 0));
  int focusedB = Focused(view);

  std::printf("  select-all of %d candidates: focus + ensure-visible each %8.2f ms (%d messages), "
              "last only %8.2f ms (%d messages)\n",
              candidates, eachFocused, 2 * candidates, lastFocused, candidates + 1);
  std::printf("  final state: %d selected, focus on %d  /  %d selected, focus on %d -> %s\n", selectedA, focusedA,
              selectedB, focusedB, selectedA == selectedB && focusedA == focusedB ? "same" : "DIFFERENT");
  DestroyWindow(frame);
  return 0;
}
