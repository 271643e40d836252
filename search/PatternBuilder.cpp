#include "search/PatternBuilder.h"

#include <algorithm>
#include <exception>

#include "platform/Platform.h"
#include "search/MigemoMatcher.h"

PatternBuilder::PatternBuilder(Dictionary& dictionary, UserNotifier& notifier)
    : dictionary_(dictionary), notifier_(notifier) {}

void PatternBuilder::BuildPattern(const InputState& state, const SearchOptions& options) {
  if (!state.isMatching) return;
  if (static_cast<long long>(state.inputText.size()) < options.kanafyLength) return;
  ForgetOtherInputsPattern(state);

  std::string query = state.inputText;
  if (options.isUsePartialMatch && !query.empty() && query[0] == '^') query.erase(0, 1);

  // The answer is a copy and the dictionary's lock is already released: the boxes
  // below may run their modal loops safely.
  std::optional<std::string> answer = dictionary_.Query(query, nullptr);
  if (!answer) {
    ReportMigemoFailure(state.targetView);
    return;
  }
  // Migemo had no expansion for the text: no new pattern. The empty query has the empty
  // expression.
  if (answer->empty() && !query.empty()) return;
  CompilePattern(*answer, state, options, true);
}

bool PatternBuilder::CompilePattern(const std::string& text, const InputState& state,
                                    const SearchOptions& options, bool fromMigemo) {
  ForgetOtherInputsPattern(state);
  const bool anywhere = options.isUsePartialMatch && (state.inputText.empty() || state.inputText[0] != '^');
  std::string source;
  if (anywhere) source = ".*";
  source += "(";
  source += text;
  source += ")";

  if (fromMigemo) {
    auto kept = std::find_if(compiled_.begin(), compiled_.end(),
                             [&](const Compiled& entry) { return entry.source == source; });
    if (kept != compiled_.end()) {
      std::rotate(kept, kept + 1, compiled_.end());
      Pattern copy = compiled_.back().regex;
      pattern_.Replace(std::move(copy), compiled_.back().matcher, anywhere);
      return true;
    }
  }

  std::string error;
  try {
    const std::wstring wide = platform::AnsiToWide(source);
    Pattern compiled(wide, boost::regex_constants::perl | boost::regex_constants::icase);
    std::shared_ptr<const MigemoMatcher> matcher;
    if (fromMigemo) {
      auto made = std::make_shared<const MigemoMatcher>(std::wstring_view(wide).substr(anywhere ? 2 : 0));
      if (made->known()) matcher = std::move(made);
      if (compiled_.size() >= kCompiledKept) {
        // A short input's answer is long and dear to compile (a few milliseconds for one
        // letter, against tens of microseconds for a word): the oldest cheap one goes.
        auto cheap = std::find_if(compiled_.begin(), compiled_.end(),
                                  [](const Compiled& entry) { return entry.source.size() < kDearSourceBytes; });
        compiled_.erase(cheap != compiled_.end() ? cheap : compiled_.begin());
      }
      compiled_.push_back({source, compiled, matcher});
    }
    pattern_.Replace(std::move(compiled), std::move(matcher), anywhere);
    return true;
  } catch (const std::exception& e) {  // boost::regex_error, or out of memory
    error = e.what();
  }
  std::string report = "Please report this(you can copy this msg box with ctrl+C).\n src=";
  report += state.inputText;
  report += "\n mstr=";
  report += source;
  report += "\n bad_expression=";
  report += error;
  notifier_.ShowMessage(state.targetView, report, kRegexErrorTitle, kRegexErrorStyle);
  return false;
}

void PatternBuilder::SetRegexInput(const std::string& regex, InputState& state,
                                   const SearchOptions& options) {
  std::string wrapped = "(" + regex + ")";
  state.inputText = "Regex" + wrapped;
  ++state.inputSerial;
  state.lastInputTick = 0;
  state.inputEnded = true;  // the next typed character starts a new input
  state.isMatching = true;
  CompilePattern(wrapped, state, options);
}

void PatternBuilder::ForgetOtherInputsPattern(const InputState& state) {
  if (patternInput_ == state.inputSerial) return;
  pattern_ = SearchPattern();
  patternInput_ = state.inputSerial;
}

void PatternBuilder::ReportMigemoFailure(ViewHandle owner) {
  if (migemoFailureShown_) return;
  migemoFailureShown_ = true;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{migemoFailureShown_};
  notifier_.ShowMessage(owner, kMigemoFailureText, kMigemoFailureTitle, kMbOk);
}
