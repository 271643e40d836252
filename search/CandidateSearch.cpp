#include "search/CandidateSearch.h"

#include <cstring>

#include "search/ItemMatch.h"
#include "search/ViewWalk.h"
#include "view/ViewOps.h"

namespace {

std::string CopyClassList(const char* list) {
  std::string copy;
  if (list) {
    for (const char* entry = list; *entry; entry += std::strlen(entry) + 1) {
      copy.append(entry, std::strlen(entry) + 1);
    }
  }
  copy.push_back('\0');  // with the string's own terminator: the empty entry that ends the list
  return copy;
}

class ItemNameTest : public CandidateTest {
 public:
  ItemNameTest(bool useRegex, const std::string& inputText, SearchPattern& pattern)
      : useRegex_(useRegex), inputText_(inputText), pattern_(pattern) {}
  bool IsCandidate(const std::string& name, std::string* matchedText) override {
    return MatchItemName(name, useRegex_, inputText_, pattern_, matchedText);
  }

 private:
  bool useRegex_;
  const std::string& inputText_;
  SearchPattern& pattern_;
};

class UpdateLock {
 public:
  UpdateLock(ViewProvider& views, ViewHandle view) : views_(views) { views_.LockUpdate(view); }
  ~UpdateLock() { views_.UnlockUpdate(); }
  UpdateLock(const UpdateLock&) = delete;
  UpdateLock& operator=(const UpdateLock&) = delete;

 private:
  ViewProvider& views_;
};

}  // namespace

CandidateSearch::CandidateSearch(ViewProvider& views, UserNotifier& notifier, const char* treeViewClassList)
    : views_(views), notifier_(notifier), treeViewClassList_(CopyClassList(treeViewClassList)) {}

StepOutcome CandidateSearch::SearchAndSelect(InputState& state, const SearchOptions& options,
                                             SearchPattern& pattern, int step, ItemRect& itemRect,
                                             bool selectAll, std::string* matchedText, bool includeCurrent) {
  if (!state.isMatching) {
    notifier_.Beep();
    return StepOutcome::NotMatching;
  }
  UpdateLock lock(views_, state.targetView);

  // Unsigned on purpose: a negative KanafyLength matches every input literally.
  bool useRegex = state.inputText.size() >= static_cast<std::uint32_t>(options.kanafyLength);
  ItemNameTest test(useRegex, state.inputText, pattern);
  WalkRequest request{step, selectAll, includeCurrent};
  bool wantMatchedText = matchedText != nullptr;

  WalkResult result;
  result.end = WalkEnd::NotReady;
  if (IsTreeView(views_, state.targetView, treeViewClassList_.c_str())) {
    if (auto tree = views_.OpenTree(state.targetView)) {
      PerItemTreeNames names(*tree);
      result = WalkTreeView(*tree, names, test, request, wantMatchedText);
    }
  } else if (auto list = views_.OpenList(state.targetView)) {
    PerItemListNames names(*list);
    result = WalkListView(*list, names, test, request, wantMatchedText);
  }
  if (result.end == WalkEnd::NotReady) return StepOutcome::NotReady;
  if (result.end == WalkEnd::Lost) return StepOutcome::Lost;

  if (!selectAll && !result.anyMatch && useRegex) {
    notifier_.Beep();
    state.isMatching = false;
  }
  state.lastSearchFound = result.anyMatch;
  if (result.haveRect) itemRect = result.rect;
  if (useRegex && wantMatchedText && result.anyMatch) *matchedText = result.matchedText;
  return result.anyMatch ? StepOutcome::Found : StepOutcome::NotFound;
}
