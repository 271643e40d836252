// The search operations of the running program: the pattern builder (Migemo, with its
// recent answers kept, and the compiler) and the candidate search over the views, joined
// behind the seam the input engine uses.
#pragma once

#include <memory>

#include "input/SearchService.h"
#include "search/CandidateSearch.h"
#include "search/ExpansionWarmer.h"
#include "search/PatternBuilder.h"
#include "search/RecentExpansions.h"

class CoreSearchService : public SearchService {
 public:
  CoreSearchService(Dictionary& dictionary, ViewProvider& views, UserNotifier& notifier,
                    const char* treeViewClassList)
      : expansions_(dictionary), builder_(expansions_, notifier), search_(views, notifier, treeViewClassList) {}

  void BuildPattern(InputState& state, const SearchOptions& options) override {
    builder_.BuildPattern(state, options);
    // With one-letter expansion, the other letters' answers are fetched in the
    // background, in the pauses after the first key's own, once in the program's life.
    ExpansionWarmer::AfterKey(warmer_, expansions_, options.kanafyLength);
  }
  void SetRegexInput(const std::string& regex, InputState& state,
                     const SearchOptions& options) override {
    builder_.SetRegexInput(regex, state, options);
  }
  void SearchAndSelect(InputState& state, const SearchOptions& options, int step,
                       ItemRect& itemRect, bool selectAll, std::string* matchedText,
                       bool includeCurrent) override {
    search_.SearchAndSelect(state, options, builder_.pattern(), step, itemRect, selectAll,
                            matchedText, includeCurrent);
  }

 private:
  RecentExpansions expansions_;  // before the builder that uses it
  PatternBuilder builder_;
  CandidateSearch search_;
  std::unique_ptr<ExpansionWarmer> warmer_;  // last: stopped before what it asks goes
};
