#include "search/ViewWalk.h"

#include <vector>

namespace {
constexpr std::uint32_t kSelectedFocused = kLvisSelected | kLvisFocused;
}

ListWalkOrder ListWalkOrder::For(int count, int firstSelected, int step, bool includeCurrent) {
  ListWalkOrder order;
  order.count = count;
  if (step == 0 || count <= 0) return order;
  bool backward = step < 0;
  order.direction = backward ? -1 : 1;
  if (firstSelected < 0 || firstSelected >= count) {
    order.start = backward ? count - 1 : 0;
  } else if (includeCurrent) {
    order.start = firstSelected;
  } else {
    order.start = firstSelected + order.direction;
  }
  return order;
}

int ListWalkOrder::At(int k) const {
  long long index = (static_cast<long long>(start) + static_cast<long long>(direction) * k) % count;
  return static_cast<int>(index < 0 ? index + count : index);
}

WalkResult WalkListView(ListView& view, ListNameReader& names, CandidateTest& test,
                        const WalkRequest& request, bool wantMatchedText) {
  WalkResult result;
  auto lost = [&] {
    if (!view.Lost()) return false;
    result.end = WalkEnd::Lost;
    return true;
  };

  int count = view.ItemCount();
  if (lost()) return result;
  if (count < 0) count = 0;
  int selectedCount = view.SelectedCount();
  if (lost()) return result;
  int firstSelected = -1;
  if (selectedCount != 0) {
    firstSelected = view.FirstSelected();
    if (lost()) return result;
    if (firstSelected >= count) firstSelected = -1;
  }

  if (!view.OpenRecord()) {
    result.end = lost() ? WalkEnd::Lost : WalkEnd::NotReady;
    return result;
  }
  // One message deselects every item; the focus stays where it is.
  if (selectedCount != 0) {
    view.SetItemState(kAllItems, 0, kLvisSelected);
    if (lost()) return result;
  }

  ListWalkOrder order = ListWalkOrder::For(count, firstSelected, request.step, request.includeCurrent);
  int found = -1;
  std::string name;
  std::string matched;
  std::vector<int> selected;  // select-all: the candidates before `found`
  // False when the view was lost.
  auto walk = [&] {
    for (int k = 0; k < count; ++k) {
      int index = order.At(k);
      name.clear();
      bool read = names.ReadName(index, name);
      if (lost()) return false;
      if (!read || !test.IsCandidate(name, wantMatchedText ? &matched : nullptr)) continue;
      if (!view.ConfirmName(index, name)) {
        // The names the view kept are out of date, and from now on it gives its own: the
        // walk begins again, without what select-all selected so far.
        if (lost()) return false;
        for (int earlier : selected) {
          view.SetItemState(earlier, 0, kLvisSelected);
          if (lost()) return false;
        }
        selected.clear();
        found = -1;
        result.anyMatch = false;
        result.matchedText.clear();
        k = -1;
        continue;
      }
      if (found >= 0) {
        // Select-all: every candidate but the last is only selected; the focus and the
        // scrolling go to the last one, after the walk.
        view.SetItemState(found, kLvisSelected, kLvisSelected);
        if (lost()) return false;
        selected.push_back(found);
      }
      found = index;
      result.anyMatch = true;
      if (wantMatchedText) result.matchedText = matched;
      if (!request.selectAll) break;
    }
    return true;
  };
  if (!walk()) return result;
  if (found < 0 && count > 0 && !view.ConfirmNone()) {
    if (lost() || !walk()) return result;
  }

  int show = found >= 0 ? found : firstSelected;  // nothing matched: the earlier item again
  if (show >= 0) {
    view.SetItemState(show, kSelectedFocused, kSelectedFocused);
    if (lost()) return result;
    view.EnsureVisible(show);
    if (lost()) return result;
  }
  if (found >= 0) {
    result.haveRect = view.LabelRect(found, result.rect);
    if (lost()) return result;
  }
  return result;
}
