// Helpers of the batch-reader tests: this process takes the hook library's place of
// Kanasift (a hidden owner window and setHook), gets the library loaded into a viewhost
// the way a user does (a key typed there), and runs the search steps of the program
// over any ViewProvider, recording what each step leaves behind in the view.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "search/CandidateSearch.h"
#include "search/PatternBuilder.h"
#include "tests/wine/common/ViewhostProcess.h"
#include "view/BatchViews.h"

// This process as the hook's owner, as Kanasift is: configured, then hooked.
class HookOwner {
 public:
  HookOwner() = default;
  ~HookOwner();
  HookOwner(const HookOwner&) = delete;
  HookOwner& operator=(const HookOwner&) = delete;
  bool Install();

 private:
  HWND window_ = nullptr;
};

// Types Shift into viewhost (its list view has the focus) until the keyboard hook has
// loaded the library there and a whole-view read of its list can be prepared.
bool LoadHookLibraryInto(const ViewhostProcess& host);

// Writes `text` (viewhost's names file: one name a line, UTF-8) to a new file in the
// temporary folder named after `stem`, this process and `number`; its path in UTF-8.
std::string WriteNamesFile(const std::string& text, const wchar_t* stem, int number);

// A service that asks the hook library, and counts.
class CountingViewReads : public ViewReadService {
 public:
  bool Prepare(HWND view) override;
  void Forget(HWND view) override;
  std::uint64_t RequestKey() override;
  int prepared = 0;
  int refused = 0;
  int forgotten = 0;
};

// A pattern of the search step, as the program builds it: Migemo's answer (here written
// out) for an input of KanafyLength bytes or more, literal matching below that.
struct StepInput {
  std::string input;  // the typed text (ANSI code page); literal below 3 bytes
  std::string regex;  // UTF-8: the expansion compiled for it ("" for literal inputs)
};

// One search step as the program runs it.
struct Step {
  std::string label;
  StepInput input;
  int step = 0;
  bool selectAll = false;
  bool includeCurrent = false;
  bool keepMatching = false;  // leave isMatching as the previous step left it
};

// What one step left behind: the outcome, the input flags, the rectangle, the matched
// text, and the view's state read back item by item afterwards.
struct Observation {
  std::string label;
  int outcome = -1;
  bool isMatching = false;
  bool lastSearchFound = false;
  ItemRect rect;
  std::string matched;
  std::vector<int> selected;  // list: selected indices
  int focused = -1;           // list: the focused index
  int caretPosition = -1;     // tree: the caret's place among the visible items
  std::string caretText;      // tree: its name
  int topIndex = -1;          // list: the first visible item (scrolling)
  bool operator==(const Observation& o) const;
};
std::string Describe(const Observation& o);

// Runs the steps on the list (tree false) or tree view of `host` through `views`.
std::vector<Observation> RunSteps(ViewProvider& views, const ViewhostProcess& host, bool tree,
                                  const std::vector<Step>& steps);

// The names of the tree file's visible items as they stand now, item by item.
std::vector<std::string> VisibleTreeNames(HWND tree);
