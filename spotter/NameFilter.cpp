#include "spotter/NameFilter.h"

#include <cstdint>

#include "search/ItemMatch.h"
#include "settings/TaskTrayAppIniFile.h"

SearchOptions SearchOptionsFrom(TaskTrayAppIniFile& file) {
  SearchOptions options;
  options.kanafyLength = file.getKanafyLength();
  options.isUsePartialMatch = file.getIsUsePartialMatch();
  return options;
}

void NameFilter::Notifier::ShowMessage(ViewHandle, const std::string& text, const std::string& title,
                                       unsigned) {
  if (text == kMigemoFailureText) {
    dictionaryFailed = true;
  } else if (title == kRegexErrorTitle) {
    patternError = true;
    errorText = text;
  }
}

NameFilter::NameFilter(Dictionary& dictionary) : dictionary_(dictionary) {}

void NameFilter::SetInput(const std::string& input, const SearchOptions& options) {
  input_ = input;
  errorText_.clear();
  notifier_ = Notifier();
  // A fresh builder for every input: its pattern starts empty, so a failed expansion
  // never leaves the previous input's pattern in force.
  builder_.emplace(dictionary_, notifier_);
  // Kanasift compares the length as an unsigned number here (a negative KanafyLength
  // matches every input literally).
  useRegex_ = input_.size() >= static_cast<std::uint32_t>(options.kanafyLength);

  if (input_.empty()) {
    useRegex_ = false;
    state_ = FilterState::Everything;
    return;
  }
  if (!useRegex_) {
    state_ = FilterState::Literal;
    return;
  }
  InputState inputState;
  inputState.inputText = input_;
  inputState.isMatching = true;
  builder_->BuildPattern(inputState, options);

  if (notifier_.dictionaryFailed) {
    state_ = FilterState::DictionaryFailed;
  } else if (notifier_.patternError) {
    state_ = FilterState::PatternError;
    errorText_ = notifier_.errorText;
  } else if (builder_->pattern().Empty()) {
    state_ = FilterState::NoExpansion;
  } else {
    state_ = FilterState::Expanded;
  }
}

bool NameFilter::Matches(std::string_view name) {
  switch (state_) {
    case FilterState::Everything:
      return true;
    case FilterState::Literal:
    case FilterState::Expanded:
      return MatchItemName(name, useRegex_, input_, builder_->pattern(), nullptr);
    default:
      return false;
  }
}
