// Turns the typed input into the one compiled pattern that the search step matches
// item names against. Romaji (kaisya) is expanded by Migemo into a regular expression
// that also matches kana and kanji spellings; a regular expression typed in the input
// dialog goes through the same compiler without Migemo. Inputs shorter than
// KanafyLength are not expanded: the search step matches them literally.
//
// Patterns by input (M: Migemo's answer for the input, R: the dialog's text):
//   typed T                 "(" M ")"      partial matching: ".*(" M ")"
//   typed "^" T             "(" M ")", M for "^T"      partial: "(" M ")", M for T
//   dialog R                "((" R "))"    partial: ".*((" R "))"
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "search/Dictionary.h"
#include "search/Pattern.h"
#include "search/SearchState.h"

inline constexpr char kMigemoFailureText[] = "Failed to initialize migemo";
inline constexpr char kMigemoFailureTitle[] = "Kanasift";
inline constexpr char kRegexErrorTitle[] = "regex error : Kanasift";
inline constexpr unsigned kRegexErrorStyle = kMbOk | kMbIconWarning | kMbTopmost;

class PatternBuilder {
 public:
  PatternBuilder(Dictionary& dictionary, UserNotifier& notifier);

  // Rebuilds the pattern from state.inputText once it has options.kanafyLength bytes
  // (compared as signed numbers). Nothing while state.isMatching is clear. Without a
  // usable dictionary the user is told, one box at a time. An empty query (a lone "^" in
  // partial mode) gives the empty expression: every name is a candidate, as for an
  // empty input matched literally.
  //
  // A pattern serves only the input it was built for (state.inputSerial): when a new
  // input gets none of its own (no dictionary, no answer, an expression that does not
  // compile), it has none and matches nothing, never with an earlier input's pattern.
  // Within one input, the last pattern built stays in force.
  void BuildPattern(const InputState& state, const SearchOptions& options);

  // Wraps `text` (".*" in front in partial mode unless the input begins with "^"),
  // widens and compiles it. On success it replaces the pattern; a compilation error is
  // reported to the user. Migemo's answers (`fromMigemo`) also get their own matcher,
  // and the last few of them are kept compiled: typing the same letters again costs
  // no compilation.
  bool CompilePattern(const std::string& text, const InputState& state, const SearchOptions& options,
                      bool fromMigemo = false);

  // Makes a regular expression typed in the input dialog the current input ("Regex("
  // regex ")", a new input) and compiles it.
  void SetRegexInput(const std::string& regex, InputState& state, const SearchOptions& options);

  SearchPattern& pattern() { return pattern_; }
  const SearchPattern& pattern() const { return pattern_; }

 private:
  struct Compiled {
    std::string source;
    Pattern regex;
    std::shared_ptr<const MigemoMatcher> matcher;
  };
  // The one-letter inputs' patterns (all 26 of them) and the last few others.
  static constexpr std::size_t kCompiledKept = 32;
  static constexpr std::size_t kDearSourceBytes = 1024;

  void ReportMigemoFailure(ViewHandle owner);
  // Drops the pattern when it was built for another input than the state's.
  void ForgetOtherInputsPattern(const InputState& state);

  Dictionary& dictionary_;
  UserNotifier& notifier_;
  SearchPattern pattern_;
  std::uint32_t patternInput_ = 0;  // the inputSerial the pattern was built for
  bool migemoFailureShown_ = false;  // the failure box is on screen
  std::vector<Compiled> compiled_;   // recent Migemo patterns, the latest last
};
