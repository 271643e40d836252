#include "view/ViewOps.h"

#include <string>
#include <vector>

#include "tapline/ClassList.h"

namespace {

// Window class names are at most 127 characters here, as GetClassNameA with a 128-byte
// buffer gives them.
constexpr std::size_t kClassNameMax = 127;

constexpr std::uint32_t kStateImageShift = 12;
constexpr std::uint32_t kUncheckedImage = 1;
constexpr std::uint32_t kUncheckedState = kUncheckedImage << kStateImageShift;  // 0x1000
constexpr std::uint32_t kCheckedState = 2u << kStateImageShift;                 // 0x2000
constexpr std::uint32_t kSelectAndFocus = kLvisSelected | kLvisFocused;

std::uint32_t StateImageOf(ListView& view, int index) {
  return (view.ItemState(index, kLvisStateImageMask) >> kStateImageShift) & 0xF;
}

// The number of items of a list view with check boxes, or 0 when a command has nothing
// to act on (no check boxes, no items, or the view went away).
int CheckableItemCount(ListView& view) {
  if (!HasCheckBoxes(view) || view.Lost()) return 0;
  int count = view.ItemCount();
  return view.Lost() || count < 0 ? 0 : count;
}

}  // namespace

bool IsTreeView(ViewProvider& views, ViewHandle view, const char* treeViewClassList) {
  std::string name = views.ClassName(view);
  if (name.size() > kClassNameMax) name.resize(kClassNameMax);
  return classlist::Contains(name.c_str(), treeViewClassList);
}

bool HasCheckBoxes(ListView& view) { return (view.ExtendedStyle() & kLvsExCheckBoxes) != 0; }

void ToggleCheckBoxes(ListView& view) {
  std::uint32_t style = view.ExtendedStyle();
  // A view that did not answer gave no style: writing one back would clear its other bits.
  if (view.Lost()) return;
  view.SetExtendedStyle(style ^ kLvsExCheckBoxes);
}

void ToggleSelectedChecks(ListView& view) {
  const int count = CheckableItemCount(view);
  if (count == 0) return;
  if (!view.OpenRecord()) return;

  // With nothing selected, the focused item stands in for the selection.
  if (view.SelectedCount() == 0) {
    for (int i = 0; i < count && !view.Lost(); ++i) {
      if (view.ItemState(i, kLvisFocused) != 0) view.SetItemState(i, kSelectAndFocus, kSelectAndFocus);
    }
  }
  if (view.Lost()) return;

  // All selected items count as checked until one of them shows the unchecked box.
  bool allChecked = true;
  for (int i = 0; i < count && !view.Lost(); ++i) {
    if (view.ItemState(i, kLvisSelected) != 0 && StateImageOf(view, i) == kUncheckedImage) {
      allChecked = false;
      break;
    }
  }
  if (view.Lost()) return;

  const std::uint32_t newState = allChecked ? kUncheckedState : kCheckedState;
  for (int i = 0; i < count && !view.Lost(); ++i) {
    if (view.ItemState(i, kLvisSelected) != 0) view.SetItemState(i, newState, kLvisStateImageMask);
  }
}

void SelectCheckedItems(ListView& view, UserNotifier& notifier) {
  const int count = CheckableItemCount(view);
  if (count == 0) return;

  // One look at every item's box; the selection below follows what was seen here.
  std::vector<bool> checked(static_cast<std::size_t>(count));
  bool anyChecked = false;
  for (int i = 0; i < count; ++i) {
    checked[i] = StateImageOf(view, i) != kUncheckedImage;
    if (view.Lost()) return;
    anyChecked = anyChecked || checked[i];
  }
  if (!anyChecked) {
    notifier.Beep();
    return;
  }

  if (!view.OpenRecord()) return;
  // Each checked item takes the focus in turn, so it ends on the last one.
  for (int i = 0; i < count && !view.Lost(); ++i) {
    view.SetItemState(i, checked[i] ? kSelectAndFocus : 0, kSelectAndFocus);
  }
}
