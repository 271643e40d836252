// Which names of a folder match one input, decided as Kanasift decides for the items of
// an Explorer view. Below KanafyLength bytes the input is matched literally as a prefix
// and nothing is asked; from there on the input's Migemo expansion (from the dictionary,
// in Spotter the running Kanasift) is compiled by Kanasift's own pattern builder, a
// group with ".*" in front in partial mode, and a name matches from its first character,
// with half-width katakana folded to full width and letters compared without case.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "search/Dictionary.h"
#include "search/PatternBuilder.h"
#include "search/SearchState.h"

class TaskTrayAppIniFile;

// The settings of Kanasift that decide matching (KanafyLength, IsUsePartialMatch), read
// from its settings file: Spotter lives beside Kanasift.exe and reads the same file.
SearchOptions SearchOptionsFrom(TaskTrayAppIniFile& file);

enum class FilterState {
  Everything,        // empty input: every name matches
  Literal,           // shorter than KanafyLength: a literal prefix
  Expanded,          // the expansion was compiled
  NoExpansion,       // the dictionary had no answer (an empty one): nothing matches
  DictionaryFailed,  // no usable dictionary: nothing matches
  PatternError,      // the expansion did not compile: nothing matches
};

class NameFilter {
 public:
  explicit NameFilter(Dictionary& dictionary);
  NameFilter(const NameFilter&) = delete;
  NameFilter& operator=(const NameFilter&) = delete;

  // Prepares the filter for `input` (bytes of the ANSI code page). Asks the dictionary
  // once when the input is long enough to be expanded.
  void SetInput(const std::string& input, const SearchOptions& options);

  // Whether `name` (ANSI code page) matches the current input.
  bool Matches(std::string_view name);

  FilterState state() const { return state_; }
  // The compiler's report when state() is PatternError.
  const std::string& errorText() const { return errorText_; }

 private:
  // Takes what the pattern builder would show the user.
  class Notifier : public UserNotifier {
   public:
    void Beep() override {}
    void ShowMessage(ViewHandle owner, const std::string& text, const std::string& title,
                     unsigned style) override;
    bool dictionaryFailed = false;
    bool patternError = false;
    std::string errorText;
  };

  Dictionary& dictionary_;
  Notifier notifier_;
  std::optional<PatternBuilder> builder_;
  std::string input_;
  bool useRegex_ = false;
  FilterState state_ = FilterState::Everything;
  std::string errorText_;
};
