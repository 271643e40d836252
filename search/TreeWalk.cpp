#include <unordered_set>

#include "search/ViewWalk.h"

WalkResult WalkTreeView(TreeView& view, TreeNameReader& names, CandidateTest& test,
                        const WalkRequest& request, bool wantMatchedText) {
  WalkResult result;
  auto lost = [&] {
    if (!view.Lost()) return false;
    result.end = WalkEnd::Lost;
    return true;
  };

  TreeItem start = 0;
  if (request.step != 0) {
    start = view.NextItem(TreeRelation::Caret, 0);
    if (lost()) return result;
  }
  if (start == 0) {
    start = view.NextItem(TreeRelation::Root, 0);
    if (lost()) return result;
  }
  if (!view.OpenRecord()) {
    result.end = lost() ? WalkEnd::Lost : WalkEnd::NotReady;
    return result;
  }

  bool backward = request.step < 0;
  TreeRelation move = backward ? TreeRelation::PreviousVisible : TreeRelation::NextVisible;
  TreeRelation wrap = backward ? TreeRelation::LastVisible : TreeRelation::Root;

  // Each visible item is tested at most once: coming round to an item already tested
  // ends the walk, also when the start item was not among the visible items.
  std::unordered_set<TreeItem> tested;
  TreeItem found = 0;
  std::string name;
  std::string matched;
  TreeItem item = start;
  for (;;) {
    TreeItem next = view.NextItem(move, item);
    if (lost()) return result;
    if (next == 0) {
      next = view.NextItem(wrap, 0);
      if (lost()) return result;
    }
    if (next == 0 || !tested.insert(next).second) break;
    item = next;

    name.clear();
    bool read = names.ReadName(item, name);
    if (lost()) return result;
    if (read && test.IsCandidate(name, wantMatchedText ? &matched : nullptr)) {
      found = item;
      result.anyMatch = true;
      if (wantMatchedText) result.matchedText = matched;
      if (!request.selectAll) break;
    }
    if (item == start) break;
  }

  // Only the final candidate becomes the caret: in Explorer every caret change
  // navigates, and the tree ends in the same state.
  if (found != 0) {
    view.Select(found);
    if (lost()) return result;
    result.haveRect = view.LabelRect(found, result.rect);
    if (lost()) return result;
  }
  return result;
}
