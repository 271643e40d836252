// One search step on the target view: walks its items, matches each name (literally
// below KanafyLength, else against the pattern), selects and focuses the first
// candidate or every candidate, and reports the candidate's label rectangle and the
// matched part of its name. An expanded input that finds nothing beeps and stops the
// input from being searched further.
#pragma once

#include <string>

#include "search/Pattern.h"
#include "search/SearchState.h"
#include "view/ViewAccess.h"

enum class StepOutcome {
  NotMatching,  // the input failed earlier: a beep, nothing else
  NotReady,     // the view's item record could not be set up: nothing changed
  Lost,         // the view went away during the step
  Found,
  NotFound,
};

class CandidateSearch {
 public:
  // `treeViewClassList`: the window classes handled as tree views, NUL-separated and
  // ended by an empty entry ("SysTreeView32\0\0"); it is copied.
  CandidateSearch(ViewProvider& views, UserNotifier& notifier, const char* treeViewClassList);

  // step 0 walks from the top, +1 / -1 from next to the current item; selectAll selects
  // every candidate; includeCurrent (list views) begins at the current item itself.
  // itemRect receives the label rectangle of the last item selected and matchedText
  // (may be null) the text of the pattern's first group; both stay untouched when
  // nothing was found, and matchedText also in literal mode. The view's drawing is
  // held for the length of the step.
  StepOutcome SearchAndSelect(InputState& state, const SearchOptions& options, SearchPattern& pattern,
                              int step, ItemRect& itemRect, bool selectAll, std::string* matchedText,
                              bool includeCurrent);

 private:
  ViewProvider& views_;
  UserNotifier& notifier_;
  std::string treeViewClassList_;
};
