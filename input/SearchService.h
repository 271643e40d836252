// The search operations the typed-input logic starts: pattern building and the search
// step. The search core implements them; the seam lets the input logic be tested with
// a scripted search as well as with the real one.
#pragma once

#include <string>

#include "search/SearchState.h"
#include "view/ViewAccess.h"

class SearchService {
 public:
  virtual ~SearchService() = default;
  // Rebuilds the pattern from state.inputText.
  virtual void BuildPattern(InputState& state, const SearchOptions& options) = 0;
  // Makes a regular expression from the input dialog the current input and compiles it.
  virtual void SetRegexInput(const std::string& regex, InputState& state,
                             const SearchOptions& options) = 0;
  // One search step on state.targetView (step 0, +1 or -1).
  virtual void SearchAndSelect(InputState& state, const SearchOptions& options, int step,
                               ItemRect& itemRect, bool selectAll, std::string* matchedText,
                               bool includeCurrent) = 0;
};
